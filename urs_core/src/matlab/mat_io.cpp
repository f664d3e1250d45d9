#include "matlab/mat_io.h"

#include <ur/buffers.h>
#include <ur/geometry.h>
#include <ur/result.h>

#include <QByteArray>
#include <QDebug>
#include <QFileInfo>

#include <climits>
#include <cstdint>
#include <mutex>
#include <utility>

namespace urs::matlab::detail {

namespace {

struct SxClassEntry {
  ur::ExImageDataType dataType;
  matio_classes matClass;
  matio_types matType;
  bool readable;  // an image is read back from this class
};

// int64 and uint64 are written for completeness but no image is read from them.
constexpr SxClassEntry kClasses[] = {
    {ur::eImageDataInt8, MAT_C_INT8, MAT_T_INT8, true},
    {ur::eImageDataUInt8, MAT_C_UINT8, MAT_T_UINT8, true},
    {ur::eImageDataInt16, MAT_C_INT16, MAT_T_INT16, true},
    {ur::eImageDataUInt16, MAT_C_UINT16, MAT_T_UINT16, true},
    {ur::eImageDataInt32, MAT_C_INT32, MAT_T_INT32, true},
    {ur::eImageDataUInt32, MAT_C_UINT32, MAT_T_UINT32, true},
    {ur::eImageDataFloat, MAT_C_SINGLE, MAT_T_SINGLE, true},
    {ur::eImageDataDouble, MAT_C_DOUBLE, MAT_T_DOUBLE, true},
    {ur::eImageDataInt64, MAT_C_INT64, MAT_T_INT64, false},
    {ur::eImageDataUInt64, MAT_C_UINT64, MAT_T_UINT64, false},
};

// Deflate never expands more than 1032-fold, and every element takes at least one stored byte,
// so a variable cannot hold more elements than this many times the file's size. Damaged
// headers claim far more, and matio would try to allocate it all.
constexpr std::int64_t kMaxElementsPerFileByte = 1032;

void LogMatioMessage(int level, char* message) {
  const QString text = QStringLiteral("matio: %1").arg(QString::fromLocal8Bit(message));
  if (level & (MATIO_LOG_LEVEL_ERROR | MATIO_LOG_LEVEL_CRITICAL | MATIO_LOG_LEVEL_WARNING))
    qWarning().noquote() << text;
  else
    qDebug().noquote() << text;
}

// What a variable of a class that holds no image is.
QString ClassProblem(matio_classes matClass) {
  switch (matClass) {
    case MAT_C_EMPTY: return QStringLiteral("is empty");
    case MAT_C_CELL: return QStringLiteral("is a cell array");
    case MAT_C_STRUCT: return QStringLiteral("is a structure");
    case MAT_C_OBJECT: return QStringLiteral("is an object");
    case MAT_C_CHAR: return QStringLiteral("is a character array");
    case MAT_C_SPARSE: return QStringLiteral("is a sparse matrix");
    case MAT_C_INT64: return QStringLiteral("holds 64-bit integers");
    case MAT_C_UINT64: return QStringLiteral("holds 64-bit unsigned integers");
    case MAT_C_FUNCTION: return QStringLiteral("is a function handle");
    default: return QStringLiteral("is of a class that holds no image");
  }
}

// Why the variable is no real two-dimensional matrix of a class an image is read from; empty
// when it is one.
QString ShapeProblem(const matvar_t& var, bool allowChar) {
  const bool charTaken = allowChar && var.class_type == MAT_C_CHAR;
  if (DataTypeOfMatClass(var.class_type) == ur::eImageDataUnknown && !charTaken)
    return ClassProblem(var.class_type);
  if (var.rank != 2 || !var.dims) return QStringLiteral("is a %1-D array").arg(var.rank);
  if (var.isComplex) return QStringLiteral("is complex");
  if (var.dims[0] == 0 || var.dims[1] == 0) return QStringLiteral("is empty");
  if (var.dims[0] > INT_MAX || var.dims[1] > INT_MAX) return QStringLiteral("is too large");
  return QString();
}

bool IsRealMatrix(const matvar_t& var, bool allowChar) {
  return ShapeProblem(var, allowChar).isEmpty();
}

bool FitsInFile(mat_t* mat, const matvar_t& var) {
  const char* fileName = Mat_GetFilename(mat);
  if (!fileName) return false;
  const std::int64_t fileBytes = QFileInfo(QString::fromLocal8Bit(fileName)).size();
  // Both dimensions are below 2^31, so the product fits.
  const std::int64_t elements = std::int64_t(var.dims[0]) * std::int64_t(var.dims[1]);
  // Stored without compression, every element takes at least one byte of the file.
  const std::int64_t perByte =
      var.compression == MAT_COMPRESSION_NONE ? 1 : kMaxElementsPerFileByte;
  return fileBytes > 0 && elements / perByte <= fileBytes;
}

// The element size matio must have read the data in.
int ExpectedElementBytes(const matvar_t& var) {
  if (var.class_type == MAT_C_CHAR)
    return var.data_size == 1 || var.data_size == 2 ? var.data_size : 0;
  matio_classes matClass;
  matio_types matType;
  const ur::ExImageDataType type = DataTypeOfMatClass(var.class_type);
  if (!MatClassOfDataType(type, matClass, matType) || var.data_type != matType) return 0;
  return ur::BytesPerSample(type);
}

bool HoldsAllElements(const matvar_t& var) {
  const int bytes = ExpectedElementBytes(var);
  if (!var.data || bytes == 0 || var.data_size != bytes) return false;
  const std::uint64_t needed = std::uint64_t(var.dims[0]) * var.dims[1] * std::uint64_t(bytes);
  return var.nbytes >= needed;
}

}  // namespace

void InstallMatioLogger() {
  static std::once_flag once;
  std::call_once(once, [] { Mat_LogInitFunc("urs_core", &LogMatioMessage); });
}

bool MatClassOfDataType(ur::ExImageDataType type, matio_classes& matClass, matio_types& matType) {
  for (const SxClassEntry& e : kClasses) {
    if (e.dataType != type) continue;
    matClass = e.matClass;
    matType = e.matType;
    return true;
  }
  return false;
}

ur::ExImageDataType DataTypeOfMatClass(matio_classes matClass) {
  for (const SxClassEntry& e : kClasses)
    if (e.matClass == matClass && e.readable) return e.dataType;
  return ur::eImageDataUnknown;
}

bool WriteMatrix(mat_t* mat, const QString& name, matio_classes matClass, matio_types matType,
                 std::size_t rows, std::size_t cols, const void* data) {
  if (!mat || name.isEmpty() || (!data && rows * cols > 0)) return false;
  const QByteArray latin = name.toLatin1();
  std::size_t dims[2] = {rows, cols};
  // The variable only lends the data for the write; matio does not free lent data.
  MatVarPtr var(Mat_VarCreate(latin.constData(), matClass, matType, 2, dims,
                              const_cast<void*>(data), MAT_F_DONT_COPY_DATA));
  if (!var) return false;
  return Mat_VarWrite(mat, var.get(), MAT_COMPRESSION_NONE) == 0;
}

bool HasVariable(mat_t* mat, const QString& name) {
  if (!mat || name.isEmpty()) return false;
  return MatVarPtr(Mat_VarReadInfo(mat, name.toLatin1().constData())) != nullptr;
}

QString MatrixProblem(mat_t* mat, const matvar_t& info, bool allowChar) {
  const QString problem = ShapeProblem(info, allowChar);
  if (!problem.isEmpty()) return problem + QStringLiteral(": not supported");
  if (!FitsInFile(mat, info)) return QStringLiteral("claims more elements than the file holds");
  return QString();
}

MatVarPtr ReadMatrix(mat_t* mat, const QString& name, bool allowChar, QString* problem) {
  const auto fail = [problem](const QString& why) {
    if (problem) *problem = why;
    return nullptr;
  };
  if (!mat || name.isEmpty()) return fail(QStringLiteral("has no name"));
  const QByteArray latin = name.toLatin1();
  // The header first: its dimensions are checked before matio allocates for the data.
  const MatVarPtr info(Mat_VarReadInfo(mat, latin.constData()));
  if (!info) return fail(QStringLiteral("is missing"));
  const QString why = MatrixProblem(mat, *info, allowChar);
  if (!why.isEmpty()) return fail(why);
  MatVarPtr var(Mat_VarRead(mat, latin.constData()));
  if (!var || !IsRealMatrix(*var, allowChar) || var->class_type != info->class_type ||
      var->dims[0] != info->dims[0] || var->dims[1] != info->dims[1] || !HoldsAllElements(*var))
    return fail(QStringLiteral("cannot be read whole: the file is damaged"));
  return var;
}

std::vector<MatVarPtr> ReadVariableInfos(mat_t* mat) {
  std::vector<MatVarPtr> infos;
  if (!mat || Mat_Rewind(mat) != 0) return infos;
  while (MatVarPtr info{Mat_VarReadNextInfo(mat)}) {
    if (info->name) infos.push_back(std::move(info));
  }
  return infos;
}

bool SameMatrixShape(const matvar_t& a, const matvar_t& b) {
  return a.class_type == b.class_type && a.data_type == b.data_type && a.rank == b.rank &&
         a.dims[0] == b.dims[0] && a.dims[1] == b.dims[1];
}

bool AllocImageForMatrices(const matvar_t& first, int planes, ur::SxImageBuf& image) {
  const ur::ExImageDataType type = DataTypeOfMatClass(first.class_type);
  if (type == ur::eImageDataUnknown || planes < 1 || Cols(first) > INT_MAX || Rows(first) > INT_MAX)
    return false;
  // One plane is stored alike either way; it is called interleaved, as grey images are.
  return ur::Succeeded(ur::AllocBuffer(image, int(Cols(first)), int(Rows(first)), planes,
                                       8 * ur::BytesPerSample(type), type, planes > 1 ? 1 : 0));
}

bool CopyMatrixToPlane(const matvar_t& var, ur::SxImageBuf& image, int plane) {
  const ur::ExImageDataType type = DataTypeOfMatClass(var.class_type);
  const int planes = image.planar ? image.channels : 1;
  if (type == ur::eImageDataUnknown || type != image.dataType || plane < 0 || plane >= planes ||
      (!image.planar && image.channels != 1) || Cols(var) != std::size_t(image.width) ||
      Rows(var) != std::size_t(image.height))
    return false;
  const std::int64_t columnBytes = std::int64_t(Rows(var)) * ur::BytesPerSample(type);
  if (columnBytes > INT_MAX) return false;

  // Column-major storage read as an image whose rows are the matrix's columns; transposing it
  // gives the picture.
  ur::SxImageBuf columns;
  columns.width = int(Rows(var));
  columns.height = int(Cols(var));
  columns.channels = 1;
  columns.bitDepth = image.bitDepth;
  columns.dataType = type;
  columns.linePitch = int(columnBytes);
  columns.data = static_cast<unsigned char*>(var.data);

  ur::SxImageBuf target = image;
  target.channels = 1;
  target.planar = 0;
  target.data = ur::RowPtr(image, 0, plane);
  return ur::Succeeded(ur::Transpose(columns, target));
}

ur::FileFormatList MatlabFileFormats() {
  return {ur::SxFileFormat{QStringLiteral("MATLAB matrix (*.mat)"), 1}};
}

}  // namespace urs::matlab::detail
