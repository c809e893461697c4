// A long day with the program, on the simulated sound server and the manual clock: three hours of
// recording while the user types twenty characters a minute and sets a bookmark every five
// minutes, with the window's idle work, the current track's live timer and the vertical timeline
// following all along. Afterwards the recording is as long as the time that passed, its level
// file covers it, the binder saves and opens again as it was, and the memory the program holds
// grew by less than 50 MB from the first hour to the last. It prints its figures.
//
// Label "soak" only: it takes minutes, and the test command leaves it out (scripts/soak.sh).

#include "vl09_Main.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vl09_TrackWindow.h"
#include "vlAudioTestSupport.h"
#include "vlClock.h"
#include "vlEditorHost.h"
#include "vlEditorPage.h"
#include "vlProgram.h"
#include "vlSimBackend.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include <cstdio>
#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

constexpr int kHours = 3;
constexpr std::int64_t kStepMSecs = 1000;

// Resident memory of this process in kilobytes (VmRSS).
long ResidentKB() {
  QFile status(S("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
  return -1;
}

QByteArray ReadAll(const QString &Path) {
  QFile f(Path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The frame count of a WAV file's "fact" chunk: a compressed file (ADPCM, the default) fills its
// last block up, so the header's frames round up to whole blocks; the fact chunk says how many
// were recorded. -1 without one.
qint64 FactFrames(const QString &Path) {
  QFile f(Path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray head = f.read(4096);
  for (qsizetype at = 12; at + 8 <= head.size();) {
    const QByteArray id = head.mid(at, 4);
    const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
    if (id == "fact" && at + 12 <= head.size())
      return qFromLittleEndian<quint32>(head.constData() + at + 8);
    if (id == "data") break;
    at += 8 + qsizetype(size) + qsizetype(size & 1);
  }
  return -1;
}

// The program as main() puts it together, over a simulated microphone and speakers.
struct TSoakRun {
  TSoakRun(const TFreshFolder &Folder, const std::shared_ptr<TSimBackend> &Sim)
      : Store(Folder.File(S("2009.ini"))),
        Program(Store, Options, Sim, Folder.File(S("Audio"))),
        Window(Store, Options, Program) {
    Program.Connect(Window, QString());
  }
  TvlEditorPage *ActivePage() {
    return dynamic_cast<TvlEditorPage *>(Program.Notebook()->GetActivePagePtr()->MyWindowView);
  }

  TRegistryData Store;
  TvlOptions Options;
  TvlProgram Program;
  TVellomarFm Window;
};

// The main loop's flag for the run: the window idles only while it is set.
struct TMainLoopRunning {
  TMainLoopRunning() { TVellomarFm::SetMainLoopRunning(true); }
  ~TMainLoopRunning() { TVellomarFm::SetMainLoopRunning(false); }
};

}  // namespace

TEST(Soak, ThreeHoursOfRecordingWhileTyping_KeepTheirLengthLevelsBinderAndMemory) {
  TFreshFolder folder;
  TManualClock clock(EncodeDateTime(2026, 12, 9, 9, 0, 0, 0));
  TScopedClock useClock(clock);
  auto sim = std::make_shared<TSimBackend>(&clock);
  sim->AddSource(S("alsa_input.pci"), S("Built-in Audio"), SineGenerator(440, 9000));
  sim->SetDefaultSource(S("alsa_input.pci"));
  sim->AddSink(S("alsa_output.pci"), S("Built-in Audio"));
  sim->SetDefaultSink(S("alsa_output.pci"));

  // The audio folder exists, as the first start leaves it.
  ASSERT_TRUE(QDir().mkpath(folder.File(S("Audio"))));
  QElapsedTimer wall;
  wall.start();
  TSoakRun run(folder, sim);
  TMainLoopRunning loop;
  run.Window.resize(1200, 800);
  run.Window.show();
  run.Program.OpenBinder(QString());

  // The staged audio start, as the window's timer runs it.
  run.Window.BarelyDidApplicationRun_ScheduleAudioInitialization();
  for (int i = 0; i < 400 && !run.Window.AudioReady() && !run.Window.AudioFailed(); ++i) {
    run.Window.AudioInitializationTimerTimer();
    sim->Advance(25);
    DeliverEvents();
  }
  ASSERT_TRUE(run.Window.AudioReady());

  run.Program.StartRecording();
  DeliverEvents();
  ASSERT_TRUE(run.Program.IsRecording());
  // The moment the recording's name and the catalogue give its first sample.
  const TDateTime began = run.Program.Audio().GetCurrentRecordingBeganAt();
  TvlTrackWindow *current = run.Program.Tracks().Current();
  ASSERT_NE(current, nullptr);

  const QString sentence = S("The lecture goes on; notes follow it. ");
  int typed = 0, bookmarks = 0;
  long rssFirstHourKB = 0, rssLastHourKB = 0;
  const std::int64_t totalMSecs = std::int64_t(kHours) * 3600 * 1000;
  for (std::int64_t at = kStepMSecs; at <= totalMSecs; at += kStepMSecs) {
    sim->Advance(kStepMSecs);
    DeliverEvents();
    run.Window.ApplicationEvents1Idle();
    current->SliderUpdateTick();
    // Twenty characters a minute, one every three seconds, with a new line now and then.
    if (at % 3000 == 0) {
      TvlEditorPage *page = run.ActivePage();
      ASSERT_NE(page, nullptr);
      const QChar c = typed % 400 == 399 ? QChar(u'\n') : sentence[typed % sentence.size()];
      page->View().InsertCommittedText(QString(c));
      ++typed;
    }
    // A bookmark every five minutes.
    if (at % (5 * 60 * 1000) == 0) {
      if (BookmarkSink().AddMarker('1' + bookmarks % 9, Now()) >= 0) ++bookmarks;
    }
    // The window drawn now and then, tracks and vertical timeline included.
    if (at % (10 * 60 * 1000) == 0) (void)run.Window.grab();
    if (at == 3600 * 1000) rssFirstHourKB = ResidentKB();
    if (at == totalMSecs) rssLastHourKB = ResidentKB();
  }
  run.Program.StopRecording();
  for (int i = 0; i < 100 && run.Program.IsRecording(); ++i) {
    sim->Advance(10);
    DeliverEvents();
  }
  ASSERT_FALSE(run.Program.IsRecording());
  DeliverEvents();
  // The moment it ended: what it holds must span from its start to here.
  const TDateTime ended = run.Program.Audio().LastRecordingEndTimeOrNow();

  // The recording: as long as the simulated time it ran.
  QString wav;
  for (QDirIterator it(folder.File(S("Audio")), {S("*.wav")}, QDir::Files,
                       QDirIterator::Subdirectories);
       it.hasNext();)
    wav = it.next();
  ASSERT_FALSE(wav.isEmpty());
  const RSound sound = ReadSound(wav);
  ASSERT_TRUE(sound.Opened);
  const qint64 fact = FactFrames(wav);
  const qint64 frames = fact >= 0 ? fact : sound.Frames;
  EXPECT_LE(frames, sound.Frames);
  const double recordedMSecs = double(frames) * 1000.0 / sound.Rate;
  const double simulatedMSecs = double(MilliSecondsBetween(began, ended));
  EXPECT_NEAR(recordedMSecs, simulatedMSecs, 20.0) << wav.toStdString();
  EXPECT_EQ(RecordingLengthFromName(wav), int(simulatedMSecs / 1000));

  // Its level file covers it: readings from the start to the end, in time order.
  std::vector<TvuDatum> vu;
  ASSERT_TRUE(ReadVuFile(VuPathFor(wav), vu));
  ASSERT_FALSE(vu.empty());
  EXPECT_LE(vu.front().MS, 200);
  EXPECT_GE(vu.back().MS, simulatedMSecs - 200);
  bool ordered = true;
  for (std::size_t i = 1; i < vu.size(); ++i) ordered = ordered && vu[i - 1].MS <= vu[i].MS;
  EXPECT_TRUE(ordered);

  // The binder: saved, opened again, saved again to the same bytes.
  const QString binder = folder.File(S("Lecture.vl"));
  const QString again = folder.File(S("Again.vl"));
  ASSERT_TRUE(run.Program.Notebook()->Binder_Save(binder).isEmpty());
  const QByteArray saved = ReadAll(binder);
  run.Program.OpenBinder(binder);
  ASSERT_TRUE(run.Program.Notebook()->Binder_Save(again).isEmpty());
  EXPECT_EQ(ReadAll(again), saved);
  std::vector<TEventID> markers;
  run.Program.DayFiles().ByKind_GetListOfEvents(koeMarker, markers);
  EXPECT_EQ(int(markers.size()), bookmarks);
  EXPECT_EQ(bookmarks, kHours * 12);
  EXPECT_EQ(typed, kHours * 60 * 20);

  const long growthKB = rssLastHourKB - rssFirstHourKB;
  EXPECT_GT(rssFirstHourKB, 0);
  EXPECT_LT(growthKB, 50 * 1024);

  std::printf(
      "soak: %d simulated hours in %.1f s real time\n"
      "soak: recording %.1f ms for %.1f ms simulated (difference %.1f ms), %lld frames at %d Hz "
      "(%lld with the last block filled up)\n"
      "soak: level file %zu readings, first at %d ms, last at %d ms\n"
      "soak: typed %d characters, %d bookmarks; binder %lld bytes, saved again equal: %s\n"
      "soak: RSS after hour 1 %ld KB, after hour %d %ld KB, growth %ld KB\n",
      kHours, wall.elapsed() / 1000.0, recordedMSecs, simulatedMSecs,
      recordedMSecs - simulatedMSecs, static_cast<long long>(frames), sound.Rate,
      static_cast<long long>(sound.Frames), vu.size(), vu.front().MS, vu.back().MS, typed,
      bookmarks, static_cast<long long>(saved.size()), ReadAll(again) == saved ? "yes" : "no",
      rssFirstHourKB, kHours, rssLastHourKB, growthKB);
  std::fflush(stdout);
}
