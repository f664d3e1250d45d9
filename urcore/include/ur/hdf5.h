#pragma once
// HDF5 routines of the framework: image buffers, whole image objects, metadata, histograms and
// attributes written into and read from an HDF5 file or group, and the process-wide lock that
// serialises all use of the HDF5 library. The layout the routines write is described at the top
// of src/hdf5_image_data.cpp.
//
// Every routine returns true on success. On failure it returns false (null) and leaves a text
// naming the object and the reason, which lastError() returns in the same thread. The routines
// catch every exception of the HDF5 library and std::bad_alloc; none escapes. Each takes the
// lock itself; callers that open files with the HDF5 classes hold it around that too.

#include <ur/image_buf.h>
#include <ur/image_data.h>
#include <ur/metadata.h>
#include <ur/urcore_export.h>

#include <QRect>
#include <QString>

namespace H5 {
class Exception;
class H5Object;
}

namespace ur {

class URCORE_EXPORT CxHDF5 {
public:
  CxHDF5() = delete;

  // The process-wide lock (recursive: a thread may take it again). The first lock also checks
  // that the HDF5 library matches the headers and turns off its own error printing.
  static void lock();
  static void unlock();

  // The text of the last failure of a routine in this thread; empty after a success.
  static QString lastError();
  // The text of an exception the library threw in this thread: its detail message and the
  // most specific reason on the library's error stack ("H5Fopen failed: truncated file ...").
  // Call it in the handler, before any further use of the library.
  static QString exceptionText(const H5::Exception& e);

  // Attributes of an object. readAttrInt32 reads an integer attribute that fits 32 bits; when
  // it is missing, required makes that a failure, otherwise value becomes defaultValue and the
  // result is true. A present attribute that cannot be read is a failure either way.
  static bool readAttrInt32(H5::H5Object& object, const QString& name, int& value, bool required,
                            int defaultValue);
  static bool readAttrString(H5::H5Object& object, const QString& name, QString& value);
  // Writing replaces an attribute of the same name.
  static bool writeAttrInt32(H5::H5Object& object, const QString& name, int value);
  static bool writeAttrString(H5::H5Object& object, const QString& name, const QString& value);

  // An image buffer (top row first) as the group `name`: its description and its pixels.
  // readImageBuf allocates buffer (the caller frees it with FreeBuffer); buffer is left
  // untouched on failure. Data types: every real type (not complex); 1 to 4 channels.
  static bool writeImageBuf(H5::H5Object& location, const QString& name, const SxImageBuf& buffer);
  static bool readImageBuf(H5::H5Object& location, const QString& name, SxImageBuf& buffer);
  // The description of a buffer written by writeImageBuf, at the path of its "format" group.
  static bool readImageInfo(H5::H5Object& location, const QString& path, SxImageInfo& info);

  // A whole image object as the group `name`: the pixels, the metadata, the histogram (8- and
  // 16-bit unsigned images) and the frame number and time stamp.
  static bool writeImageData(H5::H5Object& location, const QString& name, const CxImageData* data);
  // A new image object owned by the caller, or null.
  static CxImageData* readImageData(H5::H5Object& location, const QString& name);
  // The pixels of a region of the image object `name` allocated into buffer (the caller frees
  // them); the region must lie inside the image. The Bayer grid names the region's top-left cell.
  static bool readImageDataRoi(H5::H5Object& location, const QString& name, const QRect& roi,
                               SxImageBuf& buffer);

  // The metadata collection as its XML text in a fixed-length string data set at path;
  // writing replaces a data set already there. String attributes are fixed-length too.
  static bool writeMetadata(H5::H5Object& location, const QString& path, const CxMetadata& metadata);
  static bool readMetadata(H5::H5Object& location, const QString& path, CxMetadata& metadata);

  // A histogram as the group at path with one data set of counts per channel.
  static bool writeHistogram(H5::H5Object& location, const QString& path,
                             const CxImageHistogram& histogram);
  static bool readHistogram(H5::H5Object& location, const QString& path,
                            CxImageHistogram& histogram);
};

// Holds the HDF5 lock for its lifetime.
class URCORE_EXPORT CxHDF5Locker {
public:
  CxHDF5Locker() { CxHDF5::lock(); }
  ~CxHDF5Locker() { CxHDF5::unlock(); }
  CxHDF5Locker(const CxHDF5Locker&) = delete;
  CxHDF5Locker& operator=(const CxHDF5Locker&) = delete;
};

}  // namespace ur
