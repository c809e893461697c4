#pragma once
// The number forms of the notes files. None of them depends on the locale: QCoreApplication sets
// the C library's locale from the environment, so printf, strtod and iostreams would write and
// read "1,5" under a German locale. Everything here goes through std::to_chars/std::from_chars.
//
// Readers reject what a writer never produces and what would break arithmetic later: "nan",
// "inf", values out of the type's range and trailing garbage. Leading blanks are allowed (the
// 16-wide double is padded with them), as is a leading "+".

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>

// Decimal, "-" when negative.
void AppendInteger(QByteArray &Out, std::int64_t Value);
QString FormatInteger(std::int64_t Value);

// Fixed point with 10 decimals, right-aligned in at least 16 characters: 1.5 gives
// "    1.5000000000". Non-finite values are written as 0.
void AppendDouble16(QByteArray &Out, double Value);
QString FormatDouble16(double Value);

// The compact form of a single: no decimals from 1000 on, two decimals from 1 on, four below 1,
// trailing zeros and a bare point removed, and below 1 no leading zero (0.25 gives ".25", 0 gives
// "0", 1234.6 gives "1235"). Non-finite values are written as "0".
void AppendCompactSingle(QByteArray &Out, float Value);
QString FormatCompactSingle(float Value);

// A timestamp field: 15 significant digits, trailing zeros dropped, "0" for zero, an exponent
// only far outside the range of dates (as "%.15g" writes it). Non-finite values are written "0".
void AppendTimestampNumber(QByteArray &Out, double Value);
void AppendTimestampNumber(QString &Out, double Value);
QString FormatTimestampNumber(double Value);

// Parsers over ASCII text; false when Text is not wholly a number of the kind. Blanks before and
// after the number are ignored. Value is written only on success.
bool ParseInt32(QByteArrayView Text, std::int32_t &Value) noexcept;
bool ParseInt64(QByteArrayView Text, std::int64_t &Value) noexcept;
// Finite doubles only; "1e400", "nan" and "inf" are rejected.
bool ParseDouble(QByteArrayView Text, double &Value) noexcept;
// Finite and within the range of float.
bool ParseSingle(QByteArrayView Text, float &Value) noexcept;
// A moment in days: finite and within years 1..9999 (-693593 <= x < 2958466).
bool ParseDateTimeDays(QByteArrayView Text, double &Value) noexcept;

// The same over UTF-16 text; any unit above 127 makes it not a number.
bool ParseInt32(QStringView Text, std::int32_t &Value) noexcept;
bool ParseInt64(QStringView Text, std::int64_t &Value) noexcept;
bool ParseDouble(QStringView Text, double &Value) noexcept;
bool ParseSingle(QStringView Text, float &Value) noexcept;
bool ParseDateTimeDays(QStringView Text, double &Value) noexcept;

inline constexpr double MinDateTimeDays = -693593.0;  // 0001-01-01
inline constexpr double MaxDateTimeDays = 2958466.0;  // 10000-01-01, excluded
