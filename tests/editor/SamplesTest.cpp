// The first-run samples made at build time: the example binder opens with its two tabs, every
// character's moment lies inside the sample recording, and its bookmarks are there.

#include "vl09_NotebookBinder.h"
#include "vlDateTime.h"
#include "vlKeptEventsIO.h"
#include "vlTestSupport.h"
#include "vl_Document.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

QString Sample(const QString &Name) { return QStringLiteral(VL_SAMPLES_DIR "/") + Name; }

TEST(SamplesTest, ExampleBinderHasTwoTabsTypedDuringTheRecordingAndThreeBookmarks) {
  const TDateTime start = EncodeDateTime(2009, 9, 3, 13, 47, 36, 500);
  const TDateTime end = IncMilliSecond(start, 108'400);
  TvlTabList tabs;
  TvlKeptEventsIO events;
  TvlNotebookBinder binder(tabs, &events);
  ASSERT_EQ(binder.Binder_Open(Sample(QStringLiteral("Example.vl"))), QString());
  ASSERT_EQ(tabs.Tabs.size(), 2u);
  EXPECT_EQ(tabs.Tabs[0].Title, QStringLiteral("Lecture"));
  EXPECT_EQ(tabs.Tabs[1].Title, QStringLiteral("Questions"));
  int characters = 0;
  for (const auto &tab : tabs.Tabs) {
    const TDocument &doc = *tab.Doc;
    for (int sn = 0; sn <= doc.Section_High(); ++sn) {
      const TParagraph *p = doc.Paragraph_FromSectionNum(sn);
      ASSERT_NE(p, nullptr);
      for (int c = 1; c <= p->High() + 1; ++c) {
        const RvlTimestamp t = c <= p->High() ? p->Timestamp_Get(c) : p->FNLWhen;
        EXPECT_GT(t.FEffectiveDT, start);
        EXPECT_LT(t.FEffectiveDT, end);
        EXPECT_EQ(t.RealDT, t.FEffectiveDT);
        ++characters;
      }
    }
  }
  EXPECT_GT(characters, 200);
  ASSERT_EQ(events.Events.size(), 3u);
  for (const auto &e : events.Events) {
    EXPECT_GT(e.When, start);
    EXPECT_LT(e.When, end);
  }
  EXPECT_EQ(events.Events[0].Kind, QStringLiteral("Marker"));
  EXPECT_EQ(events.Events[1].Kind, QStringLiteral("Label"));
}

TEST(SamplesTest, RecordingAndLevelsCoverTheHundredAndEightSecondsOfTheirName) {
  const QByteArray wav = ReadAllBytes(Sample(QStringLiteral("2009-09-03 13.47 36.5 (108).wav")));
  ASSERT_GT(wav.size(), 500'000);
  EXPECT_TRUE(wav.startsWith("RIFF"));
  EXPECT_EQ(wav.mid(8, 4), QByteArray("WAVE"));
  const QByteArray vu = ReadAllBytes(Sample(QStringLiteral("2009-09-03 13.47 36.5 (108).vu")));
  ASSERT_EQ(vu.size() % 8, 0);
  const int records = static_cast<int>(vu.size() / 8);
  EXPECT_GE(records, 108 * 8);
  EXPECT_LT(records, 109 * 8);
  int loud = 0;
  for (int i = 0; i < records; ++i) {
    std::int16_t peak = 0;
    std::int32_t ms = 0;
    std::memcpy(&peak, vu.constData() + i * 8, 2);
    std::memcpy(&ms, vu.constData() + i * 8 + 4, 4);
    EXPECT_EQ(ms, i * 125);
    EXPECT_GE(peak, 0);
    if (peak > 5000) ++loud;
  }
  // Speech with pauses: much of it loud, not all of it.
  EXPECT_GT(loud, records / 4);
  EXPECT_LT(loud, records * 9 / 10);
}

}  // namespace
