#include "vlClock.h"
#include "vlDateTime.h"
#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldJournal.h"
#include "vldJournalTestSupport.h"
#include "vldStorage.h"
#include "vldTestDoc.h"
#include "vldUndoHistory.h"

#include <gtest/gtest.h>
#include <QFileInfo>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr TDateTime Now0 = 45100.25;

// The file form without its caret line: replay does not move the caret.
QByteArray WithoutCaret(const QByteArray &Bytes) {
  QByteArray out;
  for (const QByteArray &line : Bytes.split('\n'))
    if (!line.startsWith("<CaretPos")) out += line + '\n';
  return out;
}

// A session that makes every kind of edit record at least once, with the clock moving between
// the steps so that every moment differs.
struct RStep {
  const char *Name;
  std::function<void(TDocument &)> Do;
};

std::vector<RStep> EveryKindOfEdit() {
  const auto span = [](int SN1, int CX1, int SN2, int CX2) {
    return TCharSpan{TCharX{SN1, CX1}, TCharX{SN2, CX2}};
  };
  return {
      {"typed keys", [](TDocument &D) { D.Text_Type(u"Hello", 0, false); }},
      {"typed letters one by one",
       [](TDocument &D) {
         for (QChar c : QStringLiteral(" world")) D.Text_Type(QStringView(&c, 1), 0, false);
       }},
      {"enter", [](TDocument &D) { D.Text_Type(u"\n", 0, false); }},
      {"a commit of an input method",
       [](TDocument &D) { D.Text_Type(u"\u00e9t\u00e9 ok", 0, false); }},
      {"overstrike",
       [](TDocument &D) {
         D.AtPos_NoSelectionSet(TCaretPos{1, 2, false});
         D.Text_Type(u"X", 0, true);
       }},
      {"overstrike with enter... inserts",
       [](TDocument &D) {
         D.AtPos_NoSelectionSet(TCaretPos{1, 3, false});
         D.Char_Replace(u'\n', 0, TCaretPos{1, 3, false});
       }},
      {"delete a character",
       [](TDocument &D) {
         D.Char_Delete(TCaretPos{0, 1, false});
       }},
      {"join two paragraphs", [](TDocument &D) { D.Char_Delete(D.Paragraph_LastCaretPos(1)); }},
      {"paste plain text with line breaks",
       [](TDocument &D) {
         TextClipboard().SetText(QStringLiteral("one\ntwo\nthree"));
         D.AtPos_NoSelectionSet(TCaretPos{0, 3, false});
         D.Clipboard_Paste();
       }},
      {"cut across paragraphs",
       [](TDocument &D) {
         D.FAtPosSelect = TCaretPos{0, 2, false};
         D.FAtPos = TCaretPos{1, 2, false};
         D.Clipboard_Cut();
       }},
      {"paste rich text back",
       [](TDocument &D) {
         D.AtPos_NoSelectionSet(D.Document_LastCaretPos());
         D.Clipboard_Paste();
       }},
      {"delete characters by range",
       [](TDocument &D) {
         D.SubStr_Delete({0, 2}, {0, 3});
       }},
      {"bold", [span](TDocument &D) { D.Font_ChangeBold(span(0, 1, 1, 2), true); }},
      {"italic", [span](TDocument &D) { D.Font_ChangeItalics(span(0, 1, 0, 3), true); }},
      {"underline", [span](TDocument &D) { D.Font_ChangeUnderline(span(0, 2, 0, 2), true); }},
      {"strikeout", [span](TDocument &D) { D.Font_ChangeStrikeout(span(1, 1, 1, 1), true); }},
      {"name",
       [span](TDocument &D) { D.Font_ChangeName(span(0, 1, 0, 4), QStringLiteral("Arial")); }},
      {"size", [span](TDocument &D) { D.Font_ChangeSizeTo(span(0, 2, 1, 1), 17); }},
      {"colour", [span](TDocument &D) { D.Font_ChangeColor(span(0, 1, 0, 1), 0x0000FF); }},
      {"highlight", [span](TDocument &D) { D.Font_ChangeHighlight(span(0, 1, 0, 2), 0x00FFFF); }},
      {"colours", [span](TDocument &D) { D.Font_ChangeColors(span(1, 1, 1, 2), 0x10, 0x20); }},
      {"relative size", [span](TDocument &D) { D.Font_ChangeSizeRelative(span(0, 1, 0, 3), 25); }},
      {"a font by index",
       [span](TDocument &D) {
         const TFontIndex f = D.Font_GetIndex(QStringLiteral("Courier New"), 0, 9, 0x123456,
                                              0xFFFFFF, TFontStyles(fsBold));
         D.Font_Change(span(0, 1, 0, 1), f);
       }},
      {"typing in the new font",
       [](TDocument &D) {
         D.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
         const TFontIndex f =
             D.Font_GetIndex(QStringLiteral("Veranda"), 0, 14, 0x00AA00, 0xFFFFFF, TFontStyles());
         D.Text_Type(u"Q", f, false);
       }},
      {"bullet", [](TDocument &D) { D.Paragraph_Outline_Set(1, oBullet, QStringLiteral("* ")); }},
      {"moment of a character",
       [](TDocument &D) {
         D.Timestamp_SetForCharacter(TCaretPos{0, 2, false},
                                     RvlTimestamp{45000.123456789, 45000.5});
       }},
      {"moment of a paragraph",
       [](TDocument &D) {
         D.Timestamp_SetForParagraph(0, RvlTimestamp{45001.000000123, 45001.5});
       }},
      {"replace a selection by typing",
       [](TDocument &D) {
         D.FAtPosSelect = TCaretPos{0, 1, false};
         D.FAtPos = TCaretPos{0, 3, false};
         D.Text_Type(u"Z", 0, false);
       }},
      {"typing after the content",
       [](TDocument &D) {
         D.AtPos_NoSelectionSet(D.Document_LastCaretPos());
         D.Text_Type(u"!\n?", 0, false);
         D.Text_Type(u"\n", 0, false);
         D.Text_Type(u"end", 0, false);
       }},
      {"undone and done again",
       [](TDocument &D) {
         D.Undo_Switch(true);
         D.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
         D.Text_Type(u"undone ", 0, false);
         D.Font_ChangeBold(TCharSpan{TCharX{0, 1}, TCharX{1, 2}}, true);
         D.Undo_History().Undo();
         D.Undo_History().Undo();
         D.Undo_History().Redo();
         D.Undo_Switch(false);
       }},
  };
}

