#pragma once
// The binder-file half of the notebook: every tab of the notebook in one ".vl" file, its
// ".vlBackup" beside it, the recovery of a backup that is newer than its binder, and the list of
// open documents. It holds no widgets: the notebook hands its tabs over through TvlBinderTabs and
// takes the tabs of an opened binder back the same way, so that tools and tests use the same code
// with a plain list of documents (TvlTabList).
//
// Binder file, in line order:
//   <BoundNotes Version Generator WhenSaved TabCount ActiveTab>
//   <EarlyNotice TabIndex TabTitle [TabActive]>            one per tab; never read back
//   <DocTab TabTitle TabIndex> <ScrollPos VSB> block </DocTab>   one per tab
//   <OtherEvents> ... </OtherEvents>                        the events seam (vlOtherEventsIO.h)
//   </BoundNotes>
// A backup has exactly this form. Typing events are never stored: loading a tab registers every
// character again.
//
// What keeps the user's notes safe:
// - A save goes to a temporary file that replaces the old binder in one step, and only when the
//   whole file was written; if any tab could not be written, nothing is replaced at all.
// - Change counts are cleared and the binder's name taken only after the new file is in place.
//   Whether a save is a backup is said by the caller, never guessed from the file's extension.
// - A backup replaces its binder at opening only when it is newer and complete (it ends with
//   "</BoundNotes>"); the renames never overwrite a file, and nothing is deleted.
// - After a successful save of the binder itself, its backup holds nothing the binder lacks and
//   is removed, so that an old backup can never come back as a false "recovery".
//
// User-interface thread only.

#include "vlBinderJournal.h"
#include "vlDateTime.h"
#include "vlPrompts.h"
#include "vlSaveTarget.h"
#include "vl_Document.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TvlOtherEventsIO;
class TvlXmlIn;

enum TBackupTiming { btOnIdle_AsNeeded, btASAP };

// One tab as read from a binder, before the notebook makes a page of it.
struct RvlLoadedTab {
  QString Title;
  int VertScrollbar = 0;  // virtual pixels; -1 leaves the scroll bar alone
  std::unique_ptr<TDocument> Doc;
};

// What the binder needs of the notebook's tabs. Indices run from 0 in tab order.
class TvlBinderTabs {
 public:
  virtual ~TvlBinderTabs() = default;
  virtual int Tabs_Count() const = 0;
  virtual QString Tabs_Title(int Index) const = 0;
  virtual TDocument &Tabs_Document(int Index) = 0;
  // The tab's scroll position as it should be saved: the notebook lays the tab out completely
  // first, so that the position is current.
  virtual int Tabs_ScrollPosForSaving(int Index) = 0;
  // -1 when no tab is active.
  virtual int Tabs_ActiveIndex() const = 0;
  // The file an imported or exported tab came from or went to, and whether it was read from it.
  virtual QString Tabs_PathName(int Index) const = 0;
  virtual bool Tabs_IsOnDisk(int Index) const = 0;
  // An opened binder's tabs replace all tabs. ActiveTab is clamped to -1..Count-1 by the caller.
  // The notebook also keeps its blank tab on offer here and activates ActiveTab.
  virtual void Tabs_ReplaceAll(std::vector<RvlLoadedTab> Tabs, int ActiveTab) = 0;
};

// A plain list of tabs: what tools and tests open and save. The blank-tab rule is the notebook's
// and not applied here.
class TvlTabList final : public TvlBinderTabs {
 public:
  struct RTab {
    QString Title;
    int VertScrollbar = 0;
    std::unique_ptr<TDocument> Doc;
    QString PathName;
    bool IsOnDisk = false;
  };
  std::vector<RTab> Tabs;
  int ActiveTab = -1;

  // A tab at the end with an empty document; answers it.
  RTab &Add(const QString &Title);

  int Tabs_Count() const override { return static_cast<int>(Tabs.size()); }
  QString Tabs_Title(int Index) const override;
  TDocument &Tabs_Document(int Index) override;
  int Tabs_ScrollPosForSaving(int Index) override;
  int Tabs_ActiveIndex() const override { return ActiveTab; }
  QString Tabs_PathName(int Index) const override;
  bool Tabs_IsOnDisk(int Index) const override;
  void Tabs_ReplaceAll(std::vector<RvlLoadedTab> NewTabs, int NewActiveTab) override;
};

