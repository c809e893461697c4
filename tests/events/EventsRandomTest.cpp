// 100,000 random operations (add, add again, delete, move within and across days, relabel, look
// up, list a window) checked against a plain model of the live events, a sorted multimap, after
// every step; the whole model is compared every few thousand steps.

#include "vlEventsTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <unordered_map>

namespace {

struct RModelEvent {
  TKindOfEvent Kind;
  QChar What;
  QString Text;
};

class EventsRandomTest : public EventsRig {
 protected:
  using TByTime = std::multimap<TDateTime, TEventID>;

  TEventID RandomLive() {
    if (Live.empty()) return NoEventID;
    auto it = Live.begin();
    std::advance(it, std::uniform_int_distribution<std::size_t>(
                         0, std::min<std::size_t>(Live.size() - 1, 50))(Rng));
    return it->first;
  }
  TDateTime RandomMoment() {
    // Three days around two midnights, in whole milliseconds: moments repeat now and then.
    return Day0 + 0.5 + std::uniform_int_distribution<int>(0, 3 * 86'400'000)(Rng) / 86'400'000.0;
  }
  void ModelAdd(TEventID ID, TDateTime When, const RModelEvent &E) {
    Live.emplace(ID, E);
    ByTime.emplace(When, ID);
    Whens[ID] = When;
  }
  void ModelRemove(TEventID ID) {
    const auto range = ByTime.equal_range(Whens.at(ID));
    for (auto it = range.first; it != range.second; ++it)
      if (it->second == ID) {
        ByTime.erase(it);
        break;
      }
    Live.erase(ID);
  }
  // The live event the model holds with exactly these values, if any.
  std::set<TEventID> ModelFind(TKindOfEvent Kind, QChar What, TDateTime When,
                               const QString &Text) const {
    std::set<TEventID> out;
    const auto range = ByTime.equal_range(When);
    for (auto it = range.first; it != range.second; ++it) {
      const RModelEvent &e = Live.at(it->second);
      if (e.Kind == Kind && e.What == What && e.Text == Text) out.insert(it->second);
    }
    return out;
  }
  void CheckWindow(TDateTime From, TDateTime To) {
    std::vector<TEventID> ids;
    M.EventIndex().ListEventIDsForTimePeriod(ids, From, To);
    std::set<TEventID> live;
    TDateTime previous = 0;
    for (const TEventID id : ids) {
      const TDateTime t = M.EventWhen_FromEventID(id);
      ASSERT_LE(previous, t) << "window out of time order";
      previous = t;
      if (M.EventKind_FromEventID(id) != koeNone) live.insert(id);
    }
    std::set<TEventID> expected;
    for (auto it = ByTime.lower_bound(From);
         it != ByTime.end() && (it->first < To || (it->first == From && From == To)); ++it)
      expected.insert(it->second);
    ASSERT_EQ(live, expected);
  }
  void CheckAll() {
    std::size_t walkedLive = 0;
    TEventID id = NoEventID;
    TvlEvent ev;
    for (auto w = M.Walk(); w.Next(id);) {
      ASSERT_TRUE(M.Event_FromEventID(id, ev));
      if (ev.Kind == koeNone) continue;
      ++walkedLive;
      const auto it = Live.find(id);
      ASSERT_NE(it, Live.end());
      ASSERT_EQ(ev.Kind, it->second.Kind);
      ASSERT_EQ(ev.What, it->second.What);
      ASSERT_EQ(ev.Text, it->second.Text);
      ASSERT_EQ(ev.When, Whens.at(id));
      ASSERT_EQ(std::floor(ev.When), M.DayFile(vlEventIDs::DayFileOf(id))->DayFileWhen());
    }
    ASSERT_EQ(walkedLive, Live.size());
  }

  std::mt19937 Rng{20090903};
  std::unordered_map<TEventID, RModelEvent> Live;
  std::unordered_map<TEventID, TDateTime> Whens;  // every ID ever handed out
  TByTime ByTime;
};

}  // namespace

