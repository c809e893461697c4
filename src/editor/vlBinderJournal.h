#pragma once
// The journal beside a binder ("Notes.vl" -> "Notes.vlJournal"; an unnamed binder's lives in the
// data folder's "Document Backups" as "Unnamed Binder.vlJournal"): every change to the binder's
// tabs since the binder or its backup was last written (vldJournal.h has the file's form).
//
// - It begins when a binder is opened, and again after every save and backup, continuing the
//   file just written (its size and CRC32 are in the header). The older journal is removed when
//   the new one begins; the new file appears with the first change after it (in one rename), so
//   a binder that is only read leaves no journal behind.
// - It listens to every document of the binder (TDocumentEditObserver) and is told of every tab
//   change by the notebook; the records reach the kernel within TJournalWriter::FlushMSecs and
//   the disk soon after.
// - Opening a binder replays its journal when the journal continues exactly the file opened;
//   one that does not is set aside under a dated name and never applied or deleted.
//
// User-interface thread only.

#include "vldJournal.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <memory>

class TvlBinderTabs;
class TvlOtherEventsIO;

class TvlBinderJournal final : public TDocumentEditObserver {
 public:
  TvlBinderJournal(TvlBinderTabs &Tabs, TvlOtherEventsIO &Events);
  ~TvlBinderJournal() override;

  static QString JournalPathFor(const QString &BinderPathName);
  static QString UnnamedBackupPathName();

  // Starts a journal at JournalPath that continues Base, holding Records (whole records kept
  // from the journal replayed at opening). Every tab's document is listened to from now on.
  bool Begin(const QString &JournalPath, const RJournalBase &Base,
             const QByteArray &Records = QByteArray());
  // Stops listening and writing; the file stays for the next opening.
  void End();
  // The same when everything is saved: the file goes, so that no false recovery follows.
  void EndAndRemove();
  bool IsActive() const { return FActive; }
  // Where the journal is (or will be, from the first change).
  QString PathName() const { return FPathName; }
  // Writes what waits (and syncs).
  void Flush();
  // The journal is no longer wanted (the user chose not to save): to the trash, or set aside.
  void Discard();

  // ---- What the notebook tells ---------------------------------------------------------------
  void TabAdded(int Index);
  void TabImported(int Index);
  void TabRenamed(int Index);
  void TabMoved(int From, int To);
  // Before the tab's document goes.
  void TabDeleted(int Index);

  // TDocumentEditObserver
  void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) override;
  void Document_ChangeCounted(const TDocument &Doc) override;

  // The writer, for tests (flush timing, failures).
  TJournalWriter &Writer() { return FWriter; }

 private:
  int TabOf(const TDocument &Doc);
  bool Open(const QByteArray &Records);
  void Listen(int Index);
  void Changed();
  void EventsIfChanged();

  TvlBinderTabs &FTabs;
  TvlOtherEventsIO &FEvents;
  TJournalWriter FWriter;
  bool FActive = false;
  bool FRecords = false;  // something after the header: the file must exist
  QString FPathName;
  RJournalBase FHeader;
  TDateTime FBegan = 0;
  QElapsedTimer FOpenFailed;  // running since the last failed start of the file
  bool FEventsMayHaveChanged = false;
  QByteArray FLastEvents;  // the bookmarks block last journalled (or read)
  const TDocument *FLastDoc = nullptr;
  int FLastTab = -1;
};

// Journals found at opening, recovered or set aside.
struct RvlJournalRecovery {
  bool Found = false;
  bool Applied = false;
  QString Message;  // for the user, empty when there is nothing to say
};
