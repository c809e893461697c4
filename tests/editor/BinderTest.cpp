// Binder files: round trips of several tabs, failed saves that leave the old file, backups, the
// recovery of a newer backup and damaged binders.

#include "vl09_NotebookBinder.h"
#include "vlClock.h"
#include "vlKeptEventsIO.h"
#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldGraphic.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <jpeglib.h>

namespace {

constexpr TDateTime SavedAt = 45123.5;

// Lines of a file without its WhenSaved value, which is the one thing two saves may differ in.
void SetModified(const QString &Path, const QDateTime &When) {
  QFile f(Path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << Path.toStdString();
  ASSERT_TRUE(f.setFileTime(When, QFileDevice::FileModificationTime));
}

// The events as read, and every time the typing events are to be filed afresh, the documents.
struct TRebuildCounting final : TvlOtherEventsIO {
  void IO_SaveNonTypingEvents(TvlXmlOut &Out) override { Kept.IO_SaveNonTypingEvents(Out); }
  QString IO_LoadNonTypingEvents(TvlXmlIn &In) override { return Kept.IO_LoadNonTypingEvents(In); }
  void TypingEvents_Rebuild(const std::vector<const TDocument *> &Documents) override {
    Rebuilds.push_back(Documents);
  }
  TvlKeptEventsIO Kept;
  std::vector<std::vector<const TDocument *>> Rebuilds;
};

class BinderTest : public ::testing::Test {
 protected:
  void SetUp() override { TTestEnvironment::TestPrompts().Clear(); }

  // Three tabs: fonts changing inside a paragraph, a picture with pen strokes, a title that
  // holds every character that could break a line of the file. Tab 1 is active.
  void FillThreeTabs(TvlTabList &Tabs, const QString &PicturePath) {
    TDocument &a = *Tabs.Add(QStringLiteral("Lecture")).Doc;
    BuildDocument(a, {"First line typed", "Second; with & and <tags>", ""});
    const TFontIndex bold =
        a.Font_GetIndex(QStringLiteral("Arial"), 0, 14, 0x0000FF, clWhite, TFontStyles(fsBold));
    a.Font_Change(TCharSpan{TCharX{0, 7}, TCharX{0, 10}}, bold);

    TvlTabList::RTab &second = Tabs.Add(QStringLiteral("Pictures"));
    second.VertScrollbar = 120;
    TDocument &b = *second.Doc;
    BuildDocument(b, {"Below the picture", "more"});
    auto g = std::make_unique<TvlGraphic>();
    g->FZOrder = 2;
    g->JpegPathName = PicturePath;
    g->JPeg_LoadFromFile(PicturePath);
    TPenStroke &stroke = g->Sketch.PenStroke_Append();
    stroke.Color = 0x00FF00;
    stroke.PenPoint_Append(1, 2, 1);
    stroke.PenPoint_Append(3.5f, 4, 0.5f);
    g->EditorsData.FvLeft = 10;
    g->EditorsData.FvTop = 20;
    g->EditorsData.FPixelWidth = 64;
    g->EditorsData.FPixelHeight = 48;
    ASSERT_TRUE(b.InsetsStorage.PutInsetAt(0, std::move(g)));
    b.InsetsStorage.Anchor(0, b.Paragraph_FromSectionNum(1));

    TvlTabList::RTab &third = Tabs.Add(QStringLiteral("Meeting \"Q3\" </DocTab> Ελληνικά"));
    third.VertScrollbar = -1;
    BuildDocument(*third.Doc, {"x"});
    Tabs.ActiveTab = 1;
  }

  QString MakePicture(const TFreshFolder &Folder) {
    const QString path = Folder.File(QStringLiteral("pic.jpg"));
    WriteAllBytes(path, MakeJpeg(8, 6, JCS_RGB, [](int x, int y) { return 0x102030u * (x + y); }));
    return path;
  }

  TManualClock Clock{SavedAt};
  TScopedClock ScopedClock{Clock};
  TRecordingSink Sink;
  TScopedTypingEventSink ScopedSink{Sink};
};

TEST_F(BinderTest,
       SeveralTabsComeBackWithPicturesFontsMomentsAndBookmarks_AndSaveAgainGivesSameBytes) {
  TFreshFolder folder;
  TvlTabList tabs;
  FillThreeTabs(tabs, MakePicture(folder));
  TvlKeptEventsIO events;
  events.Add(QStringLiteral("Marker"), QChar(u'1'), SavedAt - 0.01);
  events.Add(QStringLiteral("Label"), QChar(u'1'), SavedAt - 0.02, QStringLiteral("A \"label\""));
  TvlNotebookBinder binder(tabs, &events);
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  ASSERT_EQ(binder.Binder_Save(path), QString());
  EXPECT_EQ(binder.BinderPathName(), path);

  const QByteArray first = ReadAllBytes(path);
  // Three EarlyNotice lines before the first DocTab, only the active one marked.
  const qsizetype firstDocTab = first.indexOf("<DocTab ");
  EXPECT_EQ(first.left(firstDocTab).count("<EarlyNotice "), 3);
  EXPECT_EQ(first.left(firstDocTab).count("TabActive=\"T\""), 1);
  EXPECT_TRUE(first.contains("<EarlyNotice TabIndex=\"1\" TabTitle=\"Pictures\" TabActive=\"T\">"));
  EXPECT_TRUE(TvlNotebookBinder::IsCompleteBinderFile(path));

  TvlTabList loaded;
  TvlKeptEventsIO loadedEvents;
  TvlNotebookBinder reader(loaded, &loadedEvents);
  Sink.Added.clear();
  EXPECT_EQ(reader.Binder_Open(path), QString());
  ASSERT_EQ(loaded.Tabs.size(), 3u);
  EXPECT_EQ(loaded.ActiveTab, 1);
  EXPECT_EQ(reader.BinderPathName(), path);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(loaded.Tabs[i].Title, tabs.Tabs[i].Title);
    EXPECT_EQ(loaded.Tabs[i].VertScrollbar, tabs.Tabs[i].VertScrollbar);
    EXPECT_EQ(ParagraphTexts(*loaded.Tabs[i].Doc), ParagraphTexts(*tabs.Tabs[i].Doc));
    const TDocument &was = *tabs.Tabs[i].Doc, &is = *loaded.Tabs[i].Doc;
    for (int sn = 0; sn <= was.Section_High(); ++sn)
      for (int c = 1; c <= was.Paragraph_FromSectionNum(sn)->High(); ++c) {
        // Fifteen significant digits: well below a millisecond.
        EXPECT_NEAR(is.Paragraph_FromSectionNum(sn)->Timestamp_Get(c).FEffectiveDT,
                    was.Paragraph_FromSectionNum(sn)->Timestamp_Get(c).FEffectiveDT, 1e-9);
        EXPECT_EQ(is.Char_GetFontIndex(TCharX{sn, c}), was.Char_GetFontIndex(TCharX{sn, c}));
      }
  }
  // Every loaded character is a typing event again.
  EXPECT_EQ(Sink.Added.size(), std::string("First line typedSecond; with & and <tags>"
                                           "Below the picturemorex")
                                   .size());
  const TvlGraphic *g = loaded.Tabs[1].Doc->InsetsStorage.GetIfGraphic(0);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Sketch.PenStrokeCount(), 1);
  EXPECT_EQ(g->FAnchor, loaded.Tabs[1].Doc->Paragraph_FromSectionNum(1));
  ASSERT_EQ(loadedEvents.Events.size(), 2u);
  EXPECT_EQ(loadedEvents.Events[1].Text, QStringLiteral("A \"label\""));

