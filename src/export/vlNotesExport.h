#pragma once
// Notes leave the program: one exporter writes the tabs of a binder, each paragraph with its
// moment and the bookmarks at theirs, in five forms. The notes tool ("vlnotes export") and the
// main window's "Export Notes ..." both come here, so the two can never differ.
//
//   Markdown  each tab a "##" heading; each paragraph starts with its moment "[HH:MM:SS]" (time
//             of day; a date line whenever the day changes); bookmarks and labels are list
//             items where their moments fall among the paragraphs; bold, italic, underline and
//             strike-out kept; pictures as image references to their files.
//   HTML      one page, CSS and script inline, nothing fetched from elsewhere: the notes, an
//             <audio> player, and on every moment a link that plays the recording covering that
//             moment from it. Recordings a browser cannot decode (ADPCM, GSM WAV: the program's
//             default encoding is ADPCM) are written beside the page as 16-bit PCM WAV; the
//             others are referenced where they are, by a path relative to the page.
//   WebVTT,   one cue per paragraph (longer ones split at the ends of sentences, each piece at
//   SRT       the moment of its first character), timed from the start of one recording: the
//             one named, else the one that covers the most paragraphs. A cue ends at the next
//             cue or after the time it takes to read it, whichever comes first; pieces outside
//             that recording are left out (and counted in the result's notes).
//   TSV       START<TAB>END<TAB>TEXT in seconds from that recording's start, six decimals, for
//             bookmarks, labels and the starts of paragraphs: the label track audio editors
//             import. Points have START = END.
//
// Moments and recordings. A paragraph's moment is that of its first character that has one
// (TypingEventMoment: the effective moment, else the moment it was typed); an empty paragraph
// has its end of line's. The recording covering a moment and the moment's offset into it come
// from TvlExportRecordings, which asks the catalogue the way playback does.
//
// Output files are written whole to a temporary file and then put in place: a failed export
// leaves an earlier file of that name as it was. User-interface thread only (or a tool's main).

#include "vl09_MediaFoldersInfo.h"
#include "vl09_XmlTags.h"
#include "vlDateTime.h"
#include "vlRecordingClock.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class TDocument;
class TvlBinderTabs;
class TvlDayFilesManager;
class TvlKeptEventsIO;

enum TExportFormat { efMarkdown, efHtml, efWebVTT, efSrt, efTsv };

// "md", "html", "vtt", "srt", "tsv" (also "markdown", "webvtt", "htm"); nothing for others.
std::optional<TExportFormat> ExportFormatFromName(const QString &Name);
// The file extension without its dot.
QString ExportFormatExtension(TExportFormat Format);
// The save dialog's filters, one per format, ";;"-separated, Markdown first.
QString ExportDialogFilters();
// The format of a filter the dialog answered; when it names none, the path's extension decides,
// else Markdown.
TExportFormat ExportFormatFromDialog(const QString &Filter, const QString &Path);

struct RExportTab {
  QString Title;
  const TDocument *Doc = nullptr;  // not owned
};

struct RExportBookmark {
  TKindOfEvent Kind = koeMarker;
  QChar What;  // a marker's number "1".."9"
  TDateTime When = 0;
  QString Text;  // a label's text
};

// The tabs of a notebook or of a binder read by a tool (documents not owned).
std::vector<RExportTab> ExportTabsOf(TvlBinderTabs &Tabs);
// The bookmarks, labels and symbols of a binder's events block as a tool keeps it, or of the day
// files; typing events and deleted slots are not bookmarks.
std::vector<RExportBookmark> ExportBookmarksOf(const TvlKeptEventsIO &Events);
std::vector<RExportBookmark> ExportBookmarksOf(const TvlDayFilesManager &Events);
// "Bookmark 3", the label's text, "Symbol X".
QString BookmarkCaption(const RExportBookmark &Bookmark);

