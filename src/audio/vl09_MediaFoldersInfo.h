#pragma once
// Recordings are plain audio files whose names carry their start moment and their length, kept in
// month folders under the audio folders:
//
//   <audio folder>/2009-09/2009-09-03 13.47 36.5 (108).wav
//
// The stamp is 21 characters (year-month-day, hour.minute, second.tenths, every field with leading
// zeros); " (N)" is the length in whole seconds, missing while the recording runs. Nothing else
// records which recordings exist: the listing below is built by reading folders and names.
//
// Names that do not parse (a user's "lecture.wav", month 13, 30 February) are never listed,
// measured or renamed: they are somebody else's files. Every rename here refuses an existing
// target (POSIX rename() would replace it).
//
// Called on the user-interface thread only.

#include "vlDateTime.h"

#include <QString>
#include <QStringList>

#include <vector>

// The moment of a name that does not parse: before any recording.
inline constexpr TDateTime kInvalidRecordingStart = -0.5;
// Lengths above this are not believed (a "(99999999)" in a user's copy).
inline constexpr int kMaxRecordingLengthSecs = 10000000;

// "2009-09-03 13.47 36.5" for the moment (tenths are milliseconds div 100).
QString RecordingStamp(TDateTime Start);
// "2009-09".
QString RecordingMonthFolder(TDateTime Start);
// "2009-09/2009-09-03 13.47 36.5": what a new recording's path is built from.
QString RecordingRelativeName(TDateTime Start);
// The start moment of a recording's file name (a path is accepted; only its file name counts),
// or kInvalidRecordingStart when the stamp is not a real moment.
TDateTime RecordingStartFromName(const QString &PathOrName);
// The length in seconds from the last parenthesised group of digits before the extension, or -1
// when the name carries none.
int RecordingLengthFromName(const QString &PathOrName);
// Path with " (Seconds)" inserted before its extension.
QString RecordingNameWithLength(const QString &Path, int Seconds);
// Renames without ever replacing an existing file; false when To exists or the rename failed.
bool RenameNoReplace(const QString &From, const QString &To);
// The audio extensions a listing takes, in their order of preference.
const QStringList &RecordingExtensions();

struct RRecordingEntry {
  QString Path;
  TDateTime Start = 0;
  int LengthSecs = -1;  // -1: the name carries no length
  // The span a listing uses; an entry without a length counts 1 second.
  int SpanSecs() const { return LengthSecs > 0 ? LengthSecs : 1; }
  TDateTime End() const { return Start + SpanSecs() / SecsPerDay; }
};

// Lists Folder (a month folder) and keeps the recordings whose names parse, sorted by start.
// DatePrefix, when given ("2009-09-03"), keeps only names that begin with it. At most 10000 names
// per extension, as a guard against a folder that is not what it seems.
std::vector<RRecordingEntry> ListRecordingsIn(const QString &Folder,
                                              const QString &DatePrefix = QString());

// Measures a recording whose name lacks its length (from the file's header, never by decoding)
// and renames it to carry it. Answers the length in seconds; Path becomes the new name when the
// rename succeeded. A file that cannot be measured, or holds less than a second, answers 0 and
// keeps its name: a failed measurement never goes into a name.
int MeasureAndNameRecording(QString &Path);

// The audio folders, the months loaded for the views, and the recordings listed in them.
class TvlMediaInfo;

class TvlMediaFoldersInfo {
 public:
  TvlMediaFoldersInfo() = default;

  // Adds DefaultFolder (the data folder's "Audio") and chooses the folder new recordings go to.
  void Initialize(const QString &DefaultFolder);
  void AddAudioFolder(const QString &Folder);
  const QStringList &AudioFolders() const { return FAudioFolders; }
  // The folder new recordings go to, with a trailing "/", or empty when none is usable.
  QString AudioFolder() const;
  int CurrentAudioFolderIndex() const { return FCurrentAudioFolderIndex; }
  // The first folder with more than 100 MB free, else the last usable one; -1 when none exists
  // or can be created.
  int FindIndexOfBestOutputFolder() const;

