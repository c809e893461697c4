// timeline_demo OUTDIR [HOLD_MSECS]: the first-run sample (its binder's notes, its bookmarks and
// its recording with level readings) shown in the vertical timeline's side column and in the
// calendar of recordings, each window grabbed to a PNG in OUTDIR. With HOLD_MSECS the windows
// stay on screen that long, for a screenshot of the whole display. Not a test: a picture to look
// at. The program's clock is set to the afternoon of the sample's day.

#include "vl09_Calendar.h"
#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_NotebookBinder.h"
#include "vl09_VertTimeline.h"
#include "vlClock.h"
#include "vlOtherEventsIO.h"
#include "vl_Document.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

class TManagerEventsIO final : public TvlOtherEventsIO {
 public:
  QString IO_LoadNonTypingEvents(TvlXmlIn &In) override {
    return vlDFM()->IO_LoadNonTypingEvents(In);
  }
};

class TDemoLinks final : public TVertTimelineLinks {
 public:
  TDocument *Doc = nullptr;
  TDocument *ActiveDocument() override { return Doc; }
};

const char *const SampleName = "2009-09-03 13.47 36.5 (108)";

}  // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: timeline_demo OUTDIR [HOLD_MSECS]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const int hold = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
  QDir().mkpath(out);

  TManualClock clock(EncodeDateTime(2009, 9, 3, 16, 0));
  TScopedClock scopedClock(clock);
  TvlDayFilesManager events;
  const TSeamInstall<TTypingEventSink> typing(TypingEventSinkSeam(), events.TypingSink());
  TManagerEventsIO eventsIO;
  TvlTabList tabs;
  TvlNotebookBinder binder(tabs, &eventsIO);
  const QString samples = QStringLiteral(VL_SAMPLES_DIR);
  const QString problems = binder.Binder_Open(samples + QStringLiteral("/Example.vl"));
  if (!problems.isEmpty() || tabs.Tabs.empty()) {
    std::fprintf(stderr, "the example binder did not open: %s\n", qPrintable(problems));
    return 1;
  }

  // The sample recording in an audio folder of its own, and one morning recording (a name only)
  // so that both rings of the dial show.
  QTemporaryDir home;
  const QString audio = home.filePath(QStringLiteral("Audio"));
  const QString month = audio + QStringLiteral("/2009-09/");
  QDir().mkpath(month);
  for (const char *ext : {".wav", ".vu"})
    QFile::copy(samples + QLatin1Char('/') + QLatin1String(SampleName) + QLatin1String(ext),
                month + QLatin1String(SampleName) + QLatin1String(ext));
  QFile extra(month + QStringLiteral("2009-09-08 09.15 00.0 (5400).wav"));
  extra.open(QIODevice::WriteOnly);
  extra.close();
  TvlMediaFoldersInfo folders;
  folders.Initialize(audio);
  folders.Month_LoadMonthsOf(clock.Now(), clock.Now(), clock.Now());
  TvlMediaInfo media;

  TDemoLinks links;
  links.Doc = tabs.Tabs.front().Doc.get();
  TVertTimelineSidePanel side;
  TVertTimeline &timeline = *side.VertTimeline();
  TCatalogueLevelSource levels(media);
  timeline.SetLinks(&links);
  timeline.SetLevelSource(&levels);
  side.resize(380, 620);
  side.setWindowTitle(QStringLiteral("Vertical timeline"));
  side.show();
  timeline.SetCatalogue(&folders, &media);
  timeline.SetZoom_PixelDuration(0.3);
  timeline.SetFeatureDT(EncodeDateTime(2009, 9, 3, 13, 48, 40));

  TCalendarFm calendar(&folders);
  calendar.PrepareForMonth(EncodeDate(2009, 9, 3));
  calendar.move(420, 0);
  calendar.show();

  QTimer::singleShot(300, &app, [&] {
    // The mouse over the fourth line of text: it is drawn as the hot line.
    if (timeline.LineRects().size() > 3) {
      const QPoint at = timeline.LineRects()[3].center();
      QMouseEvent move(QEvent::MouseMove, QPointF(at), timeline.mapToGlobal(QPointF(at)),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&timeline, &move);
    }
    side.grab().save(out + QStringLiteral("/vertical_timeline.png"));
    calendar.grab().save(out + QStringLiteral("/calendar.png"));
    std::printf("lines %d, bookmarks %d, recordings listed %d\n", int(timeline.Lines().size()),
                int(timeline.DrawnBookmarks().size()), folders.Count());
    QTimer::singleShot(hold, &app, &QApplication::quit);
  });
  return app.exec();
}
