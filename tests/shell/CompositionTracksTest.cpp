// The tracks in the program as main() builds it, over the simulated sound server and the manual
// clock, driven as a user drives them: the zoom panels and Ctrl+wheel, the level shown, saved and
// shown again at the next start; the options' label angle, label band height and 24-hour clock,
// and the strip under the tracks; a click on a recording's band at the favourite speed; the
// question between overlapping recordings; the recording under a right press.

#include "vl09_Main.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_Registry.h"
#include "vl09_TrackWindow.h"
#include "vl09_ZoomPanel.h"
#include "vlAudioTestSupport.h"
#include "vlEditorHost.h"
#include "vlProgram.h"
#include "vlProgramRig.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

constexpr double OneSec = 1 / SecsPerDay;

// The program started and shown on a folder of the test's, so that a second run finds what the
// first one saved.
struct TTracksProgram : TProgramRig {
  explicit TTracksProgram(const QString &Folder)
      : TProgramRig(
            RProgramStart{.Folder = Folder, .ReadSettings = true, .Size = QSize(1200, 800)}) {}
  TvlTrackWindow &Old() { return *Program->Tracks().Historical(); }
  TvlTrackWindow &Cur() { return *Program->Tracks().Current(); }
  // A recording of Seconds of quiet sound in the audio folder; the catalogue lists it again.
  QString WriteRecording(const char *Name, int Seconds) {
    const QString path = FolderPath + S("/Audio/") + S(Name);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(WriteSound(path, 8000, 1, std::vector<std::int16_t>(Seconds * 8000, 800)));
    Program->ReloadCurrentMediaMonth();
    return path;
  }
  // The historical track from When at Pd seconds per column, drawn.
  void ShowOld(TDateTime When, double Pd) {
    Old().MoveAndZoomTrackTo(0, Pd, When);
    Old().InvalidateRebuildAndRedrawWithoutFlicker();
  }
  // Lets a zoom animation run to its end on the manual clock.
  void FinishZoom(TvlTrackWindow &W) {
    Clock.AdvanceMSecs(250);
    if (W.IsZoomAnimating()) W.ZoomAnimationFrame();
    W.EnsureIndex();
  }
};

// A wheel notch over a widget, as the window system delivers it (through the program's filter).
void Wheel(QWidget *Over, int Notches, Qt::KeyboardModifiers Modifiers) {
  const QPointF at(Over->width() / 2.0, Over->height() / 2.0);
  QWheelEvent ev(at, Over->mapToGlobal(at), QPoint(), QPoint(0, 120 * Notches), Qt::NoButton,
                 Modifiers, Qt::NoScrollPhase, false);
  QApplication::sendEvent(Over, &ev);
}

// The bounding box of the pixels in Area of the track's picture that are not Background.
QRect InkBox(const QImage &Image, const QRect &Area, QRgb Background, int SkipColumn) {
  QRect box;
  for (int y = std::max(0, Area.top()); y <= std::min(Image.height() - 1, Area.bottom()); ++y)
    for (int x = std::max(0, Area.left()); x <= std::min(Image.width() - 1, Area.right()); ++x)
      if (x != SkipColumn && (Image.pixel(x, y) & 0xFFFFFF) != (Background & 0xFFFFFF))
        box = box.united(QRect(x, y, 1, 1));
  return box;
}

}  // namespace

