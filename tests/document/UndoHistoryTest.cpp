// The undo history: every edit given back exactly (text, fonts, line ends, outlines, both moments
// of every character, picture anchors), redo doing it again, typing grouped into words, typing
// events following, memory bounds, and undo and redo told to other observers as edits that replay
// to the same document.

#include "vl_Document.h"

#include "vlClock.h"
#include "vlDateTime.h"
#include "vldGraphic.h"
#include "vldJournalTestSupport.h"
#include "vldStorage.h"
#include "vldTestDoc.h"
#include "vldUndoHistory.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

#include <map>
#include <random>
#include <set>
#include <utility>

namespace {

constexpr double Sec = 1 / SecsPerDay;

TCaretPos P(int SN, int GN) { return TCaretPos{SN, GN, false}; }

// The event index as far as typing goes: one event per moment and text.
class TSetSink final : public TTypingEventSink {
 public:
  std::set<std::pair<TDateTime, QString>> Events;
  void AddTypingEvent(TDateTime When, QStringView Text) override {
    Events.emplace(When, Text.toString());
  }
  void DeleteTypingEventAt(TDateTime When, QStringView Text) override {
    Events.erase({When, Text.toString()});
  }
};

std::set<std::pair<TDateTime, QString>> EventsOf(const TDocument &Doc) {
  std::set<std::pair<TDateTime, QString>> out;
  for (int sn = 0; sn <= Doc.Section_High(); ++sn)
    if (const TParagraph *p = Doc.Paragraph_FromSectionNum(sn))
      for (int i = 1; i <= p->High(); ++i)
        out.emplace(TypingEventMoment(p->Timestamp_Get(i)), TypingEventText(p->Char_GetChar(i)));
  return out;
}

// The document as text: per paragraph its outline, characters with the attributes of their fonts
// and both moments, and its line end. Independent of the order of the fonts table.
QString Describe(const TDocument &Doc) {
  QString out;
  const auto font = [&Doc](TFontIndex F) {
    QString name;
    std::int32_t rotation = 0, size = 0;
    TColor color = 0, highlight = 0;
    TFontStyles style;
    Doc.FontsInUse.GetFontDetails(F, name, rotation, size, color, highlight, style);
    return QStringLiteral("%1/%2/%3/%4/%5")
        .arg(name)
        .arg(size)
        .arg(color)
        .arg(highlight)
        .arg(style.toInt());
  };
  for (int sn = 0; sn <= Doc.Section_High(); ++sn) {
    const TParagraph *p = Doc.Paragraph_FromSectionNum(sn);
    if (!p) continue;
    QString prefix;
    out += QStringLiteral("P%1 o%2 ").arg(sn).arg(Doc.Paragraph_Outline_Get(sn, prefix));
    for (int i = 1; i <= p->High(); ++i) {
      const RvlTimestamp t = p->Timestamp_Get(i);
      out += QStringLiteral("[%1 %2 %3 %4]")
                 .arg(p->Char_GetChar(i))
                 .arg(font(p->Char_GetFont(i)))
                 .arg(t.FEffectiveDT, 0, 'g', 17)
                 .arg(t.RealDT, 0, 'g', 17);
    }
    out += QStringLiteral(" eol %1 %2\n").arg(font(p->FNLFont)).arg(p->FNLWhen.RealDT, 0, 'g', 17);
  }
  return out;
}

class UndoHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InternalClipboard().Clear();
    Doc.Undo_Switch(true);
  }

  // The saved form; as a string, so that a difference shows as lines.
  std::string Saved() const { return Doc.IO_SaveToBytes(QStringLiteral("t")).toStdString(); }
  TUndoHistory &History() { return Doc.Undo_History(); }

  void TypeText(const QString &Text, double SecondsPerKey = 0.1) {
    for (QChar c : Text) {
      Clock.AdvanceMSecs(static_cast<std::int64_t>(SecondsPerKey * 1000));
      TDocument::TEditGroup key(Doc);
      Doc.Text_Type(QStringView(&c, 1), Doc.FontsInUse.CurrentFont_GetIndex(), false);
    }
  }

  TManualClock Clock{45300.5};
  TScopedClock UseClock{Clock};
  TMemoryTextClipboard Clipboard;
  TScopedTextClipboard UseClipboard{Clipboard};
  TSetSink Sink;
  TScopedTypingEventSink UseSink{Sink};
  TDocument Doc;
};

