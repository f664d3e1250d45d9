#include "image_png_text.h"

#include <QTextCodec>
#include <QtEndian>

#include <array>
#include <utility>
#include <vector>

namespace ur::detail {
namespace {

constexpr int kSignatureBytes = 8;
constexpr int kChunkOverhead = 12;  // length, type, CRC
const char kPngSignature[kSignatureBytes + 1] = "\x89PNG\r\n\x1a\n";

std::array<quint32, 256> MakeCrcTable() {
  std::array<quint32, 256> table{};
  for (quint32 n = 0; n < 256; ++n) {
    quint32 c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

bool IsValidUtf8(const QByteArray& text) {
  QTextCodec* codec = QTextCodec::codecForName("UTF-8");
  QTextCodec::ConverterState state;
  codec->toUnicode(text.constData(), text.size(), &state);
  return state.invalidChars == 0 && state.remainingChars == 0;
}

void AppendChunk(QByteArray& out, const char* type, const QByteArray& data) {
  char length[4];
  qToBigEndian(quint32(data.size()), length);
  out.append(length, 4);
  const QByteArray typeAndData = QByteArray(type, 4) + data;
  out.append(typeAndData);
  char crc[4];
  qToBigEndian(PngCrc(typeAndData.constData(), typeAndData.size()), crc);
  out.append(crc, 4);
}

// The tEXt body (keyword, 0, text) for an iTXt body that qualifies, else an empty array.
QByteArray TextBodyFor(const QByteArray& itxt) {
  // iTXt: keyword 0 | compression flag | method | language 0 | translated keyword 0 | text
  const int keywordEnd = itxt.indexOf('\0');
  if (keywordEnd <= 0 || keywordEnd + 5 > itxt.size()) return {};
  const bool compressed = itxt[keywordEnd + 1] != 0;
  const bool noLanguage = itxt[keywordEnd + 3] == 0 && itxt[keywordEnd + 4] == 0;
  if (compressed || !noLanguage) return {};
  const QByteArray text = itxt.mid(keywordEnd + 5);
  if (text.contains('\0') || IsValidUtf8(text)) return {};
  return itxt.left(keywordEnd + 1) + text;
}

}  // namespace

quint32 PngCrc(const char* data, int size, quint32 crc) {
  static const std::array<quint32, 256> table = MakeCrcTable();
  crc = ~crc;
  for (int i = 0; i < size; ++i) crc = table[(crc ^ quint8(data[i])) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

QByteArray LatinTextChunksToTExt(const QByteArray& png) {
  if (!png.startsWith(QByteArray::fromRawData(kPngSignature, kSignatureBytes))) return png;
  // Find the chunks to rewrite first: most files have none and are returned without a copy.
  struct Replacement {
    qint64 begin;
    qint64 end;
    QByteArray body;
  };
  std::vector<Replacement> replacements;
  for (qint64 pos = kSignatureBytes; pos < png.size();) {
    if (pos + kChunkOverhead > png.size()) return png;
    const qint64 length = qFromBigEndian<quint32>(png.constData() + pos);
    if (length > png.size() - pos - kChunkOverhead) return png;
    const qint64 end = pos + length + kChunkOverhead;
    if (png.mid(int(pos) + 4, 4) == "iTXt") {
      QByteArray body = TextBodyFor(png.mid(int(pos) + 8, int(length)));
      if (!body.isEmpty()) replacements.push_back({pos, end, std::move(body)});
    }
    pos = end;
  }
  if (replacements.empty()) return png;

  QByteArray out;
  out.reserve(png.size());
  qint64 copied = 0;
  for (const Replacement& r : replacements) {
    out.append(png.constData() + copied, int(r.begin - copied));
    AppendChunk(out, "tEXt", r.body);
    copied = r.end;
  }
  out.append(png.constData() + copied, int(png.size() - copied));
  return out;
}

}  // namespace ur::detail
