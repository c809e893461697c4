// Day files, the manager and the index: event IDs and their limits, duplicates, moving events
// across midnight, walks, and the windows the timelines ask for.

#include "vlEventsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <stdexcept>

using namespace vlEventIDs;

namespace {

class DayFilesTest : public EventsRig {};

std::set<TEventID> Listed(const TvlDayFilesManager &M, TDateTime From, TDateTime To) {
  std::vector<TEventID> ids;
  M.EventIndex().ListEventIDsForTimePeriod(ids, From, To);
  return std::set<TEventID>(ids.begin(), ids.end());
}

}  // namespace

TEST_F(DayFilesTest, IdsFollowTheSlotLayoutAcrossSegmentsAndDays) {
  std::vector<TEventID> ids;
  for (int i = 0; i < 1024; ++i)
    ids.push_back(M.AddEvent(koeTyping, QChar(u'1'), At(10, 0, i), QStringLiteral("x")));
  EXPECT_EQ(ids[0], 0);
  EXPECT_EQ(ids[1022], 1022);
  EXPECT_EQ(ids[1023], Make(0, 1, 0));
  EXPECT_EQ(M.DayFile(0)->Count(), 1025);  // a position count: offset 1023 is never filled
  const TEventID nextDay = M.AddNumberedBookmark(3, At(9, 0, 0, Day0 + 1));
  EXPECT_EQ(nextDay, Make(1, 0, 0));
  EXPECT_EQ(M.EventWhat_FromEventID(nextDay), QChar(u'3'));
  EXPECT_EQ(M.DayFileCount(), 2);
  EXPECT_EQ(M.Files_FindDayFileForDate(At(23, 59, 59, Day0 + 1)), 1);
}

TEST_F(DayFilesTest, InvalidIdsGiveTheQuietAnswers) {
  M.AddEvent(koeLabel, QChar(u' '), At(10, 0), QStringLiteral("one"));
  for (int i = 1; i < 1030; ++i) M.AddTypingEvent(At(10, 1, i), QStringLiteral("y"));
  const struct {
    const char *Name;
    TEventID ID;
  } rows[] = {
      {"none", NoEventID},
      {"negative", -5},
      {"another day file", Make(1, 0, 0)},
      {"beyond the last", Make(0, 1, 7)},
      {"offset 1023 of a full segment", Make(0, 0, 1023)},
      {"segment beyond", Make(0, 5, 0)},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    TvlEvent ev;
    EXPECT_FALSE(M.Event_FromEventID(row.ID, ev));
    EXPECT_EQ(M.EventKind_FromEventID(row.ID), koeNone);
    EXPECT_EQ(M.EventWhat_FromEventID(row.ID), QChar(u'%'));
    EXPECT_EQ(M.EventWhen_FromEventID(row.ID), Clock.Now());
    EXPECT_EQ(M.EventText_FromEventID(row.ID), QString());
    EXPECT_FALSE(M.AddLabel(row.ID, QStringLiteral("x")));
    EXPECT_FALSE(M.Event_Delete(row.ID));
    EXPECT_FALSE(M.EventKind_Override(row.ID, koeMarker));
    EXPECT_EQ(M.EventWhen_Override(row.ID, At(11, 0)), NoEventID);
  }
}

TEST_F(DayFilesTest, DuplicatesAnswerTheExistingEventAndDeletedOnesDoNotCount) {
  const TEventID a = M.AddNumberedBookmark(1, At(10, 0));
  EXPECT_EQ(M.AddNumberedBookmark(1, At(10, 0)), a);
  // Another kind at the same moment is another event.
  const TEventID t = M.AddTypingEvent(At(10, 0), QStringLiteral("1"));
  EXPECT_NE(t, a);
  EXPECT_EQ(M.AddLabelBookmark(At(10, 0), QStringLiteral("Abc")),
            M.AddLabelBookmark(At(10, 0), QStringLiteral("Abc")));
  EXPECT_NE(M.AddLabelBookmark(At(10, 0), QStringLiteral("abc")),
            M.AddLabelBookmark(At(10, 0), QStringLiteral("Abc")));
  // A deleted marker no longer stands for new ones, and the two new presses make one marker.
  EXPECT_TRUE(M.Event_Delete(a));
  const TEventID b = M.AddNumberedBookmark(1, At(10, 0));
  EXPECT_NE(b, a);
  EXPECT_EQ(M.AddNumberedBookmark(1, At(10, 0)), b);
  // Not a moment: no event, never ID 0.
  for (const double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(), 1e308, 2958466.0})
    EXPECT_EQ(M.AddNumberedBookmark(2, bad), NoEventID) << bad;
  EXPECT_EQ(M.AddNumberedBookmark(0, At(10, 0)), NoEventID);
}