  Clock.Set(SavedAt + 1);
  const QString again = folder.File(QStringLiteral("Again.vl"));
  ASSERT_EQ(reader.Binder_Save(again), QString());
  const QByteArray second = ReadAllBytes(again);
  EXPECT_NE(first, second);  // WhenSaved moved on
  EXPECT_EQ(WithoutWhenSaved(first), WithoutWhenSaved(second));
  EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().isEmpty());
}

// A save target that lets the first Allowed writes through to a real file and then fails, or
// fails at the commit.
class TFaultyTarget final : public TvlSaveTarget {
 public:
  TFaultyTarget(int Allowed, bool FailCommit, int *Writes)
      : FAllowed(Allowed), FFailCommit(FailCommit), FWrites(Writes) {}
  bool Open(const QString &PathName) override { return FReal.Open(PathName); }
  bool Write(const char *Data, qsizetype Size) override {
    if (FWrites) ++*FWrites;
    if (FAllowed-- <= 0) return false;
    return FReal.Write(Data, Size);
  }
  bool Commit() override {
    if (FFailCommit) {
      FReal.Cancel();
      return false;
    }
    return FReal.Commit();
  }
  void Cancel() override { FReal.Cancel(); }
  QString ErrorString() const override { return QStringLiteral("injected"); }