TEST_F(EventsRandomTest, HundredThousandOperationsAgreeWithASortedMultimap) {
  const QString texts[] = {QStringLiteral("a"),     QStringLiteral("b"), QStringLiteral(" "),
                           QStringLiteral("label"), QString(),           QStringLiteral("\"x&y\"")};
  const TKindOfEvent kinds[] = {koeTyping, koeTyping, koeTyping, koeMarker, koeLabel, koeWebDings};
  std::uniform_int_distribution<int> pick(0, 99), six(0, 5);
  std::uint64_t generation = M.Generation();
  for (int step = 0; step < 100'000; ++step) {
    SCOPED_TRACE(step);
    const int op = pick(Rng);
    if (op < 45) {
      // Add: a fresh event, or one that repeats a live event exactly.
      RModelEvent e{kinds[six(Rng)], QChar(u'1' + six(Rng) % 3), texts[six(Rng)]};
      TDateTime when = RandomMoment();
      const TEventID other = RandomLive();
      if (op < 8 && other != NoEventID) {
        e = Live.at(other);
        when = Whens.at(other);
      }
      const std::set<TEventID> same = ModelFind(e.Kind, e.What, when, e.Text);
      const TEventID id = M.AddEvent(e.Kind, e.What, when, e.Text);
      ASSERT_NE(id, NoEventID);
      if (same.empty()) {
        ASSERT_EQ(Whens.count(id), 0u) << "an ID was handed out twice";
        ModelAdd(id, when, e);
        ASSERT_GT(M.Generation(), generation);
      } else {
        ASSERT_EQ(same.count(id), 1u);
      }
    } else if (op < 60) {
      const TEventID id = RandomLive();
      if (id == NoEventID) continue;
      ASSERT_TRUE(M.Event_Delete(id));
      ASSERT_EQ(M.EventKind_FromEventID(id), koeNone);
      ModelRemove(id);
    } else if (op < 75) {
      // Move: half within the day, half anywhere (often across midnight).
      const TEventID id = RandomLive();
      if (id == NoEventID) continue;
      const TDateTime old = Whens.at(id);
      TDateTime when =
          op < 68 ? std::floor(old) +
                        std::uniform_int_distribution<int>(0, 86'399'999)(Rng) / 86'400'000.0
                  : RandomMoment();
      const RModelEvent e = Live.at(id);
      const std::set<TEventID> same = ModelFind(e.Kind, e.What, when, e.Text);
      const TEventID moved = M.EventWhen_Override(id, when);
      if (std::floor(when) == std::floor(old)) {
        ASSERT_EQ(moved, NoEventID);
        ModelRemove(id);
        ModelAdd(id, when, e);
      } else {
        ASSERT_NE(moved, NoEventID);
        ASSERT_EQ(M.EventKind_FromEventID(id), koeNone);
        ModelRemove(id);
        if (same.empty())
          ModelAdd(moved, when, e);
        else
          ASSERT_EQ(same.count(moved), 1u);
      }
    } else if (op < 82) {
      const TEventID id = RandomLive();
      if (id == NoEventID) continue;
      const QString text = texts[six(Rng)] + QString::number(step % 7);
      ASSERT_TRUE(M.AddLabel(id, text));
      Live.at(id).Text = text;
    } else if (op < 92) {
      // Look up what is there, or what was just deleted.
      const TEventID probe = RandomLive();
      if (probe == NoEventID) continue;
      const RModelEvent e = Live.at(probe);
      const TDateTime when = Whens.at(probe);
      TEventID id = NoEventID;
      ASSERT_TRUE(M.LookUp_GetEventID(e.Kind, e.What, when, e.Text, id));
      ASSERT_EQ(ModelFind(e.Kind, e.What, when, e.Text).count(id), 1u);
      ASSERT_FALSE(M.LookUp_GetEventID(e.Kind, e.What, when + 1e-9, e.Text, id));
    } else {
      const TDateTime from = RandomMoment();
      CheckWindow(from, from + std::uniform_int_distribution<int>(0, 3 * 3600 - 1)(Rng) / 86400.0);
    }
    generation = M.Generation();
    if (step % 5000 == 4999) CheckAll();
  }
  CheckAll();
  EXPECT_GT(Live.size(), 1000u);
}
