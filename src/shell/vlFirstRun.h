#pragma once
// The set-up of a first run: the program's folders, the example files copied from the program's
// "Samples" folder, and the settings that point the historical track at the example recording.
//
// An example file is copied only where no file of that name exists yet: the example binder
// becomes the user's own notes on a first run, and a first run can happen again (a settings file
// that was deleted or reset, a second machine sharing the documents folder), so replacing it
// would destroy work. For the same reason the settings are written to disk as soon as the set-up
// is done instead of only at close, so a crash in the first session does not make the next start
// a first run again.
//
// Called on the user-interface thread only.

#include "vlAppPaths.h"

#include <QString>
#include <QStringList>

#include <functional>

class TRegistryData;

struct RFirstRunResult {
  // "Install" was not "Finished": the set-up ran.
  bool Ran = false;
  // Targets copied from the samples, targets that existed and were kept, samples not found.
  QStringList Copied;
  QStringList Kept;
  QStringList Missing;
  // The example binder in the documents folder, when there is one after the set-up.
  QString ExampleBinderPath;
  // The settings reached the disk right after the set-up.
  bool SettingsWritten = false;
};

// Drawn on the splash: the range of percent the step covers and its message.
using TProgressStep = std::function<void(int AtPercent, int NextPercent, const QString &Msg)>;

// Runs the set-up when Store's "Install" is not "Finished"; otherwise does nothing. A folder
// that cannot be created is reported with a dialog as "Cannot create " + its path (the report
// throws, so start-up goes no further); a sample that is missing or cannot be copied is traced
// and the set-up goes on.
RFirstRunResult FirstRun_SetUpMaybe(const TAppPaths &Paths, TRegistryData &Store,
                                    const TProgressStep &Progress = {});

// Where the program keeps its day files: the documents folder's "Sessions".
QString SessionsFolder(const TAppPaths &Paths);