 private:
  TvlAtomicFileTarget FReal;
  int FAllowed;
  bool FFailCommit;
  int *FWrites;
};

TEST_F(BinderTest, SaveFailingAtAnyWriteStepOrAtCommit_LeavesOldFileCountsAndNameAlone) {
  TFreshFolder folder;
  TvlTabList tabs;
  FillThreeTabs(tabs, MakePicture(folder));
  TvlNotebookBinder binder(tabs);
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  ASSERT_EQ(binder.Binder_Save(path), QString());
  const QByteArray old = ReadAllBytes(path);
  tabs.Tabs[0].Doc->ChangeCount_Increment();

  // How many write steps a save takes with small chunks.
  int steps = 0;
  binder.SetWriteChunkSize(97);
  binder.SetSaveTargetFactory(
      [&] { return std::make_unique<TFaultyTarget>(1 << 30, true, &steps); });
  const QString other = folder.File(QStringLiteral("Other.vl"));
  EXPECT_FALSE(binder.Binder_Save(other).isEmpty());
  ASSERT_GT(steps, 20);
  EXPECT_FALSE(QFileInfo::exists(other));

  for (int failAt = 0; failAt <= steps; ++failAt) {
    SCOPED_TRACE(failAt);
    binder.SetSaveTargetFactory(
        [&] { return std::make_unique<TFaultyTarget>(failAt, failAt == steps, nullptr); });
    const QString problem = binder.Binder_Save(path);
    EXPECT_TRUE(problem.startsWith(QStringLiteral("File ") + path)) << problem.toStdString();
    EXPECT_EQ(ReadAllBytes(path), old);
    EXPECT_EQ(tabs.Tabs[0].Doc->ChangeCount(), 1);
    EXPECT_EQ(binder.BinderPathName(), path);
  }
  // Nothing but the binder and the picture is left in the folder: no temporary files.
  EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files).size(), 2);
  binder.SetSaveTargetFactory(nullptr);
  EXPECT_EQ(binder.Binder_Save(path), QString());
  EXPECT_EQ(tabs.Tabs[0].Doc->ChangeCount(), 0);
}

TEST_F(BinderTest, FolderInTheWayOrMissingFolder_AnswersFileWithPathAndKeepsName) {
  TFreshFolder folder;
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("A")).Doc, {"a"});
  TvlNotebookBinder binder(tabs);
  QDir(folder.Path()).mkdir(QStringLiteral("Dir.vl"));
  for (const QString &path : {folder.File(QStringLiteral("Dir.vl")),
                              folder.File(QStringLiteral("missing/x.vl")), QString()}) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_TRUE(binder.Binder_Save(path).startsWith(QStringLiteral("File ") + path));
    EXPECT_EQ(binder.BinderPathName(), QString());
  }
}