TEST_F(DayFilesTest, DeletedEventsKeepTheirSlotMomentAndText) {
  const TEventID m = M.AddNumberedBookmark(4, At(10, 0));
  EXPECT_TRUE(M.AddLabel(m, QStringLiteral("marker text")));
  EXPECT_EQ(M.EventText_FromEventID(m), QString());  // a marker shows no text
  const TEventID t = M.AddTypingEvent(At(10, 5), QStringLiteral("q"));
  EXPECT_EQ(M.EventTextCount_FromEventID(t), 1);
  EXPECT_TRUE(M.Event_Delete(t));
  EXPECT_EQ(M.EventKind_FromEventID(t), koeNone);
  EXPECT_EQ(M.EventWhen_FromEventID(t), At(10, 5));
  TEventID found = NoEventID;
  EXPECT_TRUE(M.EventIndex().GetEventIDFromExactWhen(At(10, 5), found));
  EXPECT_EQ(found, t);
  std::vector<TEventID> walked;
  for (auto w = M.Walk(); w.Next(found);) walked.push_back(found);
  EXPECT_EQ(walked, (std::vector<TEventID>{m, t}));
  TvlEvent ev;
  ASSERT_TRUE(M.Event_FromEventID(m, ev));
  EXPECT_EQ(ev.Text, QStringLiteral("marker text"));
}

TEST_F(DayFilesTest, AFullDayFileRefusesOnceWithoutAliasingTheNextDayFile) {
  const std::int64_t capacity = MaxEventsPerDayFile;
  const double step = 80000.0 / capacity;
  TEventID last = NoEventID;
  for (std::int64_t i = 0; i < capacity; ++i)
    last = M.AddTypingEvent(At(0, 0, 100 + i * step), QStringLiteral("z"));
  EXPECT_EQ(last, Make(0, 1023, 1022));
  EXPECT_TRUE(M.DayFile(0)->IsFull());
  const TEventID tomorrow = M.AddNumberedBookmark(1, At(9, 0, 0, Day0 + 1));
  EXPECT_EQ(tomorrow, Make(1, 0, 0));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(M.AddNumberedBookmark(2, At(23, 0, i)), NoEventID);
  EXPECT_EQ(
      TTestEnvironment::TestPrompts().AskedTexts(),
      QStringList{QStringLiteral("Sorry, there are too many events in the current DayFile.")});
  EXPECT_EQ(M.EventKind_FromEventID(tomorrow), koeMarker);
  EXPECT_EQ(M.EventWhen_FromEventID(tomorrow), At(9, 0, 0, Day0 + 1));
}

TEST_F(DayFilesTest, DayFileLimitIsShownOnceAndLookUpsCreateNothing) {
  for (int d = 0; d < MaxDayFiles; ++d)
    ASSERT_GE(M.AddNumberedBookmark(1, At(12, 0, 0, Day0 + d)), 0);
  EXPECT_EQ(M.DayFileCount(), MaxDayFiles);
  const TDateTime beyond = At(12, 0, 0, Day0 + MaxDayFiles);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(M.AddNumberedBookmark(1, beyond + i * Sec), NoEventID);
  EXPECT_EQ(TTestEnvironment::TestPrompts().AskedTexts(),
            QStringList{QStringLiteral(
                "Over 2047 DayFiles are or were open.  Please close and reopen the program.")});
  // A move into a day that cannot be created loses nothing.
  const TEventID first = Make(0, 0, 0);
  EXPECT_EQ(M.EventWhen_Override(first, beyond), NoEventID);
  EXPECT_EQ(M.EventKind_FromEventID(first), koeMarker);

  TEventID id = 0;
  EXPECT_FALSE(M.LookUp_GetEventID(koeMarker, QChar(u'1'), beyond, {}, id));
  EXPECT_EQ(id, NoEventID);
  EXPECT_EQ(M.DayFileCount(), MaxDayFiles);

  M.Clear();
  EXPECT_EQ(M.DayFileCount(), 1);
  EXPECT_EQ(M.DayFile(0)->DayFileWhen(), Day0);
  EXPECT_FALSE(M.DayFile(0)->Historical());
  EXPECT_EQ(M.EventKind_FromEventID(first), koeNone);
  EXPECT_EQ(M.EventIndex().HourCount(), 0u);
  EXPECT_EQ(M.AddNumberedBookmark(1, At(12, 0)), first);
}

