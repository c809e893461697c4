#include "vlNumberForms.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

// Longest fixed-point text of a double: 309 integer digits, sign, point and 10 decimals.
constexpr int kFixedBufferSize = 340;

std::string_view TrimBlanks(std::string_view Text) {
  while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t')) Text.remove_suffix(1);
  return Text;
}

// from_chars takes a "-" but not a "+"; older files may carry one.
std::string_view SkipPlus(std::string_view Text) {
  if (Text.size() > 1 && Text.front() == '+' && Text[1] != '-' && Text[1] != '+')
    Text.remove_prefix(1);
  return Text;
}

template <typename TInt>
bool ParseIntegerText(std::string_view Text, TInt &Value) {
  Text = SkipPlus(TrimBlanks(Text));
  if (Text.empty()) return false;
  TInt parsed = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), parsed);
  if (error != std::errc() || end != Text.data() + Text.size()) return false;
  Value = parsed;
  return true;
}

bool ParseDoubleText(std::string_view Text, double &Value) {
  Text = SkipPlus(TrimBlanks(Text));
  if (Text.empty()) return false;
  double parsed = 0;
  const auto [end, error] =
      std::from_chars(Text.data(), Text.data() + Text.size(), parsed, std::chars_format::general);
  if (error != std::errc() || end != Text.data() + Text.size() || !std::isfinite(parsed))
    return false;
  Value = parsed;
  return true;
}

std::string_view ToView(QByteArrayView Text) { return {Text.data(), std::size_t(Text.size())}; }

// Runs Parse over the ASCII form of UTF-16 text; a unit above 127 is never part of a number.
template <typename TParse>
bool WithAscii(QStringView Text, TParse &&Parse) {
  char small[64];
  QByteArray large;
  char *ascii = small;
  if (Text.size() > qsizetype(sizeof(small))) {
    large.resize(Text.size());
    ascii = large.data();
  }
  for (qsizetype i = 0; i < Text.size(); ++i) {
    const char16_t unit = Text[i].unicode();
    if (unit > 127) return false;
    ascii[i] = static_cast<char>(unit);
  }
  return Parse(std::string_view(ascii, std::size_t(Text.size())));
}

void AppendView(QByteArray &Out, std::string_view Text) {
  Out.append(Text.data(), qsizetype(Text.size()));
}

QString ToQString(const QByteArray &Ascii) { return QString::fromLatin1(Ascii); }

// Drops trailing zeros after a decimal point, and the point when nothing follows it.
std::size_t StripTrailingZeros(const char *Text, std::size_t Length) {
  if (std::memchr(Text, '.', Length) == nullptr) return Length;
  while (Length > 0 && Text[Length - 1] == '0') --Length;
  if (Length > 0 && Text[Length - 1] == '.') --Length;
  return Length;
}

}  // namespace

void AppendInteger(QByteArray &Out, std::int64_t Value) {
  char text[24];
  const char *end = std::to_chars(text, text + sizeof(text), Value).ptr;
  AppendView(Out, std::string_view(text, std::size_t(end - text)));
}

QString FormatInteger(std::int64_t Value) {
  QByteArray text;
  AppendInteger(text, Value);
  return ToQString(text);
}

void AppendDouble16(QByteArray &Out, double Value) {
  if (!std::isfinite(Value)) Value = 0;
  char text[kFixedBufferSize];
  char *end = std::to_chars(text, text + sizeof(text), Value, std::chars_format::fixed, 10).ptr;
  std::string_view digits(text, std::size_t(end - text));
  // A value that rounds to zero is written without a sign.
  if (digits.front() == '-' && digits.find_first_not_of("-0.") == std::string_view::npos)
    digits.remove_prefix(1);
  for (std::size_t width = digits.size(); width < 16; ++width) Out.append(' ');
  AppendView(Out, digits);
}

QString FormatDouble16(double Value) {
  QByteArray text;
  AppendDouble16(text, Value);
  return ToQString(text);
}