class JournalTest : public ::testing::Test {
 protected:
  TManualClock Clock{Now0};
  TScopedClock UseClock{Clock};
  TMemoryTextClipboard TextBoard;
  TScopedTextClipboard UseClipboard{TextBoard};
  TRecordingSink Sink;
  TScopedTypingEventSink UseSink{Sink};

  // Runs the session on a document with a journal; States gets the document after each step
  // (as the bytes of the journal up to there replay it).
  QByteArray RecordSession(TDocument &Live, bool Merge,
                           std::vector<qsizetype> *StepEnds = nullptr) {
    TJournalRecorder recorder(Live, Merge);
    int n = 0;
    for (const RStep &step : EveryKindOfEdit()) {
      SCOPED_TRACE(step.Name);
      Clock.Set(Now0 + (++n) * 0.001);
      step.Do(Live);
      if (StepEnds) {
        recorder.Encoder.FlushRun(recorder.Bytes);
        StepEnds->push_back(recorder.Bytes.size());
      }
    }
    return recorder.Finished();
  }
};

}  // namespace

TEST_F(JournalTest, EveryKindOfEditReplaysToTheSameDocument_MomentsExact) {
  for (const bool merge : {false, true}) {
    SCOPED_TRACE(merge ? "typed runs merged" : "one record per edit");
    TDocument live;
    const QByteArray bytes = RecordSession(live, merge);
    const RJournalRead read = Journal_Read(bytes);
    ASSERT_TRUE(read.IsJournal);
    EXPECT_FALSE(read.Damaged);
    EXPECT_FALSE(read.TornEnd);
    EXPECT_EQ(read.GoodBytes, bytes.size());

    // Replay at another time, with other fonts in the table: nothing may depend on either.
    Clock.Set(Now0 + 10);
    TTestJournalTabs tabs;
    TDocument &base = tabs.Add(QStringLiteral("Notes"));
    base.Font_GetIndex(QStringLiteral("Unrelated"), 0, 33, 1, 2, TFontStyles());
    const RJournalReplay r = Journal_Replay(read, tabs);
    EXPECT_FALSE(r.Stopped) << r.Problem.toStdString();
    EXPECT_EQ(r.Records + 1, static_cast<int>(read.Records.size())) << r.Problem.toStdString();
    ExpectSameContent(live, *tabs.Tabs[0].second);
    EXPECT_GT(r.TypedChars, 20);
    EXPECT_GT(r.PastedChars, 10);
    EXPECT_EQ(r.LastWhen, 45000.5);
  }
}