// Random edits of every kind the editor makes, on a document with several fonts, pictures and
// moments.
class TRandomEditor {
 public:
  TRandomEditor(TDocument &Doc, TManualClock &Clock, unsigned Seed)
      : FDoc(Doc), FClock(Clock), FRng(Seed) {
    const TFontIndex base = Doc.FCurrentFontX;
    FFonts = {
        base, Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, 0x0000FF, clWhite, TFontStyles()),
        Doc.Font_GetIndex(QStringLiteral("Courier New"), 0, 9, 0, 0x00FFFF, TFontStyles(fsItalic))};
  }

  // Places caret and selection; then one edit.
  void PlaceCaret() {
    const TCaretPos a = RandomPos();
    const TCaretPos b = Pick(0, 3) == 0 ? RandomPos() : a;
    FDoc.FAtPosSelect = a;
    FDoc.FAtPos = b;
  }

  void Edit() {
    FClock.AdvanceMSecs(Pick(1, 4000));
    const TFontIndex font = FFonts[static_cast<std::size_t>(Pick(0, 2))];
    switch (Pick(0, 11)) {
      case 0:
      case 1:
      case 2: {
        const QChar c = QChar(static_cast<char16_t>(Pick(0, 5) == 0 ? u' ' : u'a' + Pick(0, 25)));
        FDoc.Text_Type(QStringView(&c, 1), font, Pick(0, 9) == 0);
        break;
      }
      case 3: FDoc.Text_Type(u"\n", font, false); break;
      case 4: FDoc.Char_Delete(FDoc.FAtPos); break;
      case 5: FDoc.Select_DeleteSelectedText(); break;
      case 6: {
        // Copied elsewhere, pasted over the caret and selection placed before.
        const TCaretPos caret = FDoc.FAtPos, anchor = FDoc.FAtPosSelect;
        const TCaretPos a = RandomPos(), b = RandomPos();
        FDoc.FAtPosSelect = TDocument::IsInSequence(b, a) ? b : a;
        FDoc.FAtPos = TDocument::IsInSequence(b, a) ? a : b;
        FDoc.Clipboard_Copy();
        FDoc.FAtPos = caret;
        FDoc.FAtPosSelect = anchor;
        FDoc.Clipboard_Paste();
        break;
      }
      case 7: {
        const TCharSpan span = FDoc.SelectionCharSpan();
        switch (Pick(0, 3)) {
          case 0: FDoc.Font_Change(span, font); break;
          case 1: FDoc.Font_ChangeBold(span, Pick(0, 1) == 1); break;
          case 2: FDoc.Font_ChangeColor(span, static_cast<TColor>(Pick(0, 0xFFFFFF))); break;
          default: FDoc.Font_ChangeSizeRelative(span, Pick(-50, 50)); break;
        }
        break;
      }
      case 8:
        FDoc.Paragraph_Outline_Set(FDoc.FAtPos.SN, Pick(0, 1) ? oBullet : oNone,
                                   Pick(0, 1) ? QStringLiteral("* ") : QString());
        break;
      case 9:
        FDoc.Timestamp_SetForCharacter(
            FDoc.FAtPos, RvlTimestamp{FClock.Now() - Pick(0, 100) * Sec, FClock.Now()});
        break;
      case 10: {
        TCaretPos at = FDoc.FAtPos, newAt;
        FDoc.SubStr_InsertPlain(u"pasted\nplain", at, newAt);
        break;
      }
      default: {
        // A character range the way a search-and-replace deletes it.
        const TCaretPos a = RandomPos();
        const TParagraph *p = FDoc.Paragraph_FromSectionNum(a.SN);
        if (p && p->High() > 0) {
          const int first = Pick(1, p->High());
          FDoc.SubStr_Delete(TCharX{a.SN, first}, TCharX{a.SN, Pick(first, p->High())});
        }
        break;
      }
    }
  }

 private:
  int Pick(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(FRng); }
  TCaretPos RandomPos() {
    int sn = Pick(0, FDoc.Section_High());
    while (!FDoc.IsParagraph(sn)) sn = Pick(0, FDoc.Section_High());
    return P(sn, Pick(1, FDoc.Paragraph_FromSectionNum(sn)->After()));
  }

  TDocument &FDoc;
  TManualClock &FClock;
  std::mt19937 FRng;
  std::vector<TFontIndex> FFonts;
};