TEST(CompositionTracks, ZoomPanelsAndCtrlWheelZoomBothTracks_TheLevelShownIsSavedAndShownAgain) {
  TFreshFolder folder;
  double saved = 0;
  {
    TTracksProgram run(folder.Path());
    // The default: 2 seconds per column, level 4, on both tracks, in every part of them.
    for (TvlTrackWindow *w : {&run.Old(), &run.Cur()}) {
      SCOPED_TRACE(qPrintable(w->objectName()));
      ASSERT_NE(w->ZoomPanel(), nullptr);
      EXPECT_TRUE(w->ZoomPanel()->isVisible());
      EXPECT_EQ(w->ZoomLevel(), 4);
      EXPECT_EQ(w->ZoomPanel()->ShownLevel(), 4);
      w->EnsureIndex();
      EXPECT_EQ(w->TargetMapping().PixelDuration, 2);
      EXPECT_EQ(w->vlTrackRender().Zoom_PixelDuration(), 2);
    }
    const int speed = run.Window->Speed();
    struct RStep {
      const char *How;
      TvlTrackWindow *Track;
      std::function<void()> Do;
      TZoomLevel Level;
    };
    TvlTrackWindow &old = run.Old(), &cur = run.Cur();
    const RStep steps[] = {
        {"Zoom Out on the historical track", &old, [&] { old.ZoomPanel()->ZoomOutBtn()->click(); },
         5},
        {"Zoom Out again", &old, [&] { old.ZoomPanel()->ZoomOutBtn()->click(); }, 6},
        {"Zoom In on the current track", &cur, [&] { cur.ZoomPanel()->ZoomInBtn()->click(); }, 3},
        {"Ctrl+wheel towards the user over the current track", &cur,
         [&] { Wheel(&cur, -2, Qt::ControlModifier); }, 5},
        {"Ctrl+wheel away over the historical track", &old,
         [&] { Wheel(&old, 1, Qt::ControlModifier); }, 5},
        {"the wheel over the historical zoom panel", &old,
         [&] { Wheel(old.ZoomPanel()->ZoomSlider(), -3, Qt::NoModifier); }, 8},
        {"the slider dragged to the last level", &cur,
         [&] { cur.ZoomPanel()->ZoomSlider()->setValue(15); }, 15},
    };
    for (const RStep &step : steps) {
      SCOPED_TRACE(step.How);
      step.Do();
      run.FinishZoom(*step.Track);
      EXPECT_EQ(step.Track->ZoomLevel(), step.Level);
      EXPECT_EQ(step.Track->ZoomPanel()->ShownLevel(), step.Level);
      EXPECT_EQ(step.Track->TargetMapping().PixelDuration, PixelDurationFromZoomLevel(step.Level));
      // The wheel zoomed the track only: the speed bar stayed.
      EXPECT_EQ(run.Window->Speed(), speed);
    }
    // Ctrl+wheel keeps the moment under the pointer where it was.
    const TDateTime middle = old.TargetMapping().TimeOfColumn(old.width() / 2);
    Wheel(&old, 1, Qt::ControlModifier);
    run.FinishZoom(old);
    EXPECT_EQ(old.ZoomLevel(), 7);
    EXPECT_NEAR((old.TargetMapping().TimeOfColumn(old.width() / 2) - middle) * SecsPerDay, 0,
                PixelDurationFromZoomLevel(7));
    // The plain wheel over a track is the speed bar's.
    Wheel(&old, 1, Qt::NoModifier);
    EXPECT_EQ(run.Window->Speed(), speed + 5);
    EXPECT_EQ(old.ZoomLevel(), 7);
    // The calendar's span sets the level of its scale.
    old.MoveAndZoomTrackTo(0, 0.5, EncodeDateTime(2009, 9, 3, 10, 0, 0));
    EXPECT_EQ(old.ZoomLevel(), 2);
    EXPECT_EQ(old.ZoomPanel()->ShownLevel(), 2);
    old.ZoomPanel()->ZoomOutBtn()->click();
    run.FinishZoom(old);
    saved = old.TargetMapping().PixelDuration;
    EXPECT_EQ(saved, 1);
  }
  // What was shown is what the next start shows.
  TRegistryData onDisk(folder.File(S("2009.ini")));
  onDisk.OnApplicationOpen_ReadFromRegistry();
  EXPECT_EQ(onDisk.GetValue(S("ReopenZoom")).toDouble(), saved);
  // The timeline options stored reach the tracks at the start too.
  onDisk.SetValue(S("AngleOfLabelText"), S("75"));
  onDisk.SetValue(S("HeightOfLabelArea"), S("70"));
  ASSERT_TRUE(onDisk.OnApplicationClose_WriteToRegistry());
  TTracksProgram again(folder.Path());
  for (TvlTrackWindow *w : {&again.Old(), &again.Cur()}) {
    EXPECT_EQ(w->vlTrackRender().Look().LabelAngleDegrees, 75);
    EXPECT_EQ(w->vlTrackRender().Band_Labels().Thickness, 70);
  }
  EXPECT_GE(again.Window->TrackBarsHeight(), again.Old().TrackHeight() + TTimeMachine::StripHeight);
  EXPECT_EQ(again.Old().ZoomLevel(), 3);
  EXPECT_EQ(again.Old().ZoomPanel()->ShownLevel(), 3);
  again.Old().EnsureIndex();
  EXPECT_EQ(again.Old().TargetMapping().PixelDuration, saved);
}