TEST_F(BinderTest, BackupRules) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  const QString backup = folder.File(QStringLiteral("Notes.vlBackup"));
  EXPECT_EQ(TvlNotebookBinder::BinderBackupPathNameFor(path), backup);
  EXPECT_EQ(TvlNotebookBinder::BinderBackupPathNameFor(QStringLiteral("/a/b.VLBACKUP")), QString());
  EXPECT_EQ(TvlNotebookBinder::BinderBackupPathNameFor(QString()), QString());

  struct {
    int Changes;
    TBackupTiming Timing;
    bool Written;
  } const rows[] = {{100, btOnIdle_AsNeeded, false},
                    {101, btOnIdle_AsNeeded, true},
                    {1, btASAP, true},
                    {0, btASAP, false},
                    {50, btOnIdle_AsNeeded, false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Changes);
    TvlTabList tabs;
    BuildDocument(*tabs.Add(QStringLiteral("A")).Doc, {"a"});
    TvlNotebookBinder binder(tabs);
    ASSERT_EQ(binder.Binder_Save(path), QString());
    for (int i = 0; i < row.Changes; ++i) tabs.Tabs[0].Doc->ChangeCount_Increment();
    EXPECT_EQ(binder.SaveNotebook_AsBackup_Maybe(row.Timing), row.Written);
    EXPECT_EQ(QFileInfo::exists(backup), row.Written);
    // A backup leaves the binder's name and its change count as they were.
    EXPECT_EQ(binder.BinderPathName(), path);
    EXPECT_EQ(tabs.Tabs[0].Doc->ChangeCount(), row.Changes);
    EXPECT_EQ(binder.Binder_ChangeCountSinceBackupSum(), row.Written ? 0 : row.Changes);
    EXPECT_EQ(binder.Binder_IsCompeletelySaved(), row.Changes == 0);
    // Saving the binder itself removes its backup: the binder holds everything it held.
    ASSERT_EQ(binder.Binder_Save(path), QString());
    EXPECT_FALSE(QFileInfo::exists(backup));
  }

  // A blank page with changes: unsaved only when its tab has a name of the user's (a tab named
  // for notes to come would otherwise go at Close without the save question).
  struct RBlankRow {
    const char *Title;
    bool Saved;
  } const blankRows[] = {
      {"Questions", false}, {" ", true}, {"", true}, {"Click To Name (Created 10:31)", true}};
  for (const RBlankRow &row : blankRows) {
    SCOPED_TRACE(row.Title);
    TvlTabList blank;
    blank.Add(QString::fromUtf8(row.Title)).Doc->ChangeCount_Increment();
    const TvlNotebookBinder binder(blank);
    EXPECT_EQ(binder.Binder_IsCompeletelySaved(), row.Saved);
  }

  // An unnamed binder, and one opened from a backup, are not backed up.
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("A")).Doc, {"a"});
  TvlNotebookBinder unnamed(tabs);
  tabs.Tabs[0].Doc->ChangeCount_Increment();
  EXPECT_FALSE(unnamed.SaveNotebook_AsBackup_Maybe(btASAP));
  ASSERT_EQ(unnamed.Binder_Save(backup), QString());  // the user saved under a backup's name
  EXPECT_EQ(unnamed.BinderPathName(), backup);        // ... which is then the binder
  EXPECT_TRUE(unnamed.Binder_IsCompeletelySaved());
  tabs.Tabs[0].Doc->ChangeCount_Increment();
  EXPECT_FALSE(unnamed.SaveNotebook_AsBackup_Maybe(btASAP));
}

TEST_F(BinderTest, DiscardedBackupNeverComesBackAsRecovery) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("A")).Doc, {"saved"});
  TvlNotebookBinder binder(tabs);
  ASSERT_EQ(binder.Binder_Save(path), QString());
  BuildDocument(*tabs.Tabs[0].Doc, {"discarded edit"});
  tabs.Tabs[0].Doc->ChangeCount_Increment();
  ASSERT_TRUE(binder.SaveNotebook_AsBackup_Maybe(btASAP));
  SetModified(path, QDateTime::currentDateTime().addSecs(-600));
  binder.Binder_DiscardBackup();  // the user answered No
  EXPECT_FALSE(QFileInfo::exists(binder.BinderBackupPathName()));

  TvlTabList reopened;
  TvlNotebookBinder again(reopened);
  EXPECT_EQ(again.Binder_Open(path), QString());
  EXPECT_EQ(ParagraphTexts(*reopened.Tabs[0].Doc), std::vector<std::string>{"saved"});
  EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().isEmpty());
}

// ---- Recovery --------------------------------------------------------------------------------

enum TFileState { fsAbsent, fsOlder, fsNewer, fsIncomplete, fsEmpty };

