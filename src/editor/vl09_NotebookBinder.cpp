#include "vl09_NotebookBinder.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlOtherEventsIO.h"
#include "vlPrompts.h"
#include "vlTextFile.h"
#include "vlWin1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr int FileVersion = 2;
// More changes than this since the last backup make the idle check write one.
constexpr int BackupThreshold = 100;

QString Generator() { return QStringLiteral("Vellomar\u00AE Software for Taking Notes"); }
QString BackupExtension() { return QStringLiteral(".vlBackup"); }

void AddLine(QString &All, const QString &One) {
  if (One.isEmpty()) return;
  if (!All.isEmpty()) All += QLatin1Char('\n');
  All += One;
}

// Each of a tab's problem lines, named after the tab, so that the list says where to look.
QString TabProblems(int Index, const QString &Title, const QString &Problems) {
  QString out;
  for (const QString &line : Problems.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    AddLine(out, QStringLiteral("Tab %1 \"%2\": ").arg(Index + 1).arg(Title) + line);
  return out;
}

TDateTime ModificationTime(const QFileInfo &Info) {
  return QDateTimeToDateTime(Info.lastModified().toLocalTime());
}

qint64 SizeIfFile(const QFileInfo &Info) { return Info.isFile() ? Info.size() : 0; }

// PathName without its last extension ("notes.vl" -> "notes"), in its folder.
QString WithoutExtension(const QString &PathName) {
  const QFileInfo info(PathName);
  const QString suffix = info.suffix();
  if (suffix.isEmpty()) return PathName;
  return PathName.left(PathName.size() - suffix.size() - 1);
}

}  // namespace

// ---- The plain tab list ----------------------------------------------------------------------

TvlTabList::RTab &TvlTabList::Add(const QString &Title) {
  RTab tab;
  tab.Title = Title;
  tab.Doc = std::make_unique<TDocument>();
  Tabs.push_back(std::move(tab));
  if (ActiveTab < 0) ActiveTab = 0;
  return Tabs.back();
}

QString TvlTabList::Tabs_Title(int Index) const { return Tabs.at(std::size_t(Index)).Title; }
TDocument &TvlTabList::Tabs_Document(int Index) { return *Tabs.at(std::size_t(Index)).Doc; }
int TvlTabList::Tabs_ScrollPosForSaving(int Index) {
  return Tabs.at(std::size_t(Index)).VertScrollbar;
}
QString TvlTabList::Tabs_PathName(int Index) const { return Tabs.at(std::size_t(Index)).PathName; }
bool TvlTabList::Tabs_IsOnDisk(int Index) const { return Tabs.at(std::size_t(Index)).IsOnDisk; }

void TvlTabList::Tabs_ReplaceAll(std::vector<RvlLoadedTab> NewTabs, int NewActiveTab) {
  Tabs.clear();
  for (RvlLoadedTab &t : NewTabs) {
    RTab tab;
    tab.Title = std::move(t.Title);
    tab.VertScrollbar = t.VertScrollbar;
    tab.Doc = std::move(t.Doc);
    Tabs.push_back(std::move(tab));
  }
  ActiveTab = NewActiveTab;
}

// ---- Names -----------------------------------------------------------------------------------

TvlNotebookBinder::TvlNotebookBinder(TvlBinderTabs &Tabs, TvlOtherEventsIO *Events)
    : FTabs(Tabs),
      FEvents(Events),
      FJournal(std::make_unique<TvlBinderJournal>(Tabs, this->Events())) {}

TvlNotebookBinder::~TvlNotebookBinder() = default;

TvlOtherEventsIO &TvlNotebookBinder::Events() const { return FEvents ? *FEvents : OtherEventsIO(); }

QString TvlNotebookBinder::BinderBackupPathNameFor(const QString &PathName) {
  if (PathName.trimmed().isEmpty()) return {};
  // A backup is never backed up: its backup would have its own name.
  if (PathName.endsWith(BackupExtension(), Qt::CaseInsensitive)) return {};
  return WithoutExtension(PathName) + BackupExtension();
}

QString TvlNotebookBinder::DeprecatedBinderPathName() {
  return AppPaths().DataFolder() + QStringLiteral("/Default List of Currently Open Documents.txt");
}

// ---- Saving ----------------------------------------------------------------------------------

