#pragma once
// FITS header cards: the fixed block and card sizes, reading one card's keyword and value text,
// and formatting the cards the saver writes. Pure functions on bytes, testable without files.

#include <QByteArray>
#include <QString>

namespace ur::fits {

constexpr int kBlockBytes = 2880;
constexpr int kCardBytes = 80;
constexpr int kCardsPerBlock = kBlockBytes / kCardBytes;
constexpr int kKeywordBytes = 8;
constexpr int kTextCardBytes = kCardBytes - kKeywordBytes;  // HISTORY and COMMENT text

// One card as read: keyword (upper case, trimmed), whether "= " follows it, and the value text
// (unquoted, doubled quotes made single) when it does.
struct SxCard {
  QString keyword;
  bool hasValue = false;
  bool isString = false;
  QString value;
};

// Parses the 80 bytes at card.
SxCard ParseCard(const char* card);

// Numbers of value text: integers and reals, "D" exponents accepted. False when the text is
// not a number.
bool ParseInteger(const QString& text, qint64& value);
bool ParseReal(const QString& text, double& value);

// The bytes up to the next multiple of the block size.
qint64 PaddedToBlocks(qint64 bytes);

// An 80-byte card "KEYWORD = value / comment"; value as written (a string already quoted).
QByteArray ValueCard(const QString& keyword, const QString& value,
                     const QString& comment = QString());
// A quoted string value: padded to 8 characters, quotes doubled, at most 68 characters with
// its quotes and never ending inside a doubled quote.
QString StringValue(const QString& text);
// A real in fixed notation with 6 decimals ("1.000000").
QString RealValue(double value);
// Cards without a value (HISTORY, COMMENT): text split over as many cards as needed.
QByteArray TextCards(const QString& keyword, const QString& text);
// The END card.
QByteArray EndCard();

}  // namespace ur::fits