TEST_F(DayFilesTest, MovingAnEventAcrossMidnightGivesANewIdAndKeepsItsSelection) {
  const TEventID label = M.AddLabelBookmark(At(23, 59), QStringLiteral("late"), QChar(u'*'));
  M.Event_Select(label);
  const TEventID moved = M.EventWhen_Override(label, At(0, 1, 0, Day0 + 1));
  ASSERT_NE(moved, NoEventID);
  EXPECT_EQ(DayFileOf(moved), M.Files_FindDayFileForDate(Day0 + 1));
  EXPECT_EQ(M.EventKind_FromEventID(label), koeNone);
  TvlEvent ev;
  ASSERT_TRUE(M.Event_FromEventID(moved, ev));
  EXPECT_EQ(ev.Kind, koeLabel);
  EXPECT_EQ(ev.What, QChar(u'*'));
  EXPECT_EQ(ev.Text, QStringLiteral("late"));
  EXPECT_EQ(ev.State, tosMoving);
  // And back again, onto the same day as before.
  const TEventID back = M.EventWhen_Override(moved, At(23, 58));
  ASSERT_NE(back, NoEventID);
  EXPECT_EQ(DayFileOf(back), 0);
}

TEST_F(DayFilesTest, MovingWithinADayReFilesTheEventUnderItsNewMinute) {
  const TEventID m = M.AddNumberedBookmark(5, At(10, 0));
  const std::uint64_t g = M.Generation();
  EXPECT_EQ(M.EventWhen_Override(m, At(14, 30, 15.5)), NoEventID);
  EXPECT_GT(M.Generation(), g);
  EXPECT_EQ(M.EventWhen_FromEventID(m), At(14, 30, 15.5));
  EXPECT_TRUE(Listed(M, At(9, 59), At(10, 1)).empty());
  EXPECT_EQ(Listed(M, At(14, 30), At(14, 31)), std::set<TEventID>{m});
  TEventID id = NoEventID;
  EXPECT_TRUE(M.LookUp_GetEventID(koeMarker, QChar(u'5'), At(14, 30, 15.5), {}, id));
  EXPECT_EQ(id, m);
  EXPECT_EQ(M.AddNumberedBookmark(5, At(14, 30, 15.5)), m);
}

TEST_F(DayFilesTest, WalksNestAndSurviveDeletionsOnTheWay) {
  std::vector<TEventID> all;
  for (int d = 0; d < 3; ++d)
    for (int i = 0; i < 5; ++i)
      all.push_back(M.AddTypingEvent(At(8, i, 0, Day0 + d), QStringLiteral("k")));
  int inner = 0;
  std::vector<TEventID> outer;
  TEventID id = NoEventID, id2 = NoEventID;
  for (auto w = M.Walk(); w.Next(id);) {
    outer.push_back(id);
    EXPECT_TRUE(M.Event_Delete(id));
    for (auto w2 = M.Walk(); w2.Next(id2);) ++inner;
  }
  EXPECT_EQ(outer, all);
  EXPECT_EQ(inner, 15 * 15);
  std::vector<TEventID> typing;
  M.ByKind_GetListOfEvents(koeTyping, typing);
  EXPECT_TRUE(typing.empty());
  M.Traversal_Start();
  int classic = 0;
  while (M.Traversal_NextEventID(id)) ++classic;
  EXPECT_EQ(classic, 15);
  std::vector<TEventID> onDay1;
  M.ByDateTime_GetListOfEvents(Day0 + 1, Day0 + 2, onDay1);
  EXPECT_EQ(onDay1, std::vector<TEventID>(all.begin() + 5, all.begin() + 10));
}