TEST(CompositionTracks, OptionsAndTheStripUnderTheTracksRedrawThemWithTheNewAngleAndBandHeight) {
  TFreshFolder folder;
  TTracksProgram run(folder.Path());
  TvlTrackWindow &old = run.Old();
  const TDateTime from = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  // A label in column 100 of the historical track.
  const TEventID label =
      run.Program->DayFiles().AddEvent(koeLabel, u'|', from + 200 * OneSec, u"Question time");
  ASSERT_GE(label, 0);
  run.Program->Tracks().BookmarksChanged();
  run.ShowOld(from, 2);
  const auto labelInk = [&] {
    old.InvalidateRebuildAndRedrawWithoutFlicker();
    const QRect band = old.vlTrackRender().Band_Labels().Rect;
    const QRect slot = old.vlTrackRender().TrackSlotRect();
    // From the picture's top down to the stem's foot, right of the stem's column.
    const QRect area(band.left() + 100 + 1, 0, 400, slot.top() - 3);
    return InkBox(old.vlTrack().BitmapToShare().Image(), area,
                  TQuickBitmap::ToRgb(old.vlTrackRender().Look().clPlain), -1);
  };
  const int bars = run.Window->TrackBarsHeight();
  // Nothing of the tracks is cut at the lower edge: their panel holds bands and time machine.
  EXPECT_GE(bars, old.TrackHeight() + TTimeMachine::StripHeight);
  EXPECT_EQ(old.vlTrackRender().Band_Labels().Rect.height(), 35);
  const QRect flat = labelInk();
  ASSERT_FALSE(flat.isEmpty());

  run.Window->ShowOptions(S("Horizontal"));
  TOptionsFm *options = run.Window->OptionsWindow();
  ASSERT_NE(options, nullptr);
  options->findChild<QSpinBox *>(S("AngleOfLabelTextSpEd"))->setValue(80);
  options->findChild<QSlider *>(S("HeightOfLabelAreaTB"))->setValue(90);
  options->findChild<QCheckBox *>(S("TwentyFourHourTimeCB"))->setChecked(true);
  // Live, while the options window is open.
  for (TvlTrackWindow *w : {&run.Old(), &run.Cur()}) {
    SCOPED_TRACE(qPrintable(w->objectName()));
    EXPECT_EQ(w->vlTrackRender().Look().LabelAngleDegrees, 80);
    EXPECT_TRUE(w->vlTrackRender().Look().TwentyFourHourTime);
    EXPECT_EQ(w->vlTrackRender().Band_Labels().Thickness, 90);
  }
  const QRect steep = labelInk();
  ASSERT_FALSE(steep.isEmpty());
  EXPECT_EQ(old.vlTrackRender().Band_Labels().Rect.height(), 90);
  // A steep label stands higher and reaches less far to the right than a flat one.
  EXPECT_GT(steep.height(), flat.height() + 20);
  EXPECT_LT(steep.width(), flat.width() / 2);
  EXPECT_EQ(run.Window->TrackBarsHeight(), bars + 55);
  EXPECT_EQ(old.TimeMachine().geometry().top(), old.TrackHeight());
  options->reject();
  EXPECT_EQ(old.vlTrackRender().Look().LabelAngleDegrees, 30);
  EXPECT_EQ(run.Window->TrackBarsHeight(), bars);

  // The strip under the tracks drags the label band's height.
  QWidget *strip = run.Window->findChild<QWidget *>(S("TrackBarsHeightFauxSplitterPnl"));
  ASSERT_NE(strip, nullptr);
  QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(5, 1));
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 21), strip->mapToGlobal(QPointF(5, 21)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(strip, &move);
  QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(5, 21));
  EXPECT_EQ(run.Options.FHeightOfLabelArea, 55);
  EXPECT_EQ(old.vlTrackRender().Band_Labels().Thickness, 55);
  EXPECT_EQ(run.Window->TrackBarsHeight(), bars + 20);
}

