#include "vlBinderJournal.h"

#include "vl09_NotebookBinder.h"
#include "vl09_XmlOut.h"
#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlOtherEventsIO.h"
#include "vlSaveTarget.h"
#include "vl_Document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QByteArray EventsBlock(TvlOtherEventsIO &Events) {
  auto target = std::make_unique<TvlMemoryTarget>();
  const TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  if (!out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("events"))) return QByteArray();
  Events.IO_SaveNonTypingEvents(out);
  if (!out.File_Close()) return QByteArray();
  return memory->Bytes();
}

}  // namespace

TvlBinderJournal::TvlBinderJournal(TvlBinderTabs &Tabs, TvlOtherEventsIO &Events)
    : FTabs(Tabs), FEvents(Events) {
  FWriter.BeforeFlush = [this] { EventsIfChanged(); };
}

TvlBinderJournal::~TvlBinderJournal() { End(); }

QString TvlBinderJournal::JournalPathFor(const QString &BinderPathName) {
  if (BinderPathName.isEmpty())
    return AppPaths().DataFolder() + QStringLiteral("/Document Backups/Unnamed Binder.vlJournal");
  const QFileInfo info(BinderPathName);
  const QString suffix = info.suffix();
  const QString base = suffix.isEmpty()
                           ? BinderPathName
                           : BinderPathName.left(BinderPathName.size() - suffix.size() - 1);
  return base + QStringLiteral(".vlJournal");
}

QString TvlBinderJournal::UnnamedBackupPathName() {
  return AppPaths().DataFolder() + QStringLiteral("/Document Backups/Unnamed Binder.vlBackup");
}

bool TvlBinderJournal::Begin(const QString &JournalPath, const RJournalBase &Base,
                             const QByteArray &Records) {
  End();
  FWriter.Reset();
  FPathName = JournalPath;
  FHeader = Base;
  FHeader.Tabs.clear();
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) FHeader.Tabs.push_back(FTabs.Tabs_Title(i));
  FBegan = Now();
  FActive = true;
  FRecords = false;
  FOpenFailed.invalidate();
  FLastEvents = EventsBlock(FEvents);
  FEventsMayHaveChanged = false;
  FLastDoc = nullptr;
  FLastTab = -1;
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) Listen(i);
  if (!Records.isEmpty()) return Open(Records);
  // Nothing to keep: the file appears with the first change. An older journal at this place
  // holds nothing the file just written or read lacks.
  if (QFileInfo::exists(JournalPath) && !QFile::remove(JournalPath))
    TraceWrite(QStringLiteral("An older journal could not be removed: ") + JournalPath);
  return true;
}

bool TvlBinderJournal::Open(const QByteArray &Records) {
  // A folder that cannot be written is tried again now and then, not at every keystroke; the
  // records wait in memory meanwhile.
  constexpr qint64 RetryMSecs = 5000;
  if (FOpenFailed.isValid() && FOpenFailed.elapsed() < RetryMSecs) return false;
  QDir().mkpath(QFileInfo(FPathName).absolutePath());
  if (!FWriter.Start(FPathName, FWriter.Encoder().Header(FHeader, FBegan), Records)) {
    if (!FOpenFailed.isValid())
      ErrorReport(false, QStringLiteral("The journal ") + FPathName +
                             QStringLiteral(" could not be started: ") + FWriter.ErrorString());
    FOpenFailed.start();
    return false;
  }
  FOpenFailed.invalidate();
  FRecords = true;
  return true;
}

void TvlBinderJournal::End() {
  if (!FActive) return;
  EventsIfChanged();
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) FTabs.Tabs_Document(i).EditObserver_Remove(this);
  if (FRecords && !FWriter.IsOpen()) Open(QByteArray());
  FWriter.Close();
  FActive = false;
}

void TvlBinderJournal::EndAndRemove() {
  if (!FActive) return;
  End();
  if (QFileInfo::exists(FPathName) && !QFile::remove(FPathName))
    TraceWrite(QStringLiteral("A journal of a saved binder could not be removed: ") + FPathName);
}