QString TvlNotebookBinder::Binder_Save(const QString &PathName, bool IsBackup) {
  const QString failed = QStringLiteral("File ") + PathName;
  // The blank tab the notebook offers for new notes (caption " ", nothing in it) is no tab of
  // the user's: it is not written, unless it is all there is (TabCount 0 makes a file that no one
  // can open again). Only such tabs at the end are left out, so that every written tab keeps its
  // index: the journal that continues this file names tabs by their index in the notebook.
  std::vector<int> saved;
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) saved.push_back(i);
  while (saved.size() > 1) {
    TDocument &doc = FTabs.Tabs_Document(saved.back());
    const bool offeredBlank = FTabs.Tabs_Title(saved.back()) == QStringLiteral(" ") &&
                              doc.Document_IsBlank() &&
                              doc.InsetsStorage.High() < doc.InsetsStorage.Low();
    if (!offeredBlank) break;
    saved.pop_back();
  }
  const int count = static_cast<int>(saved.size());
  if (count < 1) return failed + QStringLiteral(": there is no tab to save");
  int active = 0;
  for (int k = 0; k < count; ++k)
    if (saved[static_cast<std::size_t>(k)] == FTabs.Tabs_ActiveIndex()) active = k;
  const auto tab = [&saved](int K) { return saved[static_cast<std::size_t>(K)]; };

  TvlXmlOut out(FTargetFactory ? FTargetFactory() : nullptr);
  if (FChunkSize > 0) out.SetChunkSize(FChunkSize);
  // Whatever the save's fate, every change made so far is in the journal first.
  FJournal->Flush();
  FSaveNote.clear();
  // A binder that opened with problems lost lines at opening; its file as it was stays beside
  // it under a dated name before a save replaces it.
  QString originalKept;
  if (!IsBackup && FOpenedWithProblems && PathName == FBinderPathName &&
      QFileInfo(PathName).isFile()) {
    originalKept = FreeRenameTarget(PathName, QStringLiteral(".as opened "),
                                    ModificationTime(QFileInfo(PathName)));
    if (!QFile::copy(PathName, originalKept))
      return failed + QStringLiteral(": the file as it was opened could not be kept as ") +
             originalKept;
  }
  if (!out.File_OpenForRewritingOrDoErrorDialogs(PathName))
    return out.ErrorString().isEmpty() ? failed : failed + QStringLiteral(": ") + out.ErrorString();

  out.Insert_TagOpenForAttributes(xtBoundNotesBegin_);
  out.Insert_Attribute("Version", FileVersion);
  out.Insert_AttributeE("Generator", Generator());
  out.Insert_Attribute("WhenSaved", QStringView(TimeStampFull(Now())));
  out.Insert_Attribute("TabCount", count);
  out.Insert_Attribute("ActiveTab", active);
  out.Insert_TagClose_NoMoreAttributes();
  for (int i = 0; i < count; ++i) {
    out.Insert_TagOpenForAttributes(xtEarlyNotice_);
    out.Insert_Attribute("TabIndex", i);
    out.Insert_AttributeE("TabTitle", FTabs.Tabs_Title(tab(i)));
    if (i == active) out.Insert_Attribute("TabActive", true);
    out.Insert_TagClose_NoMoreAttributes();
  }

  QString tabsNotWritten;
  for (int i = 0; i < count; ++i) {
    const QString title = FTabs.Tabs_Title(tab(i));
    out.Insert_TagOpenForAttributes(xtDocTabBegin_);
    out.Insert_AttributeE("TabTitle", title);
    out.Insert_Attribute("TabIndex", i);
    out.Insert_TagClose_NoMoreAttributes();
    out.Insert_TagOpenForAttributes(xtScrollPos_);
    out.Insert_Attribute("VSB", FTabs.Tabs_ScrollPosForSaving(tab(i)));
    out.Insert_TagClose_NoMoreAttributes();
    if (!FTabs.Tabs_Document(tab(i)).IO_SaveEmbedded(out))
      tabsNotWritten += title + QLatin1Char('\n');
    out.Insert_TagWithoutAttributes(xtDocTabEnd);
  }
  Events().IO_SaveNonTypingEvents(out);
  out.Insert_TagWithoutAttributes(xtBoundNotesEnd);

  // A file without one of its tabs would lose that tab's last saved text: keep the old file.
  if (!tabsNotWritten.isEmpty()) {
    out.File_Cancel();
    return tabsNotWritten;
  }
  if (!out.File_Close()) {
    TraceWrite(QStringLiteral("Binder not saved to ") + PathName + QStringLiteral(": ") +
               out.ErrorString());
    return out.ErrorString().isEmpty() ? failed : failed + QStringLiteral(": ") + out.ErrorString();
  }

  // From here on the new file is in place.
  if (!originalKept.isEmpty()) {
    FOpenedWithProblems = false;
    FSaveNote = QStringLiteral(
                    "The binder had problems when it was opened; the file as it was "
                    "then is kept as \"") +
                originalKept + QLatin1Char('"');
  }
  // The new journal continues the file just written: what the old one held is in it.
  QFile written(PathName);
  const QByteArray bytes = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
  const RJournalBase base = RJournalBase::OfBytes(PathName, bytes);
  if (!IsBackup) {
    const QString oldJournal = FJournal->PathName();
    for (int i = 0; i < FTabs.Tabs_Count(); ++i) {
      TDocument &doc = FTabs.Tabs_Document(i);
      doc.ChangeCount_Clear();
      // The binder now holds everything a backup would: no backup right after a save.
      doc.ChangeCountSinceBackup_Clear();
    }
    FTabsChanged = false;
    // An unnamed binder's backup is in the binder that now has a name.
    if (FBinderPathName.isEmpty() && FJournal->IsActive())
      QFile::remove(TvlBinderJournal::UnnamedBackupPathName());
    FBinderPathName = PathName;
    // The backup holds an older state of this same binder. Left behind, a later opening could
    // take it for a crash's leftovers and "recover" it over the newer binder. Only a backup this
    // binder wrote or judged at opening is removed: another one was never read.
    const QString backup = BinderBackupPathNameFor(PathName);
    if (!backup.isEmpty() && QFileInfo(backup).isFile()) {
      if (!FBackupJudged)
        AddLine(FSaveNote, QStringLiteral("The backup \"") + backup +
                               QStringLiteral("\" was kept: it was not read before this save."));
      else if (!QFile::remove(backup))
        TraceWrite(QStringLiteral("Old backup could not be removed: ") + backup);
    }
    FBackupJudged = true;
    // Tools save without a journal: only a binder that keeps one starts the next.
    if (FJournal->IsActive()) {
      BeginJournal(PathName, base);
      if (!oldJournal.isEmpty() && oldJournal != FJournal->PathName()) QFile::remove(oldJournal);
    }
  } else if (FJournal->IsActive()) {
    FBackupJudged = true;
    BeginJournal(FBinderPathName, base);
  }
  return {};
}

