// The vertical timeline in the program as main() puts it together, over the simulated sound
// server: the words it shows are those of the binder open, never those of one closed before, and
// each once. Driven through the real File menu, checked on the lines the timeline drew and on
// the typing events the day files keep.

#include "vl09_DayFilesManager.h"
#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_Registry.h"
#include "vl09_TrackWindow.h"
#include "vl09_VertTimeline.h"
#include "vlAudioTestSupport.h"
#include "vlEditorPage.h"
#include "vlProgram.h"
#include "vlProgramRig.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"
#include "vl_Document.h"
#include "vldTemporal.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// One run of the program as main() builds it, started and shown.
struct TStartedProgram : TProgramRig {
  TStartedProgram() : TProgramRig(RProgramStart{.Size = QSize(1000, 700)}) {}
  TVertTimeline &Timeline() const { return *Program->Timelines().VertTimeline(); }
  // Types Text into the active tab; answers the moment its first character is filed at.
  TDateTime Type(const QString &Text) {
    TvlEditorPage *page = ActivePage();
    EXPECT_NE(page, nullptr);
    if (!page) return 0;
    // Key by key, as typed: each character gets a moment of its own.
    for (const QChar c : Text) {
      page->View().InsertCommittedText(QString(c));
      Run(20);
    }
    const TDocument &doc = *Program->Notebook()->GetActiveDocument();
    const TParagraph *p = doc.Paragraph_FromSectionNum(doc.Section_High());
    return p && p->High() >= int(Text.size())
               ? TypingEventMoment(p->Timestamp_Get(p->High() - int(Text.size()) + 1))
               : 0;
  }
  // The text of every line the timeline draws with When in view.
  QString DrawnText(TDateTime When) {
    Timeline().SetFeatureDT(When);
    Timeline().RenderAnew();
    QString all;
    for (const RTextLine &line : Timeline().Lines()) all += line.Text + QLatin1Char('|');
    return all;
  }
  // The typing the tracks file in their columns, both tracks, every column.
  QString TrackTyping() const {
    QString all;
    for (TvlTrackWindow *track : {Program->Tracks().Historical(), Program->Tracks().Current()}) {
      if (!track) continue;
      TvlTrackIndex &index = track->vlTrackIndex();
      for (int po = 0; po <= index.LastPO(); ++po)
        if (const TPixelData *d = index.GetPixelDataFor(po)) all += d->Typing;
    }
    return all;
  }
  int TypingEvents() const {
    std::vector<TEventID> ids;
    Program->DayFiles().ByKind_GetListOfEvents(koeTyping, ids);
    return int(ids.size());
  }
  // Characters of the open tabs, those filed at the same moment with the same text once.
  int CharactersOpen() const {
    std::set<std::pair<TDateTime, QString>> filed;
    TvlNotebook &nb = *Program->Notebook();
    for (int i = 0; i < nb.PageCount(); ++i) {
      const TDocument &doc = nb.Tabs_Document(i);
      for (int sn = doc.Section_Low(); sn <= doc.Section_High(); ++sn)
        if (const TParagraph *p = doc.Paragraph_FromSectionNum(sn))
          for (int c = 1; c <= p->High(); ++c)
            filed.emplace(TypingEventMoment(p->Timestamp_Get(c)), QString(p->Char_GetChar(c)));
    }
    return int(filed.size());
  }
};

}  // namespace

