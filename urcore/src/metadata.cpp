#include <ur/metadata.h>
#include <ur/rtti.h>

#include <QDebug>
#include <QTextStream>

#include <algorithm>

namespace ur {

namespace {
const QString kRootTag = QStringLiteral("ur_metadata");
const QString kItemTag = QStringLiteral("item");
const QString kTypeAttribute = QStringLiteral("type");
const QString kVersionAttribute = QStringLiteral("version");
constexpr int kXmlVersion = 1;

const QString kSaverInterface = QStringLiteral("IxMetadataSaver");
const QString kLoaderInterface = QStringLiteral("IxMetadataLoader");

// An item whose type no registered loader reads. Its <item> element is kept as XML text and
// written back as it came, so that metadata of other programs survives a load and a save.
class CxUnknownMetadataItem : public IxMetadataItem {
  Q_OBJECT
public:
  CxUnknownMetadataItem(const QString& type, const QString& xml) : m_type(type), m_xml(xml) {}
  IxMetadataItem* clone() const override { return new CxUnknownMetadataItem(m_type, m_xml); }
  const QString& storedType() const { return m_type; }
  const QString& xml() const { return m_xml; }

private:
  QString m_type;
  QString m_xml;
};

// The type an item is filed under: its class name, or for a kept item the type it was read with.
QString TypeOf(const IxMetadataItem* item) {
  if (const auto* unknown = qobject_cast<const CxUnknownMetadataItem*>(item))
    return unknown->storedType();
  return item->typeName();
}

QString ElementText(const QDomElement& element) {
  QString text;
  QTextStream stream(&text);
  element.save(stream, -1);
  return text;
}

// One instance of every registered saver (or loader), asked in registration order which
// item types it handles.
template <typename Codec>
class CodecSet {
public:
  explicit CodecSet(const QString& interfaceName) {
    CxRtti* rtti = CxRtti::instance();
    for (const QMetaObject* mo : rtti->classes(interfaceName)) {
      if (Codec* codec = rtti->create<Codec>(QString::fromLatin1(mo->className())))
        m_codecs.emplace_back(codec);
    }
  }
  Codec* find(const QString& type) const {
    for (const auto& codec : m_codecs)
      if (codec->supportedTypes().contains(type)) return codec.get();
    return nullptr;
  }

private:
  std::vector<std::unique_ptr<Codec>> m_codecs;
};

// Replaces the item of the same type in its place, or appends.
void Insert(std::vector<std::unique_ptr<IxMetadataItem>>& items,
            std::unique_ptr<IxMetadataItem> item) {
  if (!item) return;
  item->setParent(nullptr);  // the collection owns it; a parent would delete it a second time
  const QString type = TypeOf(item.get());
  auto same = std::find_if(items.begin(), items.end(),
                           [&](const auto& held) { return TypeOf(held.get()) == type; });
  if (same != items.end())
    *same = std::move(item);
  else
    items.push_back(std::move(item));
}

// The item an <item> element describes: loaded by its registered loader, else kept verbatim.
std::unique_ptr<IxMetadataItem> ReadItem(const QDomElement& element,
                                         const CodecSet<IxMetadataLoader>& loaders) {
  const QString type = element.attribute(kTypeAttribute);
  IxMetadataLoader* loader = loaders.find(type);
  std::unique_ptr<IxMetadataItem> item;
  if (loader) item.reset(CxRtti::instance()->create<IxMetadataItem>(type));
  if (!item) return std::make_unique<CxUnknownMetadataItem>(type, ElementText(element));
  // A loader that misses some values still fills the others; keep what it read.
  if (!loader->load(element, item.get()))
    qWarning().noquote() << QStringLiteral("Metadata item %1 was read incompletely.").arg(type);
  return item;
}

void WriteItem(QDomDocument& doc, QDomElement& root, const IxMetadataItem* item,
               const CodecSet<IxMetadataSaver>& savers) {
  if (const auto* unknown = qobject_cast<const CxUnknownMetadataItem*>(item)) {
    QDomDocument kept;
    if (kept.setContent(unknown->xml())) root.appendChild(doc.importNode(kept.documentElement(), true));
    return;
  }
  const QString type = item->typeName();
  QDomElement element = doc.createElement(kItemTag);
  element.setAttribute(kTypeAttribute, type);
  IxMetadataSaver* saver = savers.find(type);
  if (saver && !saver->save(doc, element, item)) {
    qWarning().noquote() << QStringLiteral("Metadata item %1 could not be saved.").arg(type);
    return;
  }
  if (!saver) qWarning().noquote() << QStringLiteral("No metadata saver for %1.").arg(type);
  root.appendChild(element);
}
}  // namespace

CxMetadata::CxMetadata() = default;
CxMetadata::~CxMetadata() = default;
CxMetadata::CxMetadata(CxMetadata&&) noexcept = default;
CxMetadata& CxMetadata::operator=(CxMetadata&&) noexcept = default;

CxMetadata::CxMetadata(const CxMetadata& other) {
  m_items.reserve(other.m_items.size());
  for (const auto& item : other.m_items) m_items.emplace_back(item->clone());
}

CxMetadata& CxMetadata::operator=(const CxMetadata& other) {
  if (this != &other) {
    CxMetadata copy(other);
    m_items = std::move(copy.m_items);
  }
  return *this;
}

bool CxMetadata::isEmpty() const { return m_items.empty(); }

int CxMetadata::count() const { return int(m_items.size()); }

void CxMetadata::clear() { m_items.clear(); }

void CxMetadata::addItem(IxMetadataItem* item) { Insert(m_items, std::unique_ptr<IxMetadataItem>(item)); }

void CxMetadata::addItem(std::unique_ptr<IxMetadataItem> item) { Insert(m_items, std::move(item)); }

bool CxMetadata::removeItem(const QString& typeName) {
  auto it = std::find_if(m_items.begin(), m_items.end(),
                         [&](const auto& held) { return TypeOf(held.get()) == typeName; });
  if (it == m_items.end()) return false;
  m_items.erase(it);
  return true;
}

IxMetadataItem* CxMetadata::item(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return m_items[std::size_t(index)].get();
}

IxMetadataItem* CxMetadata::item(const QString& typeName) const {
  for (const auto& held : m_items)
    if (TypeOf(held.get()) == typeName) return held.get();
  return nullptr;
}

QString CxMetadata::saveToXml(int indent) const {
  QDomDocument doc;
  QDomElement root = doc.createElement(kRootTag);
  root.setAttribute(kVersionAttribute, kXmlVersion);
  doc.appendChild(root);
  if (!m_items.empty()) {
    const CodecSet<IxMetadataSaver> savers(kSaverInterface);
    for (const auto& item : m_items) WriteItem(doc, root, item.get(), savers);
  }
  return doc.toString(indent);
}

bool CxMetadata::loadFromXml(const QString& xml) {
  QDomDocument doc;
  QString error;
  int line = 0;
  int column = 0;
  if (!doc.setContent(xml, &error, &line, &column)) {
    qWarning().noquote()
        << QStringLiteral("Metadata XML is not well-formed (line %1, column %2): %3")
               .arg(line)
               .arg(column)
               .arg(error);
    return false;
  }
  const QDomElement root = doc.documentElement();
  if (root.tagName() != kRootTag) {
    qWarning().noquote() << QStringLiteral("Metadata XML has the root <%1>, not <%2>.")
                                .arg(root.tagName(), kRootTag);
    return false;
  }
  std::vector<std::unique_ptr<IxMetadataItem>> items;
  const CodecSet<IxMetadataLoader> loaders(kLoaderInterface);
  for (QDomElement e = root.firstChildElement(kItemTag); !e.isNull();
       e = e.nextSiblingElement(kItemTag))
    Insert(items, ReadItem(e, loaders));
  m_items = std::move(items);
  return true;
}

}  // namespace ur

#include "metadata.moc"
