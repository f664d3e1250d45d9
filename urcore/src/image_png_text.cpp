#include "image_png_text.h"

#include <libdeflate.h>

#include <QTextCodec>
#include <QtEndian>

#include <algorithm>
#include <utility>
#include <vector>

namespace ur::detail {
namespace {

constexpr int kChunkOverhead = 12;  // length, type, CRC

bool IsValidUtf8(const QByteArray& text) {
  QTextCodec* codec = QTextCodec::codecForName("UTF-8");
  QTextCodec::ConverterState state;
  codec->toUnicode(text.constData(), text.size(), &state);
  return state.invalidChars == 0 && state.remainingChars == 0;
}

// Text that needs an iTXt chunk: valid UTF-8 with letters beyond ASCII. ASCII and Latin-1 text
// go in tEXt chunks, which every reader shows (ImageMagick 6, for one, ignores iTXt).
bool IsInternationalText(const QByteArray& text) {
  const bool ascii =
      std::all_of(text.begin(), text.end(), [](char c) { return quint8(c) < 0x80; });
  return !ascii && IsValidUtf8(text);
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
  if (text.contains('\0') || IsInternationalText(text)) return {};
  return itxt.left(keywordEnd + 1) + text;
}

}  // namespace

quint32 PngCrc(const char* data, int size, quint32 crc) {
  // libdeflate answers a null pointer with a fresh sum, not with crc.
  return size > 0 ? libdeflate_crc32(crc, data, std::size_t(size)) : crc;
}

int BeginPngChunk(QByteArray& out, const char* type) {
  const int start = out.size();
  out.append(4, '\0');  // the length, known at the end
  out.append(type, 4);
  return start;
}

void EndPngChunk(QByteArray& out, int start) {
  constexpr int kLengthBytes = 4;
  const int typeAndData = out.size() - start - kLengthBytes;
  qToBigEndian(quint32(typeAndData - 4), out.data() + start);
  char crc[4];
  qToBigEndian(PngCrc(out.constData() + start + kLengthBytes, typeAndData), crc);
  out.append(crc, 4);
}

void AppendPngChunk(QByteArray& out, const char* type, const char* data, int size) {
  const int start = BeginPngChunk(out, type);
  out.append(data, size);
  EndPngChunk(out, start);
}

void AppendPngTextChunk(QByteArray& out, const QByteArray& keyword, const QByteArray& text) {
  // tEXt: keyword 0 | text. iTXt: keyword 0 | compression flag 0 | method 0 | no language 0 |
  // no translated keyword 0 | text.
  const bool latin = !IsInternationalText(text);
  const QByteArray body = keyword + QByteArray(latin ? 1 : 5, '\0') + text;
  AppendPngChunk(out, latin ? "tEXt" : "iTXt", body.constData(), body.size());
}

QByteArray LatinTextChunksToTExt(const QByteArray& png) {
  if (!png.startsWith(QByteArray::fromRawData(kPngSignature, kPngSignatureBytes))) return png;
  // Find the chunks to rewrite first: most files have none and are returned without a copy.
  struct Replacement {
    qint64 begin;
    qint64 end;
    QByteArray body;
  };
  std::vector<Replacement> replacements;
  for (qint64 pos = kPngSignatureBytes; pos < png.size();) {
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
    AppendPngChunk(out, "tEXt", r.body.constData(), r.body.size());
    copied = r.end;
  }
  out.append(png.constData() + copied, int(png.size() - copied));
  return out;
}

}  // namespace ur::detail