TEST(CompositionVertTimeline,
     AnotherBinderOrCloseLeavesNoWordOfTheOldOneAndReopeningDrawsEachOnce) {
  TFreshFolder files;
  const QString plain = files.File(S("Plain.vl")), other = files.File(S("Other.vl"));
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  TStartedProgram run;
  ASSERT_NE(run.ActivePage(), nullptr);
  // The timeline shows the program's events, handed to it rather than found globally.
  EXPECT_EQ(run.Timeline().DayFiles(), &run.Program->DayFiles());

  // A second binder with words of its own, typed a minute later.
  const TDateTime otherAt = run.Type(S("Elsewhere entirely"));
  ASSERT_GT(otherAt, 10000);
  prompts.ScriptFileName(other);
  run.MenuItem(S("&File"), S("Save &As ..."))->trigger();
  run.MenuItem(S("&File"), S("&New"))->trigger();
  run.Run(60000);
  const TDateTime plainAt = run.Type(S("Plain words"));
  ASSERT_GT(plainAt, 10000);
  prompts.ScriptFileName(plain);
  run.MenuItem(S("&File"), S("Save &As ..."))->trigger();
  ASSERT_EQ(run.Program->Notebook()->BinderPathName(), plain);
  ASSERT_EQ(run.DrawnText(plainAt).count(S("Plain words")), 1)
      << qPrintable(run.DrawnText(plainAt));

  struct RStep {
    const char *What;
    std::function<void()> Do;
    bool PlainOpen;
    bool OtherOpen;
  };
  const RStep steps[] = {
      {"File > Close", [&] { run.MenuItem(S("&File"), S("&Close"))->trigger(); }, false, false},
      {"File > Open of the same binder",
       [&] {
         prompts.ScriptFileName(plain);
         run.MenuItem(S("&File"), S("&Open ..."))->trigger();
       },
       true, false},
      {"File > Open of the same binder again",
       [&] {
         prompts.ScriptFileName(plain);
         run.MenuItem(S("&File"), S("&Open ..."))->trigger();
       },
       true, false},
      {"File > Open of another binder",
       [&] {
         prompts.ScriptFileName(other);
         run.MenuItem(S("&File"), S("&Open ..."))->trigger();
       },
       false, true},
  };
  for (const RStep &step : steps) {
    SCOPED_TRACE(step.What);
    step.Do();
    run.Run(100);
    const QString drawn = run.DrawnText(plainAt);
    EXPECT_EQ(drawn.count(S("Plain words")), step.PlainOpen ? 1 : 0) << qPrintable(drawn);
    EXPECT_EQ(drawn.count(S("Elsewhere")), step.OtherOpen ? 1 : 0) << qPrintable(drawn);
    // Doubled letters would show as "PPllaaiinn".
    EXPECT_FALSE(drawn.contains(S("PP"))) << qPrintable(drawn);
    EXPECT_EQ(run.TypingEvents(), run.CharactersOpen());
    // Every line the mouse can click is one drawn: none leads the caret to words gone.
    EXPECT_EQ(run.Timeline().LineRects().size(), run.Timeline().Lines().size());
    // The tracks' keyboarding strokes: no "P" of "Plain" once its binder is gone.
    EXPECT_EQ(run.TrackTyping().contains(QLatin1Char('P')), step.PlainOpen)
        << qPrintable(run.TrackTyping());
  }
  EXPECT_EQ(run.DrawnText(otherAt).count(S("Elsewhere entirely")), 1);
}

TEST(CompositionVertTimeline, ClosingATabTakesItsWordsOffTheTimeline) {
  TStartedProgram run;
  const TDateTime at = run.Type(S("Gone soon"));
  ASSERT_GT(at, 10000);
  ASSERT_EQ(run.DrawnText(at).count(S("Gone soon")), 1);
  TvlNotebook &nb = *run.Program->Notebook();
  nb.TabIndexSelected = nb.ActivePageIndex();
  nb.DeleteSelectedPage();
  EXPECT_EQ(run.DrawnText(at).count(S("Gone")), 0);
  EXPECT_EQ(run.TypingEvents(), run.CharactersOpen());
}

