// The journal beside a binder: typing after a save comes back at the next opening, with one
// message; saves start a new journal; a failed save loses nothing; a journal whose binder was
// replaced is set aside; unnamed binders are journalled and backed up in the data folder.
#include "vl09_NotebookBinder.h"
#include "vlBinderJournal.h"
#include "vlClock.h"
#include "vlDateTime.h"
#include "vlKeptEventsIO.h"
#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr TDateTime Start = 45123.5;

QString TabText(TvlTabList &Tabs, int Index) {
  TDocument &doc = *Tabs.Tabs.at(static_cast<std::size_t>(Index)).Doc;
  QString out;
  for (int sn = 0; sn <= doc.Section_High(); ++sn)
    if (const TParagraph *p = doc.Paragraph_FromSectionNum(sn))
      out += (sn ? QStringLiteral("|") : QString()) + p->Text();
  return out;
}

void Type(TDocument &Doc, const QString &Text) {
  Doc.AtPos_NoSelectionSet(Doc.Document_LastCaretPos());
  for (QChar c : Text) Doc.Text_Type(QStringView(&c, 1), 0, false);
}

QStringList FilesLike(const QString &Folder, const QString &Pattern) {
  return QDir(Folder).entryList({Pattern}, QDir::Files, QDir::Name);
}

class BinderJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TTestEnvironment::TestPrompts().Clear();
    Path = Folder.File(QStringLiteral("Notes.vl"));
    // A binder on disk with two tabs, as a previous session saved it.
    TvlTabList tabs;
    BuildDocument(*tabs.Add(QStringLiteral("Lecture")).Doc, {"saved text"});
    BuildDocument(*tabs.Add(QStringLiteral("Other")).Doc, {"other"});
    TvlNotebookBinder binder(tabs);
    ASSERT_TRUE(binder.Binder_Save(Path).isEmpty());
  }
  // Opens the binder as the program does: its journal replayed, a new one begun.
  std::unique_ptr<TvlNotebookBinder> Open(TvlTabList &Tabs, const QString &Name) {
    auto binder = std::make_unique<TvlNotebookBinder>(Tabs);
    const QString problems = binder->Binder_Open(Name);
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    return binder;
  }

  TManualClock Clock{Start};
  TScopedClock ScopedClock{Clock};
  TRecordingSink Sink;
  TScopedTypingEventSink ScopedSink{Sink};
  TFreshFolder Folder;
  QString Path;
};

}  // namespace

TEST_F(BinderJournalTest, TypingAfterTheLastSaveComesBackWithOneMessage) {
  {
    TvlTabList tabs;
    auto binder = Open(tabs, Path);
    EXPECT_TRUE(binder->Journal().IsActive());
    EXPECT_EQ(binder->Journal().PathName(), Folder.File(QStringLiteral("Notes.vlJournal")));
    Clock.Set(EncodeDateTime(2026, 12, 10, 4, 14, 22));
    Type(*tabs.Tabs[0].Doc, QStringLiteral(" and more\ntyped"));
    tabs.Tabs[1].Doc->Font_ChangeBold(TCharSpan{TCharX{0, 1}, TCharX{0, 2}}, true);
    binder->Journal().Flush();
    // The program is killed here: nothing is saved, nothing closes the journal.
    const QByteArray journal = ReadAllBytes(binder->Journal().PathName());
    WriteAllBytes(Folder.File(QStringLiteral("kept.vlJournal")), journal);
  }
  // The kill left the journal as it was when it was flushed.
  QFile::remove(Folder.File(QStringLiteral("Notes.vlJournal")));
  QFile::rename(Folder.File(QStringLiteral("kept.vlJournal")),
                Folder.File(QStringLiteral("Notes.vlJournal")));

  TvlTabList tabs;
  auto binder = Open(tabs, Path);
  EXPECT_EQ(TabText(tabs, 0), QStringLiteral("saved text and more|typed"));
  EXPECT_EQ(binder->LastRecoveryMessage(),
            QStringLiteral("Recovered 15 characters typed and 1 other changes after the last "
                           "save, up to 04:14:22"));
  EXPECT_FALSE(binder->Binder_IsCompeletelySaved());
  EXPECT_TRUE(tabs.Tabs[1].Doc->FontStyleAt(TCharX{0, 1}).testFlag(fsBold));

  // The new journal holds what was recovered: a second crash loses nothing either.
  binder->Journal().Flush();
  binder.reset();
  TvlTabList again;
  auto third = Open(again, Path);
  EXPECT_EQ(TabText(again, 0), QStringLiteral("saved text and more|typed"));

  // A save takes it all; the journal then holds nothing and the next opening says nothing.
  ASSERT_TRUE(third->Binder_Save(Path).isEmpty());
  third.reset();
  TvlTabList saved;
  auto fourth = Open(saved, Path);
  EXPECT_EQ(TabText(saved, 0), QStringLiteral("saved text and more|typed"));
  EXPECT_TRUE(fourth->LastRecoveryMessage().isEmpty());
  EXPECT_TRUE(FilesLike(Folder.Path(), QStringLiteral("*not applied*")).isEmpty());
}

