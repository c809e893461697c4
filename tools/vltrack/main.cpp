// vltrack: draws a horizontal track from real recordings and a binder's events, through the same
// index, level visualisation and renderer the program uses, and says how long that took.
//
//   vltrack render --audio DIR [--notes FILE.vl] --at "YYYY-MM-DD HH:MM" [--level N]
//                  [--width PX] --out track.png
//
// DIR is an audio folder: its month folders ("2009-09") are listed, and recordings lying in DIR
// itself are taken too. Each recording's ".vu" level file gives the level band; a recording
// without one gets placeholder levels, as in the program. FILE.vl is a binder: its tabs' typed
// characters become typing events and its OtherEvents block gives the bookmarks. Without --notes
// the recordings are drawn alone. The moment --at sits at the middle column; --level is the zoom
// level 1..15 (default 3, one second per column); --width the columns (default 1200).
//
// Prints the span shown, what was found, and the times of the index rebuild and the render
// (a first render prepares the label texts; the second shows the steady cost).
//
// Exit codes: 0 drawn, 1 the PNG could not be written, 2 usage, 3 a file that cannot be read.

#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_Track.h"
#include "vl09_Visualization.h"
#include "vl09_XmlIn.h"
#include "vl09_XmlTags.h"
#include "vl_Document.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void Out(const QString &Text) { std::printf("%s\n", Text.toUtf8().constData()); }
void Err(const QString &Text) { std::fprintf(stderr, "vltrack: %s\n", Text.toUtf8().constData()); }

int Usage() {
  Err(QStringLiteral(
      "usage: vltrack render --audio DIR [--notes FILE.vl] --at \"YYYY-MM-DD HH:MM\" "
      "[--level N] [--width PX] --out track.png"));
  return 2;
}

// The binder's tabs (their characters become typing events while the manager exists) and its
// bookmarks. The documents are kept so their events stay. False when it cannot be read at all.
bool LoadBinder(const QString &Path, std::vector<std::unique_ptr<TDocument>> &Docs,
                TvlDayFilesManager &Events, QString &Problems) {
  if (const QString problem = TvlXmlIn::RegularFileProblem(Path); !problem.isEmpty()) {
    Problems = problem;
    return false;
  }
  TvlXmlIn in;
  QString refusal;
  if (!in.File_OpenOrDoErrorDialogs(Path, refusal) || in.CurrentTag() != xtBoundNotesBegin_) {
    Problems = refusal.isEmpty() ? QStringLiteral("not a binder") : refusal.simplified();
    return false;
  }
  while (in.Next_SearchForBefore(xtDocTabBegin_, {xtOtherEventsBegin, xtBoundNotesEnd})) {
    in.NextRecognizedTag();
    auto doc = std::make_unique<TDocument>();
    const QString answered = doc->IO_LoadEmbedded(in);
    if (!answered.isEmpty()) Problems += answered + QLatin1Char('\n');
    Docs.push_back(std::move(doc));
    if (in.CurrentTagStrictlyIs(xtDocTabEnd)) in.NextRecognizedTag();
  }
  if (in.Next_SearchFor(xtOtherEventsBegin)) Problems += Events.IO_LoadNonTypingEvents(in);
  return true;
}

