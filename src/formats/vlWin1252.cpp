#include "vlWin1252.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace {

// 0x80..0x9F. The five bytes Windows-1252 leaves undefined keep their C1 control.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

// Writes Text at Out[Pos], where one byte was reserved for it, and answers the new data pointer.
char *ReplaceReservedByte(QByteArray &Out, qsizetype &Pos, std::string_view Text) {
  const auto length = qsizetype(Text.size());
  Out.resize(Out.size() + length - 1);
  char *to = Out.data();
  std::copy(Text.begin(), Text.end(), to + Pos);
  Pos += length;
  return to;
}

// "&" + (numeric ? "#" : "") + decimal + ";"
std::string_view DecimalEntity(char (&Text)[12], bool Numeric, unsigned Value) {
  char *at = Text;
  *at++ = '&';
  if (Numeric) *at++ = '#';
  at = std::to_chars(at, Text + sizeof(Text) - 1, Value).ptr;
  *at++ = ';';
  return std::string_view(Text, std::size_t(at - Text));
}

// Guard: also escape what could end a value or a line.
template <bool Guard>
bool IsPlainAscii(char16_t Unit) {
  if constexpr (Guard) {
    return Unit < 0x80 && Unit >= 32 && Unit != u'"' && Unit != u'<' && Unit != u'>';
  } else {
    return Unit < 0x80;
  }
}

template <bool Guard>
void EncodeInto(QByteArray &Out, QStringView Text) {
  qsizetype pos = Out.size();
  Out.resize(pos + Text.size());
  // data() checks for sharing on every call: take the pointer once, again only after a resize.
  char *to = Out.data();
  const char16_t *from = Text.utf16();
  const qsizetype size = Text.size();
  qsizetype i = 0;
  while (i < size) {
    // Blocks of plain ASCII are copied without branches, which the compiler vectorises.
    constexpr qsizetype kBlock = 16;
    if (i + kBlock <= size) {
      bool plain = true;
      for (qsizetype k = 0; k < kBlock; ++k) plain &= IsPlainAscii<Guard>(from[i + k]);
      if (plain) {
        for (qsizetype k = 0; k < kBlock; ++k) to[pos + k] = static_cast<char>(from[i + k]);
        i += kBlock;
        pos += kBlock;
        continue;
      }
    }
    const qsizetype stop = std::min(size, i + kBlock);
    for (; i < stop; ++i) {
      const char16_t unit = from[i];
      if (IsPlainAscii<Guard>(unit)) {
        to[pos++] = static_cast<char>(unit);
        continue;
      }
      char entity[12];
      if (Guard && unit < 0x80) {
        switch (unit) {
          case u'"': to = ReplaceReservedByte(Out, pos, "&Q2;"); break;
          case u'<': to = ReplaceReservedByte(Out, pos, "&LT;"); break;
          case u'>': to = ReplaceReservedByte(Out, pos, "&GT;"); break;
          default: to = ReplaceReservedByte(Out, pos, DecimalEntity(entity, false, unit)); break;
        }
        continue;
      }
      const int byte = UnicodeToWin1252(unit);
      if (byte >= 0) {
        to[pos++] = static_cast<char>(byte);
      } else {
        to = ReplaceReservedByte(Out, pos, DecimalEntity(entity, true, unit));
      }
    }
  }
  Out.resize(pos);
}

}  // namespace

char16_t Win1252ToUnicode(unsigned char Byte) noexcept {
  if (Byte >= 0x80 && Byte <= 0x9F) return kHighControls[Byte - 0x80];
  return Byte;
}

int UnicodeToWin1252(char16_t Unit) noexcept {
  if (Unit < 0x80 || (Unit >= 0xA0 && Unit <= 0xFF)) return Unit;
  if (Unit <= 0x9F) {
    // A C1 control has a byte only where Windows-1252 leaves that byte undefined.
    return kHighControls[Unit - 0x80] == Unit ? Unit : -1;
  }
  switch (Unit) {
    case 0x20AC: return 0x80;
    case 0x201A: return 0x82;
    case 0x0192: return 0x83;
    case 0x201E: return 0x84;
    case 0x2026: return 0x85;
    case 0x2020: return 0x86;
    case 0x2021: return 0x87;
    case 0x02C6: return 0x88;
    case 0x2030: return 0x89;
    case 0x0160: return 0x8A;
    case 0x2039: return 0x8B;
    case 0x0152: return 0x8C;
    case 0x017D: return 0x8E;
    case 0x2018: return 0x91;
    case 0x2019: return 0x92;
    case 0x201C: return 0x93;
    case 0x201D: return 0x94;
    case 0x2022: return 0x95;
    case 0x2013: return 0x96;
    case 0x2014: return 0x97;
    case 0x02DC: return 0x98;
    case 0x2122: return 0x99;
    case 0x0161: return 0x9A;
    case 0x203A: return 0x9B;
    case 0x0153: return 0x9C;
    case 0x017E: return 0x9E;
    case 0x0178: return 0x9F;
    default: return -1;
  }
}

void AppendDecodedWin1252(QString &Out, QByteArrayView Bytes) {
  const qsizetype start = Out.size();
  Out.resize(start + Bytes.size());
  char16_t *to = reinterpret_cast<char16_t *>(Out.data()) + start;
  const auto *from = reinterpret_cast<const unsigned char *>(Bytes.data());
  for (qsizetype i = 0; i < Bytes.size(); ++i) {
    const unsigned char byte = from[i];
    to[i] = (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : char16_t(byte);
  }
}

QString DecodeWin1252(QByteArrayView Bytes) {
  QString text;
  AppendDecodedWin1252(text, Bytes);
  return text;
}

void AppendEncodedWin1252(QByteArray &Out, QStringView Text) { EncodeInto<false>(Out, Text); }

void AppendEncodedWin1252Guarded(QByteArray &Out, QStringView Text) { EncodeInto<true>(Out, Text); }

QByteArray EncodeWin1252(QStringView Text) {
  QByteArray bytes;
  AppendEncodedWin1252(bytes, Text);
  return bytes;
}