void AddPictures(TDocument &Doc) {
  for (int sn : {0, 2}) {
    TInsetHandle h = -1;
    ASSERT_TRUE(Doc.InsetsStorage.MakeNewGraphicAndGetHandle(Doc.Paragraph_FromSectionNum(sn), h));
  }
}

}  // namespace

TEST_F(UndoHistoryTest, TwoThousandRandomEditsUndoneGiveTheSavedFormBackAndRedoneTheEnd) {
  BuildDocument(Doc, {"first line of notes", "second", "", "fourth line with more words"});
  AddPictures(Doc);
  History().Clear();
  History().Limits_Set(1'000'000, 1'000'000'000);
  TRandomEditor editor(Doc, Clock, 34);
  // The start: the document as the first edit that changed something found it.
  std::string start;
  QString startText;
  for (int i = 0; i < 2000; ++i) {
    editor.PlaceCaret();
    if (!History().CanUndo()) {
      start = Saved();
      startText = Describe(Doc);
    }
    editor.Edit();
  }
  const std::string end = Saved();
  const int steps = History().UndoCount();
  EXPECT_GT(steps, 1000);

  int undone = 0;
  while (History().Undo()) ++undone;
  EXPECT_EQ(undone, steps);
  EXPECT_EQ(Describe(Doc).toStdString(), startText.toStdString());
  EXPECT_EQ(Saved(), start);

  int redone = 0;
  while (History().Redo()) ++redone;
  EXPECT_EQ(redone, steps);
  EXPECT_EQ(Saved(), end);
}

TEST_F(UndoHistoryTest, InterleavedUndoRedoAndNewEditsFollowAModelOfStates) {
  BuildDocument(Doc, {"alpha beta", "gamma", "delta epsilon zeta"});
  AddPictures(Doc);
  History().Clear();
  TRandomEditor editor(Doc, Clock, 3434);
  std::mt19937 rng(77);
  // Per step the states before and after it; Done of them are done.
  std::vector<std::pair<std::string, std::string>> steps;
  std::size_t done = 0;
  for (int i = 0; i < 1500; ++i) {
    SCOPED_TRACE(i);
    const int what = std::uniform_int_distribution<int>(0, 9)(rng);
    if (what < 3) {
      const bool did = History().Undo();
      ASSERT_EQ(did, done > 0);
      if (did) {
        ASSERT_EQ(Saved(), steps[--done].first);
      }
    } else if (what < 5) {
      const bool did = History().Redo();
      ASSERT_EQ(did, done < steps.size());
      if (did) {
        ASSERT_EQ(Saved(), steps[done++].second);
      }
    } else {
      History().Group_Close();
      editor.PlaceCaret();
      const std::string before = Saved();
      const int count = History().UndoCount();
      editor.Edit();
      if (History().UndoCount() == count) {
        ASSERT_EQ(History().RedoCount(), static_cast<int>(steps.size() - done));
        continue;  // nothing was changed, nothing to undo
      }
      ASSERT_EQ(History().RedoCount(), 0);
      steps.resize(done);
      steps.emplace_back(before, Saved());
      ++done;
    }
    ASSERT_EQ(History().UndoCount(), static_cast<int>(done));
  }
}

TEST_F(UndoHistoryTest, TypingIsUndoneWordByWordAndAfterPausesAndLineBreaks) {
  struct {
    const char *Name;
    std::vector<std::pair<const char *, double>> Typed;  // text, seconds per key
    std::vector<const char *> AfterEachUndo;
  } rows[] = {
      {"words", {{"hello world", 0.1}}, {"hello ", ""}},
      {"a pause inside a word", {{"abc", 0.1}, {"def", 3}}, {"abcde", "abcd", "abc", ""}},
      {"a line break", {{"ab\ncd", 0.1}}, {"ab\n", "ab", ""}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    BuildDocument(Doc, {""});
    History().Clear();
    for (const auto &[text, seconds] : row.Typed) TypeText(QString::fromUtf8(text), seconds);
    for (const char *expected : row.AfterEachUndo) {
      ASSERT_TRUE(History().Undo());
      EXPECT_EQ(Doc.CaretSpan_Plain(Doc.Document_FirstCaretPos(), Doc.Document_LastCaretPos()),
                QString::fromUtf8(expected));
    }
    EXPECT_FALSE(History().CanUndo());
  }
}

TEST_F(UndoHistoryTest, UndoPutsCaretAndSelectionBackAndRedoWhereTheEditLeftThem) {
  BuildDocument(Doc, {"keep this sentence. Delete this one.", "next"});
  History().Clear();
  Doc.FAtPosSelect = P(0, 21);
  Doc.FAtPos = P(0, 37);
  Doc.Select_DeleteSelectedText();
  Doc.AtPos_NoSelectionSet(P(1, 3));  // the user moves on
  ASSERT_TRUE(History().Undo());
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(0)->Text(),
            QStringLiteral("keep this sentence. Delete this one."));
  EXPECT_TRUE(TDocument::IsSamePos(Doc.FAtPosSelect, P(0, 21)));
  EXPECT_TRUE(TDocument::IsSamePos(Doc.FAtPos, P(0, 37)));
  ASSERT_TRUE(History().Redo());
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(0)->Text(), QStringLiteral("keep this sentence. "));
  EXPECT_TRUE(TDocument::IsSamePos(Doc.FAtPos, P(0, 21)));
  EXPECT_FALSE(Doc.Select_IsAnyTextSelected());
}

