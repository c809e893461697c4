#pragma once
// The track pop-up's commands on one recording: giving it another start (the "Adjust Time & Date
// of Audio" window), copying its path, deleting it to the trash and showing it in the file
// manager. After a re-date or a deletion the catalogue and the listing forget the old recording
// and Refreshed tells the views which spans to draw again, whether or not the files moved, so a
// recording is never left drawn where it no longer is.
//
// The recording in progress is never re-dated or deleted (the catalogue refuses it). A recording
// the player has loaded is closed first. User-interface thread only.

#include "vlDateTime.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QDateTimeEdit;
class TvlAudio;
class TvlMediaFoldersInfo;
class TvlMediaInfo;

// What the adjustment window answers: the new start and whether the bookmarks move with it.
struct RAdjustAudioAnswer {
  TDateTime NewStart = 0;
  bool MoveBookmarks = true;
};

// "Adjust Time & Date of Audio": the recording's start to the tenth of a second, and "Adjust
// bookmarks too.".
class TAdjustAudioTimeFm final : public QDialog {
 public:
  explicit TAdjustAudioTimeFm(QWidget *Parent = nullptr);
  void Seed(TDateTime Start);
  RAdjustAudioAnswer Answer() const;
  QDateTimeEdit *StartEdit() const { return FStart; }
  QCheckBox *BookmarksBox() const { return FBookmarks; }

 private:
  QDateTimeEdit *FStart = nullptr;
  QCheckBox *FBookmarks = nullptr;
};

class TvlRecordingCommands {
 public:
  TvlRecordingCommands(TvlAudio &Audio, TvlMediaFoldersInfo &Folders, TvlMediaInfo &MediaInfo);

  // The recording under a point of a track: those whose span holds the moment, else those within
  // SlushSecs of it (the time of a few columns of the track pressed); of several, the shortest
  // (the first such), so a short recording inside a long one can be picked at all. Empty when
  // there is none.
  QString RecordingAt(TDateTime When, double SlushSecs = 1);

  // Asks for the new start and re-dates the recording with its level file, moving the bookmarks
  // of its span when asked. False when nothing was asked, the user cancelled, or the files could
  // not move (the user is told why).
  bool Adjust(const QString &Path);
  void CopyPath(const QString &Path) const;
  // Asks, then moves the recording and its level file to the trash. False when the user said
  // No or the trash refused the recording (the user is told).
  bool Delete(const QString &Path);
  // The file manager shows the file (selected where it can), else its folder opens; a message
  // says so when neither worked.
  void ShowInFolder(const QString &Path) const;

  // Seams. AskNewStart: the adjustment window (nothing when cancelled). ShowItem: the file
  // manager's D-Bus ShowItems, else opening the folder; false when neither worked.
  std::function<std::optional<RAdjustAudioAnswer>(TDateTime Start)> AskNewStart;
  std::function<bool(const QString &Path)> ShowItem;
  // The recordings changed between From and To (both spans of a re-date are reported): the
  // views draw them again. BookmarksMoved: bookmarks were moved, the binder has a change to save.
  std::function<void(TDateTime From, TDateTime To)> Refreshed;
  std::function<void()> BookmarksMoved;

 private:
  // The catalogue and the listing let go of the recording, the months are read again.
  void Forget(TDateTime Start, int LengthSecs);

  TvlAudio &FAudio;
  TvlMediaFoldersInfo &FFolders;
  TvlMediaInfo &FMediaInfo;
};

// Moves by Shift days every event that is not a typing event and lies from From to To, through
// the day files manager in use; answers how many moved.
int MoveBookmarksOfSpan(TDateTime From, TDateTime To, double Shift);