TEST_F(JournalTest, TabRecordsRoundTripAndReplayInOrder) {
  TDocument imported;
  imported.Text_Type(u"imported text", 0, false);
  TJournalEncoder enc;
  QByteArray bytes = Journal_Magic();
  RJournalBase base = RJournalBase::OfBytes(QStringLiteral("/x/Notes.vl"), QByteArray("abc"));
  base.Tabs = QStringList{QStringLiteral("A"), QStringLiteral("B")};
  bytes += enc.Header(base, 45000.25);
  enc.TabAdded(bytes, 2, QStringLiteral("C"), 45000.26);
  enc.TabRenamed(bytes, 0, QStringLiteral("A \"renamed\" <&>"), 45000.27);
  enc.TabMoved(bytes, 2, 0, 45000.28);
  enc.TabImported(bytes, 1, imported, QStringLiteral("Imported"), 45000.29);
  enc.TabDeleted(bytes, 3, 45000.30);
  enc.Events(bytes, QByteArray("<OtherEvents>\r\n</OtherEvents>\r\n"), 45000.31);

  const RJournalRead read = Journal_Read(bytes);
  ASSERT_EQ(read.Records.size(), 7u);
  const RJournalBase &back = read.Records[0].Base;
  EXPECT_TRUE(back.IsFile);
  EXPECT_EQ(back.PathName, QStringLiteral("/x/Notes.vl"));
  EXPECT_EQ(back.Size, 3);
  EXPECT_EQ(back.Crc, Crc32(QByteArray("abc")));
  EXPECT_EQ(back.Tabs, base.Tabs);
  EXPECT_EQ(read.Records[2].Title, QStringLiteral("A \"renamed\" <&>"));
  EXPECT_EQ(read.Records[6].When, 45000.31);

  TTestJournalTabs tabs;
  tabs.Add(QStringLiteral("A")).Text_Type(u"a", 0, false);
  tabs.Add(QStringLiteral("B")).Text_Type(u"b", 0, false);
  const RJournalReplay r = Journal_Replay(read, tabs);
  EXPECT_FALSE(r.Stopped) << r.Problem.toStdString();
  // C moved first, Imported after it, then A (renamed); B was deleted.
  ASSERT_EQ(tabs.Tabs.size(), 3u);
  EXPECT_EQ(tabs.Tabs[0].first, QStringLiteral("C"));
  EXPECT_EQ(tabs.Tabs[1].first, QStringLiteral("Imported"));
  EXPECT_EQ(tabs.Tabs[1].second->Paragraph_FromSectionNum(0)->Text(),
            QStringLiteral("imported text"));
  EXPECT_EQ(tabs.Tabs[2].first, QStringLiteral("A \"renamed\" <&>"));
  EXPECT_EQ(r.EventsBlock, QByteArray("<OtherEvents>\r\n</OtherEvents>\r\n"));
}