class TvlNotebookBinder {
 public:
  // Tabs: not owned, must outlive the binder. Events: the OtherEvents seam; nullptr uses the one
  // installed (OtherEventsIO()).
  explicit TvlNotebookBinder(TvlBinderTabs &Tabs, TvlOtherEventsIO *Events = nullptr);
  ~TvlNotebookBinder();
  TvlNotebookBinder(const TvlNotebookBinder &) = delete;
  TvlNotebookBinder &operator=(const TvlNotebookBinder &) = delete;

  // Files the typing events of the tabs' documents afresh (TvlOtherEventsIO::TypingEvents_Rebuild):
  // every opening does it at its end, and the notebook after closing a tab.
  void TypingEvents_Rebuild();

  // ---- The journal (vlBinderJournal.h) -------------------------------------------------------

  // Active from a Binder_Open until the binder is left; the notebook tells it of tab changes.
  TvlBinderJournal &Journal() { return *FJournal; }
  // What the last Binder_Open recovered from a journal, or set aside, in a sentence for the
  // user; empty when there was no journal to speak of. Binder_Open says it (after what a
  // recovered backup says, in the same message).
  QString LastRecoveryMessage() const { return FRecoveryMessage; }
  // A tab was deleted or moved: the binder has changes no document counts.
  void TabsChanged() { FTabsChanged = true; }
  // What the last successful save did besides writing the binder (an original kept, a backup
  // kept), for the user; empty when nothing.
  QString LastSaveNote() const { return FSaveNote; }

  // ---- Names -------------------------------------------------------------------------------

  QString BinderPathName() const { return FBinderPathName; }
  // The backup of a binder: its path with the extension replaced by ".vlBackup". Empty for an
  // unnamed binder and for a path that already ends in ".vlBackup" (any letter case).
  static QString BinderBackupPathNameFor(const QString &PathName);
  QString BinderBackupPathName() const { return BinderBackupPathNameFor(FBinderPathName); }
  // The list of open documents: the data folder + "Default List of Currently Open Documents.txt".
  static QString DeprecatedBinderPathName();

  // ---- Saving --------------------------------------------------------------------------------

  // Writes every tab and the events to PathName, replacing the file in one step. Answers an empty
  // text on success. Otherwise nothing changed: the old file, the change counts and
  // BinderPathName are as they were, and the text is "File " + PathName (+ the system's reason)
  // or the captions of the tabs that could not be written, one per line.
  // A save to the binder's own name (IsBackup false) clears every document's change counts, takes
  // PathName as BinderPathName and removes that binder's backup; a backup save changes neither.
  QString Binder_Save(const QString &PathName, bool IsBackup = false);
  // Backs up when more than 100 changes accumulated since the last backup, or any with btASAP.
  // True when a backup was written. An unnamed binder, or one that is itself a backup, is never
  // backed up.
  bool SaveNotebook_AsBackup_Maybe(TBackupTiming BackupTiming);
  int Binder_ChangeCountSinceBackupSum() const;
  void Binder_ChangeCountSinceBackupSum_Clear();
  // True when no tab was deleted or moved since the binder was saved or opened and every
  // document is blank or has a change count of 0 (true with no tabs).
  bool Binder_IsCompeletelySaved() const;
  // The user chose not to save: the backup must not return as a recovery at the next opening. It
  // goes to the trash, or when there is none is renamed "<name>.discarded <date>.vlBackup".
  void Binder_DiscardBackup();

  // ---- Opening -------------------------------------------------------------------------------

  // Recovers a newer backup, then reads PathName (empty: the example binder when one is set,
  // else the empty binder). Answers the problems as text, empty when all went well. A file that
  // is not a usable binder leaves the tabs as they were.
  QString Binder_Open(const QString &PathName);
  // The same without looking for a backup first: for tools, which must never rename the user's
  // files.
  QString Binder_OpenWithoutRecovery(const QString &PathName);
  // Before PathName is opened: a backup that is newer than its binder and complete takes the
  // binder's place, and the binder is kept as "<name>.as saved <date>.vl" (dates are the files'
  // modification times, local time, "yyyy-mm-dd hh;nn").
  void Binder_SeekMoreRecentBackupAndRotateIfFound(const QString &PathName);
  // The binder opened when no file is named (the first run's example); empty for none.
  void SetExampleBinderPathName(const QString &PathName) { FExampleBinderPathName = PathName; }

