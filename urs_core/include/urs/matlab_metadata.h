#pragma once
// How an image was stored in a MATLAB file, kept in its metadata collection, and the XML saver
// and loader of that record (elements "reverse_rows", "orig_channels", "saved_channels").

#include <urs/urs_core_export.h>

#include <ur/metadata.h>

#include <QDomDocument>
#include <QDomElement>
#include <QStringList>

namespace urs::matlab {

class URS_CORE_EXPORT CxMatlabImageMetadata : public ur::IxMetadataItem {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Matlab Image Metadata")
public:
  Q_INVOKABLE explicit CxMatlabImageMetadata(QObject* parent = nullptr);
  ur::IxMetadataItem* clone() const override;

  bool reverseRows = false;  // the bottom row was written first
  int origChannels = 0;      // channels of the image before saving
  int savedChannels = 0;     // matrices written
};

class URS_CORE_EXPORT CxMatlabMetadataSaver : public ur::IxMetadataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "MATLAB Image Metadata Saver")
public:
  Q_INVOKABLE explicit CxMatlabMetadataSaver(QObject* parent = nullptr);

  // Appends the three elements to parent. False for a null or foreign item.
  bool save(QDomDocument& doc, QDomElement& parent, const ur::IxMetadataItem* item) override;
  QStringList supportedTypes() const override;
};

class URS_CORE_EXPORT CxMatlabMetadataLoader : public ur::IxMetadataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Matlab Image Metadata Loader")
public:
  Q_INVOKABLE explicit CxMatlabMetadataLoader(QObject* parent = nullptr);

  // Reads the three elements found below parent. A missing element is logged and makes the
  // result false, but the others are still read; an element without content leaves its field.
  // False for a null or foreign item.
  bool load(const QDomElement& parent, ur::IxMetadataItem* item) override;
  QStringList supportedTypes() const override;
};

}  // namespace urs::matlab
