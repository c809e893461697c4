#pragma once
// The settings store: every persistent setting is a string under a name, read from the settings
// file once at start, consulted and changed in memory while the program runs, and written back
// once at close. The file is the INI form of the key "\Software\Vellomar\2009": the main values
// in its [General] section, a subkey such as "\RecentFiles" in a section of that name.
//
// Names are matched ignoring case, as the key they stand for always did, and are written with
// the spelling the program uses. Numbers are written in the C locale ("." as the decimal
// separator) and read with "." or ","; a value that is not a number, or not a finite one, reads
// as the caller's default, so a hand-edited or damaged file can never hand out NaN or garbage.
//
// Called on the user-interface thread only.

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The key every setting lives under, and the file section that stands for a key below it.
inline const QString RegistryRootKey = QStringLiteral("\\Software\\Vellomar\\2009");
// "" and the root key itself give "General"; "\RecentFiles" and
// "\Software\Vellomar\2009\RecentFiles" give "RecentFiles".
QString IniSectionForRegistryKey(const QString &KeyPath);

// A setting's name with its default and the range its value is limited to when read.
struct RIntSetting {
  const char16_t *Name;
  int Default;
  int Min;
  int Max;
};
struct RFloatSetting {
  const char16_t *Name;
  double Default;
  double Min;
  double Max;
};
struct RBoolSetting {
  const char16_t *Name;
  bool Default;
};

class TRegistryData {
 public:
  // The store over the settings file at IniPath; empty until read.
  explicit TRegistryData(QString IniPath);
  // Over the program's settings file (AppPaths().SettingsFile()).
  TRegistryData();

  // Remembers the subkey, forgets every value and reads every value with a non-empty name from
  // the key's section. A missing file or section leaves the store empty. False when the file
  // exists but cannot be read; lines of a damaged file that cannot be understood are skipped
  // and traced.
  bool OnApplicationOpen_ReadFromRegistry(const QString &BackslashSubKeyIfAny = QString());
  // Writes every value into the key's section, replacing the file in one step. Values on disk
  // that the store does not hold (one removed from memory, such as "IsDeveloper") are kept, as a
  // key's values are. False when the file cannot be written: the old file stays as it was and
  // the failure goes to the error log.
  bool OnApplicationClose_WriteToRegistry();

  QString SubKey() const { return FSubKey; }
  QString IniPath() const { return FIniPath; }

  // The parsed value, or the default when the name is absent or its value is not a number.
  int GetIntegerDef(const QString &Name, int DefaultInt) const;
  double GetFloatDef(const QString &Name, double DefaultFloat) const;
  // "-1", any other number (non-zero is true), "True" or "False" in any case; anything else
  // gives the default.
  bool GetBoolDef(const QString &Name, bool DefaultBool) const;
  // The value, or the default when the name is absent (an empty value is returned as empty).
  QString GetStringDef(const QString &Name, const QString &DefaultStr) const;

  // Typed reads of a described setting: absent or unreadable gives its default, a number outside
  // its range is limited to the range.
  int Get(const RIntSetting &Setting) const;
  double Get(const RFloatSetting &Setting) const;
  bool Get(const RBoolSetting &Setting) const;
  // Reads and limits with a default of the caller's (for values read with the current field as
  // their default).
  int GetIntegerInRange(const QString &Name, int DefaultInt, int Min, int Max) const;

  // An absent name reads as empty.
  QString GetValue(const QString &Name) const;
  void SetValue(const QString &Name, const QString &Value);
  void SetInteger(const QString &Name, int Value);
  void SetFloat(const QString &Name, double Value);
  // Written as "-1" or "0".
  void SetBool(const QString &Name, bool Value);
  void Set(const RIntSetting &Setting, int Value);
  void Set(const RFloatSetting &Setting, double Value);
  void Set(const RBoolSetting &Setting, bool Value);

  bool ValueExists(const QString &Name) const;
  // Removes the value from memory only; the file keeps it.
  void DeleteValue(const QString &Name);
  void Clear();
  // The names held, in the order they were read or first set.
  QStringList Names() const;
  int Count() const { return static_cast<int>(FLines.size()); }

  // The encodings of the store, shared with everything that reads or writes its values.
  static std::optional<qint64> ParseInteger(QStringView Text);
  static std::optional<double> ParseFloat(QStringView Text);
  static std::optional<bool> ParseBool(QStringView Text);
  // The shortest text that reads back as the same double, in the C locale.
  static QString FormatFloat(double Value);

 private:
  struct RLine {
    QString Name;
    QString Value;
  };
  const RLine *Find(const QString &Name) const;
  void Reindex();

  QString FIniPath;
  QString FSubKey;
  std::vector<RLine> FLines;
  QHash<QString, int> FIndex;  // case-folded name -> position in FLines
};
