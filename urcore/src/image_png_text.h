#pragma once
// Repairs the text chunks of a PNG that FreeImage has just encoded.
//
// FreeImage writes every comment tag as an uncompressed iTXt chunk, whose text the PNG standard
// defines as UTF-8. The ZEL record is Latin-1 text, so a record with letters such as
// "é" would make an invalid iTXt chunk that other readers show garbled. Such chunks become tEXt
// chunks, whose text is Latin-1 by definition; FreeImage reads both kinds back as the same bytes.

#include <QByteArray>

namespace ur::detail {

// Returns png with every uncompressed iTXt chunk that has no language tag or translated keyword
// and whose text is not valid UTF-8 rewritten as a tEXt chunk with the same keyword and bytes.
// Other chunks are copied unchanged. A stream that is not a well-formed chunk sequence is
// returned as it is.
QByteArray LatinTextChunksToTExt(const QByteArray& png);

// The PNG chunk checksum (CRC-32 of ISO 3309) of the bytes.
quint32 PngCrc(const char* data, int size, quint32 crc = 0);

}  // namespace ur::detail