int Render(const QStringList &Args) {
  QString audio, notes, at, out;
  int level = 3, width = 1200;
  for (int i = 1; i + 1 < Args.size(); i += 2) {
    const QString &key = Args[i], &value = Args[i + 1];
    bool ok = true;
    if (key == QStringLiteral("--audio"))
      audio = value;
    else if (key == QStringLiteral("--notes"))
      notes = value;
    else if (key == QStringLiteral("--at"))
      at = value;
    else if (key == QStringLiteral("--out"))
      out = value;
    else if (key == QStringLiteral("--level"))
      level = value.toInt(&ok);
    else if (key == QStringLiteral("--width"))
      width = value.toInt(&ok);
    else
      return Usage();
    if (!ok) return Usage();
  }
  if (Args.size() % 2 == 0 || audio.isEmpty() || at.isEmpty() || out.isEmpty()) return Usage();
  if (level < MinZoomLevel || level > MaxZoomLevel || width < 10 || width > 20000) return Usage();
  const QDateTime atQ = QDateTime::fromString(at, QStringLiteral("yyyy-MM-dd HH:mm"));
  if (!atQ.isValid()) {
    Err(QStringLiteral("--at wants \"YYYY-MM-DD HH:MM\", not \"%1\"").arg(at));
    return 2;
  }
  if (!QFileInfo(audio).isDir()) {
    Err(audio + QStringLiteral(": not a folder"));
    return 3;
  }
  const TDateTime moment = QDateTimeToDateTime(atQ);

  TvlDayFilesManager events;
  std::vector<std::unique_ptr<TDocument>> docs;
  if (!notes.isEmpty()) {
    QString problems;
    if (!LoadBinder(notes, docs, events, problems)) {
      Err(notes + QStringLiteral(": ") + problems);
      return 3;
    }
    for (const QString &p : problems.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
      // The count of logged reports points at the program's error log; not news here.
      if (!(p.startsWith(QLatin1Char('(')) && p.endsWith(QStringLiteral("see Errors.txt)"))))
        Err(notes + QStringLiteral(": ") + p);
  }

  // The recordings: the month folders of the audio folder, and the folder itself.
  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(audio);
  const double pd = PixelDurationFromZoomLevel(level);
  const TDateTime from = moment - (width / 2) * pd / SecsPerDay;
  const TDateTime till = from + width * pd / SecsPerDay;
  for (TDateTime month = from - 31; month <= till + 31; month += 28)
    folders.Month_AddMonthOf(month);
  std::vector<RRecordingEntry> recordings = folders.Entries();
  for (const RRecordingEntry &e : ListRecordingsIn(audio)) recordings.push_back(e);

  TVisualization vis;
  TvlMediaInfo media;
  media.SetVisualizationTarget(&vis);
  int shown = 0;
  for (const RRecordingEntry &e : recordings) {
    if (e.End() < from || e.Start > till || media.IsListed(e.Start, e.End())) continue;
    const int index = media.CreateNewFileRecord(e.Start, e.End(), e.SpanSecs());
    media.File(index).FetchVuReadingsFromFile(e.Path);
    ++shown;
  }
  media.SendHistoricalVisualizationData(from, till);

  TvlTrack track(arHistorical, &vis, &events);
  track.InitializeAtFirstShow_AndSetZoomLevelTo(level);
  track.Index().SetDataPixelsPlotted(width);
  QElapsedTimer timer;
  timer.start();
  track.MoveTo(moment, width / 2);
  const double rebuildMs = double(timer.nsecsElapsed()) / 1e6;
  timer.restart();
  track.Render().RenderAll();
  const double firstMs = double(timer.nsecsElapsed()) / 1e6;
  timer.restart();
  track.Render().RenderAll();
  const double renderMs = double(timer.nsecsElapsed()) / 1e6;

  int markers = 0, labels = 0, typed = 0;
  for (int PO = 0; PO <= track.Index().LastPO(); ++PO) {
    const TPixelData *pd0 = track.Index().GetPixelDataFor(PO);
    markers += static_cast<int>(pd0->MarkerIDs.size());
    labels += static_cast<int>(pd0->Labels.size());
    typed += pd0->Typing.isEmpty() ? 0 : 1;
  }
  const QString fmt = QStringLiteral("yyyy-MM-dd HH:mm:ss");
  Out(QStringLiteral("span      %1 .. %2 (%3, %4 columns)")
          .arg(DateTimeToQDateTime(from).toString(fmt), DateTimeToQDateTime(till).toString(fmt),
               ZoomLevelCaption(level))
          .arg(width));
  Out(QStringLiteral("shown     %1 recordings, %2 markers, %3 labels, %4 columns with typing")
          .arg(shown)
          .arg(markers)
          .arg(labels)
          .arg(typed));
  Out(QStringLiteral("rebuild   %1 ms").arg(rebuildMs, 0, 'f', 3));
  Out(QStringLiteral("render    %1 ms (first, preparing labels: %2 ms)")
          .arg(renderMs, 0, 'f', 3)
          .arg(firstMs, 0, 'f', 3));

  // The track as the window shows it: the bitmap's first columns.
  const QImage image =
      track.BitmapToShare().Image().copy(0, 0, width, track.BitmapToShare().Height());
  if (!image.save(out, "PNG")) {
    Err(out + QStringLiteral(": cannot be written"));
    return 1;
  }
  Out(QStringLiteral("written   ") + out);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  // Drawing needs fonts, not a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  if (args.value(0) == QStringLiteral("render")) return Render(args);
  return Usage();
}
