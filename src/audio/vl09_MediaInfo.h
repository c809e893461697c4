#pragma once
// The level readings of recordings, which the tracks draw as a waveform, and their ".vu" files.
//
// A ".vu" file sits beside its recording with the same name and the extension ".vu" (while
// recording: the path without extension + ".vu"; renamed with the recording). It is a plain
// sequence of 8-byte records, little-endian, in time order:
//
//   offset 0  int16  Peak  mean of the left and right peaks, 0..32767
//   offset 2  int16  Drift file milliseconds minus MS where the reading lies in the file
//   offset 4  int32  MS    milliseconds from the recording's start, wall-clock time
//
// MS is when the reading's sound was heard, measured on the system's clock from the moment the
// recording's name gives; Drift says where that sound lies in the file, so that a sound card whose
// clock runs a little fast or slow still maps moment to file position exactly (TRecordingClock).
// Files written before the drift was recorded hold 0 there and map linearly, as before.
//
// Reading trusts nothing: a file cut mid-record gives its whole records, peaks are limited to
// 0..32767, and records with a negative time are skipped. A recording without a ".vu" file gets
// placeholder readings (a triangle wave between 300 and 780, eight per second).
//
// Slot 0 of the catalogue belongs to the recording in progress; finished recordings are appended.
// Its ".vu" file is written from a timer (OnIdle_WriteVuToFileIfRecording), always everything
// pending, and finished when the recording stops.
//
// Called on the user-interface thread only.

#include "vlDateTime.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

struct TvuDatum {
  std::int16_t Peak = 0;
  std::int16_t Drift = 0;  // file milliseconds minus MS
  std::int32_t MS = 0;
};
static_assert(sizeof(TvuDatum) == 8);

// Reads a ".vu" file; false when it cannot be opened. Damaged content is repaired as above.
bool ReadVuFile(const QString &Path, std::vector<TvuDatum> &Out);
// The eight-per-second triangle wave for a recording of Seconds (limited to one day).
std::vector<TvuDatum> PlaceholderReadings(int Seconds);
// The ".vu" file of a recording: the exact name (extension replaced) when it exists, else the
// best of the folder's ".vu" files of the same day by overlap and nearness of start. Empty when
// none fits. With ExactOrClose, only the exact name or a file overlapping it by 90 % or more: a
// file to be renamed or deleted must be this recording's, not a neighbour's.
QString FindVuFileFor(const QString &RecordingPath, bool ExactOrClose = false);
// The path of the ".vu" of a recording path (with or without extension).
QString VuPathFor(const QString &RecordingPath);

// Receives readings for drawing (the track index of the visualisation). The catalogue sends each
// reading with its moment.
class TvlVisualizationTarget {
 public:
  virtual ~TvlVisualizationTarget() = default;
  virtual void NewVisualizationDatum(TDateTime When, int Peak) = 0;
};

class TvlMediaInfo_PerFile {
 public:
  TDateTime StartDT = 0;
  TDateTime EndDT = 0;
  int NumSeconds = 0;
  std::vector<TvuDatum> VU;  // VU.size() is the count of readings held
  std::size_t VUToWrite = 0;
  bool Visualized = false;

  // FileMSecs: where the reading lies in the file (negative: the same as its moment).
  void NewVUReading(TDateTime NewWhen, int NewPeak, std::int64_t FileMSecs = -1);
  // Readings from the recording's ".vu" file, or placeholders when it has none or it cannot be
  // read.
  void FetchVuReadingsFromFile(const QString &RecordingPath);
  // Appends the unwritten readings to File; false (and nothing marked written) on failure.
  bool OnIdleOrClose_FlushToFile(QFile &File);
  void SendVuReadingsToVisualizationObject(TvlVisualizationTarget &Target, TDateTime TillDT);
  void ClearVU();
  void InvalidateVisualization() { Visualized = false; }
};

class TvlMediaInfo {
 public:
  TvlMediaInfo();