TEST_F(JournalTest, ACutAtEveryByteReplaysExactlyTheWholeRecordsBeforeIt) {
  TDocument live;
  std::vector<qsizetype> stepEnds;
  const QByteArray bytes = RecordSession(live, false, &stepEnds);
  const RJournalRead whole = Journal_Read(bytes);
  ASSERT_FALSE(whole.Damaged);

  // The document after each whole record, as a reference: after[k] holds records 0..k.
  std::vector<QByteArray> after;
  for (std::size_t k = 0; k < whole.Records.size(); ++k) {
    RJournalRead prefix;
    prefix.IsJournal = true;
    prefix.Records.assign(whole.Records.begin(), whole.Records.begin() + static_cast<long>(k) + 1);
    TTestJournalTabs tabs;
    tabs.Add(QStringLiteral("Notes"));
    ASSERT_FALSE(Journal_Replay(prefix, tabs).Stopped) << k;
    after.push_back(tabs.Tabs[0].second->IO_SaveToBytes(QString()));
  }

  for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    const RJournalRead read = Journal_Read(bytes.left(cut));
    EXPECT_FALSE(read.Damaged) << read.Problem.toStdString();
    std::size_t wholeBefore = 0;
    while (wholeBefore < whole.Ends.size() && whole.Ends[wholeBefore] <= cut) ++wholeBefore;
    ASSERT_EQ(read.Records.size(), wholeBefore);
    EXPECT_EQ(read.TornEnd, cut >= 8 && cut != (wholeBefore ? whole.Ends[wholeBefore - 1] : 8));
    if (wholeBefore == 0) continue;
    TTestJournalTabs tabs;
    tabs.Add(QStringLiteral("Notes"));
    const RJournalReplay r = Journal_Replay(read, tabs);
    ASSERT_FALSE(r.Stopped) << r.Problem.toStdString();
    EXPECT_EQ(tabs.Tabs[0].second->IO_SaveToBytes(QString()), after[wholeBefore - 1]);
  }
}

TEST_F(JournalTest, AFlippedByteStopsReplayAtItsRecordAndSaysSo) {
  TDocument live;
  const QByteArray bytes = RecordSession(live, true);
  const RJournalRead whole = Journal_Read(bytes);
  for (qsizetype at = 8; at < bytes.size(); ++at) {
    SCOPED_TRACE(at);
    QByteArray damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    const RJournalRead read = Journal_Read(damaged);
    std::size_t holding = 0;  // the record the byte belongs to
    while (whole.Ends[holding] <= at) ++holding;
    ASSERT_TRUE(read.Damaged);
    EXPECT_EQ(read.Records.size(), holding);
    EXPECT_EQ(read.DamagedAt, holding == 0 ? 8 : whole.Ends[holding - 1]);
    EXPECT_FALSE(read.Problem.isEmpty());
    if (holding == 0) continue;
    TTestJournalTabs tabs;
    tabs.Add(QStringLiteral("Notes"));
    const RJournalReplay r = Journal_Replay(read, tabs);
    EXPECT_TRUE(r.Stopped);
    EXPECT_TRUE(r.Problem.contains(QStringLiteral("damaged")));
    EXPECT_EQ(r.Records + 1, static_cast<int>(holding));
  }
  // And the magic: not a journal at all.
  QByteArray notJournal = bytes;
  notJournal[3] = 'x';
  EXPECT_FALSE(Journal_Read(notJournal).IsJournal);
}

