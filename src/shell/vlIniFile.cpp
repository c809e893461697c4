#include "vlIniFile.h"

#include "vlTextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString GeneralSection = QStringLiteral("General");
// A damaged file can hold any number of bad lines; the first few say enough.
constexpr qsizetype MaxProblemsKept = 20;

int HexValue(QChar C) {
  const char16_t u = C.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

bool IsPlainNameChar(QChar C) {
  const char16_t u = C.unicode();
  return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
         u == u'_' || u == u'-' || u == u'.';
}

QString Hex(unsigned Value, int Digits) {
  return QStringLiteral("%1").arg(Value, Digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

QString TIniFile::EscapedValue(const QString &Value) {
  QString out;
  out.reserve(Value.size() + 2);
  // A leading "@" marks typed values in this format; doubling it keeps the text a plain string.
  if (Value.startsWith(QLatin1Char('@'))) out += QLatin1Char('@');
  bool needQuotes = !Value.isEmpty() && (Value.front().isSpace() || Value.back().isSpace());
  bool escapeNextHexDigit = false;
  for (const QChar c : Value) {
    const char16_t u = c.unicode();
    if (u == u';' || u == u',' || u == u'=' || u == u'#') needQuotes = true;
    if (u == u'\\') {
      out += QStringLiteral("\\\\");
    } else if (u == u'"') {
      out += QStringLiteral("\\\"");
    } else if (u == u'\n') {
      out += QStringLiteral("\\n");
    } else if (u == u'\r') {
      out += QStringLiteral("\\r");
    } else if (u == u'\t') {
      out += QStringLiteral("\\t");
    } else if (u < 0x20 || u == 0x7F || (escapeNextHexDigit && HexValue(c) >= 0)) {
      // A "\x" escape takes every hex digit that follows, so a digit right after one is escaped
      // too.
      out += QStringLiteral("\\x") + QString::number(u, 16);
      escapeNextHexDigit = true;
      continue;
    } else {
      out += c;
    }
    escapeNextHexDigit = false;
  }
  if (needQuotes) return QLatin1Char('"') + out + QLatin1Char('"');
  return out;
}

QString TIniFile::UnescapedValue(QStringView Raw) {
  QString out;
  out.reserve(Raw.size());
  qsizetype keep = 0;  // characters of out that survive the trimming of unquoted trailing blanks
  bool inQuotes = false;
  qsizetype i = 0;
  while (i < Raw.size() && Raw[i].isSpace()) ++i;
  for (; i < Raw.size(); ++i) {
    const QChar c = Raw[i];
    if (c == QLatin1Char('"')) {
      inQuotes = !inQuotes;
      keep = out.size();
      continue;
    }
    if (!inQuotes && c == QLatin1Char(';')) break;  // the rest of the line is a comment
    if (c != QLatin1Char('\\')) {
      out += c;
      if (inQuotes || !c.isSpace()) keep = out.size();
      continue;
    }
    if (i + 1 >= Raw.size()) {
      out += c;
      keep = out.size();
      break;
    }
    const char16_t n = Raw[++i].unicode();
    switch (n) {
      case u'a': out += QChar(0x07); break;
      case u'b': out += QChar(0x08); break;
      case u'f': out += QChar(0x0C); break;
      case u'n': out += QChar(0x0A); break;
      case u'r': out += QChar(0x0D); break;
      case u't': out += QChar(0x09); break;
      case u'v': out += QChar(0x0B); break;
      case u'"':
      case u'\'':
      case u'\\':
      case u'?': out += QChar(n); break;
      case u'x': {
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && i + 1 < Raw.size() && HexValue(Raw[i + 1]) >= 0) {
          value = value * 16 + static_cast<unsigned>(HexValue(Raw[++i]));
          ++digits;
        }
        if (digits == 0)
          out += QStringLiteral("\\x");
        else
          out += QChar(static_cast<char16_t>(value));
        break;
      }
      default:
        if (n >= u'0' && n <= u'7') {
          unsigned value = n - u'0';
          int digits = 1;
          while (digits < 3 && i + 1 < Raw.size() && Raw[i + 1] >= QLatin1Char('0') &&
                 Raw[i + 1] <= QLatin1Char('7')) {
            value = value * 8 + (Raw[++i].unicode() - u'0');
            ++digits;
          }
          out += QChar(static_cast<char16_t>(value));
        } else {
          // Not an escape this format knows: keep both characters as they were typed.
          out += QLatin1Char('\\');
          out += QChar(n);
        }
        break;
    }
    keep = out.size();
  }
  out.truncate(keep);
  if (out.startsWith(QStringLiteral("@@"))) out.remove(0, 1);
  return out;
}

QString TIniFile::EscapedName(const QString &Name) {
  QString out;
  for (const QChar c : Name) {
    if (IsPlainNameChar(c))
      out += c;
    else if (c.unicode() < 0x100)
      out += QLatin1Char('%') + Hex(c.unicode(), 2);
    else
      out += QStringLiteral("%U") + Hex(c.unicode(), 4);
  }
  return out;
}

QString TIniFile::UnescapedName(QStringView Raw) {
  QString out;
  for (qsizetype i = 0; i < Raw.size(); ++i) {
    if (Raw[i] == QLatin1Char('%')) {
      const bool wide = i + 1 < Raw.size() && Raw[i + 1] == QLatin1Char('U');
      const qsizetype first = i + (wide ? 2 : 1);
      const int digits = wide ? 4 : 2;
      if (first + digits <= Raw.size()) {
        unsigned value = 0;
        bool ok = true;
        for (int d = 0; d < digits && ok; ++d) {
          const int h = HexValue(Raw[first + d]);
          ok = h >= 0;
          value = value * 16 + static_cast<unsigned>(h);
        }
        if (ok) {
          out += QChar(static_cast<char16_t>(value));
          i = first + digits - 1;
          continue;
        }
      }
    }
    out += Raw[i];
  }
  return out;
}

TIniFile::RSection *TIniFile::Find(const QString &SectionName) {
  for (RSection &s : FSections)
    if (s.Name == SectionName) return &s;
  return nullptr;
}

const TIniFile::RSection *TIniFile::Find(const QString &SectionName) const {
  for (const RSection &s : FSections)
    if (s.Name == SectionName) return &s;
  return nullptr;
}

void TIniFile::Parse(const QByteArray &Bytes) {
  FSections.clear();
  FProblems.clear();
  qsizetype problemCount = 0;
  auto problem = [&](qsizetype LineNumber, const QString &What) {
    if (++problemCount <= MaxProblemsKept)
      FProblems.append(QStringLiteral("line %1: %2").arg(LineNumber).arg(What));
  };

  QString section = GeneralSection;  // values before any header belong to the main section
  qsizetype start = 0, lineNumber = 0;
  if (Bytes.startsWith("\xEF\xBB\xBF")) start = 3;
  while (start < Bytes.size()) {
    // Lines end with LF, CR LF or, in files from old editors, CR alone.
    qsizetype end = start;
    while (end < Bytes.size() && Bytes.at(end) != '\n' && Bytes.at(end) != '\r') ++end;
    ++lineNumber;
    const QString line = QString::fromUtf8(Bytes.constData() + start, end - start).trimmed();
    start = end + 1;
    if (end + 1 < Bytes.size() && Bytes.at(end) == '\r' && Bytes.at(end + 1) == '\n') ++start;
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
      continue;
    if (line.startsWith(QLatin1Char('['))) {
      const qsizetype close = line.indexOf(QLatin1Char(']'));
      const QString name =
          close < 0 ? QString() : UnescapedName(QStringView(line).mid(1, close - 1).trimmed());
      if (name.isEmpty()) {
        problem(lineNumber, QStringLiteral("a section header without a name"));
        // Its lines must not be taken for another section's.
        section.clear();
      } else {
        section = name;
      }
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
      problem(lineNumber, QStringLiteral("no \"=\""));
      continue;
    }
    const QString name = UnescapedName(QStringView(line).left(eq).trimmed());
    if (name.isEmpty()) {
      problem(lineNumber, QStringLiteral("a value without a name"));
      continue;
    }
    if (section.isEmpty()) continue;
    RSection *s = Find(section);
    if (!s) {
      FSections.append(RSection{section, {}});
      s = &FSections.last();
    }
    const QString value = UnescapedValue(QStringView(line).mid(eq + 1));
    bool replaced = false;
    for (RIniValue &v : s->Values) {
      if (v.Name == name) {
        v.Value = value;
        replaced = true;
        break;
      }
    }
    if (!replaced) s->Values.append(RIniValue{name, value});
  }
  if (problemCount > MaxProblemsKept)
    FProblems.append(
        QStringLiteral("%1 more lines could not be read").arg(problemCount - MaxProblemsKept));
}

bool TIniFile::Load(const QString &Path) {
  FSections.clear();
  FProblems.clear();
  FLoadError.clear();
  FTruncated = false;
  QFile file(Path);
  if (!file.exists()) return true;
  if (!file.open(QIODevice::ReadOnly)) {
    FLoadError = file.errorString();
    return false;
  }
  const QByteArray bytes = file.read(MaxFileBytes);
  if (bytes.isEmpty() && file.error() != QFileDevice::NoError) {
    FLoadError = file.errorString();
    return false;
  }
  FTruncated = !file.atEnd();
  Parse(bytes);
  if (FTruncated)
    FProblems.append(QStringLiteral("the file is larger than %1 bytes; only its beginning was read")
                         .arg(MaxFileBytes));
  return true;
}

QList<RIniValue> TIniFile::Section(const QString &SectionName) const {
  const RSection *s = Find(SectionName);
  return s ? s->Values : QList<RIniValue>();
}

bool TIniFile::HasSection(const QString &SectionName) const { return Find(SectionName) != nullptr; }

QStringList TIniFile::SectionNames() const {
  QStringList names;
  for (const RSection &s : FSections) names.append(s.Name);
  return names;
}

void TIniFile::SetSection(const QString &SectionName, const QList<RIniValue> &Values) {
  RSection *s = Find(SectionName);
  if (Values.isEmpty()) {
    if (s) FSections.removeIf([&](const RSection &x) { return x.Name == SectionName; });
    return;
  }
  if (s) {
    s->Values = Values;
  } else if (SectionName == GeneralSection) {
    FSections.prepend(RSection{SectionName, Values});
  } else {
    FSections.append(RSection{SectionName, Values});
  }
}

QByteArray TIniFile::Text() const {
  QString text;
  for (const RSection &s : FSections) {
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += QLatin1Char('[') + EscapedName(s.Name) + QStringLiteral("]\n");
    for (const RIniValue &v : s.Values)
      text += EscapedName(v.Name) + QLatin1Char('=') + EscapedValue(v.Value) + QLatin1Char('\n');
  }
  return text.toUtf8();
}

bool TIniFile::Save(const QString &Path, QString *ErrorText) const {
  return WriteFileAtomically(Path, Text(), ErrorText);
}

bool UpdateIniSection(const QString &Path, const QString &SectionName,
                      const std::function<QList<RIniValue>(const QList<RIniValue> &OnDisk)> &Update,
                      QString *ErrorText) {
  TIniFile file;
  if (!file.Load(Path)) {
    // Writing now would replace sections that could not be read.
    if (ErrorText) *ErrorText = QStringLiteral("cannot read the file: ") + file.LoadError();
    return false;
  }
  if (!file.ReadWhole()) {
    // Only the file's beginning is known: writing it back would lose the rest.
    if (ErrorText)
      *ErrorText = QStringLiteral(
                       "the file is larger than %1 bytes and was not read whole, so it "
                       "is left as it is")
                       .arg(TIniFile::MaxFileBytes);
    return false;
  }
  file.SetSection(SectionName, Update(file.Section(SectionName)));
  return file.Save(Path, ErrorText);
}