// One recording as the export uses it.
struct RExportRecording {
  QString Path;
  TDateTime Start = 0;
  std::int64_t LengthMSecs = 0;
  // Its clock record (from its own ".vu" file), as playback loads it; linear without one.
  std::shared_ptr<const TRecordingClock> Clock;
};

// The recordings under the notes' moments, found through the catalogue as playback finds them:
// the recordings of the moment's day and the day before, a recording covering a moment when
// start <= moment <= start + its length in the catalogue (the whole seconds of its name); among
// several, the one with the most left to play. The
// offset is the moment's position in the file: its milliseconds after the recording's start (as
// the catalogue reads it from the name) mapped through the recording's clock record
// (TRecordingClock, from its ".vu" file), exactly as playback seeks. Lengths come from names, else
// from headers: nothing is renamed (the program may be recording into one of these files).
class TvlExportRecordings {
 public:
  // Folders: the catalogue to ask, not owned; nullptr: no recordings at all.
  explicit TvlExportRecordings(TvlMediaFoldersInfo *Folders);

  // The index of the recording covering When in Recordings(), and the offset; -1 when none.
  int Cover(TDateTime When, std::int64_t &OffsetMSecs);
  // A recording named by its path (for the subtitles); -1 when it is not a recording whose name
  // carries a start or it cannot be read.
  int Named(const QString &Path);
  const std::vector<RExportRecording> &Recordings() const { return FRecordings; }
  // The file position of When in milliseconds (negative before the recording's start).
  static std::int64_t OffsetInto(const RExportRecording &Recording, TDateTime When);

 private:
  int IndexOf(const QString &Path, TDateTime Start, std::int64_t LengthMSecs);
  // The length in milliseconds: the header's when it agrees with the catalogue's whole seconds
  // (CatalogueMSecs, what playback goes by), else those. 0 when there is none.
  std::int64_t LengthMSecsOf(QString &Path, std::int64_t &CatalogueMSecs);

  TvlMediaFoldersInfo *FFolders;
  std::vector<RExportRecording> FRecordings;
  // Looked up once per day and per file: a binder has thousands of paragraphs.
  std::map<TDateTime, std::vector<RRecordingEntry>> FDays;
  struct RLength {
    QString Path;  // the name after a lookup that gave it its length
    std::int64_t MSecs = 0;
    std::int64_t CatalogueMSecs = 0;
  };
  std::map<QString, RLength> FLengths;
};

struct RExportRequest {
  TExportFormat Format = efMarkdown;
  QString OutPath;
  QString Title;          // the page's and document's title (the binder's name)
  int Tab = -1;           // the index of the one tab to export; -1: every tab
  QString RecordingPath;  // subtitles and labels: the recording to time from; empty: chosen
};

struct RExportResult {
  bool Written = false;
  QString Error;      // why nothing was written, for the user
  QStringList Files;  // every file written: OutPath first, then copies of recordings
  QStringList Notes;  // what the user should know (pieces left out, recordings not converted)
};

RExportResult ExportNotes(const std::vector<RExportTab> &Tabs,
                          const std::vector<RExportBookmark> &Bookmarks,
                          TvlExportRecordings &Recordings, const RExportRequest &Request);

// The text of one format without writing it (the HTML page refers to its recordings as they
// are; nothing is converted). For tests and previews.
QString ExportText(const std::vector<RExportTab> &Tabs,
                   const std::vector<RExportBookmark> &Bookmarks, TvlExportRecordings &Recordings,
                   const RExportRequest &Request, QStringList *Notes = nullptr);

// Browsers play PCM WAV, IEEE float WAV, Ogg Vorbis and FLAC; ADPCM and GSM WAV they do not.
// False also for a file libsndfile cannot read.
bool BrowserPlaysAudioFile(const QString &Path);
// Writes Source as 16-bit PCM WAV at Target (same rate, same channels), through a temporary
// file put in place at the end. False with Error when not.
bool WritePcmWavCopy(const QString &Source, const QString &Target, QString &Error);