TEST(CompositionTracks, AClickOnARecordingsBandPlaysAtTheWantedSpeedAndTheSpeedBarShowsIt) {
  TFreshFolder folder;
  TTracksProgram run(folder.Path());
  ASSERT_TRUE(run.Window->AudioReady());
  run.WriteRecording("2009-09/2009-09-03 10.00 00.0 (120).wav", 120);
  const TDateTime from = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  struct RRow {
    const char *Option;
    int WantTempo;
    int SpeedBarBefore;
    int Expected;
  } rows[] = {
      {"a favourite speed", 130, 100, 130},
      {"natural speed", TvlOptions::WantTempoNormal, 150, 100},
      {"keep the present speed", TvlOptions::WantTempoNoChange, 80, 80},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Option);
    run.Program->Audio().Play_Stop();
    run.Window->SetSpeed(row.SpeedBarBefore);
    run.Options.FWantTempo = row.WantTempo;
    // As the options window's OK tells the tracks.
    run.Window->TrackPanelLink()->TempoChanged(run.Options.FWantTempo, run.Window->Speed());
    run.ShowOld(from, 1);
    TvlTrackWindow &old = run.Old();
    const QPoint at(old.Margin() + 20, old.vlTrackRender().TrackSlotRect().center().y());
    QTest::mouseClick(&old, Qt::LeftButton, {}, at);
    run.Run(100);
    EXPECT_TRUE(run.Program->Audio().IsPlaying());
    EXPECT_NEAR((run.Program->Audio().GetPlay_Position() - (from + 20 * OneSec)) * SecsPerDay, 0,
                1.5);
    EXPECT_EQ(run.Window->Speed(), row.Expected);
  }
  // The recording chosen by a right press plays from its beginning at the speed bar's speed,
  // whatever the favourite.
  run.Program->Audio().Play_Stop();
  run.Options.FWantTempo = 130;
  run.Window->SetSpeed(80);
  run.Window->TrackPanelLink()->TempoChanged(run.Options.FWantTempo, run.Window->Speed());
  TvlTrackWindow &old = run.Old();
  const QPoint at(old.Margin() + 50, old.vlTrackRender().TrackSlotRect().center().y());
  QTest::mousePress(&old, Qt::RightButton, {}, at);
  QTest::mouseRelease(&old, Qt::RightButton, {}, at);
  QMenu *menu = old.findChild<QMenu *>();
  ASSERT_NE(menu, nullptr);
  QAction *fromStart = nullptr;
  for (QAction *a : menu->actions())
    if (a->text() == S("&Play from Beginning")) fromStart = a;
  ASSERT_NE(fromStart, nullptr);
  ASSERT_TRUE(fromStart->isEnabled());
  fromStart->trigger();
  run.Run(100);
  EXPECT_TRUE(run.Program->Audio().IsPlaying());
  EXPECT_NEAR((run.Program->Audio().GetPlay_Position() - from) * SecsPerDay, 0, 1.5);
  EXPECT_EQ(run.Window->Speed(), 80);
  menu->hide();
}

TEST(CompositionTracks, OverlappingRecordingsAskWhichToPlay) {
  TFreshFolder folder;
  TTracksProgram run(folder.Path());
  ASSERT_TRUE(run.Window->AudioReady());
  const QString first = run.WriteRecording("2009-09/2009-09-03 10.00 00.0 (60).wav", 60);
  const QString second = run.WriteRecording("2009-09/2009-09-03 10.00 30.0 (60).wav", 60);
  const TDateTime from = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  run.ShowOld(from, 1);
  TvlTrackWindow &old = run.Old();
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  for (const QString &chosen : {second, first}) {
    SCOPED_TRACE(qPrintable(QFileInfo(chosen).fileName()));
    prompts.Clear();
    prompts.ScriptChoice(chosen);
    run.Program->Audio().Play_Stop();
    // 10:00:40, inside both.
    QTest::mouseClick(&old, Qt::LeftButton, {},
                      QPoint(old.Margin() + 40, old.vlTrackRender().TrackSlotRect().center().y()));
    ASSERT_EQ(prompts.Asked().size(), 1);
    EXPECT_EQ(prompts.Asked()[0].Kind, TScriptedPrompts::RAsked::akChoose);
    EXPECT_EQ(prompts.Asked()[0].Text, S("Select Overlapping Audio File"));
    EXPECT_EQ(prompts.Asked()[0].Items, QStringList({first, second}));
    EXPECT_TRUE(run.Program->Audio().IsPlaying());
    EXPECT_EQ(run.Program->Audio().Play_Position_AudioStartsAt(),
              chosen == first ? from : from + 30 * OneSec);
  }
}

