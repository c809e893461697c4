#include "vl09_VertTimeline.h"

#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlClock.h"
#include "vlGuard.h"
#include "vlVertTimelineLayout.h"
#include "vl_Document.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Colours of the drawing.
const QColor &TextColor = VertColors::Text;
const QColor &RedText = VertColors::Red;
const QColor &HotLineBack = VertColors::HotLineBack;
const QColor DefaultBackground(195, 205, 218);
const QColor DefaultTimeBackground(44, 58, 78);

// A click on a line of text makes the caret move; the follow that comes of it within this time
// is animated rather than deferred.
constexpr int ClickFollowWindowMs = 500;
constexpr int FollowAnimationMs = 400;
constexpr int MaxAnimationMs = 500;
constexpr int AnimationFrameMs = 16;
// Moments up to this are no moments (before 1927).
constexpr TDateTime NoMomentUpTo = 10000;
// Label texts are kept to one line of sensible length: the binder stores them as an attribute
// and the tracks draw them tilted.
constexpr int MaxLabelLength = 255;
constexpr int PlayMarkReachRows = 5;

QColor Fade(const QColor &Background, const QColor &Colour, double F) {
  auto ch = [F](int b, int c) { return int(std::lround(b + F * (c - b))); };
  return QColor(ch(Background.red(), Colour.red()), ch(Background.green(), Colour.green()),
                ch(Background.blue(), Colour.blue()));
}

// One line, no control characters, a sensible length.
QString SanitizedLabel(const QString &Text) {
  QString out;
  out.reserve(Text.size());
  for (const QChar c : Text)
    if (c.category() != QChar::Other_Control) out.append(c);
  if (out.size() > MaxLabelLength) out.truncate(MaxLabelLength);
  return out;
}

