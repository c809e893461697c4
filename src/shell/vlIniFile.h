#pragma once
// The settings file: an INI text in UTF-8 with named sections of name=value lines, in the form
// QSettings writes, so that the file can be read and edited with ordinary tools.
//
// Reading is lenient: a damaged file gives every line that still makes sense, and nothing in it
// can make the reader allocate more than the file's own size. Writing replaces the whole file in
// one step (a temporary file renamed over the old one), so a failed write leaves the old file as
// it was.
//
// Called on the user-interface thread only.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct RIniValue {
  QString Name;
  QString Value;
};

class TIniFile {
 public:
  // Files larger than this are damaged beyond use: only this many bytes are read, and such a
  // file is never written back (see ReadWhole), since what followed would be lost.
  static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

  // Reads Path. A missing file gives an empty document and true; a file that exists but cannot
  // be read gives false. Lines that cannot be understood are skipped and described in Problems.
  bool Load(const QString &Path);
  // Reads the text of a file (for tests and for Load).
  void Parse(const QByteArray &Bytes);

  // The section's values in file order; a name that occurs twice keeps its last value in the
  // place of its first.
  QList<RIniValue> Section(const QString &SectionName) const;
  bool HasSection(const QString &SectionName) const;
  QStringList SectionNames() const;
  // Replaces the whole section; an empty list removes it.
  void SetSection(const QString &SectionName, const QList<RIniValue> &Values);

  QByteArray Text() const;
  // Writes Text() over Path in one step, creating the folder when needed. False, with ErrorText
  // set and the old file untouched, when anything fails.
  bool Save(const QString &Path, QString *ErrorText = nullptr) const;

  const QStringList &Problems() const { return FProblems; }
  QString LoadError() const { return FLoadError; }
  // False after Load read only the first MaxFileBytes of a larger file.
  bool ReadWhole() const { return !FTruncated; }

  // The two escapes of the format, public for the tests.
  static QString EscapedValue(const QString &Value);
  static QString UnescapedValue(QStringView Raw);
  static QString EscapedName(const QString &Name);
  static QString UnescapedName(QStringView Raw);

 private:
  struct RSection {
    QString Name;
    QList<RIniValue> Values;
  };
  RSection *Find(const QString &SectionName);
  const RSection *Find(const QString &SectionName) const;

  QList<RSection> FSections;
  QStringList FProblems;
  QString FLoadError;
  bool FTruncated = false;
};

// Reads Path, lets Update turn the section's values on disk into the values to write, and writes
// the file back with every other section as it was. False, with the old file untouched, when the
// file exists but cannot be read, was too large to be read whole, or the new file cannot be
// written.
bool UpdateIniSection(const QString &Path, const QString &SectionName,
                      const std::function<QList<RIniValue>(const QList<RIniValue> &OnDisk)> &Update,
                      QString *ErrorText = nullptr);