TEST_F(UndoHistoryTest, TypingEventsFollowDeletionUndoAndRedo) {
  BuildDocument(Doc, {"First sentence here. Second one.", "tail"});
  Sink.Events = EventsOf(Doc);
  History().Clear();
  const auto all = EventsOf(Doc);
  TRichString sentence;
  Doc.CaretSpan_Rich(P(0, 1), P(0, 22), sentence);
  Doc.FAtPosSelect = P(0, 1);
  Doc.FAtPos = P(0, 22);
  Doc.Select_DeleteSelectedText();
  for (int i = 1; i <= sentence.High(); ++i)
    EXPECT_FALSE(Sink.Events.contains(
        {TypingEventMoment(sentence.Timestamp_Get(i)), TypingEventText(sentence.Char_GetChar(i))}));
  ASSERT_TRUE(History().Undo());
  EXPECT_EQ(Sink.Events, all);
  // An insertion undone takes its events along.
  Doc.AtPos_NoSelectionSet(P(1, 5));
  TypeText(QStringLiteral("xyz"));
  EXPECT_EQ(Sink.Events, EventsOf(Doc));
  ASSERT_TRUE(History().Undo());
  EXPECT_EQ(Sink.Events, all);
  ASSERT_TRUE(History().Redo());
  EXPECT_EQ(Sink.Events, EventsOf(Doc));
}

TEST_F(UndoHistoryTest, ALineBreakUndoneTakesItsTypingEventAlongAndRedoneFilesItAgain) {
  BuildDocument(Doc, {"tail"});
  Sink.Events = EventsOf(Doc);
  History().Clear();
  const auto before = Sink.Events;
  Doc.AtPos_NoSelectionSet(P(0, 5));
  TypeText(QStringLiteral("ab\ncd"));
  const auto typed = Sink.Events;
  ASSERT_EQ(typed.size(), before.size() + 5);  // the line feed is an event, a blank
  while (History().CanUndo()) ASSERT_TRUE(History().Undo());
  EXPECT_EQ(Sink.Events, before);
  while (History().CanRedo()) ASSERT_TRUE(History().Redo());
  EXPECT_EQ(Sink.Events, typed);
}