void TvlBinderJournal::Discard() {
  const QString path = FPathName;
  const bool had = FActive;
  End();
  if (!had || path.isEmpty() || !QFileInfo(path).isFile()) return;
  if (QFile::moveToTrash(path)) return;
  const QString target =
      TvlNotebookBinder::FreeRenameTarget(path, QStringLiteral(".discarded "), Now()) +
      QStringLiteral("Journal");
  if (!QFile::rename(path, target))
    TraceWrite(QStringLiteral("Discarded journal could not be set aside: ") + path);
}

void TvlBinderJournal::Flush() {
  if (!FActive) return;
  EventsIfChanged();
  if (FRecords && !FWriter.IsOpen()) Open(QByteArray());
  FWriter.Flush(true);
}

void TvlBinderJournal::Listen(int Index) {
  if (Index >= 0 && Index < FTabs.Tabs_Count()) FTabs.Tabs_Document(Index).EditObserver_Add(this);
}

int TvlBinderJournal::TabOf(const TDocument &Doc) {
  // Typing stays in one tab: the last answer is checked first.
  if (FLastDoc == &Doc && FLastTab >= 0 && FLastTab < FTabs.Tabs_Count() &&
      &FTabs.Tabs_Document(FLastTab) == &Doc)
    return FLastTab;
  for (int i = 0; i < FTabs.Tabs_Count(); ++i)
    if (&FTabs.Tabs_Document(i) == &Doc) {
      FLastDoc = &Doc;
      FLastTab = i;
      return i;
    }
  return -1;
}

void TvlBinderJournal::Changed() {
  // A journal that cannot be started keeps its records waiting and tries again at the next
  // change or flush.
  if (!FWriter.IsOpen()) Open(QByteArray());
  FRecords = true;
  FWriter.Changed();
}

void TvlBinderJournal::Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) {
  if (!FActive) return;
  const int tab = TabOf(Doc);
  if (tab < 0) return;
  FWriter.Encoder().Edit(FWriter.Pending(), tab, Doc, Edit, Now());
  Changed();
}

void TvlBinderJournal::Document_ChangeCounted(const TDocument & /*Doc*/) {
  // Edits count too, so the bookmarks are compared at the next flush whenever anything
  // counted: once per flush, never per keystroke.
  if (!FActive) return;
  FEventsMayHaveChanged = true;
  FWriter.Changed();
}

void TvlBinderJournal::EventsIfChanged() {
  if (!FEventsMayHaveChanged) return;
  FEventsMayHaveChanged = false;
  const QByteArray now = EventsBlock(FEvents);
  if (now == FLastEvents) return;
  FLastEvents = now;
  FWriter.Encoder().Events(FWriter.Pending(), now, Now());
  Changed();
}

void TvlBinderJournal::TabAdded(int Index) {
  if (!FActive) return;
  FLastDoc = nullptr;
  FWriter.Encoder().TabAdded(FWriter.Pending(), Index, FTabs.Tabs_Title(Index), Now());
  Listen(Index);
  Changed();
}

void TvlBinderJournal::TabImported(int Index) {
  if (!FActive) return;
  FLastDoc = nullptr;
  FWriter.Encoder().TabImported(FWriter.Pending(), Index, FTabs.Tabs_Document(Index),
                                FTabs.Tabs_Title(Index), Now());
  Listen(Index);
  Changed();
}

void TvlBinderJournal::TabRenamed(int Index) {
  if (!FActive) return;
  FWriter.Encoder().TabRenamed(FWriter.Pending(), Index, FTabs.Tabs_Title(Index), Now());
  Changed();
}

void TvlBinderJournal::TabMoved(int From, int To) {
  if (!FActive || From == To) return;
  FLastDoc = nullptr;
  FWriter.Encoder().TabMoved(FWriter.Pending(), From, To, Now());
  Changed();
}

void TvlBinderJournal::TabDeleted(int Index) {
  if (!FActive || Index < 0 || Index >= FTabs.Tabs_Count()) return;
  FLastDoc = nullptr;
  TDocument &doc = FTabs.Tabs_Document(Index);
  doc.EditObserver_Remove(this);
  // The record first: it writes the tab's typed run, which must come before the tab goes.
  FWriter.Encoder().TabDeleted(FWriter.Pending(), Index, Now());
  FWriter.Encoder().ForgetDocument(&doc);
  Changed();
}