TEST(CompositionVertTimeline, BookmarksOfTheBinderSurviveTheRebuildOfTheTypingEvents) {
  TFreshFolder files;
  const QString path = files.File(S("Marks.vl"));
  TStartedProgram run;
  const TDateTime at = run.Type(S("marked"));
  ASSERT_GT(at, 10000);
  ASSERT_NE(run.Program->DayFiles().AddNumberedBookmark(3, at), NoEventID);
  TTestEnvironment::TestPrompts().ScriptFileName(path);
  run.MenuItem(S("&File"), S("Save &As ..."))->trigger();
  TTestEnvironment::TestPrompts().ScriptFileName(path);
  run.MenuItem(S("&File"), S("&Open ..."))->trigger();
  run.DrawnText(at);
  ASSERT_EQ(run.Timeline().DrawnBookmarks().size(), 1u);
  EXPECT_EQ(run.Timeline().DrawnBookmarks()[0].Text, S("F3"));
  EXPECT_FALSE(run.Program->BookmarksChangedSinceSave());
}

namespace {

void SendMouse(QWidget &W, QEvent::Type Type, QPoint At, Qt::MouseButton Button,
               Qt::MouseButtons Held, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
  QMouseEvent event(Type, QPointF(At), W.mapToGlobal(QPointF(At)), Button, Held, Modifiers);
  QCoreApplication::sendEvent(&W, &event);
}

// The column of a track that files the marker ID; -1 when none does.
int ColumnFiling(TvlTrackWindow &Track, TEventID ID) {
  TvlTrackIndex &index = Track.vlTrackIndex();
  for (int po = 0; po <= index.LastPO(); ++po)
    if (const TPixelData *d = index.GetPixelDataFor(po))
      if (std::find(d->MarkerIDs.begin(), d->MarkerIDs.end(), ID) != d->MarkerIDs.end()) return po;
  return -1;
}

}  // namespace

TEST(CompositionVertTimeline, CtrlRightClickAtTheTopRightShowsEveryMenuAndTheLevelBandTheTime) {
  TStartedProgram run;
  TVertTimeline &timeline = run.Timeline();
  ASSERT_GT(timeline.width(), 40);
  SendMouse(timeline, QEvent::MouseButtonPress, QPoint(timeline.width() - 5, 5), Qt::RightButton,
            Qt::RightButton, Qt::ControlModifier);
  QMenu *menu = run.Program->Timelines().FullMenu();
  ASSERT_NE(menu, nullptr);
  QStringList captions;
  for (QAction *a : menu->actions()) captions << a->text();
  for (const char *caption : {"&File", "&Edit", "&Record", "&Play", "&Tools", "&Help"})
    EXPECT_TRUE(captions.contains(S(caption)))
        << caption << ": " << qPrintable(captions.join(S(" ")));
  menu->close();

  // Over the level band the cursor carries the time of the row under it.
  const QPoint band(timeline.Bands().FAudioTrackBand.Middle(), timeline.height() / 2);
  SendMouse(timeline, QEvent::MouseMove, band, Qt::NoButton, {});
  EXPECT_EQ(timeline.cursor().shape(), Qt::BitmapCursor);
  EXPECT_FALSE(run.Program->Timelines().TimeCursorLoud().LastText().trimmed().isEmpty());
}