  // Where readings go for drawing; none by default (the tracks install theirs).
  void SetVisualizationTarget(TvlVisualizationTarget *Target) { FTarget = Target; }

  // The recording in progress.
  void RecordingJustStarted_CreateNewCurrentFile(const QString &PathNameNoExtension,
                                                 TDateTime StartedAt);
  // When: the moment the reading was heard; FileMSecs: its place in the file (negative: unknown,
  // taken as When's distance from the start).
  void Recording_AddNewVisualizationDatum(TDateTime When, int Value, std::int64_t FileMSecs = -1);
  void OnIdle_WriteVuToFileIfRecording();
  // Flushes and closes the ".vu", moves slot 0 into a record of its own and renames the ".vu"
  // after NewPathName.
  void RecordingJustTerminated_CloseCurrentFile(const QString &OldPathName,
                                                const QString &NewPathName);
  bool IsGrowingVu() const { return FVuFile.isOpen(); }
  int CurrentX() const { return FCurrentX; }
  QString CurrentVuPath() const { return FVuFile.fileName(); }

  // Finished recordings.
  int CreateNewFileRecord(TDateTime FromDT, TDateTime ToDT, int Duration);
  // A record starts within 1 s of FromDT and ends within 2 s of ToDT.
  bool IsListed(TDateTime FromDT, TDateTime ToDT) const;
  // Records including slot 0.
  int FilesCount() const { return static_cast<int>(FFiles.size()); }
  const TvlMediaInfo_PerFile &File(int Index) const { return FFiles.at(Index); }
  TvlMediaInfo_PerFile &File(int Index) { return FFiles.at(Index); }
  void Clear();
  void ClearExceptCurrentX();
  // Clears the readings of the record(s) starting within 5 s of FromDT whose length is within 3 s
  // of Duration: only the recording meant, never a neighbour of the same length.
  bool DeleteOneFileFromListing(TDateTime FromDT, int Duration);
  void InvalidateVisualization(TDateTime InvalidateFromDT, TDateTime InvalidateToDT);
  void SendHistoricalVisualizationData(TDateTime FromDT, TDateTime TillDT);

 private:
  std::vector<TvlMediaInfo_PerFile> FFiles;
  int FCurrentX = -1;
  QFile FVuFile;
  bool FOutOfMemory = false;
  TvlVisualizationTarget *FTarget = nullptr;
};

// Re-dating and deleting recordings (with their ".vu" files). The recording in progress is never
// touched: the caller passes IsInProgress.
struct RRedateResult {
  bool Done = false;
  QString NewPath;
  QString NewVuPath;
  QString Message;  // why not, for the user
};

// Gives the recording at Path the start NewStart: both files get the new stamp and move into the
// new month's folder (made when missing). Nothing replaces an existing file. When the second
// rename fails the first is rolled back, so the recording is never stranded where no listing finds
// it. A recording without a ".vu" file is re-dated alone. Bookmarks, when asked for, are moved by
// MoveEvents(from, to, shift in days) for the span from 1 s before the old start to 1 s after the
// old end. Rename is the file system's rename that never replaces (a test makes it fail).
using TRenameFunction = std::function<bool(const QString &From, const QString &To)>;
RRedateResult RedateRecording(
    const QString &Path, TDateTime NewStart, bool IsInProgress,
    const std::function<void(TDateTime From, TDateTime To, double Shift)> &MoveEvents = {},
    const TRenameFunction &Rename = {});

// The question asked before a recording is deleted: its date (short form, with the weekday), its
// start in 12-hour form and its length.
QString DeleteRecordingQuestion(TDateTime Start, int LengthSecs);

// Moves the recording and then its ".vu" to the freedesktop trash. When the trash refuses a file,
// it stays where it is and the failure is logged: never a permanent delete. False when the
// recording itself could not be moved (or is the one in progress).
bool TrashRecording(const QString &Path, bool IsInProgress, QString &Message);
