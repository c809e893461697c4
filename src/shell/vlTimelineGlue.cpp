#include "vlTimelineGlue.h"

#include "vl09_Hint.h"
#include "vl09_Main.h"
#include "vl09_MyAudio.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_VuMeter.h"
#include "vlClock.h"
#include "vlEditorPage.h"
#include "vlWindowView.h"

#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

TvlTimelineGlue::TvlTimelineGlue(TvlAudio &Audio, TvlMediaFoldersInfo &Folders,
                                 TvlMediaInfo &MediaInfo, TvlOptions &Options)
    : FAudio(Audio),
      FFolders(Folders),
      FMediaInfo(MediaInfo),
      FOptions(Options),
      FTimelineAudio(Audio),
      FLevels(MediaInfo) {
  FFollower.AlsoFollow = [this](TDateTime Moment) {
    if (FTracksLink) FTracksLink->Follow(Moment);
  };
  // The level band's cursor: white behind the time, the arrow's tip 6 pixels in.
  FTimeCursorLoud.FBrushColor = Qt::white;
  FTimeCursorLoud.FHotSpotX = 6;
}

TvlTimelineGlue::~TvlTimelineGlue() = default;

void TvlTimelineGlue::Connect(TVellomarFm &Window, TvlNotebook *Notebook) {
  FWindow = &Window;
  FNotebook = Notebook;
  auto *timeline = new TVertTimeline;
  timeline->setObjectName(QStringLiteral("VertTimeline"));
  FTimeline = timeline;
  timeline->SetLinks(this);
  timeline->SetAudio(&FTimelineAudio);
  timeline->SetLevelSource(&FLevels);
  timeline->SetCatalogue(&FFolders, &FMediaInfo);
  timeline->SetWordsPerMinute(FOptions.WordsPerMinute());
  Window.AttachVertTimeline(timeline);
  if (QScrollBar *bar = Window.VertTimelineScrollBar()) timeline->SetExternalScrollbar(bar);
  // The window frees the timeline when it closes, while the player's level tick may still run:
  // it stops listening as it goes.
  TAudioLevelListener *listener = timeline;
  FAudio.AddLevelListener(listener);
  QObject::connect(timeline, &QObject::destroyed, timeline,
                   [this, listener] { FAudio.RemoveLevelListener(listener); });
  FBookmarks.SetTimeline(timeline);
  FFollower.SetTimeline(timeline);
  FOptions.OnWordsPerMinuteChanged = [this] {
    if (FTimeline) FTimeline->SetWordsPerMinute(FOptions.WordsPerMinute());
  };
  FBookmarks.BookmarksChanged = [this] { BookmarksChanged(); };
  Window.SetTimelinePanelLink(this);
  ApplyOptions();

  // The input level strip above the timeline; it goes with the window's panel.
  if (QWidget *strip = Window.HorizontalVuPnl()) {
    auto *meter = new TVuMeter(strip);
    meter->setObjectName(QStringLiteral("vlVuMeter"));
    meter->setToolTip(QStringLiteral("The microphone's level while recording"));
    if (strip->layout()) strip->layout()->addWidget(meter);
    FMeter = meter;
    TAudioLevelListener *levels = this;
    FAudio.AddLevelListener(levels);
    QObject::connect(meter, &QObject::destroyed, meter,
                     [this, levels] { FAudio.RemoveLevelListener(levels); });
  }
}

void TvlTimelineGlue::DoPendingTimelineChange() {
  if (FTimeline) FTimeline->OnIdle_DoPendingTimelineChangeIfAny();
}

TDateTime TvlTimelineGlue::FeatureMoment() const {
  return FTimeline ? FTimeline->FeatureDT() : TDateTime(0);
}

void TvlTimelineGlue::ViewRecordings() {
  const TDateTime feature = FeatureMoment();
  ViewRecordings(feature > 100 ? feature : Now());
}

