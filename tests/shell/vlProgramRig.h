#pragma once
// The program as main() builds it, over the simulated sound server, started and shown: the rig
// the tests of the program's composition share. Each run lives in a home folder of its own
// (settings, audio, documents and data folders), so that nothing an earlier run left there, a
// journal, a day file or a setting, is read back by a later one unless a test asks for it by
// naming the same folder.

#include "vl09_Main.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlAppPaths.h"
#include "vlAudioTestSupport.h"
#include "vlProgram.h"
#include "vlTestSupport.h"
#include "vldTemporal.h"

#include <QSize>
#include <QStringList>

#include <memory>

class QAction;
class TvlEditorPage;
class TWindowView;

struct RProgramStart {
  QString Folder{};           // the run's home; empty: a fresh folder of its own
  QString Settings{};         // the settings file; empty: Folder/2009.ini
  bool ReadSettings = false;  // read the settings file before the window exists, as main() does
  QString Example{};          // the example binder of a first start
  QString AutoOpen{};         // the binder the settings name
  TDateTime StartAt = 0;      // the clock's moment at the start (0: the simulated machine's own)
  QStringList Recordings{};   // empty recordings put into the audio folder first, by file name
                              // ("2009-09-03 13.47 36.5 (108).wav", filed under its month)
  QSize Size{};               // the window's size; empty: its own
  bool FocusNotes = false;    // the window active and the notes editor focused
};

class TProgramRig : public TSimMachine {
 public:
  explicit TProgramRig(const RProgramStart &Start = {});
  ~TProgramRig();
  TProgramRig(const TProgramRig &) = delete;
  TProgramRig &operator=(const TProgramRig &) = delete;

 private:
  std::unique_ptr<TFreshFolder> FFresh;
  TAppPaths FPreviousPaths;

 public:
  const QString FolderPath;
  TRegistryData Store;
  TvlOptions Options;
  std::unique_ptr<TvlProgram> Program;
  std::unique_ptr<TVellomarFm> Window;

  QString File(const QString &Name) const { return FolderPath + QLatin1Char('/') + Name; }
  // The item Caption of the menu bar's menu Menu (captions with their "&"); a failure when absent.
  QAction *MenuItem(const QString &Menu, const QString &Caption) const;
  TvlEditorPage *ActivePage() const;
  TWindowView &View() const;
};
