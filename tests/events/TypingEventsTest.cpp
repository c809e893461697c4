// The manager as the document's typing-event sink: typed, pasted and loaded characters become
// typing events once, deleted characters lose theirs, and nothing else is touched.

#include "vlEventsTestSupport.h"

#include "vl_Document.h"
#include "vldStorage.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class TypingEventsTest : public EventsRig {
 protected:
  // Live typing events as moment (in seconds after Day0 10:00, rounded) -> text.
  std::multimap<long long, QString> Typing() const {
    std::multimap<long long, QString> out;
    std::vector<TEventID> ids;
    M.ByKind_GetListOfEvents(koeTyping, ids);
    for (const TEventID id : ids)
      out.emplace(std::llround((M.EventWhen_FromEventID(id) - At(10, 0)) * 86400),
                  M.EventText_FromEventID(id));
    return out;
  }
  void Type(const QString &Text) {
    for (const QChar ch : Text) {
      Clock.Set(Clock.Now() + Sec);
      Doc.Char_Insert(ch, 0, Doc.FAtPos);
      TCaretPos next = Doc.FAtPos;
      if (ch == u'\n')
        next = TCaretPos{next.SN + 1, 1, false};
      else
        ++next.FGN;
      Doc.AtPos_NoSelectionSet(next);
    }
  }

  TMemoryTextClipboard Clipboard;
  TScopedTextClipboard UseClipboard{Clipboard};
  TDocument Doc;
};

using TEvents = std::multimap<long long, QString>;

}  // namespace

TEST_F(TypingEventsTest, TypedCharactersBecomeEventsAndDeletedOnesGo) {
  Clock.Set(At(10, 0));
  Type(QStringLiteral("ab\ncd"));
  EXPECT_EQ(Typing(), (TEvents{{1, QStringLiteral("a")},
                               {2, QStringLiteral("b")},
                               {3, QStringLiteral(" ")},
                               {4, QStringLiteral("c")},
                               {5, QStringLiteral("d")}}));
  Doc.Char_Delete(TCaretPos{0, 2, false});  // "b"
  EXPECT_EQ(Typing(), (TEvents{{1, QStringLiteral("a")},
                               {3, QStringLiteral(" ")},
                               {4, QStringLiteral("c")},
                               {5, QStringLiteral("d")}}));
  Doc.SubStr_Delete(TCharX{1, 1}, TCharX{1, 2});  // "cd"
  EXPECT_EQ(Typing(), (TEvents{{1, QStringLiteral("a")}, {3, QStringLiteral(" ")}}));
  // Bookmarks at the same moments are not typing events and stay.
  const TEventID marker = M.AddNumberedBookmark(1, At(10, 0, 1));
  Doc.Char_Delete(TCaretPos{0, 1, false});
  EXPECT_EQ(M.EventKind_FromEventID(marker), koeMarker);
}

TEST_F(TypingEventsTest, PastingTheSameRichTextTwiceAddsNoEvents) {
  Clock.Set(At(10, 0));
  Type(QStringLiteral("xyz"));
  Doc.FAtPosSelect = TCaretPos{0, 1, false};
  Doc.AtPos_NoSelectionSet(TCaretPos{0, 4, false});
  Doc.FAtPosSelect = TCaretPos{0, 1, false};
  Doc.Clipboard_Copy();
  const TEvents typed = Typing();
  const std::uint64_t generation = M.Generation();
  Doc.AtPos_NoSelectionSet(Doc.Paragraph_LastCaretPos(0));
  Doc.Clipboard_Paste();
  Doc.Clipboard_Paste();
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(0)->Text(), QStringLiteral("xyzxyzxyz"));
  EXPECT_EQ(Typing(), typed);
  EXPECT_EQ(M.Generation(), generation);
}

TEST_F(TypingEventsTest, LoadingADocumentRegistersEveryCharacterOnItsDay) {
  TDocument source;
  TParagraph &p = *source.Paragraph_FromSectionNum(0);
  p.Char_Append(u'a', 0, RvlTimestamp{At(10, 0, 1), At(10, 0, 1)});
  p.Char_Append(u'b', 0, RvlTimestamp{0, At(10, 0, 2)});            // no moment: its real time
  p.Char_Append(u'c', 0, RvlTimestamp{At(10, 0, 3, Day0 + 1), 0});  // another day
  p.Char_Append(u'd', 0, NullTimestamp);                            // no moment at all
  TFreshFolder folder;
  ASSERT_TRUE(source.IO_Save(folder.File(QStringLiteral("x.vlTab")), QStringLiteral("x"), 0));
  M.Clear();
  QString title;
  int vsb = 0;
  Doc.IO_Load(folder.File(QStringLiteral("x.vlTab")), title, vsb);
  EXPECT_EQ(
      Typing(),
      (TEvents{{1, QStringLiteral("a")}, {2, QStringLiteral("b")}, {86403, QStringLiteral("c")}}));
  EXPECT_EQ(M.DayFileCount(), 2);
  // Loading it again registers nothing new.
  const std::uint64_t generation = M.Generation();
  Doc.IO_Load(folder.File(QStringLiteral("x.vlTab")), title, vsb);
  EXPECT_EQ(M.Generation(), generation);
}

TEST_F(TypingEventsTest, ClearingTheTypingEventsKeepsEveryOtherEventOnItsDay) {
  Type(QStringLiteral("ab"));
  ASSERT_EQ(Typing().size(), 2u);
  const TDateTime tomorrow = At(9, 0, 0, Day0 + 1);
  ASSERT_NE(M.AddNumberedBookmark(3, At(10, 0, 5)), NoEventID);
  ASSERT_NE(M.AddLabelBookmark(tomorrow, QStringLiteral("Call")), NoEventID);
  const TEventID gone = M.AddLabelBookmark(At(10, 0, 7), QStringLiteral("gone"));
  ASSERT_TRUE(M.Event_Delete(gone));
  M.Clear_KeepingNonTypingEvents();
  EXPECT_TRUE(Typing().empty());
  std::vector<TEventID> markers, labels;
  M.ByKind_GetListOfEvents(koeMarker, markers);
  M.ByKind_GetListOfEvents(koeLabel, labels);
  ASSERT_EQ(markers.size(), 1u);
  ASSERT_EQ(labels.size(), 1u);  // the deleted one stays gone
  EXPECT_EQ(M.EventWhat_FromEventID(markers[0]), QLatin1Char('3'));
  EXPECT_EQ(M.EventWhen_FromEventID(markers[0]), At(10, 0, 5));
  EXPECT_EQ(M.EventText_FromEventID(labels[0]), QStringLiteral("Call"));
  EXPECT_EQ(M.EventWhen_FromEventID(labels[0]), tomorrow);
  // Found through the index on their moments, as the timelines find them.
  std::vector<TEventID> listed;
  M.EventIndex().ListEventIDsForTimePeriod(listed, At(10, 0), At(10, 1));
  EXPECT_EQ(listed, markers);
}