TEST_F(DayFilesTest, IndexWindowsAtHourDayAndEpochEdges) {
  const TDateTime epoch = TvlEventIndex::EpochDT();
  const struct {
    const char *Name;
    TDateTime Event, From, To;
    bool Listed;
  } rows[] = {
      {"last ms of an hour, window across it", At(10, 59, 59.999), At(10, 59, 30), At(11, 0, 30),
       true},
      {"rounds to the next minute", At(10, 59, 59.9996), At(10, 59, 59), At(11, 0, 0), true},
      {"before midnight", At(23, 59, 59.5), At(23, 59), Day0 + 1 + 60 * Sec, true},
      {"after midnight", Day0 + 1 + Sec, At(23, 59), Day0 + 1 + 60 * Sec, true},
      {"the end is exclusive", At(12, 0), At(11, 0), At(12, 0), false},
      {"the start is inclusive", At(12, 0), At(12, 0), At(12, 0, 1), true},
      {"from = to lists the moment", At(12, 0, 7), At(12, 0, 7), At(12, 0, 7), true},
      {"from > to lists nothing", At(12, 0, 7), At(12, 0, 8), At(12, 0, 6), false},
      {"3 hours list nothing", At(12, 0), At(11, 0), At(14, 0), false},
      {"3 hours less a second", At(12, 0), At(11, 0), At(13, 59, 59), true},
      {"before the epoch", epoch - 0.5, epoch - 0.55, epoch - 0.45, true},
      {"across the epoch", epoch - Sec, epoch - 60 * Sec, epoch + 60 * Sec, true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    M.Clear();
    const TEventID id = M.AddNumberedBookmark(7, row.Event);
    ASSERT_NE(id, NoEventID);
    EXPECT_EQ(Listed(M, row.From, row.To).count(id), row.Listed ? 1u : 0u);
  }
}

TEST_F(DayFilesTest, ExactLookUpsCompareWholeMomentsAndContents) {
  const TDateTime t = At(15, 20, 1.25);
  const TEventID a = M.AddTypingEvent(t, QStringLiteral("a"));
  const TEventID b = M.AddLabelBookmark(t, QStringLiteral("lbl"), QChar(u'|'));
  TEventID id = NoEventID;
  EXPECT_TRUE(M.EventIndex().GetEventIDFromExactWhen(t, id));
  EXPECT_EQ(id, a);  // first filed
  EXPECT_FALSE(M.EventIndex().GetEventIDFromExactWhen(std::nextafter(t, 1e9), id));
  EXPECT_EQ(id, NoEventID);
  EXPECT_TRUE(M.LookUp_GetEventID(koeLabel, QChar(u'|'), t, QStringLiteral("lbl"), id));
  EXPECT_EQ(id, b);
  EXPECT_FALSE(M.LookUp_GetEventID(koeLabel, QChar(u' '), t, QStringLiteral("lbl"), id));
  EXPECT_FALSE(M.LookUp_GetEventID(koeLabel, QChar(u'|'), t, QStringLiteral("lbl "), id));
  M.AddTypingEvent(t + Sec, QStringLiteral("b"));
  M.AddTypingEvent(t + 2 * Sec, QStringLiteral("c"));
  M.AddNumberedBookmark(1, t + 3 * Sec);
  EXPECT_EQ(M.EventIndex().GetKeyboardingStr(t - Sec, t + 4 * Sec), QStringLiteral("a lbl b c "));
  // Out-of-order filing still lists in time order.
  const TEventID early = M.AddTypingEvent(t - 0.5 * Sec, QStringLiteral("0"));
  std::vector<TEventID> ids{early};
  M.EventIndex().ListEventIDsForTimePeriod(ids, t, t + 3 * Sec);
  EXPECT_EQ(ids.front(), early);
  EXPECT_EQ(ids.size(), 5u);
  EXPECT_EQ(M.EventIndex().MaximumKeyboardingDensityFD(0), 1.0);
  EXPECT_NEAR(M.EventIndex().MaximumKeyboardingDensityFD(2), 2 * 3.5 * Sec / 7, 1e-12);
}

TEST_F(DayFilesTest, OneManagerAtATimeAndItIsTheTypingEventSink) {
  EXPECT_EQ(vlDFM(), &M);
  try {
    TvlDayFilesManager second;
    ADD_FAILURE() << "a second manager was made";
  } catch (const std::logic_error &e) {
    EXPECT_STREQ(e.what(), "vlSM is a singleton");
  }
  EXPECT_EQ(vlDFM(), &M);
  const std::uint64_t g = M.Generation();
  TypingEventSink().AddTypingEvent(At(11, 0), u"w");
  EXPECT_GT(M.Generation(), g);
  TEventID id = NoEventID;
  EXPECT_TRUE(M.LookUp_GetEventID(koeTyping, QChar(u'1'), At(11, 0), u"w", id));
  TypingEventSink().DeleteTypingEventAt(At(11, 0), u"w");
  EXPECT_EQ(M.EventKind_FromEventID(id), koeNone);
}

TEST_F(DayFilesTest, TodaysSpanFollowsTheClockButNeverOutlastsItsDay) {
  M.Clear();  // today's day file, 2009-09-03, at 18:00
  TvlDayFile &today = *M.DayFile(0);
  const int yesterday = M.Files_LoadDayFileForDateOrCreateIt(Day0 - 1);
  EXPECT_EQ(today.GetDayFileDuration(), 18 * 3600 + 5);
  // Still "today" after midnight, as the program keeps running.
  Clock.Set(Day0 + 1 + 1 / 24.0);
  EXPECT_EQ(today.GetDayFileDuration(), 86400);
  EXPECT_EQ(today.DayFileEnd(), Day0 + 1);
  EXPECT_TRUE(M.DayFile(yesterday)->Historical());
  EXPECT_EQ(M.DayFile(yesterday)->GetDayFileDuration(), 0);
}