int TvlNotebookBinder::Binder_ChangeCountSinceBackupSum() const {
  int sum = 0;
  for (int i = 0; i < FTabs.Tabs_Count(); ++i)
    sum += FTabs.Tabs_Document(i).ChangeCountSinceBackup();
  return sum;
}

void TvlNotebookBinder::Binder_ChangeCountSinceBackupSum_Clear() {
  for (int i = 0; i < FTabs.Tabs_Count(); ++i)
    FTabs.Tabs_Document(i).ChangeCountSinceBackup_Clear();
}

bool TvlNotebookBinder::Binder_IsCompeletelySaved() const {
  if (FTabsChanged) return false;
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) {
    const TDocument &doc = FTabs.Tabs_Document(i);
    if (doc.ChangeCount() == 0) continue;
    // A blank page is nothing to lose, unless the user named its tab: a tab named for notes to
    // come is work the binder would otherwise drop without a word.
    const QString title = FTabs.Tabs_Title(i);
    const bool named =
        !title.trimmed().isEmpty() && !title.startsWith(QStringLiteral("Click To Name (Created "));
    if (named || !doc.Document_IsBlank()) return false;
  }
  return true;
}

QString TvlNotebookBinder::BackupPathForSaving() const {
  if (FBinderPathName.isEmpty()) return TvlBinderJournal::UnnamedBackupPathName();
  return BinderBackupPathName();
}

bool TvlNotebookBinder::SaveNotebook_AsBackup_Maybe(TBackupTiming BackupTiming) {
  // An unnamed binder is backed up too, in the data folder, where the next start finds it.
  const QString backup = BackupPathForSaving();
  if (backup.isEmpty()) return false;
  const int sum = Binder_ChangeCountSinceBackupSum();
  if (!(sum > BackupThreshold || (sum > 0 && BackupTiming == btASAP))) return false;
  const QString problem = Binder_Save(backup, true);
  if (!problem.isEmpty()) {
    TraceWrite(QStringLiteral("Backup not written: ") + problem);
    return false;
  }
  Binder_ChangeCountSinceBackupSum_Clear();
  return true;
}

void TvlNotebookBinder::Binder_DiscardBackup() {
  FJournal->Discard();
  const QString backup = BackupPathForSaving();
  if (backup.isEmpty() || !QFileInfo(backup).isFile()) return;
  if (QFile::moveToTrash(backup)) return;
  // No trash here: keep it under a name that is never taken for this binder's backup.
  const TDateTime when = ModificationTime(QFileInfo(backup));
  const QString base =
      WithoutExtension(backup) + QStringLiteral(".discarded ") + TimeStampMinute(when);
  QString target = base + BackupExtension();
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = base + QStringLiteral(" (%1)").arg(n) + BackupExtension();
  if (!QFile::rename(backup, target))
    TraceWrite(QStringLiteral("Discarded backup could not be set aside: ") + backup);
}

// ---- Recovery --------------------------------------------------------------------------------