// The built-in vertical skin: the ruler's columns dark, the text column light, a soft edge
// between them. Used until the options give a skin of their own.
QImage DefaultSkin(const TBands &Bands) {
  QImage skin(600, 4, QImage::Format_RGB32);
  const int dark = Bands.FAudioTrackBand.Left, light = Bands.GradientRight();
  for (int x = 0; x < skin.width(); ++x) {
    double f = 1;
    if (x < dark)
      f = 0;
    else if (x < light)
      f = double(x - dark) / std::max(1, light - dark) * 0.6 + 0.4;
    const QColor c = Fade(DefaultTimeBackground, DefaultBackground, f);
    for (int y = 0; y < skin.height(); ++y) skin.setPixel(x, y, c.rgb());
  }
  // The colours are sampled at (120, 1) and (1, 1).
  skin.setPixel(120, 1, DefaultBackground.rgb());
  skin.setPixel(1, 1, DefaultTimeBackground.rgb());
  return skin;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Defaults of the seams

void TVertTimelineLinks::IncrementChangeCountOfActiveDoc() {
  if (TDocument *doc = ActiveDocument()) doc->ChangeCount_Increment();
}

void TVertTimelineLinks::ShowHint(const QString &Text, QPoint ScreenAt, int MSecs) {
  QToolTip::showText(ScreenAt, Text, nullptr, QRect(), MSecs);
}

void TVertTimelineLinks::TimeCursor_Update(QWidget *Control, TDateTime) {
  Control->setCursor(Qt::CrossCursor);
}

bool TVertTimelineAudioOfFacade::PlaySegmentRecentlyEnded() const {
  return FAudio.Controller().PlaySegmentRecentlyEnded();
}

void TCatalogueLevelSource::DrawAllVert(QImage &Image, const QRect &Band, TDateTime FromDT,
                                        TDateTime SpanFD) {
  if (SpanFD <= 0 || Band.isEmpty()) return;
  const QRect band = Band.intersected(Image.rect());
  if (band.isEmpty()) return;
  const TDateTime toDT = FromDT + band.height() * SpanFD;
  for (int i = 0; i < FMediaInfo.FilesCount(); ++i) {
    const TvlMediaInfo_PerFile &f = FMediaInfo.File(i);
    if (f.VU.empty() || f.StartDT <= 0 || f.EndDT < FromDT || f.StartDT > toDT) continue;
    const int y0 = std::max(band.top(), int(std::floor((f.StartDT - FromDT) / SpanFD)));
    const int y1 = std::min(band.bottom(), int(std::ceil((f.EndDT - FromDT) / SpanFD)));
    std::size_t k = 0;
    for (int y = y0; y <= y1; ++y) {
      // Milliseconds of the recording covered by this row.
      const double ms0 = (FromDT + (y - band.top()) * SpanFD - f.StartDT) * MSecsPerDay;
      const double ms1 = ms0 + SpanFD * MSecsPerDay;
      while (k < f.VU.size() && f.VU[k].MS < ms0) ++k;
      int peak = -1;
      for (std::size_t j = k; j < f.VU.size() && f.VU[j].MS < ms1; ++j)
        peak = std::max(peak, int(f.VU[j].Peak));
      if (peak < 0) continue;
      const int g = 60 + int(195 * std::min(1.0, std::sqrt(peak / 16384.0)));
      const int width = 2 + int((band.width() - 2) * std::min(1.0, peak / 12000.0));
      QRgb *line = reinterpret_cast<QRgb *>(Image.scanLine(y));
      for (int x = band.left(); x <= band.right(); ++x) line[x] = qRgb(0, 24, 0);
      const int left = band.left() + (band.width() - width) / 2;
      for (int x = left; x < left + width; ++x) line[x] = qRgb(0, g, 0);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Creation and wiring

TVertTimeline::TVertTimeline(QWidget *Parent)
    : QWidget(Parent),
      FLinks(&FDefaultLinks),
      FAudio(&FDefaultAudio),
      FLevelSource(&FDefaultLevels) {
  setObjectName(QStringLiteral("VertTimeline"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setMinimumSize(1, 1);
  FFeatureDT = Now();
  UpdateBackgroundFrom(DefaultSkin(Bands()), true);

  FIdle.setSingleShot(true);
  FIdle.setInterval(0);
  connect(&FIdle, &QTimer::timeout, this,
          [this] { RunGuarded([this] { OnIdle_DoPendingTimelineChangeIfAny(); }); });
  FBookmarksChangedSoon.setSingleShot(true);
  FBookmarksChangedSoon.setInterval(0);
  connect(&FBookmarksChangedSoon, &QTimer::timeout, this,
          [this] { RunGuarded([this] { FLinks->BookmarksChanged(); }); });
  FAnimation.setInterval(AnimationFrameMs);
  connect(&FAnimation, &QTimer::timeout, this,
          [this] { RunGuarded([this] { AnimationFrame(); }); });

  FLabelEd = new QLineEdit(this);
  FLabelEd->setObjectName(QStringLiteral("LabelEd"));
  FLabelEd->hide();
  FLabelEd->installEventFilter(this);
  connect(FLabelEd, &QLineEdit::editingFinished, this,
          [this] { RunGuarded([this] { CommitLabelEdit(); }); });

  FPopup = new QMenu(this);
  FPopup->setObjectName(QStringLiteral("VertTLPopupActionBar"));
  FRenameAction = FPopup->addAction(QStringLiteral("Rename Bookmark"));
  FRenameAction->setObjectName(QStringLiteral("aEditBookmarkRename"));
  FDeleteAction = FPopup->addAction(QStringLiteral("Delete Bookmark"));
  FDeleteAction->setObjectName(QStringLiteral("aEditBookmarkDelete"));
  connect(FRenameAction, &QAction::triggered, this,
          [this] { RunGuarded([this] { BookmarkEdit(NoEventID); }); });
  connect(FDeleteAction, &QAction::triggered, this,
          [this] { RunGuarded([this] { BookmarkDelete(); }); });

  RecomputeZoom();
}

TVertTimeline::~TVertTimeline() = default;

std::vector<const TDocument *> TVertTimelineLinks::Documents() {
  if (const TDocument *doc = ActiveDocument()) return {doc};
  return {};
}

void TVertTimeline::SetLinks(TVertTimelineLinks *Links) { FLinks = Links ? Links : &FDefaultLinks; }
void TVertTimeline::SetAudio(TVertTimelineAudio *Audio) { FAudio = Audio ? Audio : &FDefaultAudio; }
void TVertTimeline::SetDayFiles(TvlDayFilesManager *Days) {
  FDays = Days;
  OnEventsCleared();
}

void TVertTimeline::SetLevelSource(TVertLevelSource *Source) {
  FLevelSource = Source ? Source : &FDefaultLevels;
  InvalidateRendering();
}

void TVertTimeline::SetCatalogue(TvlMediaFoldersInfo *Folders, TvlMediaInfo *MediaInfo) {
  FFolders = Folders;
  FMediaInfo = MediaInfo;
  ComputeVisiblePortion(true, FZoom_PixelDuration, FWhereToLockWhen, FFeatureDT);
}

void TVertTimeline::SetExternalScrollbar(QScrollBar *Scrollbar) {
  if (FExternalScrollbar) disconnect(FExternalScrollbar, nullptr, this, nullptr);
  FExternalScrollbar = Scrollbar;
  if (Scrollbar) {
    connect(Scrollbar, &QScrollBar::valueChanged, this, [this](int Value) {
      if (FUpdatingScrollbar) return;
      RunGuarded([&] {
        ExternalScrollbar_SetFromPosOnly(Value);
        // The bounds follow the view once the thumb is let go, so that scrolling can go on
        // past the days first given.
        if (!FExternalScrollbar->isSliderDown()) UpdateScrollbar();
      });
    });
    connect(Scrollbar, &QScrollBar::sliderReleased, this,
            [this] { RunGuarded([this] { UpdateScrollbar(); }); });
    UpdateScrollbar();
  }
}

void TVertTimeline::SetWordsPerMinute(int WordsPerMinute) {
  ZoomMemoryParameter = 5 * std::clamp(WordsPerMinute, 1, 1000);
  RecomputeZoom();
}

void TVertTimeline::SetSkinScrolls(bool Scrolling) {
  if (Scrolling == FScrollingSkin || FSkin.isNull()) return;
  FScrollingSkin = Scrolling;
  InvalidateRendering();
}

void TVertTimeline::SetTwentyFourHourTime(bool On) {
  if (On == FTwentyFour) return;
  FTwentyFour = On;
  InvalidateRendering();
}

void TVertTimeline::UpdateBackgroundFrom(const QImage &SourceBM, bool Scrolling) {
  if (!SourceBM.isNull() && SourceBM.width() > 120 && SourceBM.height() > 1) {
    FBackground = QColor::fromRgb(SourceBM.pixel(120, 1));
    FTimeBackground = QColor::fromRgb(SourceBM.pixel(1, 1));
    FSkin = SourceBM.convertToFormat(QImage::Format_RGB32);
    FScrollingSkin = Scrolling;
  } else {
    FBackground = palette().color(QPalette::Light);
    FTimeBackground = FBackground;
    FSkin = QImage();
    FScrollingSkin = false;
  }
  InvalidateRendering();
}

// ---------------------------------------------------------------------------------------------
// The view

int TVertTimeline::RowOf(TDateTime T) const {
  return TVertRowMap(FFromDT, FZoom_PixelSpanFD).RowOf(T);
}

TDateTime TVertTimeline::TimeOfRow(int Y) const { return FFromDT + Y * FZoom_PixelSpanFD; }

void TVertTimeline::ComputeVisiblePortion(bool UpdateScrollbarToo, double PixelDuration,
                                          double Where, TDateTime When) {
  FFeatureDT = When;
  FWhereToLockWhen = Where;
  FZoom_PixelDuration = PixelDuration > 0 ? PixelDuration : 1;
  FZoom_PixelSpanFD = FZoom_PixelDuration / SecsPerDay;
  const TDateTime span = height() * FZoom_PixelSpanFD;
  FFromDT = When - Where * span;
  FToDT = FFromDT + span;
  if (FFolders && FMediaInfo && IsValidDateTime(FFromDT) && IsValidDateTime(FToDT)) {
    FFolders->ListFilesTouchedByTimePeriod(DateOf(FFromDT), DateOf(FToDT) + 1, *FMediaInfo);
    FMediaInfo->SendHistoricalVisualizationData(FFromDT, FToDT);
  }
  if (UpdateScrollbarToo) UpdateScrollbar();
  InvalidateRendering();
}

void TVertTimeline::UpdateScrollbar() {
  if (!FExternalScrollbar || !IsValidDateTime(FFromDT)) return;
  TDateTime lower = DateOf(FFromDT) - 1, upper = DateOf(FToDT) + 2;
  if (FFolders && !FFolders->Entries().empty()) {
    // The loaded months' recordings are reachable, but never more than two months away.
    lower = std::max(std::min(lower, DateOf(FFolders->Entries().front().Start)), lower - 62);
    upper = std::min(std::max(upper, DateOf(FFolders->Entries().back().End()) + 1), upper + 62);
  }
  FStartOfDay1DT = lower;
  const auto secs = [](TDateTime Days) { return int(std::lround(Days * SecsPerDay)); };
  const int maximum = secs(upper - lower);
  const int position = std::clamp(secs(FFromDT - lower), 0, maximum);
  const int page = std::clamp(secs(FToDT - FFromDT), 0, maximum);
  FUpdatingScrollbar = true;
  // Qt keeps the page outside the range: its maximum is the last position, not the end.
  FExternalScrollbar->setRange(0, std::max(0, maximum - page));
  FExternalScrollbar->setPageStep(std::max(1, page));
  FExternalScrollbar->setSingleStep(std::max(1, page / 12));
  FExternalScrollbar->setValue(position);
  FUpdatingScrollbar = false;
}

void TVertTimeline::SetFeatureDT(TDateTime When) {
  ComputeVisiblePortion(true, FZoom_PixelDuration, FWhereToLockWhen, When);
}

void TVertTimeline::SetWhereToLockWhen(double Where) {
  ComputeVisiblePortion(true, FZoom_PixelDuration, Where, FFeatureDT);
}

void TVertTimeline::SetZoom_PixelDuration(double Value) {
  ComputeVisiblePortion(true, Value, FWhereToLockWhen, FFeatureDT);
}

void TVertTimeline::SetFromDT(TDateTime When) {
  const TDateTime shift = When - FFromDT;
  ComputeVisiblePortion(true, FZoom_PixelDuration, FWhereToLockWhen, FFeatureDT + shift);
}

void TVertTimeline::ExternalScrollbar_SetFromPosOnly(int NewScrollbarPos) {
  const TDateTime newFrom = FStartOfDay1DT + NewScrollbarPos / SecsPerDay;
  const TDateTime shift = newFrom - FFromDT;
  ComputeVisiblePortion(false, FZoom_PixelDuration, FWhereToLockWhen, FFeatureDT + shift);
}

void TVertTimeline::RecomputeZoom() {
  FZoom_PixelDuration =
      VertPixelDuration(width(), Bands().FKeyboardingBand.Left, ZoomMemoryParameter);
  ComputeVisiblePortion(true, FZoom_PixelDuration, FWhereToLockWhen, FFeatureDT);
}

// ---------------------------------------------------------------------------------------------
// Following

void TVertTimeline::InvalidateRendering() {
  FRenderIsOld = true;
  update();
}

void TVertTimeline::InvalidateRenderingNextOnIdle(TDateTime When) {
  FInvalidateRenderingPendingDT = When;
  FIdle.start();
}

void TVertTimeline::OnIdle_DoPendingTimelineChangeIfAny() {
  if (FInvalidateRenderingPendingDT == 0) return;
  const TDateTime when = FInvalidateRenderingPendingDT;
  FInvalidateRenderingPendingDT = 0;
  SetFeatureDT(when);
}

void TVertTimeline::MaybeCauseTimelineToFollowDT(TDateTime When) {
  if (!(When > NoMomentUpTo) || !IsValidDateTime(When)) return;
  const std::int64_t now = Clock().SteadyMSecs();
  if (MouseLineFixedClickMs >= 0 && now - MouseLineFixedClickMs <= ClickFollowWindowMs) {
    MouseLineFixedClickMs = -1;
    FInvalidateRenderingPendingDT = 0;
    MaybeCauseTimelineToFollowDT_Animated(FollowAnimationMs, When);
    return;
  }
  // A later caret move replaces an animation still running: the last moment wins.
  FAnimation.stop();
  InvalidateRenderingNextOnIdle(When);
}

void TVertTimeline::MaybeCauseTimelineToFollowDT_Animated(int DurationInMilliseconds,
                                                          TDateTime When) {
  FAnimFromDT = FFeatureDT;
  FAnimToDT = When;
  FAnimStartMs = Clock().SteadyMSecs();
  FAnimDurationMs = std::max(1, DurationInMilliseconds);
  FAnimation.start();
  AnimationFrame();
}

void TVertTimeline::AnimationFrame() {
  const std::int64_t elapsed = Clock().SteadyMSecs() - FAnimStartMs;
  const double f = std::min(double(elapsed) / FAnimDurationMs, 1.0);
  if (f >= 1 || elapsed >= MaxAnimationMs) {
    FAnimation.stop();
    SetFeatureDT(FAnimToDT);
    return;
  }
  SetFeatureDT(FAnimFromDT + (FAnimToDT - FAnimFromDT) * f);
}

void TVertTimeline::OnVuEvent_MaybeInvalidate() {
  const int h = height();
  if (FAudio->IsPlaying()) {
    const int po = RowOf(FAudio->PlayPosition());
    if (po >= -PlayMarkReachRows && po <= h + PlayMarkReachRows && po != PlaySliderDrawnAtPO)
      update();
  }
  if (FAudio->IsRecording()) {
    const int ro = RowOf(FAudio->RecordingPosition());
    if (ro >= -PlayMarkReachRows && ro <= h + PlayMarkReachRows && ro != RecSliderDrawnAtPO) {
      RecSliderDrawnAtPO = ro;
      InvalidateRendering();
    }
  }
}

void TVertTimeline::RecorderLevel(int, TDateTime) { OnVuEvent_MaybeInvalidate(); }
void TVertTimeline::PlayerLevel(int, int, int) { OnVuEvent_MaybeInvalidate(); }

// ---------------------------------------------------------------------------------------------
// Bookmarks

void TVertTimeline::ResetMarkerState() {
  MouseOverMarker = false;
  MouseMarkerDown = false;
  FMarkerMoved = false;
  FMouseMarkerEID = NoEventID;
  FPopupEID = NoEventID;
}

void TVertTimeline::BookmarkEdit(TEventID EventIdToEditOrInvalid) {
  TEventID id = EventIdToEditOrInvalid;
  if (id < 0) id = FPopupEID >= 0 ? FPopupEID : FMouseMarkerEID;
  TvlDayFilesManager *dfm = DayFiles();
  TvlEvent e;
  if (id < 0 || !dfm || !dfm->Event_FromEventID(id, e) || e.Kind == koeNone) return;
  if (FEditingEID >= 0) CommitLabelEdit();
  // A label just made at the caret may lie outside the view until the idle pass: apply the
  // pending move first, and bring the bookmark into view when it is still outside.
  OnIdle_DoPendingTimelineChangeIfAny();
  int row = RowOf(e.When);
  if (row < 12 || row >= height()) {
    SetFeatureDT(e.When);
    row = RowOf(e.When);
  }
  FEditingEID = id;
  FEditingOriginal = e.Text;
  const int left = std::max(2, Bands().FMarkersBand.Right + 2);
  const int w = std::max(20, width() - left - 6);
  const int h = FLabelEd->sizeHint().height();
  const int top = std::clamp(row - 12, 0, std::max(0, height() - h));
  FLabelEd->setGeometry(left, top, w, h);
  FLabelEd->setText(e.Text);
  FLabelEd->end(false);
  FLabelEd->show();
  FLabelEd->raise();
  FLabelEd->setFocus(Qt::OtherFocusReason);
}

void TVertTimeline::CommitLabelEdit() {
  if (FEditingEID < 0) return;
  const TEventID id = FEditingEID;
  FEditingEID = NoEventID;
  FLabelEd->hide();
  const QString text = SanitizedLabel(FLabelEd->text());
  TvlDayFilesManager *dfm = DayFiles();
  if (!dfm || text == FEditingOriginal) return;
  TvlEvent e;
  if (!dfm->Event_FromEventID(id, e) || e.Kind == koeNone) return;
  dfm->AddLabel(id, text);
  dfm->EventKind_Override(id, koeLabel);
  FLinks->IncrementChangeCountOfActiveDoc();
  FLinks->BookmarksChanged();
  InvalidateRendering();
}

bool TVertTimeline::BookmarkDelete() {
  const TEventID id = FPopupEID >= 0 ? FPopupEID : FMouseMarkerEID;
  TvlDayFilesManager *dfm = DayFiles();
  if (id < 0 || !dfm || !dfm->Event_Delete(id)) return false;
  if (FEditingEID == id) {
    FEditingEID = NoEventID;
    FLabelEd->hide();
  }
  ResetMarkerState();
  unsetCursor();
  FLinks->IncrementChangeCountOfActiveDoc();
  FLinks->BookmarksChanged();
  InvalidateRendering();
  return true;
}

void TVertTimeline::OnEventsCleared() {
  FEditingEID = NoEventID;
  FLabelEd->hide();
  FPopup->hide();
  ResetMarkerState();
  DraggingLockWhen = false;
  FHotLine = -1;
  FOut.Bookmarks.clear();
  unsetCursor();
  InvalidateRendering();
}

bool TVertTimeline::eventFilter(QObject *Watched, QEvent *E) {
  if (Watched == FLabelEd && E->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(E)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
      RunGuarded([this] {
        CommitLabelEdit();
        FLinks->FocusActiveEditor();
      });
      return true;
    }
  }
  return QWidget::eventFilter(Watched, E);
}

// ---------------------------------------------------------------------------------------------
// Rendering

RVertView TVertTimeline::View() const {
  RVertView view;
  view.Size = QSize(std::max(1, width()), std::max(1, height()));
  view.PixelRatio = devicePixelRatioF();
  view.FromDT = FFromDT;
  view.SpanFD = FZoom_PixelSpanFD;
  view.FeatureDT = FFeatureDT;
  view.WhereToLockWhen = FWhereToLockWhen;
  view.TwentyFour = FTwentyFour;
  view.Background = FBackground;
  view.TimeBackground = FTimeBackground;
  view.Skin = FSkin;
  view.ScrollingSkin = FScrollingSkin;
  return view;
}

TvlDayFilesManager *TVertTimeline::DayFiles() const { return FDays ? FDays : vlDFM(); }

void TVertTimeline::RenderAnew() {
  FRenderIsOld = false;
  ++FRenderCount;
  // Drawn at the screen's pixel density (twice the pixels on a screen scaled by 2), in the
  // widget's own coordinates: the text stays sharp and the layout is that of scale 1.
  FRender.Render(View(), DayFiles(), FLinks->Documents(), FLevelSource, FOut);
  // A held hot line stays held only while its rectangle still holds a line of the new render.
  if (FHotLine >= 0) {
    FHotLine = -1;
    for (std::size_t i = 0; i < FOut.LineRects.size(); ++i)
      if (FOut.LineRects[i].intersects(MouseLineFixedRect) &&
          FOut.Lines[i].Text == MouseLineFixedText) {
        FHotLine = int(i);
        MouseLineFixedRect = FOut.LineRects[i];
      }
  }
}

QRect TVertTimeline::LockHandleRect() const { return FRender.LockHandleRect(View()); }

void TVertTimeline::DrawHotLine(QPainter &P) {
  if (FHotLine < 0) return;
  const TBand &kb = Bands().FKeyboardingBand;
  const QFontMetrics fm(kb.Font);
  P.fillRect(MouseLineFixedRect.adjusted(-1, 0, 2, 0), HotLineBack);
  P.setFont(kb.Font);
  const QString before = MouseLineFixedText.left(MouseLineFixedRedFrom);
  const QString after = MouseLineFixedText.mid(MouseLineFixedRedFrom);
  const int base = MouseLineFixedRect.top() + fm.ascent();
  const int left = MouseLineFixedRect.left();
  P.setPen(TextColor);
  P.drawText(left, base, before);
  P.setPen(RedText);
  P.drawText(left + fm.horizontalAdvance(before), base, after);
}

void TVertTimeline::DrawPlayMark(QPainter &P) {
  if (!FAudio->IsPlaying() && !FAudio->PlaySegmentRecentlyEnded()) return;
  const int po = RowOf(FAudio->PlayPosition());
  PlaySliderDrawnAtPO = po;
  if (po < -PlayMarkReachRows || po > height() + PlayMarkReachRows) return;
  const TBand &audio = Bands().FAudioTrackBand;
  static const QColor colours[7] = {
      QColor(128, 128, 128), QColor(192, 192, 192), QColor(192, 192, 192), QColor(96, 96, 96),
      QColor(128, 128, 128), QColor(128, 128, 128), QColor(128, 128, 128)};
  for (int i = -3; i <= 3; ++i) {
    const int extend = (3 - std::abs(i)) * 2;
    P.fillRect(audio.Left - extend, po + i, audio.Width + 2 * extend, 1, colours[i + 3]);
  }
}

void TVertTimeline::paintEvent(QPaintEvent *) {
  RunGuardedDeferred([this] {
    if (FRenderIsOld || RenderedSize() != size() ||
        FOut.Image.devicePixelRatio() != devicePixelRatioF())
      RenderAnew();
    QPainter p(this);
    p.drawImage(0, 0, FOut.Image);
    DrawHotLine(p);
    DrawPlayMark(p);
  });
}

void TVertTimeline::resizeEvent(QResizeEvent *) {
  RunGuarded([this] {
    RecomputeZoom();
    if (FEditingEID >= 0) {
      const QRect g = FLabelEd->geometry();
      FLabelEd->setGeometry(g.left(), std::clamp(g.top(), 0, std::max(0, height() - g.height())),
                            std::max(20, width() - g.left() - 6), g.height());
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TVertTimeline::mousePressEvent(QMouseEvent *E) {
  const QPoint at = E->position().toPoint();
  RunGuarded([&] { MouseDown(E->button(), E->modifiers(), at); });
}

void TVertTimeline::mouseMoveEvent(QMouseEvent *E) {
  const QPoint at = E->position().toPoint();
  RunGuarded([&] { MouseMove(E->buttons(), at); });
}

void TVertTimeline::mouseReleaseEvent(QMouseEvent *E) {
  const QPoint at = E->position().toPoint();
  RunGuarded([&] { MouseUp(at); });
}

void TVertTimeline::wheelEvent(QWheelEvent *E) {
  if (!FExternalScrollbar) return;
  const int notches = E->angleDelta().y() / 120;
  if (notches != 0)
    FExternalScrollbar->setValue(FExternalScrollbar->value() -
                                 notches * FExternalScrollbar->singleStep());
}

void TVertTimeline::leaveEvent(QEvent *) {
  if (FHotLine >= 0) {
    FHotLine = -1;
    update();
  }
}

void TVertTimeline::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers, QPoint At) {
  MouseDownAt = At;
  if (Button == Qt::RightButton && (Modifiers & Qt::ControlModifier) && At.x() >= width() - 20 &&
      At.y() < 20) {
    FLinks->ShowFullMenu(mapToGlobal(At));
    return;
  }
  UpdateHover(At);
  if (Button == Qt::LeftButton) {
    if (FOut.DateHeaderRect.contains(At)) {
      FLinks->OpenCalendar(FFromDT);
    } else if (LockHandleRect().contains(At)) {
      CommitLabelEdit();
      DraggingLockWhen = true;
    } else if (MouseOverMarker && FMouseMarkerEID >= 0) {
      MouseMarkerDown = true;
      FMarkerMoved = false;
      if (TvlDayFilesManager *dfm = DayFiles())
        MouseMarkerDT = dfm->EventWhen_FromEventID(FMouseMarkerEID);
    } else if (Bands().FAudioTrackBand.IsWithin(At.x())) {
      const double tempo = FLinks->WantTempo();
      const TPlayResult r = FAudio->PlayFrom(TimeOfRow(At.y()), tempo);
      if (r == prOkay)
        FLinks->ShowTempo(tempo);
      else if (r == prNoAudio)
        FLinks->ShowHint(QStringLiteral("NO AUDIO"),
                         mapToGlobal(QPoint(Bands().FAudioTrackBand.Right, At.y() - 20)), 500);
    } else if (FHotLine >= 0) {
      // The caret goes to the clicked text and the keyboard with it, so typing goes on there.
      MoveCaretToHotLine();
      FLinks->FocusActiveEditor();
    }
  } else if (Button == Qt::RightButton && MouseOverMarker && FMouseMarkerEID >= 0) {
    FPopupEID = FMouseMarkerEID;
    // The menu swallows the release: no drag may stay pending behind it.
    MouseMarkerDown = false;
    FPopup->popup(mapToGlobal(At));
  }
  InvalidateRendering();
}

const TDocument *TVertTimeline::DocumentHolding(TEventID ID) {
  TvlEvent e;
  TvlDayFilesManager *days = DayFiles();
  if (ID < 0 || !days || !days->Event_FromEventID(ID, e) || e.Kind != koeTyping) return nullptr;
  std::vector<const TDocument *> docs = FLinks->Documents();
  // The active document first: most lines clicked were typed there.
  if (const TDocument *active = FLinks->ActiveDocument()) docs.insert(docs.begin(), active);
  for (const TDocument *doc : docs) {
    if (!doc) continue;
    for (int sn = doc->Section_Low(); sn <= doc->Section_High(); ++sn) {
      const TParagraph *p = doc->Paragraph_FromSectionNum(sn);
      if (!p) continue;
      for (int i = 1; i <= p->High(); ++i)
        if (TypingEventMoment(p->Timestamp_Get(i)) == e.When &&
            TypingEventText(p->Char_GetChar(i)) == e.Text)
          return doc;
    }
  }
  return nullptr;
}

void TVertTimeline::MoveCaretToHotLine() {
  if (FHotLine < 0) return;
  // A line typed in another tab takes the caret to that tab, not to the nearest moment of an
  // unrelated document.
  if (const TDocument *holder = DocumentHolding(MouseLineFixedFirstID);
      holder && holder != FLinks->ActiveDocument())
    FLinks->ActivateDocument(holder);
  TDocument *doc = FLinks->ActiveDocument();
  if (!doc) return;
  TCaretPos pos;
  if (!doc->Timestamp_SearchForNearestEffectiveTS(MouseLineFixedWhen, pos)) return;
  const int advance = int(RoundHalfEven(MouseLineFixedText.size() * HotTextRatio));
  const int lastGap = doc->Paragraph_Length(pos.SN) + 1;
  pos.SetGN(std::min(pos.GN() + advance, lastGap));
  MouseLineFixedClickMs = Clock().SteadyMSecs();
  FLinks->MoveCaretTo(pos);
}

void TVertTimeline::UpdateHover(QPoint At) {
  // The hot line: held while the mouse stays on its rectangle, else the line under the mouse.
  const int oldHot = FHotLine;
  if (FHotLine >= 0 && !MouseLineFixedRect.contains(At)) FHotLine = -1;
  if (FHotLine < 0) {
    for (std::size_t i = 0; i < FOut.LineRects.size(); ++i) {
      if (!FOut.LineRects[i].contains(At)) continue;
      FHotLine = int(i);
      MouseLineFixedRect = FOut.LineRects[i];
      MouseLineFixedText = FOut.Lines[i].Text;
      MouseLineFixedWhen = FOut.Lines[i].FirstWhen();
      MouseLineFixedFirstID = FOut.Lines[i].IDs.empty() ? NoEventID : FOut.Lines[i].IDs.front();
      MouseLineFixedRedFrom = FOut.LineRedFrom[i];
      break;
    }
  }
  if (FHotLine >= 0)
    HotTextRatio = double(At.x() - MouseLineFixedRect.left()) /
                   std::max(1, MouseLineFixedRect.right() - MouseLineFixedRect.left());
  if (FHotLine != oldHot) update();

  MouseOverMarker = false;
  if (!MouseMarkerDown) {
    for (const RDrawnBookmark &b : FOut.Bookmarks)
      if (b.Rect.contains(At)) {
        MouseOverMarker = true;
        FMouseMarkerEID = b.ID;
      }
  }
  if (FHotLine >= 0)
    setCursor(Qt::PointingHandCursor);
  else if (MouseOverMarker || MouseMarkerDown)
    setCursor(Qt::SizeVerCursor);
  else if (LockHandleRect().contains(At) || DraggingLockWhen)
    setCursor(Qt::SplitVCursor);
  else if (FOut.DateHeaderRect.contains(At))
    setCursor(Qt::PointingHandCursor);
  else if (Bands().FAudioTrackBand.IsWithin(At.x()))
    FLinks->TimeCursor_Update(this, TimeOfRow(At.y()));
  else
    setCursor(Qt::ArrowCursor);
}

void TVertTimeline::MouseMove(Qt::MouseButtons Buttons, QPoint At) {
  if (!(Buttons & Qt::LeftButton)) {
    UpdateHover(At);
    return;
  }
  if (DraggingLockWhen) {
    SetWhereToLockWhen(LockFractionForMouse(At.y(), height()));
    return;
  }
  if (MouseMarkerDown && FMouseMarkerEID >= 0) {
    TvlDayFilesManager *dfm = DayFiles();
    if (!dfm) return;
    const TDateTime when =
        MouseMarkerDT + (At.y() - MouseDownAt.y()) * FZoom_PixelDuration / SecsPerDay;
    // Across midnight the bookmark moves to another day file and gets a new ID: keep following
    // that one, or the next moves would act on the deleted slot.
    const TEventID moved = dfm->EventWhen_Override(FMouseMarkerEID, when);
    if (moved != NoEventID) FMouseMarkerEID = moved;
    FMarkerMoved = true;
    InvalidateRendering();
    // The tracks follow the drag as it goes, once for all the moves one pass of the event
    // loop brings.
    FBookmarksChangedSoon.start();
    return;
  }
  if (FHotLine >= 0 && MouseLineFixedRect.contains(At)) {
    HotTextRatio = double(At.x() - MouseLineFixedRect.left()) /
                   std::max(1, MouseLineFixedRect.right() - MouseLineFixedRect.left());
    MoveCaretToHotLine();
  }
}

void TVertTimeline::MouseUp(QPoint At) {
  DraggingLockWhen = false;
  if (MouseMarkerDown) {
    MouseMarkerDown = false;
    if (FMarkerMoved) {
      FMarkerMoved = false;
      FBookmarksChangedSoon.stop();
      FLinks->IncrementChangeCountOfActiveDoc();
      FLinks->BookmarksChanged();
    }
  }
  UpdateHover(At);
  InvalidateRendering();
}

// ---------------------------------------------------------------------------------------------
// The side panel's column

TVertTimelineSidePanel::TVertTimelineSidePanel(QWidget *Parent) : QWidget(Parent) {
  FLayout = new QVBoxLayout(this);
  FLayout->setContentsMargins(0, 0, 0, 0);
  FLayout->setSpacing(0);
  auto *row = new QWidget(this);
  auto *rowLayout = new QHBoxLayout(row);
  rowLayout->setContentsMargins(0, 0, 0, 0);
  rowLayout->setSpacing(0);
  FTimeline = new TVertTimeline(row);
  FScrollbar = new QScrollBar(Qt::Vertical, row);
  FScrollbar->setObjectName(QStringLiteral("VertTimelineScrollBar"));
  rowLayout->addWidget(FTimeline, 1);
  rowLayout->addWidget(FScrollbar);
  FLayout->addWidget(row, 1);
  FTimeline->SetExternalScrollbar(FScrollbar);
}

void TVertTimelineSidePanel::AttachLevelMeter(QWidget *Meter) {
  delete FMeter;
  FMeter = Meter;
  if (!Meter) return;
  Meter->setParent(this);
  Meter->setFixedHeight(5);
  FLayout->insertWidget(0, Meter);
}