void AppendCompactSingle(QByteArray &Out, float Value) {
  if (!std::isfinite(Value)) {
    Out.append('0');
    return;
  }
  const double magnitude = std::fabs(static_cast<double>(Value));
  char text[64];
  const char *start = text;
  std::size_t length = 0;
  if (magnitude >= 1000) {
    length = std::size_t(
        std::to_chars(text, text + sizeof(text), magnitude, std::chars_format::fixed, 0).ptr -
        text);
  } else if (magnitude >= 1) {
    length = std::size_t(
        std::to_chars(text, text + sizeof(text), magnitude, std::chars_format::fixed, 2).ptr -
        text);
    length = StripTrailingZeros(text, length);
  } else {
    length = std::size_t(
        std::to_chars(text, text + sizeof(text), magnitude, std::chars_format::fixed, 4).ptr -
        text);
    length = StripTrailingZeros(text, length);
    // Below 1 the leading zero goes: 0.25 is written ".25" (but 0 stays "0", 0.99996 "1").
    if (length >= 3) {
      ++start;
      --length;
    }
  }
  if (Value < 0) Out.append('-');
  AppendView(Out, std::string_view(start, length));
}

QString FormatCompactSingle(float Value) {
  QByteArray text;
  AppendCompactSingle(text, Value);
  return ToQString(text);
}

namespace {

std::size_t TimestampText(char (&Text)[40], double Value) {
  if (!std::isfinite(Value) || Value == 0) {
    Text[0] = '0';
    return 1;
  }
  const char *end =
      std::to_chars(Text, Text + sizeof(Text), Value, std::chars_format::general, 15).ptr;
  return std::size_t(end - Text);
}

}  // namespace

void AppendTimestampNumber(QByteArray &Out, double Value) {
  char text[40];
  AppendView(Out, std::string_view(text, TimestampText(text, Value)));
}

void AppendTimestampNumber(QString &Out, double Value) {
  char text[40];
  Out.append(QLatin1StringView(text, qsizetype(TimestampText(text, Value))));
}

QString FormatTimestampNumber(double Value) {
  QString text;
  AppendTimestampNumber(text, Value);
  return text;
}

bool ParseInt32(QByteArrayView Text, std::int32_t &Value) noexcept {
  return ParseIntegerText(ToView(Text), Value);
}

bool ParseInt64(QByteArrayView Text, std::int64_t &Value) noexcept {
  return ParseIntegerText(ToView(Text), Value);
}

bool ParseDouble(QByteArrayView Text, double &Value) noexcept {
  return ParseDoubleText(ToView(Text), Value);
}

bool ParseSingle(QByteArrayView Text, float &Value) noexcept {
  double parsed = 0;
  if (!ParseDoubleText(ToView(Text), parsed)) return false;
  if (std::fabs(parsed) > double(std::numeric_limits<float>::max())) return false;
  Value = static_cast<float>(parsed);
  return true;
}

bool ParseDateTimeDays(QByteArrayView Text, double &Value) noexcept {
  double parsed = 0;
  if (!ParseDoubleText(ToView(Text), parsed)) return false;
  if (!(parsed >= MinDateTimeDays && parsed < MaxDateTimeDays)) return false;
  Value = parsed;
  return true;
}

bool ParseInt32(QStringView Text, std::int32_t &Value) noexcept {
  return WithAscii(Text, [&](std::string_view A) { return ParseIntegerText(A, Value); });
}

bool ParseInt64(QStringView Text, std::int64_t &Value) noexcept {
  return WithAscii(Text, [&](std::string_view A) { return ParseIntegerText(A, Value); });
}

bool ParseDouble(QStringView Text, double &Value) noexcept {
  return WithAscii(Text, [&](std::string_view A) { return ParseDoubleText(A, Value); });
}

bool ParseSingle(QStringView Text, float &Value) noexcept {
  return WithAscii(Text, [&](std::string_view A) {
    return ParseSingle(QByteArrayView(A.data(), qsizetype(A.size())), Value);
  });
}

bool ParseDateTimeDays(QStringView Text, double &Value) noexcept {
  return WithAscii(Text, [&](std::string_view A) {
    return ParseDateTimeDays(QByteArrayView(A.data(), qsizetype(A.size())), Value);
  });
}