bool TvlNotebookBinder::IsCompleteBinderFile(const QString &PathName) {
  QFile file(PathName);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const qint64 size = file.size();
  constexpr qint64 Tail = 4096;
  if (size > Tail && !file.seek(size - Tail)) return false;
  QByteArray tail = file.read(Tail);
  while (!tail.isEmpty() &&
         (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ' || tail.back() == '\t'))
    tail.chop(1);
  if (!tail.endsWith("</BoundNotes>")) return false;
  // The closing tag must stand on its own line.
  const qsizetype lineStart = tail.lastIndexOf('\n') + 1;
  return tail.mid(lineStart).trimmed() == "</BoundNotes>";
}

QString TvlNotebookBinder::FreeRenameTarget(const QString &PathName, const QString &Middle,
                                            TDateTime When) {
  const QString base = WithoutExtension(PathName) + Middle + TimeStampMinute(When);
  QString target = base + QStringLiteral(".vl");
  // Two recoveries in the same minute must not overwrite the copy kept by the first.
  for (int n = 2; QFileInfo::exists(target); ++n) target = base + QStringLiteral(" (%1).vl").arg(n);
  return target;
}

void TvlNotebookBinder::Say(const QString &Text, TPromptIcon Icon) {
  if (!FCollecting) {
    Prompts().Message(Text, Icon);
    return;
  }
  FCollected += (FCollected.isEmpty() ? QString() : QStringLiteral("\n\n")) + Text;
  if (Icon == TPromptIcon::piWarning) FCollectedIcon = Icon;
}

void TvlNotebookBinder::Binder_SeekMoreRecentBackupAndRotateIfFound(const QString &PathName) {
  QString backup = BinderBackupPathNameFor(PathName);
  if (backup.isEmpty()) return;
  const QFileInfo binderInfo(PathName), backupInfo(backup);
  const qint64 binderSize = SizeIfFile(binderInfo), backupSize = SizeIfFile(backupInfo);
  if (binderSize <= 0 || backupSize <= 0) return;
  const TDateTime binderWhen = ModificationTime(binderInfo);
  const TDateTime backupWhen = ModificationTime(backupInfo);
  if (!(binderInfo.lastModified() < backupInfo.lastModified())) return;

  // A backup cut short (a crash or a full disk while it was written) must not replace a binder
  // that is whole.
  if (!IsCompleteBinderFile(backup)) {
    Say(QStringLiteral("A backup of your notes was found that is newer than the file \"") +
            PathName +
            QStringLiteral("\", but the backup is incomplete, so it was not used.  Both files "
                           "are kept as they are; the backup is:\n\n") +
            backup,
        TPromptIcon::piWarning);
    TraceWrite(QStringLiteral("Incomplete backup not recovered: ") + backup);
    return;
  }

  QString note;
  if (binderSize > backupSize)
    note = QStringLiteral("\n\nNOTE:  Your original file is ") +
           QString::number(binderSize - backupSize) +
           QStringLiteral(" bytes larger.  This is unusual, so you might want to check out why.");
  const QString newName = FreeRenameTarget(PathName, QStringLiteral(".as saved "), binderWhen);
  Say(QStringLiteral("Last time the program closed unexpectedly, possibly leaving unsaved changes "
                     "in the multi-tabbed document \"") +
      PathName + QStringLiteral("\".  \n\nAt least some of these changes will now be recovered.") +
      QStringLiteral("\n\nYour original file (before recovery) will be renamed to \n \"") +
      QFileInfo(newName).fileName() + QStringLiteral("\".") + note);

  // QFile::rename never replaces an existing file.
  if (!QFile::rename(PathName, newName)) {
    const QString latest = FreeRenameTarget(backup, QStringLiteral(".Latest "), backupWhen);
    if (QFile::rename(backup, latest)) backup = latest;
    Say(QStringLiteral("Unable to rename file to recover automatically.  Please examine:\n\n") +
            backup,
        TPromptIcon::piWarning);
    return;
  }
  if (!QFile::rename(backup, PathName))
    Say(QStringLiteral("Unable to rename file. Your document is now in a file named:\n\n") + backup,
        TPromptIcon::piWarning);
}

// ---- Opening ---------------------------------------------------------------------------------

bool TvlNotebookBinder::ReadTabFrame(TvlXmlIn &In, QString &Title, int &VertScrollbar) {
  Title = QStringLiteral("???");
  VertScrollbar = 0;
  // The lines a tab's notes start with, in their order in a binder.
  static constexpr TvlXmlTags FirstLines[] = {xtScrollPos_, xtCaretPos_, xtSectionsBegin,
                                              xtParagraphBegin_};
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtOtherEventsBegin || tag == xtEvent_ || tag == xtBoundNotesEnd || In.EndOfFile())
      return false;
    if (tag == xtDocTabBegin_) {
      QString title;
      if (In.GetE("TabTitle", title)) Title = title;
      In.NextRecognizedTag();
      // Another DocTab line right after it: a doubled line, not a tab without notes. Taking it
      // for a tab would shift every later tab by one.
      while (In.CurrentTag() == xtDocTabBegin_)
        In.SkipLine(QStringLiteral("A second DocTab line, skipped"));
      break;
    }
    if (std::find(std::begin(FirstLines), std::end(FirstLines), tag) != std::end(FirstLines)) {
      // Its notes are all there: they make a tab, which only lacks its title.
      In.ReportProblem(QStringLiteral("The DocTab line is missing; the tab starts at ") +
                       In.TraceLine());
      break;
    }
    In.NextRecognizedTag();
  }
  if (In.Next_SearchForBefore(xtScrollPos_,
                              {xtCaretPos_, xtSectionsBegin, xtDocTabEnd, xtDocTabBegin_,
                               xtOtherEventsBegin, xtBoundNotesEnd})) {
    if (!In.Get("VSB", VertScrollbar)) VertScrollbar = 0;
    In.NextRecognizedTag();
  }
  return true;
}

