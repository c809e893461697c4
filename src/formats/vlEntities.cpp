#include "vlEntities.h"

#include "vlWin1252.h"

namespace {

bool IsDigit(char16_t C) { return C >= u'0' && C <= u'9'; }

void AppendDecimalEntity(QString &Out, bool Numeric, unsigned Value) {
  Out.append(u'&');
  if (Numeric) Out.append(u'#');
  Out.append(QString::number(Value));
  Out.append(u';');
}

// The entity of a unit that needs one (anything but "&"), or false.
bool AppendEntityIfNeeded(QString &Out, char16_t Unit) {
  if (Unit < 32) {
    AppendDecimalEntity(Out, false, Unit);
    return true;
  }
  switch (Unit) {
    case u'"': Out.append(u"&Q2;"); return true;
    case u'<': Out.append(u"&LT;"); return true;
    case u'>': Out.append(u"&GT;"); return true;
    default: break;
  }
  if (Unit >= 0x80 && UnicodeToWin1252(Unit) < 0) {
    AppendDecimalEntity(Out, true, Unit);
    return true;
  }
  return false;
}

}  // namespace

void AppendTextEntity(QString &Out, char16_t Unit) {
  if (Unit == u'&') {
    Out.append(u"&AM;");
  } else if (!AppendEntityIfNeeded(Out, Unit)) {
    Out.append(QChar(Unit));
  }
}

void AppendEscapedAttributeText(QString &Out, QStringView Text) {
  for (qsizetype i = 0; i < Text.size(); ++i) {
    const char16_t unit = Text[i].unicode();
    if (unit == u'&') {
      char16_t decoded = 0;
      qsizetype length = 0;
      // A plain "&" stays plain unless a reader would take it for the start of an entity.
      if (DecodeEntityAt(Text, i, decoded, length)) {
        Out.append(u"&AM;");
      } else {
        Out.append(u'&');
      }
    } else if (unit == u'=' && i == Text.size() - 1) {
      // Before the closing quote a "=" would make ` Name="` of the value look like the next
      // attribute to a reader that searches for it.
      Out.append(u"&#61;");
    } else if (!AppendEntityIfNeeded(Out, unit)) {
      Out.append(QChar(unit));
    }
  }
}

QString EscapeAttributeText(QStringView Text) {
  QString escaped;
  escaped.reserve(Text.size());
  AppendEscapedAttributeText(escaped, Text);
  return escaped;
}

bool DecodeEntityAt(QStringView Text, qsizetype At, char16_t &Unit, qsizetype &Length) noexcept {
  const qsizetype size = Text.size();
  if (At < 0 || At >= size || Text[At] != u'&') return false;
  auto at = [&](qsizetype i) -> char16_t { return i < size ? Text[i].unicode() : char16_t(0); };
  const char16_t c1 = at(At + 1);
  const char16_t c2 = at(At + 2);
  // "&" digit ";": a control character below 10.
  if (IsDigit(c1) && c2 == u';') {
    Unit = c1 - u'0';
    Length = 3;
    return true;
  }
  // Two characters between "&" and ";".
  if (At + 3 < size && at(At + 3) == u';') {
    char16_t decoded = 0;
    bool known = true;
    if (c1 == u'L' && c2 == u'T') {
      decoded = u'<';
    } else if (c1 == u'G' && c2 == u'T') {
      decoded = u'>';
    } else if (c1 == u'A' && c2 == u'M') {
      decoded = u'&';
    } else if (c1 == u'Q' && c2 == u'2') {
      decoded = u'"';
    } else if (IsDigit(c1) && IsDigit(c2)) {
      decoded = static_cast<char16_t>((c1 - u'0') * 10 + (c2 - u'0'));
    } else {
      known = false;
    }
    if (known) {
      Unit = decoded;
      Length = 4;
      return true;
    }
  }
  // "&#" digits ";": a UTF-16 unit that the file's code page cannot hold.
  if (c1 == u'#') {
    unsigned value = 0;
    qsizetype i = At + 2;
    while (i < size && IsDigit(Text[i].unicode()) && i - (At + 2) < 5) {
      value = value * 10 + (Text[i].unicode() - u'0');
      ++i;
    }
    if (i > At + 2 && i < size && Text[i] == u';' && value <= 0xFFFF) {
      Unit = static_cast<char16_t>(value);
      Length = i + 1 - At;
      return true;
    }
  }
  return false;
}

QString DecodeEntities(QStringView Text) {
  if (!Text.contains(u'&')) return Text.toString();
  QString decoded;
  decoded.reserve(Text.size());
  for (qsizetype i = 0; i < Text.size();) {
    char16_t unit = 0;
    qsizetype length = 0;
    if (Text[i] == u'&' && DecodeEntityAt(Text, i, unit, length)) {
      decoded.append(QChar(unit));
      i += length;
    } else {
      decoded.append(Text[i]);
      ++i;
    }
  }
  return decoded;
}