TEST_F(BinderTest, RecoveryMatrix) {
  struct {
    const char *Name;
    bool Binder;
    TFileState Backup;
    bool Recovered;
  } const rows[] = {
      {"newer backup", true, fsNewer, true},
      {"older backup", true, fsOlder, false},
      {"no backup", true, fsAbsent, false},
      {"newer but incomplete backup", true, fsIncomplete, false},
      {"newer but empty backup", true, fsEmpty, false},
      {"no binder, newer backup", false, fsNewer, false},
      {"no binder, incomplete backup", false, fsIncomplete, false},
      {"no binder, no backup", false, fsAbsent, false},
  };
  const QDateTime base = QDateTime(QDate(2010, 11, 2), QTime(18, 31, 0));
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    TTestEnvironment::TestPrompts().Clear();
    TFreshFolder folder;
    const QString path = folder.File(QStringLiteral("Notes.vl"));
    const QString backup = folder.File(QStringLiteral("Notes.vlBackup"));

    TvlTabList tabs;
    BuildDocument(*tabs.Add(QStringLiteral("A")).Doc, {"binder text"});
    TvlNotebookBinder writer(tabs);
    QByteArray binderBytes, backupBytes;
    if (row.Backup != fsAbsent) {
      BuildDocument(*tabs.Tabs[0].Doc, {"backup text"});
      ASSERT_EQ(writer.Binder_Save(backup, true), QString());
      backupBytes = ReadAllBytes(backup);
      if (row.Backup == fsIncomplete) backupBytes.chop(30);
      if (row.Backup == fsEmpty) backupBytes.clear();
      WriteAllBytes(backup, backupBytes);
      SetModified(backup, row.Backup == fsOlder ? base.addSecs(-60) : base.addSecs(60));
    }
    if (row.Binder) {
      BuildDocument(*tabs.Tabs[0].Doc, {"binder text"});
      ASSERT_EQ(writer.Binder_Save(path + QStringLiteral(".tmp")), QString());
      QFile::rename(path + QStringLiteral(".tmp"), path);
      binderBytes = ReadAllBytes(path);
      SetModified(path, base);
    }
    // A copy kept by an earlier recovery in the same minute is never overwritten.
    const QString kept = folder.File(QStringLiteral("Notes.as saved 2010-11-02 18;31.vl"));
    WriteAllBytes(kept, "earlier copy");

    TvlTabList opened;
    TvlNotebookBinder binder(opened);
    const QString problems = binder.Binder_Open(path);
    const QStringList asked = TTestEnvironment::TestPrompts().AskedTexts();
    EXPECT_EQ(ReadAllBytes(kept), QByteArray("earlier copy"));
    if (row.Recovered) {
      const QString second = folder.File(QStringLiteral("Notes.as saved 2010-11-02 18;31 (2).vl"));
      EXPECT_EQ(ReadAllBytes(second), binderBytes);
      EXPECT_EQ(ReadAllBytes(path), backupBytes);
      EXPECT_FALSE(QFileInfo::exists(backup));
      ASSERT_EQ(asked.size(), 1);
      EXPECT_TRUE(asked[0].startsWith(
          QStringLiteral("Last time the program closed unexpectedly, possibly leaving unsaved "
                         "changes in the multi-tabbed document \"") +
          path +
          QStringLiteral("\".  \n\nAt least some of these changes will now be recovered."
                         "\n\nYour original file (before recovery) will be renamed to \n "
                         "\"Notes.as saved 2010-11-02 18;31 (2).vl\".")));
      ASSERT_EQ(opened.Tabs.size(), 1u);
      EXPECT_EQ(ParagraphTexts(*opened.Tabs[0].Doc), std::vector<std::string>{"backup text"});
    } else {
      // Nothing renamed, nothing lost.
      EXPECT_EQ(ReadAllBytes(path), binderBytes);
      EXPECT_EQ(ReadAllBytes(backup), backupBytes);
      EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files).size(),
                1 + (row.Binder ? 1 : 0) + (row.Backup != fsAbsent ? 1 : 0));
      if (row.Binder) {
        EXPECT_EQ(problems, QString());
        ASSERT_EQ(opened.Tabs.size(), 1u);
        EXPECT_EQ(ParagraphTexts(*opened.Tabs[0].Doc), std::vector<std::string>{"binder text"});
      } else {
        EXPECT_TRUE(opened.Tabs.empty());
        EXPECT_EQ(binder.BinderPathName(), QString());
      }
      // Only the incomplete backup that would have been taken is mentioned.
      const bool warned = row.Binder && row.Backup == fsIncomplete;
      EXPECT_EQ(asked.filter(QStringLiteral("incomplete")).size(), warned ? 1 : 0);
    }
  }
}

TEST_F(BinderTest, RecoveryNoteSaysWhenTheOriginalIsLarger) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("A")).Doc, {"a much longer binder text than the backup"});
  TvlNotebookBinder binder(tabs);
  ASSERT_EQ(binder.Binder_Save(path), QString());
  const qint64 big = QFileInfo(path).size();
  BuildDocument(*tabs.Tabs[0].Doc, {"short"});
  ASSERT_EQ(binder.Binder_Save(binder.BinderBackupPathName(), true), QString());
  const qint64 small = QFileInfo(binder.BinderBackupPathName()).size();
  SetModified(path, QDateTime::currentDateTime().addSecs(-3600));
  binder.Binder_SeekMoreRecentBackupAndRotateIfFound(path);
  const QStringList asked = TTestEnvironment::TestPrompts().AskedTexts();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].endsWith(QStringLiteral("\n\nNOTE:  Your original file is %1 bytes larger.  "
                                               "This is unusual, so you might want to check out "
                                               "why.")
                                    .arg(big - small)));
}