  // ---- The list of open documents ------------------------------------------------------------

  // The imported tabs that have a file of their own, "*" before the active one. Never throws: a
  // file that cannot be written is reported to the error log and false answered.
  bool SaveNotebook_SaveListOfOpenDocsToBinderFile();
  QStringList ListOfOpenDocsLines() const;

  static void MyFileNotFoundMessage(const QString &PathName);

  // ---- Seams ---------------------------------------------------------------------------------

  // Where saves are written (tests inject failures); the default writes files through QSaveFile.
  void SetSaveTargetFactory(std::function<std::unique_ptr<TvlSaveTarget>()> Factory) {
    FTargetFactory = std::move(Factory);
  }
  // Bytes handed to the target at a time (tests make it small so that every step can fail).
  void SetWriteChunkSize(qsizetype Bytes) { FChunkSize = Bytes; }
  // Told about every binder that was opened (the recent files list).
  std::function<void(const QString &PathName)> OnFileAccessed;

  // Reads the frame of a binder's next tab: its title from the DocTab line and its scroll
  // position from the ScrollPos line, leaving the reader at the tab's notes block. A tab whose
  // DocTab line is missing starts at its first line of its own (title "???"); a doubled DocTab
  // line is skipped; both are reported to the reader. False at the events block, at the binder's
  // end or at the end of the file. VertScrollbar is 0 without a ScrollPos line.
  static bool ReadTabFrame(TvlXmlIn &In, QString &Title, int &VertScrollbar);

  // The file's bytes end with the line "</BoundNotes>" (blank lines after it allowed).
  static bool IsCompleteBinderFile(const QString &PathName);
  // "<base>.as saved <date>.vl" and "<base>.Latest <date>.vl": PathName with its extension
  // replaced by Middle + the date + ".vl"; " (2)", " (3)", ... before ".vl" while such a file
  // exists.
  static QString FreeRenameTarget(const QString &PathName, const QString &Middle, TDateTime When);

 private:
  QString ReadBinder(TvlXmlIn &In, bool &Usable, std::vector<RvlLoadedTab> &Tabs, int &ActiveTab);
  QString Open(const QString &PathName, bool Recover);
  // Replays the journal of the binder about to be opened onto its tabs; Kept gets the records
  // applied, for the journal that continues them. True when they changed anything the user
  // would miss.
  bool RecoverJournal(const QString &JournalPath, const RJournalBase &Opened,
                      std::vector<RvlLoadedTab> &Tabs, QByteArray &Kept);
  void BeginJournal(const QString &BinderPathName, const RJournalBase &Base,
                    const QByteArray &Kept = QByteArray());
  QString BackupPathForSaving() const;
  // A message for the user; while a Binder_Open collects them, kept for its one message.
  void Say(const QString &Text, TPromptIcon Icon = TPromptIcon::piInformation);
  static bool UnnamedJournalHoldsChanges();
  TvlOtherEventsIO &Events() const;

  TvlBinderTabs &FTabs;
  TvlOtherEventsIO *FEvents;
  QString FBinderPathName;
  QString FExampleBinderPathName;
  std::function<std::unique_ptr<TvlSaveTarget>()> FTargetFactory;
  qsizetype FChunkSize = 0;  // 0: the writer's own
  std::unique_ptr<TvlBinderJournal> FJournal;
  QString FRecoveryMessage;
  bool FCollecting = false;
  QString FCollected;
  TPromptIcon FCollectedIcon = TPromptIcon::piInformation;
  QString FSaveNote;
  bool FTabsChanged = false;
  // The binder opened with problems (lines skipped): its file is kept before it is replaced.
  bool FOpenedWithProblems = false;
  // The backup beside the binder was judged at opening or written here: a save may remove it.
  bool FBackupJudged = false;
};
