#include "fits/fits_cards.h"

#include <QLatin1Char>

namespace ur::fits {

namespace {

constexpr int kValueColumn = 10;      // after "KEYWORD= " and the blank: columns 11..80
constexpr int kFixedValueWidth = 20;  // numbers and logicals end in column 30
constexpr int kMinStringChars = 8;
constexpr int kMaxStringChars = 66;  // inside the quotes
constexpr int kRealDecimals = 6;

const QLatin1Char kQuote('\'');

// Headers are ASCII; anything else becomes '?', so a card stays 80 bytes and 80 characters.
QByteArray Ascii(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (const QChar c : text) {
    const ushort u = c.unicode();
    bytes.append(u >= 0x20 && u < 0x7f ? char(u) : '?');
  }
  return bytes;
}

QByteArray Fitted(QByteArray bytes, int size) {
  bytes.truncate(size);
  return bytes.leftJustified(size, ' ');
}

QByteArray KeywordField(const QString& keyword) {
  return Fitted(Ascii(keyword.toUpper()), kKeywordBytes);
}

// The quoted text starting at value[0] == '\'': up to the closing quote, '' read as one quote.
QString UnquotedString(const QString& value, int& end) {
  QString text;
  int i = 1;
  for (; i < value.size(); ++i) {
    if (value[i] != kQuote) {
      text.append(value[i]);
    } else if (i + 1 < value.size() && value[i + 1] == kQuote) {
      text.append(kQuote);
      ++i;
    } else {
      break;
    }
  }
  end = i;
  // Trailing blanks of a string value are not significant; leading ones are.
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text.trimmed();
}

}  // namespace

SxCard ParseCard(const char* card) {
  SxCard parsed;
  const QString text = QString::fromLatin1(card, kCardBytes);
  parsed.keyword = text.left(kKeywordBytes).toUpper().trimmed();
  parsed.hasValue = text.midRef(kKeywordBytes, 2) == QLatin1String("= ");
  if (!parsed.hasValue) return parsed;
  const QString rest = text.mid(kValueColumn).trimmed();
  if (rest.startsWith(kQuote)) {
    int end = 0;
    parsed.isString = true;
    parsed.value = UnquotedString(rest, end);
  } else {
    const int slash = rest.indexOf(QLatin1Char('/'));
    parsed.value = (slash < 0 ? rest : rest.left(slash)).trimmed();
  }
  return parsed;
}

bool ParseInteger(const QString& text, qint64& value) {
  bool ok = false;
  value = text.toLongLong(&ok);
  if (ok) return true;
  // "16." or "1.6E1" are integers written as reals.
  double real = 0.0;
  // Only reals inside the range of qint64 convert; 2^63 itself does not.
  constexpr double kPastInt64 = 9223372036854775808.0;
  if (!ParseReal(text, real) || !(real >= -kPastInt64 && real < kPastInt64) ||
      real != double(qint64(real)))
    return false;
  value = qint64(real);
  return true;
}

bool ParseReal(const QString& text, double& value) {
  QString normal = text;
  normal.replace(QLatin1Char('D'), QLatin1Char('E')).replace(QLatin1Char('d'), QLatin1Char('e'));
  bool ok = false;
  value = normal.toDouble(&ok);
  return ok;
}

qint64 PaddedToBlocks(qint64 bytes) {
  return (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
}

QByteArray ValueCard(const QString& keyword, const QString& value, const QString& comment) {
  QByteArray card = KeywordField(keyword) + "= ";
  QByteArray v = Ascii(value);
  if (!v.startsWith('\'') && v.size() < kFixedValueWidth)
    v = v.rightJustified(kFixedValueWidth, ' ');
  card += v;
  if (!comment.isEmpty()) card += " / " + Ascii(comment);
  return Fitted(card, kCardBytes);
}

QString StringValue(const QString& text) {
  QString body = text.leftJustified(kMinStringChars, QLatin1Char(' '));
  body.replace(kQuote, QStringLiteral("''"));
  if (body.size() > kMaxStringChars) {
    body.truncate(kMaxStringChars);
    // A cut through a doubled quote would leave a quote that ends the string early.
    int trailing = 0;
    while (trailing < body.size() && body[body.size() - 1 - trailing] == kQuote) ++trailing;
    if (trailing % 2) body.chop(1);
  }
  return kQuote + body + kQuote;
}

QString RealValue(double value) { return QString::number(value, 'f', kRealDecimals); }

QByteArray TextCards(const QString& keyword, const QString& text) {
  const QByteArray key = KeywordField(keyword);
  const QByteArray bytes = Ascii(text);
  QByteArray cards;
  int at = 0;
  do {
    cards += key + Fitted(bytes.mid(at, kTextCardBytes), kTextCardBytes);
    at += kTextCardBytes;
  } while (at < bytes.size());
  return cards;
}

QByteArray EndCard() { return Fitted("END", kCardBytes); }

}  // namespace ur::fits