// Every opening adds the blank tab on offer, and a kill then leaves a journal that holds only
// that: the next opening replays it quietly and has nothing to ask about at close.
TEST_F(BinderJournalTest, AJournalHoldingOnlyTheBlankTabOnOfferIsNoUnsavedChange) {
  const QString journalPath = Folder.File(QStringLiteral("Notes.vlJournal"));
  // Opens the binder, adds a tab as the notebook tells the journal, and leaves what a kill
  // would: the journal as flushed, whatever closing the binder does to it.
  const auto addTabAndKill = [&](const QString &Title) {
    TvlTabList tabs;
    auto binder = Open(tabs, Path);
    tabs.Add(Title);
    binder->Journal().TabAdded(static_cast<int>(tabs.Tabs.size()) - 1);
    binder->Journal().Flush();
    const QByteArray atKill = ReadAllBytes(journalPath);
    binder.reset();
    WriteAllBytes(journalPath, atKill);
  };
  addTabAndKill(QStringLiteral(" "));
  {
    TvlTabList tabs;
    auto binder = Open(tabs, Path);
    EXPECT_EQ(tabs.Tabs.size(), 3u);
    EXPECT_TRUE(binder->LastRecoveryMessage().isEmpty());
    EXPECT_TRUE(binder->Binder_IsCompeletelySaved());
  }
  // A titled tab is a change the user would miss.
  addTabAndKill(QStringLiteral("Questions"));
  TvlTabList tabs;
  auto binder = Open(tabs, Path);
  EXPECT_EQ(tabs.Tabs.size(), 4u);
  EXPECT_FALSE(binder->Binder_IsCompeletelySaved());
}

