#pragma once
// The journal of a binder: every change to its tabs since the binder (or its backup) was last
// written, appended as it happens, so that a crash loses nothing that reached the disk.
//
// File layout (little-endian):
//   "VLJOURN1"                                 8 bytes of magic
//   record*                                    appended, never rewritten
// record:
//   u32 Length, u32 ~Length                    the payload's length, twice (a flipped bit in the
//                                              length is found, not taken for a torn end)
//   u32 CRC32 of the payload                   (the zlib polynomial)
//   payload: u8 kind, f64 when (local wall clock, TDateTime), then the kind's fields
// The first record is the header: the file the journal continues (its size and CRC32, or the
// empty binder), when it was started and the tabs it started with. Strings are u32 count +
// UTF-16 units; moments are stored as the doubles themselves, exactly as the model holds them.
//
// Reading stops at the first record that is not whole (a torn end: what a kill in the middle of
// a write leaves; it is ignored) or whose length or checksum does not hold (damage: reported
// with its byte offset). Records before the stop are always whole and checked.
//
// Fonts: edit records carry font indices of the live document; before the first record that
// uses an index, a FontDef record gives its six attributes, so that replay maps it to the
// loaded document's own table, whatever order that table was rebuilt in.
//
// Typed characters that follow each other in one paragraph are merged into one Insert record
// while they wait in the buffer: typing a word writes one record.
//
// User-interface thread only.

#include "vldEditObserver.h"
#include "vldRichString.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

class QTimer;
class TDocument;

std::uint32_t Crc32(const char *Data, qsizetype Size, std::uint32_t Crc = 0);
std::uint32_t Crc32(const QByteArray &Bytes);

// The values are stored in journals: never renumber them.
enum class TJournalKind : std::uint8_t {
  Header = 1,
  FontDef = 2,
  Edit = 3,
  TabAdded = 4,     // an empty tab Title at Index
  TabRenamed = 5,   // tab Index now Title
  TabMoved = 6,     // from Index to To
  TabDeleted = 7,   // tab Index
  TabImported = 8,  // tab Title at Index holding Bytes (an isolated tab file)
  Events = 9,       // the bookmarks, as the binder's OtherEvents block
};

// What the journal continues.
struct RJournalBase {
  bool IsFile = false;    // false: the empty binder
  QString PathName;       // the file as it was named when the journal began
  std::int64_t Size = 0;  // its length in bytes
  std::uint32_t Crc = 0;  // CRC32 of its bytes
  QStringList Tabs;       // the titles of the tabs when the journal began

  // The base of the bytes of a file, as a journal's header records it.
  static RJournalBase OfBytes(const QString &PathName, const QByteArray &Bytes);
  bool SameFile(const RJournalBase &Other) const {
    return IsFile == Other.IsFile && Size == Other.Size && Crc == Other.Crc;
  }
};

struct RJournalFont {
  QString Name;
  std::int32_t Rotation = 0;
  std::int32_t Size = 0;
  TColor Color = 0;
  TColor Highlight = 0;
  int Style = 0;
};

// One record as read back.
struct RJournalRecord {
  TJournalKind Kind = TJournalKind::Header;
  TDateTime When = 0;
  int Tab = 0;  // tab index (Edit, FontDef, tab records)
  int To = 0;   // TabMoved
  QString Title;
  QByteArray Bytes;            // TabImported, Events
  RJournalBase Base;           // Header
  std::int16_t FontIndex = 0;  // FontDef
  RJournalFont Font;           // FontDef
  RDocumentEdit Edit;          // Edit; Edit.Text points at Text
  std::shared_ptr<TRichString> Text;
};

// The records of a journal's bytes, up to the first one that is not whole or not sound.
struct RJournalRead {
  bool IsJournal = false;  // the magic was there
  std::vector<RJournalRecord> Records;
  std::vector<qsizetype> Ends;  // per record, the byte offset just after it
  qsizetype GoodBytes = 0;      // magic + the whole, sound records
  bool TornEnd = false;         // bytes after the last whole record that do not make one
  bool Damaged = false;         // a record whose length or checksum does not hold
  qsizetype DamagedAt = -1;     // its byte offset
  QString Problem;              // says so in a sentence; empty when clean or merely torn
};
RJournalRead Journal_Read(const QByteArray &Bytes);

QByteArray Journal_Magic();
// The record's bytes for a file: prefix and payload.
QByteArray Journal_Frame(const QByteArray &Payload);

// Turns told edits and tab changes into record bytes. Keeps which fonts it has defined per
// document and the typed run waiting to be merged.
class TJournalEncoder {
 public:
  // Header record of a journal that continues Base.
  QByteArray Header(const RJournalBase &Base, TDateTime When) const;
  // Appends the records for an edit of the document of tab TabIndex.
  void Edit(QByteArray &Out, int TabIndex, const TDocument &Doc, const RDocumentEdit &E,
            TDateTime When);
  void TabAdded(QByteArray &Out, int Index, const QString &Title, TDateTime When);
  void TabRenamed(QByteArray &Out, int Index, const QString &Title, TDateTime When);
  void TabMoved(QByteArray &Out, int From, int To, TDateTime When);
  void TabDeleted(QByteArray &Out, int Index, TDateTime When);
  void TabImported(QByteArray &Out, int Index, const TDocument &Doc, const QString &Title,
                   TDateTime When);
  void Events(QByteArray &Out, const QByteArray &Block, TDateTime When);
  // Writes the waiting typed run, if any.
  void FlushRun(QByteArray &Out);
  bool HasRun() const { return FRun.Active; }
  // A document gone or reloaded: its fonts are defined again before their next use.
  void ForgetDocument(const TDocument *Doc);