QString TvlNotebookBinder::ReadBinder(TvlXmlIn &In, bool &Usable, std::vector<RvlLoadedTab> &Tabs,
                                      int &ActiveTab) {
  Usable = false;
  QString problems;
  if (!In.Next_SearchForBefore(xtBoundNotesBegin_, {xtDocTabBegin_, xtBoundNotesEnd}))
    return QStringLiteral("The file format appears to be wrong.");
  int tabCount = 0, activeTab = -1;
  if (!In.Get("TabCount", tabCount)) tabCount = 0;
  if (!In.Get("ActiveTab", activeTab)) activeTab = -1;
  if (tabCount < 1 || activeTab == -1)
    return QStringLiteral("The file format appears to be wrong.");
  In.NextRecognizedTag();

  // Tabs come from the tabs that are there, never from the count alone.
  const auto readTab = [&] {
    RvlLoadedTab tab;
    const qsizetype before = In.ProblemCount();
    if (!ReadTabFrame(In, tab.Title, tab.VertScrollbar)) return false;
    // A repaired frame (a missing or doubled DocTab line) is said with the tab's problems.
    QString tabProblems = In.ProblemsSince(before).join(QLatin1Char('\n'));
    tab.Doc = std::make_unique<TDocument>();
    AddLine(tabProblems, tab.Doc->IO_LoadEmbedded(In));
    AddLine(problems, TabProblems(static_cast<int>(Tabs.size()), tab.Title, tabProblems));
    if (In.CurrentTag() == xtDocTabEnd) In.NextRecognizedTag();
    Tabs.push_back(std::move(tab));
    return true;
  };
  while (static_cast<int>(Tabs.size()) < tabCount && readTab()) {
  }
  if (Tabs.empty()) {
    AddLine(problems, QStringLiteral("The file format appears to be wrong."));
    return problems;
  }
  // Whole tabs after the announced count are read too: skipped, they would be gone for good at
  // the next save. (A damaged count is the likelier fault than tabs that should not be there.)
  while (In.CurrentTag() == xtDocTabBegin_ && readTab()) {
  }
  // Whatever else lies before the events is stepped over, so that the events are still read.
  while (!In.EndOfFile() && In.CurrentTag() != xtOtherEventsBegin && In.CurrentTag() != xtEvent_ &&
         In.CurrentTag() != xtBoundNotesEnd)
    In.NextRecognizedTag();
  if (static_cast<int>(Tabs.size()) != tabCount)
    AddLine(problems, QStringLiteral("The binder announces %1 tabs and holds %2")
                          .arg(tabCount)
                          .arg(static_cast<int>(Tabs.size())));
  AddLine(problems, Events().IO_LoadNonTypingEvents(In));
  if (!In.Next_SearchFor(xtBoundNotesEnd))
    AddLine(problems,
            QStringLiteral("The file appears incomplete: its closing </BoundNotes> is missing"));
  AddLine(problems, In.ReadProblem());
  ActiveTab = std::clamp(activeTab, -1, static_cast<int>(Tabs.size()) - 1);
  Usable = true;
  return problems;
}

QString TvlNotebookBinder::Binder_Open(const QString &PathName) {
  // What the backup and the journal gave back is said in one message.
  FCollecting = true;
  FCollected.clear();
  FCollectedIcon = TPromptIcon::piInformation;
  Binder_SeekMoreRecentBackupAndRotateIfFound(PathName);
  FCollecting = false;
  const QString problems = Open(PathName, true);
  QString message = FCollected;
  if (!FRecoveryMessage.isEmpty())
    message += (message.isEmpty() ? QString() : QStringLiteral("\n\n")) + FRecoveryMessage;
  if (!FRecoveryMessage.isEmpty()) TraceWrite(FRecoveryMessage);
  if (!message.isEmpty()) Prompts().Message(message, FCollectedIcon);
  return problems;
}

