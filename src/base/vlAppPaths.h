#pragma once
// Where the program keeps its files. The folders follow the freedesktop conventions through
// QStandardPaths; a test builds them under a folder of its own instead.

#include <QString>
#include <QStringList>

class TAppPaths {
 public:
  // The user's folders: documents/Vellomar, the data folder's Vellomar (holding "Audio" and
  // "Document Backups"), the settings file, and the samples shipped with the program.
  static TAppPaths FromSystem();
  // Everything below Root: Root/Documents/Vellomar, Root/data/Vellomar,
  // Root/config/Vellomar/2009.ini and Root/Samples.
  static TAppPaths UnderRoot(const QString &Root);

  QString DocumentsFolder() const { return FDocuments; }
  QString DataFolder() const { return FData; }
  QString SettingsFile() const { return FSettings; }
  QString SamplesFolder() const { return FSamples; }
  QString TraceFile() const { return FDocuments + QStringLiteral("/Trace.txt"); }
  QString ErrorsFile() const { return FDocuments + QStringLiteral("/Errors.txt"); }

 private:
  QString FDocuments;
  QString FData;
  QString FSettings;
  QString FSamples;
};

// The paths in use; FromSystem() unless others were installed.
const TAppPaths &AppPaths();
void SetAppPaths(const TAppPaths &Paths);

// Files and folders shipped with the program ("Samples", "GettingStarted/index.html"): beside the
// program in the build tree; in the installed data folder (share/vellomar) seen from the
// installed program's folder; then in the desktop's data folders (XDG_DATA_DIRS) + "/vellomar".
// The places in that order, and the first that exists (empty: none).
QStringList ProgramDataCandidates(const QString &Relative);
QString ProgramDataPath(const QString &Relative);
