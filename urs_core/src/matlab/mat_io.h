#pragma once
// Private helpers of the MATLAB file code: owning handles for matio objects, the table of
// sample types and MATLAB classes, and guarded reading and writing of single matrices.

#include <ur/data_loader.h>
#include <ur/image_buf.h>

#include <QString>

#include <matio.h>

#include <memory>
#include <vector>

namespace urs::matlab::detail {

struct MatFileCloser {
  void operator()(mat_t* mat) const { Mat_Close(mat); }
};
using MatFilePtr = std::unique_ptr<mat_t, MatFileCloser>;

struct MatVarDeleter {
  void operator()(matvar_t* var) const { Mat_VarFree(var); }
};
using MatVarPtr = std::unique_ptr<matvar_t, MatVarDeleter>;

// The name an image is saved under when the saver is given none.
inline const char kDefaultImageName[] = "ur_image";
// The variable that holds an image's metadata as XML text.
inline const char kMetadataVariable[] = "ur_image_metadata";
// Name suffixes of the four planes of a Bayer image (or entropy image), in plane order.
inline const char* const kBayerPlaneSuffixes[4] = {"_channel_R", "_channel_G1", "_channel_B",
                                                   "_channel_G2"};
// The one file format of the MATLAB loader and saver.
ur::FileFormatList MatlabFileFormats();

// Routes matio's messages into the Qt log. Process-wide; done once, before the first open.
void InstallMatioLogger();

// The MATLAB class and element type that hold samples of the type; false for types that
// MATLAB files do not hold (complex, unknown).
bool MatClassOfDataType(ur::ExImageDataType type, matio_classes& matClass, matio_types& matType);
// The sample type read from a matrix of the class (the eight classes an image is read from);
// eImageDataUnknown for every other class, int64 and uint64 among them.
ur::ExImageDataType DataTypeOfMatClass(matio_classes matClass);

// Writes one uncompressed rows x cols matrix. False for an empty name or when matio cannot
// create or write the variable.
bool WriteMatrix(mat_t* mat, const QString& name, matio_classes matClass, matio_types matType,
                 std::size_t rows, std::size_t cols, const void* data);

// True when the file holds a variable of that name.
bool HasVariable(mat_t* mat, const QString& name);

// Why the variable, known by its header, holds no image: of a class no image is read from (char
// is taken too when allowChar), not of rank 2, complex, empty, or larger than the file could
// hold. Said of the variable ("is a sparse matrix: not supported"); empty when it holds one.
QString MatrixProblem(mat_t* mat, const matvar_t& info, bool allowChar = false);

// The two-dimensional real matrix of that name, read with its data, or null: missing, holding
// no image (see MatrixProblem), or not read whole. problem (may be null) then says which.
MatVarPtr ReadMatrix(mat_t* mat, const QString& name, bool allowChar = false,
                     QString* problem = nullptr);

// The headers of the file's named variables, in file order.
std::vector<MatVarPtr> ReadVariableInfos(mat_t* mat);

inline std::size_t Rows(const matvar_t& var) { return var.dims[0]; }
inline std::size_t Cols(const matvar_t& var) { return var.dims[1]; }

// True when both matrices have the same class, element type and dimensions.
bool SameMatrixShape(const matvar_t& a, const matvar_t& b);

// Allocates an image for `planes` matrices shaped like `first`: width = its column count, height =
// its row count, the sample type of its class at full bit depth, planar when more than one.
bool AllocImageForMatrices(const matvar_t& first, int planes, ur::SxImageBuf& image);

// Copies the matrix, transposed, into plane `plane` of the allocated image, whose width must be
// the matrix's column count, height its row count and data type that of the matrix's class:
// pixel (x, y) = element (row y, column x).
bool CopyMatrixToPlane(const matvar_t& var, ur::SxImageBuf& image, int plane);

}  // namespace urs::matlab::detail