QString TvlNotebookBinder::Binder_OpenWithoutRecovery(const QString &PathName) {
  return Open(PathName, false);
}

QString TvlNotebookBinder::Open(const QString &PathName, bool Recover) {
  QString errorText;
  FRecoveryMessage.clear();

  QString readPath = PathName;
  bool useTemplate = false;
  if (readPath.isEmpty()) {
    if (!FExampleBinderPathName.isEmpty() && QFileInfo(FExampleBinderPathName).isFile())
      readPath = FExampleBinderPathName;
    else
      useTemplate = true;
  }

  // An unnamed binder's journal may continue its backup in the data folder: that is what is
  // opened then, still unnamed.
  bool unnamedBackup = false;
  if (useTemplate && Recover) {
    QFile journal(TvlBinderJournal::JournalPathFor(QString()));
    const RJournalRead read =
        Journal_Read(journal.open(QIODevice::ReadOnly) ? journal.read(64 * 1024) : QByteArray());
    if (!read.Records.empty() && read.Records[0].Base.IsFile &&
        QFileInfo(TvlBinderJournal::UnnamedBackupPathName()).isFile()) {
      readPath = TvlBinderJournal::UnnamedBackupPathName();
      useTemplate = false;
      unnamedBackup = true;
    }
  }

  TvlXmlIn in;
  QString warning;
  bool opened = false;
  if (useTemplate) {
    // The template is written for the user to find; reading it from memory keeps a new binder
    // working when the documents folder cannot be written.
    TvlXmlIn::File_CreateEmptyBinderFile();
    opened =
        in.Bytes_Open(TvlXmlIn::EmptyBinderBytes(), QStringLiteral("Empty Binder.vl"), warning);
  } else if (QFileInfo::exists(readPath) && !QFileInfo(readPath).isFile()) {
    warning = QStringLiteral("This is not a file: ") + readPath;
  } else {
    opened = in.File_OpenOrDoErrorDialogs(readPath, warning);
  }
  errorText = warning;

  std::vector<RvlLoadedTab> tabs;
  int activeTab = -1;
  if (!opened) {
    TvlXmlIn::File_CreateEmptyBinderFile();
    FBinderPathName.clear();
  } else {
    bool usable = false;
    try {
      AddLine(errorText, ReadBinder(in, usable, tabs, activeTab));
    } catch (const std::exception &e) {
      usable = false;
      AddLine(errorText, QString::fromLocal8Bit(e.what()));
    }
    if (!usable) {
      // The tabs stay as they were.
      errorText += QStringLiteral("\n\nThere was an error while opening file: \n\n\"") + readPath +
                   QLatin1Char('"');
    } else {
      if (!useTemplate && OnFileAccessed) OnFileAccessed(readPath);
      // The old binder's journal ends before its tabs go; the new one's begins once its tabs
      // are in place, continuing the file just read.
      if (Binder_IsCompeletelySaved())
        FJournal->EndAndRemove();
      else
        FJournal->End();
      FOpenedWithProblems = !errorText.isEmpty();
      FTabsChanged = false;
      FBackupJudged = Recover;
      const QString named = useTemplate || unnamedBackup ? QString() : readPath;
      RJournalBase base;
      if (!useTemplate) {
        QFile file(readPath);
        base = RJournalBase::OfBytes(
            readPath, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
      }
      QByteArray kept;
      bool recovered = false;
      if (Recover)
        recovered = RecoverJournal(TvlBinderJournal::JournalPathFor(named), base, tabs, kept);
      FBinderPathName = named;
      FTabs.Tabs_ReplaceAll(std::move(tabs), activeTab);
      // Recovered changes are unsaved changes. Records that change nothing the user would miss
      // (the blank tab on offer, added as every binder opens) are carried on, not asked about.
      if (recovered) FTabsChanged = true;
      if (Recover) BeginJournal(named, base, kept);
      // Typing into an unnamed binder that the program left unsaved is offered back: File >
      // Close opens the unnamed binder, which replays it.
      if (Recover && !named.isEmpty() && UnnamedJournalHoldsChanges())
        AddLine(FRecoveryMessage,
                QStringLiteral("Notes typed into an unnamed binder before the program ended are "
                               "kept; File > Close brings them back."));
    }
  }
  in.File_Close();
  Binder_ChangeCountSinceBackupSum_Clear();
  // Reading the tabs filed the typing events of their characters, also when the binder then
  // proved unusable and its tabs were dropped; the old tabs' events are still filed too.
  TypingEvents_Rebuild();
  return errorText;
}

void TvlNotebookBinder::TypingEvents_Rebuild() {
  std::vector<const TDocument *> documents;
  documents.reserve(static_cast<std::size_t>(std::max(0, FTabs.Tabs_Count())));
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) documents.push_back(&FTabs.Tabs_Document(i));
  Events().TypingEvents_Rebuild(documents);
}