TEST_F(UndoHistoryTest, BringingAPictureToTheFrontIsAStepThatIsJournalled) {
  BuildDocument(Doc, {"picture here", "and here", "end"});
  AddPictures(Doc);
  History().Clear();
  Doc.AtPos_NoSelectionSet(P(1, 9));
  TypeText(QStringLiteral("!"));
  TJournalRecorder journal(Doc);
  TvlGraphic *first = Doc.InsetsStorage.GetIfGraphic(0);
  TvlGraphic *second = Doc.InsetsStorage.GetIfGraphic(1);
  ASSERT_EQ(second->FZOrder, 1);  // the newest picture is in front
  const std::string start = Saved();
  Doc.Graphic_BringToFront(first);
  EXPECT_EQ(first->FZOrder, 1);
  EXPECT_EQ(second->FZOrder, 2);
  const std::string front = Saved();
  ASSERT_TRUE(History().Undo());
  EXPECT_EQ(Saved(), start);
  // The typing before it is still there to undo: the order did not clear the history.
  EXPECT_TRUE(History().CanUndo());
  ASSERT_TRUE(History().Redo());
  EXPECT_EQ(Saved(), front);
  ASSERT_TRUE(History().Undo());

  // The journal heard every order, the last of them the one undo put back.
  const RJournalRead read = Journal_Read(journal.Finished());
  ASSERT_FALSE(read.Damaged);
  TTestJournalTabs tabs;
  tabs.Add(QStringLiteral("Notes"));
  const RJournalReplay replay = Journal_Replay(read, tabs);
  EXPECT_FALSE(replay.Stopped) << replay.Problem.toStdString();
  EXPECT_EQ(tabs.Tabs[0].second->InsetsStorage.GetIfGraphic(1)->FZOrder, 1);

  // Pictures that are no longer the ones of the step: nothing is changed.
  Doc.InsetsStorage.Delete(0);
  EXPECT_FALSE(History().Redo());
  EXPECT_EQ(second->FZOrder, 1);
}

TEST_F(UndoHistoryTest, UndoAndRedoAreJournalledAndReplayToTheSameDocument) {
  TJournalRecorder journal(Doc);
  Doc.Text_Type(u"one two", 0, false);
  Doc.Text_Type(u"\n", 0, false);
  Doc.Text_Type(u"three four", 0, false);
  TRandomEditor editor(Doc, Clock, 99);
  const auto edit = [&](int Count) {
    for (int i = 0; i < Count; ++i) {
      editor.PlaceCaret();
      editor.Edit();
    }
  };
  edit(200);
  const int changes = Doc.ChangeCount();
  for (int i = 0; i < 150; ++i) History().Undo();
  EXPECT_GT(Doc.ChangeCount(), changes);
  for (int i = 0; i < 60; ++i) History().Redo();
  edit(50);  // fonts typed with may take the slots undo emptied
  for (int i = 0; i < 30; ++i) History().Undo();

  const RJournalRead read = Journal_Read(journal.Finished());
  ASSERT_FALSE(read.Damaged);
  Clock.AdvanceMSecs(3'600'000);
  TTestJournalTabs tabs;
  tabs.Add(QStringLiteral("Notes"));
  const RJournalReplay replay = Journal_Replay(read, tabs);
  EXPECT_FALSE(replay.Stopped) << replay.Problem.toStdString();
  ExpectSameContent(Doc, *tabs.Tabs[0].second);
}