void TvlTimelineGlue::ShowInputLevel(int Level) {
  if (FMeter) FMeter->OnVuEvent_NewData(Level);
}

void TvlTimelineGlue::RecorderLevel(int Level, TDateTime) { ShowInputLevel(Level); }

void TvlTimelineGlue::PlayerLevel(int, int, int) {}

void TvlTimelineGlue::BookmarksChanged() {
  if (FTracksLink) FTracksLink->BookmarksChanged();
}

void TvlTimelineGlue::SetLevelSource(TVertLevelSource *Source) {
  if (FTimeline) FTimeline->SetLevelSource(Source ? Source : &FLevels);
}

void TvlTimelineGlue::ApplyOptions() {
  if (!FTimeline) return;
  FTimeline->SetTwentyFourHourTime(FOptions.FTwentyFourHourTime);
  FTimeline->SetSkinScrolls(FOptions.FSkinScrolls);
}

void TvlTimelineGlue::EventsCleared() {
  if (FTimeline) FTimeline->OnEventsCleared();
}

void TvlTimelineGlue::ViewRecordings(TDateTime When) {
  // Until the tracks are in the window, a chosen recording has nowhere to be shown but the
  // calendar's own hint; the default links do that.
  ::OpenCalendar(FWindow, &FFolders, FCalendarLinks, When);
}

TDocument *TvlTimelineGlue::ActiveDocument() {
  return FNotebook ? FNotebook->GetActiveDocument() : nullptr;
}

std::vector<const TDocument *> TvlTimelineGlue::Documents() {
  std::vector<const TDocument *> docs;
  if (!FNotebook) return docs;
  for (int i = 0; i < FNotebook->PageCount(); ++i)
    if (RvlPage *page = FNotebook->GetPageFromIndex(i); page && page->mtcDoc)
      docs.push_back(page->mtcDoc.get());
  return docs;
}

void TvlTimelineGlue::MoveCaretTo(const TCaretPos &Pos) {
  if (!FNotebook) return;
  RvlPage *page = FNotebook->GetActivePagePtr();
  if (!page) return;
  if (auto *view = dynamic_cast<TvlEditorPage *>(page->MyWindowView)) {
    view->View().Caret_MoveToPos(Pos);
    view->View().Caret_ScrollIntoView();
  }
}

void TvlTimelineGlue::ActivateDocument(const TDocument *Doc) {
  if (!FNotebook || !Doc) return;
  for (int i = 0; i < FNotebook->PageCount(); ++i)
    if (RvlPage *page = FNotebook->GetPageFromIndex(i); page && page->mtcDoc.get() == Doc) {
      FNotebook->ActivatePage(i);
      return;
    }
}

void TvlTimelineGlue::FocusActiveEditor() {
  if (FNotebook) FNotebook->FocusActivePage();
}

void TvlTimelineGlue::OpenCalendar(TDateTime SeedWhen) { ViewRecordings(SeedWhen); }

void TvlTimelineGlue::ShowFullMenu(QPoint ScreenAt) {
  if (!FWindow) return;
  delete FFullMenu;
  auto *menu = new QMenu(FWindow);
  menu->setObjectName(QStringLiteral("VertTimelineFullMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The menu bar's own menus, shared: their items stay enabled and checked as the window keeps
  // them.
  for (QAction *top : FWindow->menuBar()->actions())
    if (top->menu() && top->isVisible()) menu->addAction(top);
  FFullMenu = menu;
  menu->popup(ScreenAt);
}

void TvlTimelineGlue::TimeCursor_Update(QWidget *Control, TDateTime When) {
  FTimeCursorLoud.Update_Time(Control, When);
}

void TvlTimelineGlue::ShowHint(const QString &Text, QPoint ScreenAt, int MSecs) {
  if (FWindow && FWindow->Hint())
    FWindow->Hint()->ShowIt(Text, ScreenAt, MSecs);
  else
    TVertTimelineLinks::ShowHint(Text, ScreenAt, MSecs);
}