// ---- The journal
// ---------------------------------------------------------------------------------

namespace {

// Replay works on the tabs read, before the notebook gets them.
class TLoadedTabsForReplay final : public TJournalTabs {
 public:
  explicit TLoadedTabsForReplay(std::vector<RvlLoadedTab> &Tabs) : FTabs(Tabs) {}
  int JournalTabs_Count() const override { return static_cast<int>(FTabs.size()); }
  TDocument &JournalTabs_Document(int Index) override {
    return *FTabs[static_cast<std::size_t>(Index)].Doc;
  }
  QString JournalTabs_Title(int Index) const override {
    return FTabs[static_cast<std::size_t>(Index)].Title;
  }
  void JournalTabs_Insert(int Index, const QString &Title,
                          std::unique_ptr<TDocument> Doc) override {
    RvlLoadedTab tab;
    tab.Title = Title;
    tab.Doc = std::move(Doc);
    FTabs.insert(FTabs.begin() + Index, std::move(tab));
  }
  void JournalTabs_Rename(int Index, const QString &Title) override {
    FTabs[static_cast<std::size_t>(Index)].Title = Title;
  }
  void JournalTabs_Move(int From, int To) override {
    RvlLoadedTab tab = std::move(FTabs[static_cast<std::size_t>(From)]);
    FTabs.erase(FTabs.begin() + From);
    FTabs.insert(FTabs.begin() + To, std::move(tab));
  }
  void JournalTabs_Delete(int Index) override { FTabs.erase(FTabs.begin() + Index); }

 private:
  std::vector<RvlLoadedTab> &FTabs;
};

QString SetAsideTarget(const QString &JournalPath) {
  const QString base =
      WithoutExtension(JournalPath) + QStringLiteral(".not applied ") + TimeStampMinute(Now());
  QString target = base + QStringLiteral(".vlJournal");
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = base + QStringLiteral(" (%1)").arg(n) + QStringLiteral(".vlJournal");
  return target;
}

QString RecoveredText(const RJournalReplay &R, bool Unnamed) {
  QStringList parts;
  if (R.TypedChars > 0) parts << QStringLiteral("%1 characters typed").arg(R.TypedChars);
  if (R.PastedChars > 0) parts << QStringLiteral("%1 characters pasted").arg(R.PastedChars);
  const int other = R.OtherEdits;
  if (other > 0) parts << QStringLiteral("%1 other changes").arg(other);
  if (parts.isEmpty()) return QString();
  QString list = parts.first();
  for (int i = 1; i < parts.size(); ++i)
    list += (i + 1 == parts.size() ? QStringLiteral(" and ") : QStringLiteral(", ")) + parts[i];
  return QStringLiteral("Recovered ") + list +
         (Unnamed ? QStringLiteral(" in the unnamed binder") : QString()) +
         QStringLiteral(" after the last save, up to ") +
         DateTimeToQDateTime(R.LastWhen).toString(QStringLiteral("hh:mm:ss"));
}

}  // namespace