TEST_F(UndoHistoryTest, PicturesGoBackToTheParagraphTheyWereAnchoredTo) {
  BuildDocument(Doc, {"picture here", "and here", "end"});
  AddPictures(Doc);
  History().Clear();
  const TInset *second = Doc.InsetsStorage.GetInset(1);
  ASSERT_EQ(second->FAnchor, Doc.Paragraph_FromSectionNum(2));
  Doc.FAtPosSelect = P(0, 5);
  Doc.FAtPos = P(2, 2);
  Doc.Select_DeleteSelectedText();  // paragraph 2 joins paragraph 0
  ASSERT_EQ(second->FAnchor, Doc.Paragraph_FromSectionNum(0));
  ASSERT_TRUE(History().Undo());
  EXPECT_EQ(second->FAnchor, Doc.Paragraph_FromSectionNum(2));
  EXPECT_EQ(Doc.InsetsStorage.GetInset(0)->FAnchor, Doc.Paragraph_FromSectionNum(0));
  ASSERT_TRUE(History().Redo());
  EXPECT_EQ(second->FAnchor, Doc.Paragraph_FromSectionNum(0));
}

TEST_F(UndoHistoryTest, MemoryIsBoundedLoadsClearAndSavesKeepTheHistory) {
  BuildDocument(Doc, {"a line", "b line"});
  History().Clear();
  History().Limits_Set(5, 1'000'000);
  for (int i = 0; i < 10; ++i) {
    History().Group_Close();
    TypeText(QStringLiteral("x"));
  }
  EXPECT_EQ(History().UndoCount(), 5);

  // Characters held: the oldest steps go, the newest stays whatever its size.
  History().Limits_Set(1000, 10);
  Doc.FAtPosSelect = Doc.Document_FirstCaretPos();
  Doc.FAtPos = Doc.Document_LastCaretPos();
  Doc.Select_DeleteSelectedText();
  EXPECT_EQ(History().UndoCount(), 1);
  EXPECT_LE(History().HeldChars(), 30);

  const QString path = QDir::temp().filePath(QStringLiteral("undo-history-test.vlTab"));
  ASSERT_TRUE(Doc.IO_Save(path, QStringLiteral("t"), 0));
  EXPECT_TRUE(History().CanUndo());
  QFile::remove(path);

  Doc.Edit_TellContentChanged();  // what a load into the tab tells
  EXPECT_FALSE(History().CanUndo());
  EXPECT_FALSE(History().CanRedo());
}

TEST_F(UndoHistoryTest, FontsAFontCommandAddedLeaveWithItsUndo) {
  BuildDocument(Doc, {"bold me"});
  History().Clear();
  const std::string start = Saved();
  Doc.Font_ChangeBold(TCharSpan{TCharX{0, 1}, TCharX{0, 4}}, true);
  ASSERT_NE(Saved(), start);
  ASSERT_TRUE(History().Undo());
  EXPECT_EQ(Saved(), start);
  ASSERT_TRUE(History().Redo());
  EXPECT_TRUE(Doc.FontStyleIsBold(Doc.Char_GetFontIndex(TCharX{0, 2})));
  // A font that took the freed slot meanwhile: the redone text keeps its own attributes.
  ASSERT_TRUE(History().Undo());
  Doc.Font_GetIndex(QStringLiteral("Other"), 0, 30, 0, clWhite, TFontStyles());
  ASSERT_TRUE(History().Redo());
  EXPECT_TRUE(Doc.FontStyleIsBold(Doc.Char_GetFontIndex(TCharX{0, 2})));
  EXPECT_EQ(Doc.FontsInUse.GetFontSize(Doc.Char_GetFontIndex(TCharX{0, 2})),
            Doc.FontsInUse.GetFontSize(Doc.Char_GetFontIndex(TCharX{0, 6})));
}

TEST_F(UndoHistoryTest, ADocumentChangedBehindTheHistorysBackIsLeftAsItIs) {
  BuildDocument(Doc, {"one", "two"});
  History().Clear();
  Doc.AtPos_NoSelectionSet(P(1, 4));
  TypeText(QStringLiteral("x"));
  // A change no record told (what only a fault could do).
  Doc.Paragraph_FromSectionNum(1)->Char_Insert(u'!', 1, RvlTimestamp{}, 1);
  const std::string now = Saved();
  EXPECT_FALSE(History().Undo());
  EXPECT_EQ(Saved(), now);
  EXPECT_FALSE(History().CanUndo());
}
