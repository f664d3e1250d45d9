#pragma once
// The image loading front: whole-image reads and writes through the format manager, and a loader
// that adds MATLAB files (".mat") and text matrices (".txt").

#include <urs/urs_core_export.h>

#include <ur/image_buf.h>
#include <ur/metadata.h>

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

namespace urs {

// The format manager's loadImageFromFile; its result unchanged.
URS_CORE_EXPORT bool LoadImageFromFile(const QString& path, ur::SxImageBuf& image,
                                       ur::CxMetadata* metadata);
// The format manager's saveImageToFile (not interactive, no format override).
URS_CORE_EXPORT bool SaveImageToFile(const QString& path, const ur::SxImageBuf& image,
                                     const ur::CxMetadata* metadata,
                                     const QMap<QString, QVariant>* options);

class URS_CORE_EXPORT ImageLoader {
public:
  ImageLoader() = default;
  ImageLoader(const ImageLoader&) = default;
  ImageLoader& operator=(const ImageLoader&) = default;
  virtual ~ImageLoader();

  // A new FileImageLoader on every call; the caller owns it (delete through this interface).
  static ImageLoader* instance();

  // Loads the file named by params["filename"] into image (allocated here). errorMessage (may be
  // null) receives the reason on failure: "Cannot load the <file>." and, for text matrices and
  // MATLAB files, why ("Cannot load the <file>: line 2, column 3: "x" is not a number.").
  virtual bool load(QMap<QString, QVariant> params, ur::SxImageBuf& image,
                    QString* errorMessage) = 0;
};

}  // namespace urs

Q_DECLARE_INTERFACE(urs::ImageLoader, "ImageLoader")

namespace urs {

class URS_CORE_EXPORT FileImageLoader : public QObject, public ImageLoader {
  Q_OBJECT
  Q_INTERFACES(urs::ImageLoader)
  Q_CLASSINFO("CustomName", "File Image Loader")
public:
  Q_INVOKABLE FileImageLoader();

  bool load(QMap<QString, QVariant> params, ur::SxImageBuf& image, QString* errorMessage) override;
};

// Reads a text matrix: one row per line, decimal values (C locale) separated by commas, blanks or
// tabs. A run of blanks or tabs is one separator, and so is a comma with blanks around it; blanks
// at the ends of a line separate nothing; two commas with nothing between them enclose an empty
// value, which reads 0. Blank lines at the end of the file are ignored. Gives a one-channel
// image of doubles. False, with no buffer left allocated, for an unreadable or empty file,
// ragged rows, a blank line between rows, a value that is not a number, or more than 2^26
// values; reason (may be null) then says which, naming the line and column of a bad value.
URS_CORE_EXPORT bool LoadTextMatrix(const QString& path, ur::SxImageBuf& image,
                                    QString* reason = nullptr);

// Registers the MATLAB loader, saver and metadata classes with the class registry. Always true.
URS_CORE_EXPORT bool Init();
// The counterpart of Init. Always true.
URS_CORE_EXPORT bool Finish();

}  // namespace urs