// ---- Damaged binders -------------------------------------------------------------------------

TEST_F(BinderTest, DamagedBindersKeepTheTabsOrLoadWhatIsThere) {
  const QByteArray docTab =
      "<ScrollPos VSB=\"5\">\r\n<CaretPos SN=\"0\" GN=\"1\" EOL=\"F\">\r\n<Sections>\r\n"
      "<P ID=\"0\">\r\n<Text N=\"2\" T=\"&f0;x&10;\">\r\n<When L=\"(0,0)(0,0)(0,0)\">\r\n"
      "</P>\r\n</Sections>\r\n<Fonts>\r\n<Font Index=\"0\" Name=\"Veranda\" Style=\"\" "
      "Size=\"12\" Color=\"#000000\">\r\n</Fonts>\r\n<Insets>\r\n</Insets>\r\n</DocTab>\r\n";
  const QByteArray events =
      "<OtherEvents>\r\n<Event K=\"Marker\" C=\"1\" W=\"45000.5000000000\">\r\n</OtherEvents>\r\n";
  struct {
    const char *Name;
    QByteArray Bytes;
    bool Refused;
    int Tabs;
    const char *FirstTitle;
    int Events;
    const char *Problem;
  } const rows[] = {
      {"no TabCount",
       "<BoundNotes ActiveTab=\"0\">\r\n<DocTab TabTitle=\"T\">\r\n" + docTab + events +
           "</BoundNotes>\r\n",
       true, 0, "", 0, "The file format appears to be wrong."},
      {"no ActiveTab",
       "<BoundNotes TabCount=\"1\">\r\n<DocTab TabTitle=\"T\">\r\n" + docTab + "</BoundNotes>\r\n",
       true, 0, "", 0, "The file format appears to be wrong."},
      {"no DocTab at all", "<BoundNotes TabCount=\"3\" ActiveTab=\"0\">\r\n</BoundNotes>\r\n", true,
       0, "", 0, "The file format appears to be wrong."},
      {"a million tabs announced, one there",
       "<BoundNotes TabCount=\"1000000\" ActiveTab=\"0\">\r\n<DocTab TabTitle=\"T\">\r\n" + docTab +
           events + "</BoundNotes>\r\n",
       false, 1, "T", 1, "The binder announces 1000000 tabs and holds 1"},
      {"two tabs where one is announced: both are kept",
       "<BoundNotes TabCount=\"1\" ActiveTab=\"0\">\r\n<DocTab TabTitle=\"T\">\r\n" + docTab +
           "<DocTab TabTitle=\"U\">\r\n" + docTab + events + "</BoundNotes>\r\n",
       false, 2, "T", 1, "The binder announces 1 tabs and holds 2"},
      {"tab without a title",
       "<BoundNotes TabCount=\"1\" ActiveTab=\"5\">\r\n<DocTab TabIndex=\"0\">\r\n" + docTab +
           events + "</BoundNotes>\r\n",
       false, 1, "???", 1, ""},
      {"cut before its end",
       "<BoundNotes TabCount=\"1\" ActiveTab=\"0\">\r\n<DocTab TabTitle=\"T\">\r\n" + docTab, false,
       1, "T", 0, "The file appears incomplete"},
      {"not a binder", "just some text\r\n", true, 0, "", 0,
       "The file format appears to be wrong."},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    TFreshFolder folder;
    const QString path = folder.File(QStringLiteral("Damaged.vl"));
    WriteAllBytes(path, row.Bytes);
    TvlTabList tabs;
    tabs.Add(QStringLiteral("Kept"));
    TRebuildCounting kept;
    TvlNotebookBinder binder(tabs, &kept);
    const QString problems = binder.Binder_Open(path);
    EXPECT_TRUE(problems.contains(QString::fromLatin1(row.Problem))) << problems.toStdString();
    // Opened or refused, the typing events are filed afresh once, from the tabs open after it:
    // a refused binder's tabs were read (and filed) before they were dropped.
    ASSERT_EQ(kept.Rebuilds.size(), 1u);
    EXPECT_EQ(kept.Rebuilds[0].size(), tabs.Tabs.size());
    for (std::size_t i = 0; i < tabs.Tabs.size(); ++i)
      EXPECT_EQ(kept.Rebuilds[0][i], tabs.Tabs[i].Doc.get());
    if (row.Refused) {
      EXPECT_TRUE(
          problems.contains(QStringLiteral("There was an error while opening file: \n\n\"") + path +
                            QLatin1Char('"')));
      ASSERT_EQ(tabs.Tabs.size(), 1u);
      EXPECT_EQ(tabs.Tabs[0].Title, QStringLiteral("Kept"));
      EXPECT_EQ(binder.BinderPathName(), QString());
    } else {
      ASSERT_EQ(static_cast<int>(tabs.Tabs.size()), row.Tabs);
      EXPECT_EQ(tabs.Tabs[0].Title, QString::fromLatin1(row.FirstTitle));
      EXPECT_EQ(tabs.Tabs[0].VertScrollbar, 5);
      EXPECT_EQ(tabs.ActiveTab, 0);
      EXPECT_EQ(static_cast<int>(kept.Kept.Events.size()), row.Events);
      EXPECT_EQ(binder.BinderPathName(), path);
    }
  }
  TTestEnvironment::TestPrompts().Clear();
}

