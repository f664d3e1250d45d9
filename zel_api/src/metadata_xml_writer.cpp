// The XML text of the metadata record (root "zel_md").
#include "metadata_common.h"

#include <zel/metadata.h>

#include <ur/result.h>

#include <QDomDocument>
#include <QDomImplementation>

#include <cstdint>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::ChannelName;

// Text form of a value pair: thresholds unsigned, pixel values signed.
QString UnsignedPair(unsigned short first, unsigned short second) {
  return QStringLiteral("%1:%2").arg(first).arg(second);
}

QString SignedPair(std::uint32_t first, std::uint32_t second) {
  return QStringLiteral("%1:%2").arg(static_cast<int>(first)).arg(static_cast<int>(second));
}

QDomElement ProcessingElement(QDomDocument& doc, const ZelMetadata& m, int sampleBits) {
  QDomElement processing = doc.createElement(QStringLiteral("processing"));
  processing.setAttribute(QStringLiteral("levelsCount"), m.levelsCount);
  if (sampleBits != 0) processing.setAttribute(QStringLiteral("sampleBits"), sampleBits);
  processing.setAttribute(QStringLiteral("bayerGrid"), static_cast<int>(m.bayerGrid));
  processing.setAttribute(QStringLiteral("zelType"), m.zelType);
  // Without a mosaic nothing was demosaiced.
  if (m.bayerGrid != ur::eBayerNone)
    processing.setAttribute(QStringLiteral("debayer"), static_cast<int>(m.debayer));
  return processing;
}

unsigned int BuildMapping(QDomDocument& doc, const ZelMetadata& m, int channels,
                          QDomElement& mapping) {
  mapping = doc.createElement(QStringLiteral("mapping"));
  for (int c = 0; c < channels; ++c) {
    QString text;
    const unsigned int r = GetMappingString(m.occupied[c], m.mapping[c], m.levelsCount, text);
    if (ur::Failed(r)) return r;
    QDomElement channel = doc.createElement(ChannelName(c));
    channel.setAttribute(QStringLiteral("value"), text);
    mapping.appendChild(channel);
  }
  return rc::Ok;
}

QDomElement NormalizationElement(QDomDocument& doc, const ZelMetadata& m, int channels) {
  QDomElement normalization = doc.createElement(QStringLiteral("normalization"));
  for (int c = 0; c < channels; ++c)
    normalization.setAttribute(ChannelName(c), QString::number(m.normalization[c]));
  return normalization;
}

QDomElement ThresholdElement(QDomDocument& doc, const ZelMetadata& m, int channels) {
  QDomElement threshold = doc.createElement(QStringLiteral("threshold"));
  threshold.setAttribute(QStringLiteral("apply"), m.applyThreshold ? 1 : 0);
  if (m.applyThreshold)
    for (int c = 0; c < channels; ++c)
      threshold.setAttribute(ChannelName(c), UnsignedPair(m.thresholds[c][0], m.thresholds[c][1]));
  return threshold;
}

QDomElement InvalidPixelsElement(QDomDocument& doc, const ZelMetadata& m, int channels) {
  QDomElement list = doc.createElement(QStringLiteral("invalid_pixels"));
  list.appendChild(doc.createComment(QStringLiteral("the channelX format is invalid_val:new_val")));
  for (const InvalidPixel& p : m.invalidPixels) {
    QDomElement pixel = doc.createElement(QStringLiteral("pixel"));
    pixel.setAttribute(QStringLiteral("row"), p.row);
    pixel.setAttribute(QStringLiteral("col"), p.col);
    for (int c = 0; c < channels; ++c)
      pixel.setAttribute(ChannelName(c), SignedPair(p.invalidValue[c], p.newValue[c]));
    list.appendChild(pixel);
  }
  return list;
}

}  // namespace

namespace detail {

unsigned int MetadataText(const ZelMetadata& metadata, int sampleBits, QString& text) {
  const QString rootName = QStringLiteral("zel_md");
  QDomDocument doc(QDomImplementation().createDocumentType(rootName, QString(), QString()));
  QDomElement root = doc.createElement(rootName);
  root.setAttribute(QStringLiteral("ver_major"), metadata.verMajor);
  root.setAttribute(QStringLiteral("ver_minor"), metadata.verMinor);
  QDomElement processing = ProcessingElement(doc, metadata, sampleBits);

  const int channels = detail::WrittenChannels(metadata);
  QDomElement mapping;
  const unsigned int r = BuildMapping(doc, metadata, channels, mapping);
  if (ur::Failed(r)) return r;
  processing.appendChild(mapping);
  processing.appendChild(NormalizationElement(doc, metadata, channels));
  processing.appendChild(ThresholdElement(doc, metadata, channels));
  if (!metadata.invalidPixels.isEmpty())
    processing.appendChild(InvalidPixelsElement(doc, metadata, channels));

  root.appendChild(processing);
  doc.appendChild(root);
  text = doc.toString(1);
  return rc::Ok;
}

}  // namespace detail

unsigned int SaveMetadataToString(const ZelMetadata& metadata, QString& text) {
  return detail::MetadataText(metadata, metadata.sampleBits, text);
}

}  // namespace urs::zel