TEST_F(BinderJournalTest, ASaveDuringTypingStartsANewJournalAndABackupToo) {
  {
    TvlTabList tabs;
    auto binder = Open(tabs, Path);
    Type(*tabs.Tabs[0].Doc, QStringLiteral(" one"));
    ASSERT_TRUE(binder->Binder_Save(Path).isEmpty());
    Type(*tabs.Tabs[0].Doc, QStringLiteral(" two"));
    ASSERT_TRUE(binder->SaveNotebook_AsBackup_Maybe(btASAP));
    EXPECT_TRUE(QFileInfo(Folder.File(QStringLiteral("Notes.vlBackup"))).isFile());
    Type(*tabs.Tabs[0].Doc, QStringLiteral(" three"));
    binder->Journal().Flush();
    // Killed: the journal continues the backup.
  }
  // The backup is newer than the binder: it is recovered, and the journal continues it.
  QFile f(Folder.File(QStringLiteral("Notes.vlBackup")));
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(
      f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
  f.close();
  TvlTabList tabs;
  auto binder = Open(tabs, Path);
  EXPECT_EQ(TabText(tabs, 0), QStringLiteral("saved text one two three"));
  EXPECT_EQ(binder->LastRecoveryMessage().left(37),
            QStringLiteral("Recovered 6 characters typed after th"));
  // The backup's recovery and the journal's are said in one message.
  const QStringList asked = TTestEnvironment::TestPrompts().AskedTexts();
  ASSERT_EQ(asked.size(), 1) << asked.join(QStringLiteral(" // ")).toStdString();
  EXPECT_TRUE(asked[0].startsWith(QStringLiteral("Last time the program closed unexpectedly")));
  EXPECT_TRUE(asked[0].endsWith(binder->LastRecoveryMessage()));
}

TEST_F(BinderJournalTest, AFailedSaveLosesNothing) {
  TvlTabList tabs;
  auto binder = Open(tabs, Path);
  // A binder larger than the space left, typing that fits the journal.
  Type(*tabs.Tabs[1].Doc, QString(3000, u'x'));
  ASSERT_TRUE(binder->Binder_Save(Path).isEmpty());
  Type(*tabs.Tabs[0].Doc, QStringLiteral(" typed before the disk filled"));
  binder->Journal().Flush();
  {
    TFullDisk full(2000);
    ASSERT_TRUE(full.Active());
    EXPECT_FALSE(binder->Binder_Save(Path).isEmpty());
  }
  EXPECT_FALSE(binder->Binder_IsCompeletelySaved());
  binder->Journal().Flush();
  const QByteArray journal = ReadAllBytes(binder->Journal().PathName());
  binder.reset();
  WriteAllBytes(Folder.File(QStringLiteral("Notes.vlJournal")), journal);

  TvlTabList back;
  auto reopened = Open(back, Path);
  EXPECT_EQ(TabText(back, 0), QStringLiteral("saved text typed before the disk filled"));
  EXPECT_EQ(TabText(back, 1), QStringLiteral("other") + QString(3000, u'x'));
  EXPECT_TRUE(
      reopened->LastRecoveryMessage().startsWith(QStringLiteral("Recovered 29 characters")));
}

TEST_F(BinderJournalTest, AJournalWhoseBinderWasReplacedIsSetAsideAndSaidSo) {
  {
    TvlTabList tabs;
    auto binder = Open(tabs, Path);
    Type(*tabs.Tabs[0].Doc, QStringLiteral(" lost?"));
    binder->Journal().Flush();
    const QByteArray journal = ReadAllBytes(binder->Journal().PathName());
    binder.reset();
    WriteAllBytes(Folder.File(QStringLiteral("Notes.vlJournal")), journal);
  }
  // Another program (or another computer) wrote the binder meanwhile.
  {
    TvlTabList other;
    BuildDocument(*other.Add(QStringLiteral("Elsewhere")).Doc, {"written elsewhere"});
    TvlNotebookBinder writer(other);
    ASSERT_TRUE(writer.Binder_Save(Path).isEmpty());
  }
  TvlTabList tabs;
  auto binder = Open(tabs, Path);
  EXPECT_EQ(TabText(tabs, 0), QStringLiteral("written elsewhere"));
  const QStringList aside =
      FilesLike(Folder.Path(), QStringLiteral("Notes.not applied *.vlJournal"));
  ASSERT_EQ(aside.size(), 1);
  EXPECT_TRUE(binder->LastRecoveryMessage().contains(aside[0]))
      << binder->LastRecoveryMessage().toStdString();
  EXPECT_TRUE(binder->LastRecoveryMessage().contains(QStringLiteral("not applied")));
  // Never applied, never deleted: the typing is still in it.
  const RJournalRead read = Journal_Read(ReadAllBytes(Folder.File(aside[0])));
  EXPECT_GT(read.Records.size(), 1u);
}

TEST_F(BinderJournalTest, AnUnnamedBinderIsJournalledAndBackedUpInTheDataFolder) {
  {
    TvlTabList tabs;
    auto binder = Open(tabs, QString());
    ASSERT_TRUE(binder->Journal().IsActive());
    EXPECT_EQ(binder->Journal().PathName(), TvlBinderJournal::JournalPathFor(QString()));
    tabs.Add(QStringLiteral("Untitled"));
    binder->Journal().TabAdded(tabs.Tabs_Count() - 1);
    Type(*tabs.Tabs.back().Doc, QStringLiteral("typed without a name"));
    ASSERT_TRUE(binder->SaveNotebook_AsBackup_Maybe(btASAP));
    EXPECT_TRUE(QFileInfo(TvlBinderJournal::UnnamedBackupPathName()).isFile());
    Type(*tabs.Tabs.back().Doc, QStringLiteral(", then more"));
    binder->Journal().Flush();
    const QByteArray journal = ReadAllBytes(binder->Journal().PathName());
    binder.reset();
    WriteAllBytes(TvlBinderJournal::JournalPathFor(QString()), journal);
  }
  TvlTabList tabs;
  auto binder = Open(tabs, QString());
  EXPECT_TRUE(binder->BinderPathName().isEmpty());
  ASSERT_GE(tabs.Tabs_Count(), 1);
  EXPECT_EQ(TabText(tabs, tabs.Tabs_Count() - 1),
            QStringLiteral("typed without a name, then more"));
  EXPECT_TRUE(binder->LastRecoveryMessage().contains(QStringLiteral("in the unnamed binder")));

  // Saved under a name, the unnamed journal goes and the named one takes over.
  ASSERT_TRUE(binder->Binder_Save(Folder.File(QStringLiteral("Named.vl"))).isEmpty());
  EXPECT_FALSE(QFileInfo::exists(TvlBinderJournal::JournalPathFor(QString())));
  EXPECT_EQ(binder->Journal().PathName(), Folder.File(QStringLiteral("Named.vlJournal")));
  EXPECT_FALSE(QFileInfo::exists(TvlBinderJournal::UnnamedBackupPathName()));
}

TEST_F(BinderJournalTest, ABinderThatOpenedWithProblemsIsKeptBesideAtTheNextSave) {
  QByteArray bytes = ReadAllBytes(Path);
  bytes.replace("TabCount=\"2\"", "TabCount=\"5\"");
  WriteAllBytes(Path, bytes);
  TvlTabList tabs;
  auto binder = std::make_unique<TvlNotebookBinder>(tabs);
  ASSERT_FALSE(binder->Binder_Open(Path).isEmpty());
  ASSERT_TRUE(binder->Binder_Save(Path).isEmpty());
  const QStringList kept = FilesLike(Folder.Path(), QStringLiteral("Notes.as opened *.vl"));
  ASSERT_EQ(kept.size(), 1);
  EXPECT_EQ(ReadAllBytes(Folder.File(kept[0])), bytes);
  EXPECT_TRUE(binder->LastSaveNote().contains(Folder.File(kept[0])));
  // Once: the next save replaces what this save wrote.
  ASSERT_TRUE(binder->Binder_Save(Path).isEmpty());
  EXPECT_EQ(FilesLike(Folder.Path(), QStringLiteral("Notes.as opened *.vl")).size(), 1);
}

TEST_F(BinderJournalTest, ASaveKeepsABackupItNeverRead) {
  const QString backup = Folder.File(QStringLiteral("Notes.vlBackup"));
  WriteAllBytes(backup, QByteArray("a backup someone else made"));
  TvlTabList tabs;
  TvlNotebookBinder tool(tabs);
  ASSERT_TRUE(tool.Binder_OpenWithoutRecovery(Path).isEmpty());
  ASSERT_TRUE(tool.Binder_Save(Path).isEmpty());
  EXPECT_TRUE(QFileInfo(backup).isFile());
  EXPECT_TRUE(tool.LastSaveNote().contains(backup));
  // Tools keep no journal.
  EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("Notes.vlJournal"))));
}