// A binder the program wrote, with each line missing once and each line doubled once: every tab
// comes back with every paragraph the damaged line does not belong to, and the repair is said.
// A tab without its DocTab line starts at its first line (losing only its title); a doubled
// DocTab line makes no extra tab that would push the last tab beyond the count.
TEST_F(BinderTest, EveryLineMissingOrDoubledCostsOnlyItsOwnElement) {
  TFreshFolder folder;
  TvlTabList tabs;
  FillThreeTabs(tabs, MakePicture(folder));
  TvlKeptEventsIO events;
  events.Add(QStringLiteral("Marker"), QChar(u'1'), SavedAt - 0.01);
  events.Add(QStringLiteral("Label"), QChar(u'1'), SavedAt - 0.02, QStringLiteral("kept"));
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  ASSERT_EQ(TvlNotebookBinder(tabs, &events).Binder_Save(path), QString());
  const QList<QByteArray> lines = ReadAllBytes(path).split('\n');

  // The tab of each DocTab line and the paragraph of each line of a paragraph (-1: none).
  std::vector<std::pair<int, int>> owner;
  int tab = -1, paragraph = -1;
  bool inParagraph = false;
  for (const QByteArray &line : lines) {
    if (line.startsWith("<DocTab ")) ++tab, paragraph = -1;
    if (line.startsWith("<P ")) ++paragraph, inParagraph = true;
    owner.emplace_back(line.startsWith("<DocTab ") ? tab : -1, inParagraph ? paragraph : -1);
    if (line.startsWith("</P>")) inParagraph = false;
  }
  for (const bool doubled : {false, true}) {
    for (qsizetype damaged = 0; damaged + 1 < lines.size(); ++damaged) {
      const QByteArray &line = lines[damaged];
      SCOPED_TRACE((doubled ? "doubled line " : "without line ") + std::to_string(damaged + 1) +
                   ": " + line.left(40).toStdString());
      if (line.startsWith("<BoundNotes ")) continue;  // refused as a whole, tested elsewhere
      QByteArray bytes;
      for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (i == damaged && !doubled) continue;
        bytes += lines[i] + '\n';
        if (i == damaged) bytes += lines[i] + '\n';
      }
      const QString variant = folder.File(QStringLiteral("Variant.vl"));
      WriteAllBytes(variant, bytes);
      TvlTabList loaded;
      TvlKeptEventsIO loadedEvents;
      const QString problems =
          TvlNotebookBinder(loaded, &loadedEvents).Binder_OpenWithoutRecovery(variant);
      ASSERT_EQ(loaded.Tabs.size(), 3u) << problems.toStdString();
      // The tab a damaged paragraph line sits in: found by the DocTab line before it.
      int damagedTab = -1;
      for (qsizetype i = damaged; i >= 0 && damagedTab < 0; --i)
        if (lines[i].startsWith("<DocTab ")) damagedTab = owner[static_cast<std::size_t>(i)].first;
      const int damagedParagraph = owner[static_cast<std::size_t>(damaged)].second;
      bool changed = false;
      for (int t = 0; t < 3; ++t) {
        const auto was = ParagraphTexts(*tabs.Tabs[static_cast<std::size_t>(t)].Doc);
        const auto is = ParagraphTexts(*loaded.Tabs[static_cast<std::size_t>(t)].Doc);
        ASSERT_EQ(is.size(), was.size()) << "tab " << t;
        for (std::size_t p = 0; p < was.size(); ++p) {
          if (t == damagedTab && static_cast<int>(p) == damagedParagraph) continue;
          EXPECT_EQ(is[p], was[p]) << "tab " << t << " paragraph " << p;
        }
        const QString &title = loaded.Tabs[static_cast<std::size_t>(t)].Title;
        const QString &titleWas = tabs.Tabs[static_cast<std::size_t>(t)].Title;
        EXPECT_TRUE(title == titleWas || owner[static_cast<std::size_t>(damaged)].first == t)
            << "tab " << t << " titled " << title.toStdString();
        changed = changed || is != was || title != titleWas;
      }
      EXPECT_TRUE(loadedEvents.Events.size() == 2u || line.startsWith("<Event "));
      // A lost title is said; so is every change to the text.
      EXPECT_TRUE(!changed || !problems.isEmpty()) << "a change nobody is told of";
      if (line.startsWith("<DocTab ")) {
        EXPECT_TRUE(problems.contains(doubled ? QStringLiteral("A second DocTab line, skipped")
                                              : QStringLiteral("The DocTab line is missing")))
            << problems.toStdString();
      }
    }
  }
  TTestEnvironment::TestPrompts().Clear();
}

