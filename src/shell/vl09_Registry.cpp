#include "vl09_Registry.h"

#include "vlAppPaths.h"
#include "vlGlobals.h"
#include "vlIniFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

QString Folded(const QString &Name) { return Name.toCaseFolded(); }

QString NameOf(const char16_t *Name) { return QString::fromUtf16(Name); }

// Digits, signs, decimal points and exponents only: what std::from_chars is given.
QByteArray AsciiNumber(QStringView Text) {
  const QStringView t = Text.trimmed();
  QByteArray bytes;
  bytes.reserve(t.size());
  for (const QChar c : t) {
    if (c.unicode() > 0x7F) return {};
    bytes.append(static_cast<char>(c.unicode()));
  }
  return bytes;
}

}  // namespace

QString IniSectionForRegistryKey(const QString &KeyPath) {
  QString key = KeyPath;
  if (key.startsWith(RegistryRootKey, Qt::CaseInsensitive)) key.remove(0, RegistryRootKey.size());
  while (key.startsWith(QLatin1Char('\\'))) key.remove(0, 1);
  while (key.endsWith(QLatin1Char('\\'))) key.chop(1);
  if (key.isEmpty()) return QStringLiteral("General");
  key.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return key;
}

TRegistryData::TRegistryData(QString IniPath) : FIniPath(std::move(IniPath)) {}

TRegistryData::TRegistryData() : TRegistryData(AppPaths().SettingsFile()) {}

