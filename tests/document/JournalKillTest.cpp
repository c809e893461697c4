// A typist process is killed with SIGKILL at random moments; the journal it leaves must replay
// to exactly the document after some whole number of its edits, never more than it made, and at
// least every edit made 250 ms or more before the kill.

#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldJournal.h"
#include "vldJournalTestSupport.h"
#include "vldJournalTyping.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <time.h>
#include <array>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int Kills = 200;
constexpr int AtOnce = 4;
constexpr std::int64_t PromiseNs = 250'000'000;
// A typist types every millisecond; this long without an edit means it was not running.
constexpr std::int64_t StarvedNs = 100'000'000;

std::int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

QString AllText(const TDocument &Doc) {
  QString out;
  for (int sn = 0; sn <= Doc.Section_High(); ++sn)
    if (const TParagraph *p = Doc.Paragraph_FromSectionNum(sn))
      out += p->Text() + QLatin1Char('\n');
  return out;
}

struct RTypist {
  std::unique_ptr<TFreshFolder> Folder;
  std::unique_ptr<QProcess> Process;
  std::uint32_t Seed = 0;
  std::int64_t KillAtNs = 0;
  std::int64_t KilledAtNs = 0;
};

}  // namespace

TEST(JournalKillTest, AKilledTypistLosesNothingOlderThanAQuarterSecond) {
  std::mt19937 random(20261210);
  std::int64_t typed = 0, recovered = 0, promised = 0;
  int started = 0, checked = 0, starved = 0;
  std::vector<RTypist> running;
  while (checked < Kills) {
    while (started < Kills && static_cast<int>(running.size()) < AtOnce) {
      RTypist t;
      t.Folder = std::make_unique<TFreshFolder>();
      t.Seed = static_cast<std::uint32_t>(random());
      t.Process = std::make_unique<QProcess>();
      t.Process->setProcessChannelMode(QProcess::ForwardedChannels);
      t.Process->start(QStringLiteral(VL_JOURNAL_TYPIST),
                       {t.Folder->File(QStringLiteral("typed.vlJournal")),
                        t.Folder->File(QStringLiteral("progress")), QString::number(t.Seed)});
      ASSERT_TRUE(t.Process->waitForStarted(30'000));
      t.KillAtNs =
          MonotonicNs() + 20'000'000 + static_cast<std::int64_t>(random() % 400) * 1'000'000;
      running.push_back(std::move(t));
      ++started;
    }
    QThread::msleep(1);
    for (auto it = running.begin(); it != running.end();) {
      if (MonotonicNs() < it->KillAtNs) {
        ++it;
        continue;
      }
      it->KilledAtNs = MonotonicNs();
      ::kill(static_cast<pid_t>(it->Process->processId()), SIGKILL);
      it->Process->waitForFinished(30'000);
      SCOPED_TRACE(QStringLiteral("seed %1").arg(it->Seed).toStdString());

      // What the typist made, and when.
      const QByteArray progress = ReadAllBytes(it->Folder->File(QStringLiteral("progress")));
      const auto entries = static_cast<std::size_t>(progress.size()) / 16;
      std::vector<std::array<std::int64_t, 2>> made_at(entries);
      for (std::size_t e = 0; e < entries; ++e)
        std::memcpy(made_at[e].data(), progress.constData() + e * 16, 16);
      const std::int64_t made = entries ? made_at.back()[0] : 0;
      // The promise is counted back from the kill. A typist that the loaded machine did not let
      // run just before the kill (no edit in its last StarvedNs) could not flush either: the
      // promise is then counted back from its last edit plus that time.
      std::int64_t reference = it->KilledAtNs;
      if (entries && made_at.back()[1] < it->KilledAtNs - StarvedNs) {
        reference = made_at.back()[1] + StarvedNs;
        ++starved;
      }
      std::int64_t dueBefore = 0;
      for (const auto &entry : made_at)
        if (entry[1] <= reference - PromiseNs) dueBefore = entry[0];

      // What the journal gives back.
      const RJournalRead read =
          Journal_Read(ReadAllBytes(it->Folder->File(QStringLiteral("typed.vlJournal"))));
      EXPECT_FALSE(read.Damaged) << read.Problem.toStdString();
      QString back;
      if (read.IsJournal && !read.Records.empty()) {
        TTestJournalTabs tabs;
        tabs.Add(QStringLiteral("Notes"));
        const RJournalReplay r = Journal_Replay(read, tabs);
        EXPECT_FALSE(r.Stopped) << r.Problem.toStdString();
        back = AllText(*tabs.Tabs[0].second);
      } else {
        // Killed before the journal was made: nothing may have been due.
        EXPECT_EQ(dueBefore, 0);
        back = AllText(TDocument());
      }

      // The same edits again, here: the replay must be the document after some of them.
      TJournalTypingScript script(it->Seed);
      TDocument again;
      std::int64_t matched = AllText(again) == back ? 0 : -1;
      for (std::int64_t m = 1; m <= made; ++m) {
        script.Step(again);
        if (AllText(again) == back) matched = m;
      }
      EXPECT_GE(matched, 0) << "the replay is no state the typist was ever in";
      EXPECT_GE(matched, dueBefore)
          << made << " edits made, " << dueBefore << " of them 250 ms before the kill";
      typed += made;
      recovered += std::max<std::int64_t>(matched, 0);
      promised += dueBefore;
      ++checked;
      it = running.erase(it);
    }
  }
  std::printf(
      "[ journal ] %d kills: %lld edits typed, %lld recovered, %lld were older than 250 ms "
      "(%d typists were not running just before their kill)\n",
      Kills, static_cast<long long>(typed), static_cast<long long>(recovered),
      static_cast<long long>(promised), starved);
}