// A record whose checksum holds but whose moment is not a finite number (written by hand or by
// another program) is refused like damage: replay never puts such a moment into a document.
TEST_F(JournalTest, ARecordWithAMomentThatIsNotANumberIsRefused) {
  TDocument live;
  TJournalRecorder recorder(live);
  live.Text_Type(u"a", 0, false);
  live.Text_Type(u"b", 0, false);
  const QByteArray bytes = recorder.Finished();
  const RJournalRead whole = Journal_Read(bytes);
  // The last record types "b".
  const std::size_t n = whole.Records.size();
  ASSERT_GE(n, 3u);
  const qsizetype start = whole.Ends[n - 2], prefix = 12;
  QByteArray payload = bytes.mid(start + prefix, whole.Ends[n - 1] - start - prefix);
  const double moment = Now0;
  const qsizetype at = payload.indexOf(QByteArray(reinterpret_cast<const char *>(&moment), 8));
  ASSERT_GT(at, 0);
  for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    SCOPED_TRACE(bad);
    QByteArray changed = payload;
    changed.replace(at, 8, QByteArray(reinterpret_cast<const char *>(&bad), 8));
    const RJournalRead read = Journal_Read(bytes.left(start) + Journal_Frame(changed));
    EXPECT_TRUE(read.Damaged);
    EXPECT_EQ(read.DamagedAt, start);
    ASSERT_EQ(read.Records.size(), n - 1);
    TTestJournalTabs tabs;
    TDocument &doc = tabs.Add(QStringLiteral("Notes"));
    const RJournalReplay r = Journal_Replay(read, tabs);
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(doc.Paragraph_FromSectionNum(0)->Text(), QStringLiteral("a"));
  }
}

// An edit whose font the journal never defined (its definition lost or never written) stops
// replay: characters must never point at a font the document's table does not hold.
TEST_F(JournalTest, AnEditWithAFontNeverDefinedStopsReplay) {
  TDocument live;
  const TFontIndex other =
      live.Font_GetIndex(QStringLiteral("Other"), 0, 14, clRed, clWhite, TFontStyles());
  ASSERT_GT(other, 0);
  TJournalRecorder recorder(live);
  live.Text_Type(u"x", other, false);
  const QByteArray bytes = recorder.Finished();
  const RJournalRead whole = Journal_Read(bytes);
  QByteArray withoutDefinitions = bytes.left(whole.Ends[0]);
  for (std::size_t i = 1; i < whole.Records.size(); ++i)
    if (whole.Records[i].Kind != TJournalKind::FontDef)
      withoutDefinitions += bytes.mid(whole.Ends[i - 1], whole.Ends[i] - whole.Ends[i - 1]);
  ASSERT_LT(withoutDefinitions.size(), bytes.size());
  for (const bool defined : {true, false}) {
    SCOPED_TRACE(defined);
    TTestJournalTabs tabs;
    TDocument &doc = tabs.Add(QStringLiteral("Notes"));
    const RJournalReplay r =
        Journal_Replay(Journal_Read(defined ? bytes : withoutDefinitions), tabs);
    EXPECT_EQ(r.Stopped, !defined) << r.Problem.toStdString();
    EXPECT_EQ(doc.Paragraph_FromSectionNum(0)->Text(), defined ? QStringLiteral("x") : QString());
  }
}

TEST_F(JournalTest, AnEditThatDoesNotFitStopsReplayWithoutChangingTheDocument) {
  TDocument live;
  live.Text_Type(u"abc", 0, false);
  TJournalRecorder recorder(live);
  live.Char_Delete(TCaretPos{0, 2, false});  // deletes "b"
  const RJournalRead read = Journal_Read(recorder.Finished());

  TTestJournalTabs tabs;
  TDocument &other = tabs.Add(QStringLiteral("Notes"));
  other.Text_Type(u"axc", 0, false);  // the binder was changed elsewhere
  const RJournalReplay r = Journal_Replay(read, tabs);
  EXPECT_TRUE(r.Stopped);
  EXPECT_TRUE(r.Problem.contains(QStringLiteral("not the text deleted")))
      << r.Problem.toStdString();
  EXPECT_EQ(other.Paragraph_FromSectionNum(0)->Text(), QStringLiteral("axc"));
}