std::optional<qint64> TRegistryData::ParseInteger(QStringView Text) {
  QByteArray bytes = AsciiNumber(Text);
  // from_chars takes no "+"; a hand-written "+5" is still a number.
  if (bytes.startsWith('+') && bytes.size() > 1 && bytes.at(1) != '-') bytes.remove(0, 1);
  if (bytes.isEmpty()) return std::nullopt;
  qint64 value = 0;
  const char *end = bytes.constData() + bytes.size();
  const auto [ptr, ec] = std::from_chars(bytes.constData(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::optional<double> TRegistryData::ParseFloat(QStringView Text) {
  QByteArray bytes = AsciiNumber(Text);
  if (bytes.startsWith('+') && bytes.size() > 1 && bytes.at(1) != '-') bytes.remove(0, 1);
  // Files written under a locale with a decimal comma hold "0,25".
  if (!bytes.contains('.') && bytes.count(',') == 1) bytes.replace(',', '.');
  if (bytes.isEmpty()) return std::nullopt;
  double value = 0;
  const char *end = bytes.constData() + bytes.size();
  const auto [ptr, ec] = std::from_chars(bytes.constData(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<bool> TRegistryData::ParseBool(QStringView Text) {
  const QStringView t = Text.trimmed();
  if (t.compare(u"true", Qt::CaseInsensitive) == 0) return true;
  if (t.compare(u"false", Qt::CaseInsensitive) == 0) return false;
  if (const auto n = ParseInteger(t)) return *n != 0;
  return std::nullopt;
}

QString TRegistryData::FormatFloat(double Value) {
  char buffer[64];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, Value);
  if (ec != std::errc()) return QStringLiteral("0");
  return QString::fromLatin1(buffer, ptr - buffer);
}

bool TRegistryData::OnApplicationOpen_ReadFromRegistry(const QString &BackslashSubKeyIfAny) {
  FSubKey = BackslashSubKeyIfAny;
  Clear();
  TIniFile file;
  if (!file.Load(FIniPath)) {
    TraceWrite(QStringLiteral("Settings: cannot read ") + FIniPath + QStringLiteral(": ") +
               file.LoadError());
    return false;
  }
  for (const QString &problem : file.Problems())
    TraceWrite(QStringLiteral("Settings file ") + FIniPath + QStringLiteral(", ") + problem);
  for (const RIniValue &v : file.Section(IniSectionForRegistryKey(FSubKey)))
    SetValue(v.Name, v.Value);
  return true;
}

bool TRegistryData::OnApplicationClose_WriteToRegistry() {
  QString error;
  const bool ok = UpdateIniSection(
      FIniPath, IniSectionForRegistryKey(FSubKey),
      [this](const QList<RIniValue> &OnDisk) {
        QList<RIniValue> values;
        values.reserve(static_cast<qsizetype>(FLines.size()) + OnDisk.size());
        for (const RLine &line : FLines) values.append(RIniValue{line.Name, line.Value});
        // A value on disk under a name the store holds, in whatever spelling, is replaced;
        // the others stay, as a key keeps values nobody writes.
        for (const RIniValue &v : OnDisk)
          if (!Find(v.Name)) values.append(v);
        return values;
      },
      &error);
  if (!ok)
    ErrorReport(false, QStringLiteral("Cannot save the settings to ") + FIniPath +
                           QStringLiteral(": ") + error);
  return ok;
}

const TRegistryData::RLine *TRegistryData::Find(const QString &Name) const {
  const auto it = FIndex.constFind(Folded(Name));
  return it == FIndex.constEnd() ? nullptr : &FLines[static_cast<size_t>(*it)];
}

void TRegistryData::Reindex() {
  FIndex.clear();
  for (size_t i = 0; i < FLines.size(); ++i)
    FIndex.insert(Folded(FLines[i].Name), static_cast<int>(i));
}

int TRegistryData::GetIntegerDef(const QString &Name, int DefaultInt) const {
  const RLine *line = Find(Name);
  if (!line) return DefaultInt;
  const auto n = ParseInteger(line->Value);
  if (!n || *n < std::numeric_limits<int>::min() || *n > std::numeric_limits<int>::max())
    return DefaultInt;
  return static_cast<int>(*n);
}

double TRegistryData::GetFloatDef(const QString &Name, double DefaultFloat) const {
  const RLine *line = Find(Name);
  if (!line) return DefaultFloat;
  return ParseFloat(line->Value).value_or(DefaultFloat);
}

bool TRegistryData::GetBoolDef(const QString &Name, bool DefaultBool) const {
  const RLine *line = Find(Name);
  if (!line) return DefaultBool;
  return ParseBool(line->Value).value_or(DefaultBool);
}

QString TRegistryData::GetStringDef(const QString &Name, const QString &DefaultStr) const {
  const RLine *line = Find(Name);
  return line ? line->Value : DefaultStr;
}

int TRegistryData::GetIntegerInRange(const QString &Name, int DefaultInt, int Min, int Max) const {
  const RLine *line = Find(Name);
  if (!line) return DefaultInt;
  const auto n = ParseInteger(line->Value);
  if (!n) return DefaultInt;
  // A number far outside the range is still a number: it is limited, not discarded.
  return static_cast<int>(std::clamp<qint64>(*n, Min, Max));
}

int TRegistryData::Get(const RIntSetting &Setting) const {
  return GetIntegerInRange(NameOf(Setting.Name), Setting.Default, Setting.Min, Setting.Max);
}

double TRegistryData::Get(const RFloatSetting &Setting) const {
  return std::clamp(GetFloatDef(NameOf(Setting.Name), Setting.Default), Setting.Min, Setting.Max);
}

bool TRegistryData::Get(const RBoolSetting &Setting) const {
  return GetBoolDef(NameOf(Setting.Name), Setting.Default);
}

QString TRegistryData::GetValue(const QString &Name) const { return GetStringDef(Name, QString()); }

void TRegistryData::SetValue(const QString &Name, const QString &Value) {
  if (Name.isEmpty()) return;
  const auto it = FIndex.constFind(Folded(Name));
  if (it != FIndex.constEnd()) {
    RLine &line = FLines[static_cast<size_t>(*it)];
    line.Name = Name;  // the program's spelling wins over a hand-edited one
    line.Value = Value;
    return;
  }
  FIndex.insert(Folded(Name), static_cast<int>(FLines.size()));
  FLines.push_back(RLine{Name, Value});
}

void TRegistryData::SetInteger(const QString &Name, int Value) {
  SetValue(Name, QString::number(Value));
}

void TRegistryData::SetFloat(const QString &Name, double Value) {
  SetValue(Name, FormatFloat(Value));
}

void TRegistryData::SetBool(const QString &Name, bool Value) {
  SetValue(Name, Value ? QStringLiteral("-1") : QStringLiteral("0"));
}

void TRegistryData::Set(const RIntSetting &Setting, int Value) {
  SetInteger(NameOf(Setting.Name), Value);
}

void TRegistryData::Set(const RFloatSetting &Setting, double Value) {
  SetFloat(NameOf(Setting.Name), Value);
}

void TRegistryData::Set(const RBoolSetting &Setting, bool Value) {
  SetBool(NameOf(Setting.Name), Value);
}

bool TRegistryData::ValueExists(const QString &Name) const { return Find(Name) != nullptr; }

void TRegistryData::DeleteValue(const QString &Name) {
  const auto it = FIndex.constFind(Folded(Name));
  if (it == FIndex.constEnd()) return;
  FLines.erase(FLines.begin() + *it);
  Reindex();
}

void TRegistryData::Clear() {
  FLines.clear();
  FIndex.clear();
}

QStringList TRegistryData::Names() const {
  QStringList names;
  names.reserve(static_cast<qsizetype>(FLines.size()));
  for (const RLine &line : FLines) names.append(line.Name);
  return names;
}
