#pragma once
// Metadata collections: an ordered list of typed items with an XML text form.
//
// Item classes derive from IxMetadataItem and are registered with CxRtti under the interface name
// "IxMetadataItem"; a saver (IxMetadataSaver) and a loader (IxMetadataLoader) registered under
// "IxMetadataSaver" / "IxMetadataLoader" turn an item into XML elements and back. Their
// supportedTypes() name the item classes (meta-object class names) they handle.
//
// XML layout:
//   <ur_metadata version="1">
//     <item type="ur::CxCommonImageMetadata"> ...elements written by the item's saver... </item>
//   </ur_metadata>
// Items whose type no registered loader knows are kept verbatim and written back unchanged, so
// that metadata of other programs survives a load and save; such an item is found by its type
// name with item(typeName), though find<T>() cannot cast it. An item whose loader reports a
// failure keeps the values the loader did read.

#include <ur/urcore_export.h>

#include <QDomDocument>
#include <QDomElement>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace ur {

class URCORE_EXPORT IxMetadataItem : public QObject {
  Q_OBJECT
public:
  explicit IxMetadataItem(QObject* parent = nullptr) : QObject(parent) {}
  // A new item with the same values; the caller owns it.
  virtual IxMetadataItem* clone() const = 0;
  // The meta-object class name, e.g. "ur::CxCommonImageMetadata".
  QString typeName() const { return QString::fromLatin1(metaObject()->className()); }
};

class URCORE_EXPORT IxMetadataSaver : public QObject {
  Q_OBJECT
public:
  explicit IxMetadataSaver(QObject* parent = nullptr) : QObject(parent) {}
  // Appends the item's elements to parent. False for a null or foreign item.
  virtual bool save(QDomDocument& doc, QDomElement& parent, const IxMetadataItem* item) = 0;
  virtual QStringList supportedTypes() const = 0;
};

class URCORE_EXPORT IxMetadataLoader : public QObject {
  Q_OBJECT
public:
  explicit IxMetadataLoader(QObject* parent = nullptr) : QObject(parent) {}
  // Fills item from the child elements of parent. False for a null or foreign item.
  virtual bool load(const QDomElement& parent, IxMetadataItem* item) = 0;
  virtual QStringList supportedTypes() const = 0;
};

// An ordered collection of metadata items with value semantics: copies clone the items.
class URCORE_EXPORT CxMetadata {
public:
  CxMetadata();
  ~CxMetadata();
  CxMetadata(const CxMetadata& other);
  CxMetadata& operator=(const CxMetadata& other);
  CxMetadata(CxMetadata&&) noexcept;
  CxMetadata& operator=(CxMetadata&&) noexcept;

  bool isEmpty() const;
  int count() const;
  void clear();

  // Takes ownership. An item of a type already present replaces that item in its place.
  void addItem(IxMetadataItem* item);
  void addItem(std::unique_ptr<IxMetadataItem> item);
  // Removes (and deletes) the item of that type; false when there is none.
  bool removeItem(const QString& typeName);

  IxMetadataItem* item(int index) const;
  IxMetadataItem* item(const QString& typeName) const;
  template <typename T>
  T* find() const {
    return qobject_cast<T*>(item(QString::fromLatin1(T::staticMetaObject.className())));
  }

  // The XML text; indent as QDomDocument::toString (-1: one line).
  QString saveToXml(int indent = -1) const;
  // Replaces the contents by the items of the XML text. On failure (not well-formed, wrong root)
  // returns false and leaves the collection unchanged.
  bool loadFromXml(const QString& xml);

private:
  std::vector<std::unique_ptr<IxMetadataItem>> m_items;
};

}  // namespace ur
