#pragma once
// TvlProgram: the parts of the running program that live beside the main window, and the glue
// between them and the window. It owns the recordings catalogue, the recording and playback
// controller over the real sound server, the audio facade, the silence schedule and protection,
// and the day files manager; the notebook it creates is handed to the window, which owns it
// from then on (the window frees its parts in a fixed order when it closes).
//
// It answers the window's questions about the audio start (TAudioStartup), the bookmarks
// (TEventsLink), the binder, the silence schedule and the audio settings (TProgramLink), and is
// the binder's reader and writer of the events that are not typing (TvlOtherEventsIO). The
// timelines beside the notes come with TvlTimelineGlue (TTimelinePanelLink) and TvlTrackGlue
// (TTrackPanelLink), the bookmark hot keys with TvlBookmarkKeys (TBookmarkKeysLink). Connect
// installs every link of the window (vlMainWindowLinks.h) and, in one place, every part behind the
// seams of the document and the editor (vlSeam.h); the composition test fails while one of them is
// left at its default.
//
// Order: construct before the window, Connect once the window exists (before it is shown),
// destroy after the window. User-interface thread only.

#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vl09_MyAudio.h"
#include "vl09_Notebook.h"
#include "vl09_Silence.h"
#include "vl09_SilenceActions.h"
#include "vl09_SilenceConfig.h"
#include "vlAudioStartup.h"
#include "vlBookmarkKeys.h"
#include "vlMainWindowLinks.h"
#include "vlOtherEventsIO.h"
#include "vlSpellingPart.h"
#include "vlTimelineGlue.h"
#include "vlTrackGlue.h"
#include "vlVertLevelsFromVisualization.h"
#include "vldGraphic.h"

#include <QPointer>
#include <QString>

#include <memory>

class TAudioBackend;
class TRegistryData;
class TSilenceWindowPrompts;
class TvlHintAsPointHints;
class TVellomarFm;
class TvlOptions;

// The audio settings the facade applies, read from the options.
RAudioSettings AudioSettingsFromOptions(TvlOptions &Options);

// A text that changes whenever an event that is not typing is added, deleted, moved, re-kinded
// or renamed: the bookmarks the binder holds. Selection does not count.
QString NonTypingEventsFingerprint(const TvlDayFilesManager &Events);

class TvlProgram final : public TAudioStartup,
                         public TEventsLink,
                         public TProgramLink,
                         public TvlOtherEventsIO {
 public:
  // Store and Options are not owned and must outlive the program. AudioFolder is where new
  // recordings go (the data folder's "Audio").
  TvlProgram(TRegistryData &Store, TvlOptions &Options, std::shared_ptr<TAudioBackend> Backend,
             const QString &AudioFolder);
  ~TvlProgram() override;
  TvlProgram(const TvlProgram &) = delete;
  TvlProgram &operator=(const TvlProgram &) = delete;

  // Creates the notebook in the window, installs the links, parts and seams. ExampleBinder is
  // opened when no binder is named at the first start (empty: none).
  void Connect(TVellomarFm &Window, const QString &ExampleBinder);

  TvlNotebook *Notebook() const { return FNotebook; }
  TvlAudio &Audio() { return FAudio; }
  TActiveSoundFm &Sound() { return FSound; }
  TvlMediaFoldersInfo &Recordings() { return FFolders; }
  TvlDayFilesManager &DayFiles() { return FDays; }
  TSilenceProtection &Silence() { return FSilence; }
  TvlTimelineGlue &Timelines() { return *FTimelines; }
  TvlTrackGlue &Tracks() { return *FTracks; }
  TvlBookmarkKeys &BookmarkKeys() { return *FBookmarkKeys; }
  TvlSpellingPart &SpellingPart() { return *FSpelling; }

  // TAudioStartup
  QString InitializeRecorder() override;
  QString InitializeMisc() override;
  QString ApplyAudioOptions() override;
  bool IsRecording() const override;
  QString CurrentSourceName() const override;
  void StartRecording() override;
  void StopRecording() override;
  void StopPlaying() override;

  // TEventsLink
  bool BookmarksChangedSinceSave() const override;
  void SaveChangedDayFiles() override;

  // TProgramLink. OpenBinder opens PathName (empty: the example on a first start, else an empty
  // binder), telling the user about problems.
  void OpenBinder(const QString &PathName) override;
  void LoadSilenceSchedule() override;
  void SaveSilenceSchedule() override;
  int SilenceProtectionLevelNow() override;
  void ReloadCurrentMediaMonth() override;
  void OptionsApplied() override;
  void BinderSavedOrOpened() override;

  // TvlOtherEventsIO: the binder's bookmarks are the day files manager's. Opening a binder
  // replaces the bookmarks of the one before.
  void IO_SaveNonTypingEvents(TvlXmlOut &Out) override;
  QString IO_LoadNonTypingEvents(TvlXmlIn &In) override;
  // The day files keep the typing events of the open documents alone: those of a binder that
  // closed or of a tab that closed go (else their words stayed on the timelines, and a binder
  // opened again, its moments read back from the file, drew every word twice).
  void TypingEvents_Rebuild(const std::vector<const TDocument *> &Documents) override;

  // Files given on the command line or handed over by a later start (absolute paths): a binder
  // opens in place of the current one after the save question (of several, the last given);
  // isolated tabs are imported as tabs, in order. A file that cannot be opened is reported here,
  // by the window. Files arriving before SetReadyForGivenFiles, or while earlier ones are being
  // opened (a question is open), wait their turn.
  void OpenGivenFiles(const QStringList &Files);
  // The window shows and has opened its binder: the files waiting are opened now.
  void SetReadyForGivenFiles();

 private:
  void RememberSavedBookmarks();
  // Installs the parts behind the seams of the document and the editor (vlSeam.h).
  void InstallSeams(TVellomarFm &Window);
  struct RSeams;
  void OpenGivenFilesNow(const QStringList &Files);

  TRegistryData &FStore;
  TvlOptions &FOptions;
  std::shared_ptr<TAudioBackend> FBackend;
  TvlMediaFoldersInfo FFolders;
  TvlMediaInfo FMedia;
  TActiveSoundFm FSound;
  TvlAudio FAudio;
  TvlSilenceConfigSchedule FSchedule;
  TSilenceProtection FSilence;
  std::unique_ptr<TvlHintAsPointHints> FHints;
  std::unique_ptr<TSilenceWindowPrompts> FSilencePrompts;
  TvlDayFilesManager FDays;
  std::unique_ptr<TvlTimelineGlue> FTimelines;
  std::unique_ptr<TvlTrackGlue> FTracks;
  std::unique_ptr<TvlBookmarkKeys> FBookmarkKeys;
  std::unique_ptr<TVisualizationVertLevelSource> FVertLevels;
  std::unique_ptr<TvlSpellingPart> FSpelling;
  TVellomarFm *FWindow = nullptr;
  QPointer<TvlNotebook> FNotebook;
  QPointer<TSilenceActions> FSilenceActions;
  QString FSavedBookmarks;
  RInsetOptions FInsetOptions;
  std::unique_ptr<RSeams> FSeams;
  // Asks which of overlapping recordings plays ("Select Overlapping Audio File").
  std::unique_ptr<TOverlapChooser> FOverlapChooser;
  bool FPlayerReady = false;
  QStringList FGivenFiles;
  bool FReadyForGivenFiles = false;
  bool FOpeningGivenFiles = false;
};