  // Lookups measure a file lacking its length and leave its name alone. For tools that run beside
  // the program: they cannot know which file it records into, and renaming that one would leave
  // the recording under a wrong length.
  void SetMeasureOnly(bool MeasureOnly) { FMeasureOnly = MeasureOnly; }

  // The recording being made now: lookups never measure, rename, re-date or delete it; its length
  // is taken from the clock. Empty path: none.
  void SetRecordingInProgress(const QString &Path, TDateTime BeganAt);
  bool IsRecordingInProgressFile(const QString &Path) const;
  QString RecordingInProgressPath() const { return FInProgressPath; }
  TDateTime RecordingInProgressBeganAt() const { return FInProgressBeganAt; }

  // Months. The listing holds the recordings of the loaded months, sorted by start.
  bool Month_LoadMonthsOf(TDateTime PlayDT, TDateTime RecDT, TDateTime VertDT);
  bool Month_AddMonthOf(TDateTime AnyDT);
  void Month_Reload();
  bool Month_LoadNext();
  bool Month_LoadPrevious();
  static TDateTime FirstMonthWithDataDT();
  TDateTime CurrentMonthDT() const { return FCurrentMonthDT; }
  // Every month folder of every audio folder, loaded: the whole catalogue.
  void LoadAllMonths();

  int Count() const { return static_cast<int>(FEntries.size()); }
  const std::vector<RRecordingEntry> &Entries() const { return FEntries; }
  TDateTime StartDateTime(int Index) const;
  int DurationInSeconds(int Index) const;
  TDateTime EndDateTime(int Index) const;
  // The nearest listed start strictly after (before) the moment; false when none.
  bool FindClosestDateTimeAfter(TDateTime &InputAndOutputDT) const;
  bool FindClosestDateTimeBefore(TDateTime &InputAndOutputDT) const;
  void IterateMonth_Reset() { FIteratorX = 0; }
  bool IterateMonth_GetAnotherTime(TDateTime &StartDT, TDateTime &EndDT);
  // The listed recording whose span holds the moment (the latest start among several); -1 when
  // none. Logarithmic in the listing.
  int IndexCovering(TDateTime When) const;

  // Recordings of When's day and the day before that touch When within Slush seconds: start -
  // Slush <= When <= start + length + Slush. Files lacking a length are measured and renamed.
  QStringList ListFilesTouchingTime(TDateTime When, double WithinSlushSec);
  // The same; when some touch exactly (slush 0), only those.
  QStringList ListFilesTouchingTimeBest(TDateTime When, double WithinSlushSec);
  bool DoesDateTimeTouchFile(TDateTime When, double WithinSlushSec, const QString &Path) const;
  // The length in seconds of a listed or found file: the recording in progress from the clock,
  // else from its name, else measured (and the file renamed unless measure-only; Path follows).
  int LengthOf(QString &Path);
  // The recordings of the day of When and the day before, from disk, names parsed, sorted.
  std::vector<RRecordingEntry> RecordingsOfDayAndDayBefore(TDateTime When) const;

  // Gives the catalogue a record, with its readings, for every listed recording that touches the
  // period and that it does not hold yet. The recording in progress is left out: its readings
  // are already in the catalogue's slot 0.
  void ListFilesTouchedByTimePeriod(TDateTime Start, TDateTime Stop, TvlMediaInfo &MediaInfo);

  // Removes the entry whose length is within 2 s of Duration and whose start is nearest to
  // FromDT, less than 5 s away. False when none qualifies.
  bool DeleteOneFileFromListing(TDateTime FromDT, int Duration);

 private:
  // False when the month was listed already.
  bool AddMonthFolder(TDateTime MonthStart);
  void SortEntries();

  QStringList FAudioFolders;
  int FCurrentAudioFolderIndex = -1;
  TDateTime FCurrentMonthDT = 0;
  std::vector<TDateTime> FLoadedMonths;
  std::vector<RRecordingEntry> FEntries;
  // The longest span listed, so that a look-up walks back no further than needed.
  double FMaxSpanDays = 0;
  int FIteratorX = 0;
  QString FInProgressPath;
  TDateTime FInProgressBeganAt = 0;
  bool FMeasureOnly = false;
};