TEST_F(BinderTest, OpeningWithoutAName_GivesOneBlankUnnamedTabOrTheExample) {
  TvlTabList tabs;
  TvlNotebookBinder binder(tabs);
  EXPECT_EQ(binder.Binder_Open(QString()), QString());
  ASSERT_EQ(tabs.Tabs.size(), 1u);
  EXPECT_TRUE(tabs.Tabs[0].Doc->Document_IsBlank());
  EXPECT_EQ(binder.BinderPathName(), QString());

  TFreshFolder folder;
  const QString example = folder.File(QStringLiteral("Example.vl"));
  BuildDocument(*tabs.Tabs[0].Doc, {"example"});
  ASSERT_EQ(binder.Binder_Save(example), QString());
  TvlTabList other;
  TvlNotebookBinder fresh(other);
  fresh.SetExampleBinderPathName(example);
  EXPECT_EQ(fresh.Binder_Open(QString()), QString());
  EXPECT_EQ(fresh.BinderPathName(), example);
  EXPECT_EQ(ParagraphTexts(*other.Tabs[0].Doc), std::vector<std::string>{"example"});
}

TEST_F(BinderTest, ListOfOpenDocumentsNamesImportedTabsWithTheActiveOneStarred) {
  TvlTabList tabs;
  tabs.Add(QStringLiteral("Plain"));
  auto &imported = tabs.Add(QStringLiteral("Imported"));
  imported.PathName = QStringLiteral("/notes/Imported.vlTab");
  imported.IsOnDisk = true;
  auto &exported = tabs.Add(QStringLiteral("Exported only"));
  exported.PathName = QStringLiteral("/notes/Exported.vlTab");
  auto &unnamed = tabs.Add(QStringLiteral("x"));
  unnamed.PathName = QStringLiteral("/notes/Click To Name (Created 2010).vlTab");
  unnamed.IsOnDisk = true;
  tabs.ActiveTab = 1;
  TvlNotebookBinder binder(tabs);
  EXPECT_EQ(binder.ListOfOpenDocsLines(),
            (QStringList{QStringLiteral("# CAUTION: Do not change this file. It is created and "
                                        "maintained automatically."),
                         QStringLiteral("#"), QStringLiteral("*/notes/Imported.vlTab")}));
  EXPECT_TRUE(binder.SaveNotebook_SaveListOfOpenDocsToBinderFile());
  const QString list = TvlNotebookBinder::DeprecatedBinderPathName();
  EXPECT_TRUE(ReadAllBytes(list).endsWith("*/notes/Imported.vlTab\r\n"));

  // A list that cannot be written is reported and answered false, never thrown: closing goes on.
  ASSERT_TRUE(QFile::remove(list));
  ASSERT_TRUE(QDir().mkpath(list));
  bool written = true;
  EXPECT_NO_THROW(written = binder.SaveNotebook_SaveListOfOpenDocsToBinderFile());
  EXPECT_FALSE(written);
  QDir(list).removeRecursively();
}

}  // namespace