TEST_F(JournalTest, AWholeContentRecordGivesTheDocumentAsTheBinderWouldHoldIt) {
  TDocument live;
  TJournalRecorder recorder(live);
  live.Text_Type(u"before", 0, false);
  live.Font_ChangeBold(TCharSpan{TCharX{0, 1}, TCharX{0, 2}}, true);
  live.Edit_TellContentChanged();
  live.Text_Type(u" after", 0, false);
  const RJournalRead read = Journal_Read(recorder.Finished());
  TTestJournalTabs tabs;
  tabs.Add(QStringLiteral("Notes")).Text_Type(u"replaced entirely", 0, false);
  const RJournalReplay r = Journal_Replay(read, tabs);
  ASSERT_FALSE(r.Stopped) << r.Problem.toStdString();
  EXPECT_EQ(WithoutCaret(tabs.Tabs[0].second->IO_SaveToBytes(QString())),
            WithoutCaret(live.IO_SaveToBytes(QString())));
}

TEST_F(JournalTest, TypedRunsMergeIntoFewRecords) {
  TDocument live;
  TJournalRecorder recorder(live, true);
  for (QChar c : QStringLiteral("a sentence typed key by key"))
    live.Text_Type(QStringView(&c, 1), 0, false);
  const RJournalRead read = Journal_Read(recorder.Finished());
  // One Insert record holds the sentence.
  int edits = 0;
  for (const RJournalRecord &r : read.Records) edits += r.Kind == TJournalKind::Edit ? 1 : 0;
  EXPECT_EQ(edits, 1);
}

TEST_F(JournalTest, AFullDiskKeepsTheRecordsWaitingAndNeverLeavesHalfARecord) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("full.vlJournal"));
  TJournalWriter writer;
  ASSERT_TRUE(writer.Start(path, writer.Encoder().Header(RJournalBase{}, 45000)));
  TDocument doc;
  struct TJournalling final : TDocumentEditObserver {
    TJournalWriter *W = nullptr;
    void Document_Edited(const TDocument &D, const RDocumentEdit &E) override {
      W->Encoder().Edit(W->Pending(), 0, D, E, 45000.5);
    }
  } journalling;
  journalling.W = &writer;
  doc.EditObserver_Add(&journalling);
  doc.Text_Type(u"before the disk filled\n", 0, false);
  ASSERT_TRUE(writer.Flush());
  const qint64 room = QFileInfo(path).size() + 100;
  {
    TFullDisk full(room);
    ASSERT_TRUE(full.Active());
    for (int i = 0; i < 20; ++i) doc.Text_Type(u"while the disk is full ", 0, false);
    EXPECT_FALSE(writer.Flush());
    EXPECT_TRUE(writer.WriteFailed());
    // What is on disk is whole records only.
    const RJournalRead partial = Journal_Read(ReadAllBytes(path));
    EXPECT_FALSE(partial.Damaged);
    EXPECT_FALSE(partial.TornEnd);
  }
  // Room again: the next flush writes everything that waited.
  EXPECT_TRUE(writer.Flush());
  EXPECT_FALSE(writer.WriteFailed());
  doc.EditObserver_Remove(&journalling);
  const RJournalRead read = Journal_Read(ReadAllBytes(path));
  ASSERT_FALSE(read.Damaged);
  TTestJournalTabs tabs;
  tabs.Add(QStringLiteral("Notes"));
  ASSERT_FALSE(Journal_Replay(read, tabs).Stopped);
  ExpectSameContent(doc, *tabs.Tabs[0].second);
}

TEST_F(JournalTest, ADeleteAtTheVeryEndRemovesNothingAndTheJournalReplaysPastIt) {
  TDocument live;
  TJournalRecorder recorder(live);
  live.Text_Type(u"ab", 0, false);
  const int changes = live.ChangeCount();
  live.Char_Delete(live.Document_LastCaretPos());
  EXPECT_EQ(live.ChangeCount(), changes + 2);
  live.AtPos_NoSelectionSet(live.Document_LastCaretPos());
  live.Text_Type(u"c", 0, false);
  const RJournalRead read = Journal_Read(recorder.Finished());
  TTestJournalTabs tabs;
  tabs.Add(QStringLiteral("Notes"));
  const RJournalReplay r = Journal_Replay(read, tabs);
  EXPECT_FALSE(r.Stopped) << r.Problem.toStdString();
  ExpectSameContent(live, *tabs.Tabs[0].second);
}