TEST(CompositionTracks, ARightPressFindsTheShortestRecordingWithinSixColumnsAndSelectsIt) {
  TFreshFolder folder;
  TTracksProgram run(folder.Path());
  const QString longOne = run.WriteRecording("2009-09/2009-09-03 10.00 00.0 (600).wav", 600);
  const QString shortOne = run.WriteRecording("2009-09/2009-09-03 10.02 00.0 (30).wav", 30);
  const QString later = run.WriteRecording("2009-09/2009-09-03 10.20 00.0 (10).wav", 10);
  const TDateTime from = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  run.ShowOld(from, 6);  // column c shows 10:00 + 6c seconds; 6 columns are 36 seconds
  TvlTrackWindow &old = run.Old();
  ASSERT_GT(old.Columns(), 210);
  TvlTrackGlue &tracks = run.Program->Tracks();
  struct RRow {
    const char *Where;
    int Column;
    QString Expected;
  } rows[] = {
      {"inside the short one, inside the long one", 22, shortOne},
      {"inside the long one only", 10, longOne},
      {"14 seconds after the end of the last one", 204, later},
      {"44 seconds after it", 209, QString()},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Where);
    const QPoint at(old.Margin() + row.Column, old.vlTrackRender().TrackSlotRect().center().y());
    QTest::mousePress(&old, Qt::RightButton, {}, at);
    QTest::mouseRelease(&old, Qt::RightButton, {}, at);
    EXPECT_EQ(tracks.SelectedAudioPathName(), row.Expected);
    EXPECT_EQ(tracks.Selection().HasSelection(), !row.Expected.isEmpty());
    if (row.Expected == shortOne) {
      // From a second before it to a second after it.
      EXPECT_NEAR((tracks.Selection().StartDT() - (from + 119 * OneSec)) * SecsPerDay, 0, 1e-3);
      EXPECT_NEAR((tracks.Selection().EndDT() - (from + 151 * OneSec)) * SecsPerDay, 0, 1e-3);
    }
    // The menu closes; a little later the selection goes.
    if (QMenu *menu = old.findChild<QMenu *>()) menu->hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !tracks.Selection().HasSelection(); }, 10000));
  }
}

// The caret's moment reaches the historical track through the vertical timeline's follower: a
// moment out of the track's view brings the track to it, one in view leaves it still.
TEST(CompositionTracks, TheCaretsMomentFarFromTheHistoricalTrackBringsTheTrackToIt) {
  TFreshFolder folder;
  TTracksProgram run(folder.Path());
  TvlTrackWindow &old = run.Old();
  const TDateTime from = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  run.ShowOld(from, 2);
  const TDateTime earliest = old.DateTimeScrollableInView_Earliest();
  const TDateTime inView = from + 60 * OneSec;
  ASSERT_LT(inView, old.DateTimeScrolledInView_Last());
  TimelineFollower().FollowMoment(inView);
  EXPECT_NEAR(old.DateTimeScrollableInView_Earliest(), earliest, 1e-9);

  const TDateTime farAway = EncodeDateTime(2009, 10, 12, 15, 30, 0);
  TimelineFollower().FollowMoment(farAway);
  EXPECT_LE(old.DateTimeScrollableInView_Earliest(), farAway);
  EXPECT_GE(old.DateTimeScrolledInView_Last(), farAway);
  EXPECT_TRUE(run.Window->TrackPanelLink()->TrackShowsMoment(btkHistorical, farAway));
}