 private:
  void DefineFont(QByteArray &Out, int TabIndex, const TDocument &Doc, TFontIndex Font,
                  TDateTime When);
  struct RRun {
    bool Active = false;
    const TDocument *Doc = nullptr;
    int Tab = 0;
    TCaretPos At;
    TCaretPos Next;  // where the next character must go to join the run
    TFontIndex NewParagraphFont = 0;
    TEditOrigin Origin = TEditOrigin::Typed;
    TDateTime When = 0;
    QString Chars;
    std::vector<TFontIndex> Fonts;
    std::vector<RvlTimestamp> Moments;
  } FRun;
  // Per document, the fonts defined so far with the attributes they were defined with: a slot
  // an undo emptied may come back holding another font, which is then defined again.
  std::unordered_map<const TDocument *, std::map<TFontIndex, RJournalFont>> FDefined;
};

// What the replay found, for the user's message and the trace.
struct RJournalReplay {
  int Records = 0;     // records applied
  int TypedChars = 0;  // typed characters inserted (line feeds included)
  int PastedChars = 0;
  int OtherEdits = 0;      // deletions, font changes, tab changes, bookmarks...
  TDateTime LastWhen = 0;  // the wall clock of the last record applied
  bool Stopped = false;    // a record did not fit, or the journal is damaged there
  QString Problem;         // why it stopped
  QByteArray EventsBlock;  // the last bookmarks block, empty when none
};

// What replay works on: a list of tabs, each with its document.
class TJournalTabs {
 public:
  virtual ~TJournalTabs() = default;
  virtual int JournalTabs_Count() const = 0;
  virtual TDocument &JournalTabs_Document(int Index) = 0;
  virtual QString JournalTabs_Title(int Index) const = 0;
  virtual void JournalTabs_Insert(int Index, const QString &Title,
                                  std::unique_ptr<TDocument> Doc) = 0;
  virtual void JournalTabs_Rename(int Index, const QString &Title) = 0;
  virtual void JournalTabs_Move(int From, int To) = 0;
  virtual void JournalTabs_Delete(int Index) = 0;
};

// Applies the records after the header onto Tabs, which hold what the header's base holds.
// Stops at the first record that does not fit (and at Read's damage), saying so.
RJournalReplay Journal_Replay(const RJournalRead &Read, TJournalTabs &Tabs);

// The journal file being written: buffered, written on a short timer and when asked, and
// forced to the disk (fdatasync) at most every MinSyncMSecs.
class TJournalWriter final {
 public:
  // A record waits at most this long before it is written (and, unless a sync ran within
  // MinSyncMSecs, synced).
  static constexpr int FlushMSecs = 50;
  static constexpr int MinSyncMSecs = 250;

  TJournalWriter();
  ~TJournalWriter();
  TJournalWriter(const TJournalWriter &) = delete;
  TJournalWriter &operator=(const TJournalWriter &) = delete;

  // Creates PathName afresh (through a temporary file renamed over it) with the magic, the
  // header and Records (bytes of whole records, e.g. kept from an older journal); what waits in
  // Pending() follows at the next flush. False, with ErrorString, when it could not.
  bool Start(const QString &PathName, const QByteArray &HeaderRecord,
             const QByteArray &Records = QByteArray());
  // Stops writing (what waits is written first); the file stays.
  void Close();
  // Closes and forgets what waits and what the encoder knows: for a journal about to begin.
  void Reset();
  bool IsOpen() const { return FFd >= 0; }
  QString PathName() const { return FPathName; }
  QString ErrorString() const { return FError; }

  // The encoder the records are made with; Append after encoding into Pending().
  TJournalEncoder &Encoder() { return FEncoder; }
  QByteArray &Pending() { return FPending; }
  // There is something to write (or something the owner adds before a flush): arms the timer,
  // whether the file is open yet or not.
  void Changed();
  // Writes what waits now (and syncs when Sync); false when the write failed.
  bool Flush(bool Sync = true);
  // Bytes written so far (magic included).
  std::int64_t BytesWritten() const { return FWritten; }

  // Called before each flush: the owner adds what it collects lazily.
  std::function<void()> BeforeFlush;

  // Called after a write failed (disk full): the journal keeps the records in memory and tries
  // again at the next flush.
  bool WriteFailed() const { return FWriteFailed; }

 private:
  void TimerFired();

  TJournalEncoder FEncoder;
  QByteArray FPending;
  QString FPathName;
  QString FError;
  int FFd = -1;
  std::int64_t FWritten = 0;
  bool FWriteFailed = false;
  std::unique_ptr<QTimer> FTimer;
  QElapsedTimer FSinceSync;
};