bool TvlNotebookBinder::RecoverJournal(const QString &JournalPath, const RJournalBase &Opened,
                                       std::vector<RvlLoadedTab> &Tabs, QByteArray &Kept) {
  QFile file(JournalPath);
  if (!file.exists()) return false;
  if (!file.open(QIODevice::ReadOnly)) {
    FRecoveryMessage = QStringLiteral("The journal \"") + JournalPath +
                       QStringLiteral("\" could not be read: ") + file.errorString();
    return false;
  }
  const QByteArray bytes = file.readAll();
  file.close();
  const RJournalRead read = Journal_Read(bytes);
  const auto setAside = [&](const QString &Why) {
    const QString target = SetAsideTarget(JournalPath);
    const bool moved = QFile::rename(JournalPath, target);
    FRecoveryMessage = QStringLiteral("Changes kept in a journal were not applied: ") + Why +
                       QStringLiteral(". The journal is kept as \"") +
                       (moved ? target : JournalPath) + QLatin1Char('"');
    TraceWrite(FRecoveryMessage);
  };
  if (!read.IsJournal) {
    if (!bytes.isEmpty()) setAside(QStringLiteral("it is not a journal"));
    return false;
  }
  if (read.Records.empty()) {
    if (read.Damaged) setAside(read.Problem);
    return false;
  }
  const RJournalBase &began = read.Records[0].Base;
  if (!began.SameFile(Opened)) {
    setAside(QStringLiteral("the binder \"") +
             (Opened.PathName.isEmpty() ? QStringLiteral("(unnamed)") : Opened.PathName) +
             QStringLiteral("\" is not the file the journal continues; it was changed elsewhere"));
    return false;
  }
  if (read.Records.size() == 1 && !read.Damaged) return false;
  TLoadedTabsForReplay target(Tabs);
  const RJournalReplay r = Journal_Replay(read, target);
  const std::size_t applied = static_cast<std::size_t>(r.Records);
  Kept = bytes.mid(read.Ends[0], read.Ends[applied] - read.Ends[0]);
  if (!r.EventsBlock.isEmpty()) {
    TvlXmlIn in;
    QString ignored;
    if (in.Bytes_Open(r.EventsBlock, JournalPath, ignored)) {
      in.NextRecognizedTag();
      Events().IO_LoadNonTypingEvents(in);
    }
  }
  FRecoveryMessage = RecoveredText(r, JournalPath == TvlBinderJournal::JournalPathFor(QString()));
  TraceWrite(QStringLiteral("Journal ") + JournalPath + QStringLiteral(": ") +
             QString::number(r.Records) + QStringLiteral(" records replayed"));
  if (r.Stopped) {
    // What could not be applied is never thrown away.
    const QString aside = SetAsideTarget(JournalPath);
    const bool copied = QFile::copy(JournalPath, aside);
    AddLine(FRecoveryMessage, QStringLiteral("The journal stopped early (") + r.Problem +
                                  QStringLiteral("); it is kept as \"") +
                                  (copied ? aside : JournalPath) + QLatin1Char('"'));
    TraceWrite(QStringLiteral("Journal stopped: ") + r.Problem);
  }
  return r.TypedChars + r.PastedChars + r.OtherEdits > 0;
}

bool TvlNotebookBinder::UnnamedJournalHoldsChanges() {
  QFile file(TvlBinderJournal::JournalPathFor(QString()));
  if (!file.open(QIODevice::ReadOnly)) return false;
  // The blank tab on offer, added as the binder opened, is not a change; fonts come with edits.
  const RJournalRead read = Journal_Read(file.readAll());
  return std::any_of(read.Records.begin() + (read.Records.empty() ? 0 : 1), read.Records.end(),
                     [](const RJournalRecord &R) {
                       if (R.Kind == TJournalKind::FontDef) return false;
                       return R.Kind != TJournalKind::TabAdded || !R.Title.trimmed().isEmpty();
                     });
}

void TvlNotebookBinder::BeginJournal(const QString &BinderPathName, const RJournalBase &Base,
                                     const QByteArray &Kept) {
  FJournal->Begin(TvlBinderJournal::JournalPathFor(BinderPathName), Base, Kept);
}

// ---- The list of open documents ----------------------------------------------------------------

QStringList TvlNotebookBinder::ListOfOpenDocsLines() const {
  QStringList lines{
      QStringLiteral("# CAUTION: Do not change this file. It is created and maintained "
                     "automatically."),
      QStringLiteral("#")};
  const int active = FTabs.Tabs_ActiveIndex();
  for (int i = 0; i < FTabs.Tabs_Count(); ++i) {
    const QString path = FTabs.Tabs_PathName(i);
    if (QFileInfo(path).fileName().trimmed().isEmpty()) continue;
    if (path.contains(QStringLiteral("Click To Name (Created "))) continue;
    if (!FTabs.Tabs_IsOnDisk(i)) continue;
    lines.append((i == active ? QStringLiteral("*") : QString()) + path);
  }
  return lines;
}

bool TvlNotebookBinder::SaveNotebook_SaveListOfOpenDocsToBinderFile() {
  const QString path = DeprecatedBinderPathName();
  QByteArray bytes;
  for (const QString &line : ListOfOpenDocsLines()) {
    AppendEncodedWin1252(bytes, line);
    bytes += "\r\n";
  }
  QString why;
  if (WriteFileAtomically(path, bytes, &why)) return true;
  // Nothing reads this file: failing to write it must never stop closing the program.
  ErrorReport(false,
              QStringLiteral("Can't save a list of which tabs and documents are open.  Tried to "
                             "save it to this location and file: \"") +
                  path + QStringLiteral("\".\n\nYour computer gave this error message: \"") + why +
                  QStringLiteral("\"."));
  return false;
}

void TvlNotebookBinder::MyFileNotFoundMessage(const QString &PathName) {
  const QFileInfo info(PathName);
  Prompts().Message(QStringLiteral("File not found:  ") + info.fileName() +
                        QStringLiteral("\n\nExpected in folder: \n") +
                        QDir::toNativeSeparators(info.absolutePath()),
                    TPromptIcon::piWarning);
}