TEST(CompositionVertTimeline, ABookmarkDraggedOnTheTimelineMovesOnTheTracksAtOnce) {
  TStartedProgram run;
  const TDateTime at = run.Type(S("a bookmark here "));
  ASSERT_GT(at, 10000);
  TEventID id = run.Program->DayFiles().AddNumberedBookmark(4, at);
  ASSERT_NE(id, NoEventID);
  run.Program->Tracks().BookmarksChanged();
  TvlTrackWindow *track = run.Program->Tracks().Current();
  ASSERT_NE(track, nullptr);
  const int before = ColumnFiling(*track, id);
  ASSERT_GE(before, 0) << "the current track shows the bookmark";

  TVertTimeline &timeline = run.Timeline();
  // The bookmark 40 rows above the lock handle, which a press would grab first.
  run.DrawnText(at + 40 * timeline.Zoom_PixelSpanFD());
  ASSERT_EQ(timeline.DrawnBookmarks().size(), 1u);
  const QPoint from = timeline.DrawnBookmarks()[0].Rect.center();
  SendMouse(timeline, QEvent::MouseMove, from, Qt::NoButton, {});
  SendMouse(timeline, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  const int rows = 8;
  SendMouse(timeline, QEvent::MouseMove, from + QPoint(0, rows), Qt::NoButton, Qt::LeftButton);
  // One pass of the event loop, far less than the tracks' own check of the events.
  QCoreApplication::processEvents();
  id = timeline.MouseMarkerEID();
  const TDateTime moved = run.Program->DayFiles().EventWhen_FromEventID(id);
  EXPECT_NEAR((moved - at) * SecsPerDay, rows * timeline.Zoom_PixelDuration(), 0.01);
  const int after = ColumnFiling(*track, id);
  bool inRange = false;
  EXPECT_EQ(after, track->vlTrackIndex().PixelOffsetFromDateTime(moved, inRange));
  EXPECT_NE(after, before);
  SendMouse(timeline, QEvent::MouseButtonRelease, from + QPoint(0, rows), Qt::LeftButton, {});
}

TEST(CompositionVertTimeline, TheOptionsWindowChangesTheTimelineAsItGoes) {
  TStartedProgram run;
  TVertTimeline &timeline = run.Timeline();
  EXPECT_EQ(timeline.TwentyFourHourTime(), run.Options.FTwentyFourHourTime);
  EXPECT_EQ(timeline.SkinScrolls(), run.Options.FSkinScrolls);
  run.Window->ShowOptions(S("Timeline"));
  TOptionsFm *options = run.Window->OptionsWindow();
  ASSERT_NE(options, nullptr);
  auto *scrolls = options->findChild<QCheckBox *>(S("SkinScrollsCB"));
  ASSERT_NE(scrolls, nullptr);
  const bool was = timeline.SkinScrolls();
  scrolls->setChecked(!was);
  EXPECT_EQ(timeline.SkinScrolls(), !was);
  // Cancel puts the option, and the timeline, back.
  options->reject();
  EXPECT_EQ(timeline.SkinScrolls(), was);
  // The 24-hour ruler, once the options are applied.
  run.Options.FTwentyFourHourTime = !run.Options.FTwentyFourHourTime;
  run.Program->OptionsApplied();
  EXPECT_EQ(timeline.TwentyFourHourTime(), run.Options.FTwentyFourHourTime);
}

TEST(CompositionVertTimeline, AClickOnALineTypedInAnotherTabTakesTheCaretThere) {
  TStartedProgram run;
  TvlNotebook &nb = *run.Program->Notebook();
  run.Type(S("first tab words "));
  const int first = nb.ActivePageIndex();
  run.Run(30000);
  nb.ForceCreationOfNewTab();
  ASSERT_NE(nb.ActivePageIndex(), first);
  const int second = nb.ActivePageIndex();
  const TDateTime at = run.Type(S("second tab words "));
  ASSERT_GT(at, 10000);
  nb.ActivatePage(first);
  ASSERT_EQ(nb.ActivePageIndex(), first);

  TVertTimeline &timeline = run.Timeline();
  run.DrawnText(at);
  int line = -1;
  for (std::size_t i = 0; i < timeline.Lines().size(); ++i)
    if (timeline.Lines()[i].Text.startsWith(S("second"))) line = int(i);
  ASSERT_GE(line, 0);
  const QPoint on = timeline.LineRects()[std::size_t(line)].topLeft() + QPoint(2, 2);
  SendMouse(timeline, QEvent::MouseMove, on, Qt::NoButton, {});
  SendMouse(timeline, QEvent::MouseButtonPress, on, Qt::LeftButton, Qt::LeftButton);
  SendMouse(timeline, QEvent::MouseButtonRelease, on, Qt::LeftButton, {});
  EXPECT_EQ(nb.ActivePageIndex(), second);
  const TDocument &doc = *nb.GetActiveDocument();
  const TParagraph *p = doc.Paragraph_FromSectionNum(doc.FAtPos.SN);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->Text().startsWith(S("second")));
}