TEST_F(BinderJournalTest, BookmarksChangedAfterTheLastSaveComeBack) {
  {
    TvlTabList tabs;
    TvlKeptEventsIO events;
    TvlNotebookBinder binder(tabs, &events);
    ASSERT_TRUE(binder.Binder_Open(Path).isEmpty());
    // A bookmark set, and typing right after it in the same moment of the journal.
    events.Add(QStringLiteral("Marker"), u'1', Start + 0.001);
    tabs.Tabs[0].Doc->ChangeCount_Increment();
    Type(*tabs.Tabs[0].Doc, QStringLiteral("x"));
    events.Add(QStringLiteral("Label"), u'L', Start + 0.002, QStringLiteral("said here"));
    tabs.Tabs[0].Doc->ChangeCount_Increment();
    binder.Journal().Flush();
    const QByteArray journal = ReadAllBytes(binder.Journal().PathName());
    WriteAllBytes(Folder.File(QStringLiteral("kept")), journal);
  }
  QFile::remove(Folder.File(QStringLiteral("Notes.vlJournal")));
  QFile::rename(Folder.File(QStringLiteral("kept")),
                Folder.File(QStringLiteral("Notes.vlJournal")));
  TvlTabList tabs;
  TvlKeptEventsIO events;
  TvlNotebookBinder binder(tabs, &events);
  ASSERT_TRUE(binder.Binder_Open(Path).isEmpty());
  ASSERT_EQ(events.Events.size(), 2u);
  EXPECT_EQ(events.Events[0].Kind, QStringLiteral("Marker"));
  EXPECT_EQ(events.Events[1].Text, QStringLiteral("said here"));
  EXPECT_EQ(TabText(tabs, 0), QStringLiteral("saved textx"));
}
