#pragma once
// PNG chunk writing, and the repair of the text chunks of a PNG that FreeImage has just encoded.
// Our own 8-bit PNG encoder writes its chunks here too, so both paths store tags alike.
//
// FreeImage writes every comment tag as an uncompressed iTXt chunk, whose text the PNG standard
// defines as UTF-8. The ZEL record is Latin-1 text: a record with letters such as "é" would make
// an invalid iTXt chunk that other readers show garbled, and some readers (ImageMagick 6) do not
// show iTXt at all. So only international UTF-8 text stays iTXt; ASCII and Latin-1 text become
// tEXt chunks, whose text is Latin-1 by definition. FreeImage reads both kinds back as the same
// bytes.

#include <QByteArray>

namespace ur::detail {

constexpr int kPngSignatureBytes = 8;
constexpr char kPngSignature[kPngSignatureBytes + 1] = "\x89PNG\r\n\x1a\n";

// Appends one PNG chunk (length, type, data, CRC) to out. type is four letters.
void AppendPngChunk(QByteArray& out, const char* type, const char* data, int size);
// The same in two steps, for data written straight into out: BeginPngChunk appends the length
// field and the type and returns where the chunk starts; the caller then appends the data;
// EndPngChunk fills in the length and appends the CRC.
int BeginPngChunk(QByteArray& out, const char* type);
void EndPngChunk(QByteArray& out, int start);

// Appends the chunk for one comment tag as the FreeImage path leaves it after the repair below:
// an uncompressed iTXt chunk without language tag when text is valid UTF-8 beyond ASCII, else a
// tEXt chunk.
// keyword must be a valid PNG keyword (1-79 Latin-1 characters).
void AppendPngTextChunk(QByteArray& out, const QByteArray& keyword, const QByteArray& text);

// Returns png with every uncompressed iTXt chunk that has no language tag or translated keyword
// and whose text is ASCII or not valid UTF-8 rewritten as a tEXt chunk with the same keyword and
// bytes.
// Other chunks are copied unchanged. A stream that is not a well-formed chunk sequence is
// returned as it is.
QByteArray LatinTextChunksToTExt(const QByteArray& png);

// The PNG chunk checksum (CRC-32 of ISO 3309) of the bytes; crc continues an earlier sum.
quint32 PngCrc(const char* data, int size, quint32 crc = 0);

}  // namespace ur::detail
