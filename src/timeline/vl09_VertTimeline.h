#pragma once
// TVertTimeline: the side panel that shows time running downwards beside the notes. Every pixel
// row is a slice of time; from left to right a ruler with a date header, the level band of the
// recordings (with the play mark), bookmark boxes, and the words typed at each moment, placed at
// the height of their time. One moment, the feature time, stands at a fixed fraction of the
// height (the lock handle); the panel follows the notes' caret by moving it, either on the next
// idle pass or, right after a click on a line of text, animated in timer frames.
//
// A click on a line of text puts the caret there; a click in the level band plays from that
// row; bookmarks are dragged in time (across midnight too: the day files then hand out a new ID,
// which the drag adopts), renamed in an edit box and deleted from a pop-up. Every committed
// bookmark change counts a change in the active document, so the binder is saved again.
//
// The picture is rendered into an image only when what it shows changed; the hot line under the
// mouse and the play mark are drawn over it in paintEvent, and the mouse is tested against the
// line and bookmark rectangles the last render cached, so hovering never renders.
//
// What the panel needs from elsewhere comes through small interfaces with harmless defaults:
// TVertTimelineLinks (the notes, the main window), TVertTimelineAudio (playing and recording),
// TVertLevelSource (the level pictures). The events come from the day files manager given with
// SetDayFiles (until then the one in existence, vlDFM()). The picture itself is drawn by
// TVertTimelineRender (vlVertTimelineRender.h), which needs no widget.
//
// User-interface thread only. Qt entry points run guarded.

#include "vl09_DayFiles.h"
#include "vl09_MyAudio.h"
#include "vlDateTime.h"
#include "vlVertTimelineLayout.h"
#include "vlVertTimelineRender.h"
#include "vldSection.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;

class QVBoxLayout;
class TDocument;
class TvlDayFilesManager;
class TvlMediaFoldersInfo;
class TvlMediaInfo;

// What the timeline asks of the notes and the main window. Not owned.
class TVertTimelineLinks {
 public:
  virtual ~TVertTimelineLinks() = default;
  // The document of the active tab; nullptr when there is none.
  virtual TDocument *ActiveDocument() { return nullptr; }
  // Every open document (the text of every tab is drawn); the active one by default.
  virtual std::vector<const TDocument *> Documents();
  // Puts the active editor's caret at Pos with nothing selected, focuses the editor and scrolls
  // the caret into view.
  virtual void MoveCaretTo(const TCaretPos & /*Pos*/) {}
  // Makes Doc, one of Documents(), the active one (its tab comes forward).
  virtual void ActivateDocument(const TDocument * /*Doc*/) {}
  virtual void FocusActiveEditor() {}
  // A bookmark change was committed: the active document counts a change, so the binder (which
  // alone stores bookmarks) is saved again. The default counts it in ActiveDocument().
  virtual void IncrementChangeCountOfActiveDoc();
  // Bookmarks were moved, renamed, added or deleted here: the tracks draw them again.
  virtual void BookmarksChanged() {}
  // The date header was clicked (the main window's OpenCalendar).
  virtual void OpenCalendar(TDateTime /*SeedWhen*/) {}
  // Ctrl and the right button at the top right corner: the full menu at a screen point (the
  // default shows none).
  virtual void ShowFullMenu(QPoint /*ScreenAt*/) {}
  // The tempo in percent a click in the level band plays at (the historical track's WantTempo),
  // and the tempo bar showing it once playing.
  virtual double WantTempo() { return 100; }
  virtual void ShowTempo(double /*Tempo*/) {}
  // A short hint at a screen point ("NO AUDIO"); the default uses the platform's tool tip.
  virtual void ShowHint(const QString &Text, QPoint ScreenAt, int MSecs);
  // The mouse is over the level band: the time cursor shows the row's moment. The default
  // shows a cross.
  virtual void TimeCursor_Update(QWidget *Control, TDateTime When);
};

// Playing and recording as the timeline sees them; the default has no audio.
class TVertTimelineAudio {
 public:
  virtual ~TVertTimelineAudio() = default;
  virtual bool IsPlaying() const { return false; }
  // A segment play ended a moment ago: its mark stays shown.
  virtual bool PlaySegmentRecentlyEnded() const { return false; }
  virtual bool IsRecording() const { return false; }
  virtual TDateTime PlayPosition() const { return 0; }
  virtual TDateTime RecordingPosition() const { return 0; }
  virtual TPlayResult PlayFrom(TDateTime /*When*/, double /*Tempo*/) { return prNoAudio; }
};

// The audio facade behind that interface.
class TVertTimelineAudioOfFacade final : public TVertTimelineAudio {
 public:
  explicit TVertTimelineAudioOfFacade(TvlAudio &Audio) : FAudio(Audio) {}
  bool IsPlaying() const override { return FAudio.IsPlaying(); }
  bool PlaySegmentRecentlyEnded() const override;
  bool IsRecording() const override { return FAudio.IsRecording(); }
  TDateTime PlayPosition() const override { return FAudio.GetPlay_Position(); }
  TDateTime RecordingPosition() const override { return FAudio.Recording_Position(); }
  TPlayResult PlayFrom(TDateTime When, double Tempo) override {
    return FAudio.Play_From(When, Tempo);
  }

 private:
  TvlAudio &FAudio;
};

// A level source over the catalogue's readings: each row shows the loudest reading of its slice
// in green, brighter when louder; rows without a recording are left alone.
class TCatalogueLevelSource final : public TVertLevelSource {
 public:
  explicit TCatalogueLevelSource(const TvlMediaInfo &MediaInfo) : FMediaInfo(MediaInfo) {}
  void DrawAllVert(QImage &Image, const QRect &Band, TDateTime FromDT, TDateTime SpanFD) override;

 private:
  const TvlMediaInfo &FMediaInfo;
};

class TVertTimeline : public QWidget, public TAudioLevelListener {
  Q_OBJECT

 public:
  explicit TVertTimeline(QWidget *Parent = nullptr);
  ~TVertTimeline() override;

  // ---- Wiring (none owned; nullptr restores the default)
  void SetLinks(TVertTimelineLinks *Links);
  void SetAudio(TVertTimelineAudio *Audio);
  void SetLevelSource(TVertLevelSource *Source);
  // The events shown and edited (not owned; nullptr: the one in existence).
  void SetDayFiles(TvlDayFilesManager *Days);
  TvlDayFilesManager *DayFiles() const;
  // The recordings catalogue: the recordings of the view are listed and their readings fetched.
  void SetCatalogue(TvlMediaFoldersInfo *Folders, TvlMediaInfo *MediaInfo);
  void SetExternalScrollbar(QScrollBar *Scrollbar);
  QScrollBar *ExternalScrollbar() const { return FExternalScrollbar; }
  // The typing speed that spaces the lines: the zoom parameter is 5 x words per minute.
  void SetWordsPerMinute(int WordsPerMinute);
  void SetTwentyFourHourTime(bool On);
  // The vertical skin: the colours are sampled from it (background at (120, 1), time
  // background at (1, 1)); with Scrolling it is tiled downwards behind everything.
  void UpdateBackgroundFrom(const QImage &SourceBM, bool Scrolling);
  // The options' "Background scrolls" for the skin in use: off, the panel is plain, its colours
  // still those sampled from the skin.
  void SetSkinScrolls(bool Scrolling);
  bool SkinScrolls() const { return FScrollingSkin; }
  bool TwentyFourHourTime() const { return FTwentyFour; }
  // The colour the side panel around the timeline takes (sampled from the skin).
  QColor clBackgroundResult() const { return FBackground; }
  QColor clTimeBackground() const { return FTimeBackground; }

  // ---- The view
  const TBands &Bands() const { return FRender.Bands(); }
  TDateTime FeatureDT() const { return FFeatureDT; }
  TDateTime FromDT() const { return FFromDT; }
  TDateTime ToDT() const { return FToDT; }
  double WhereToLockWhen() const { return FWhereToLockWhen; }
  double Zoom_PixelDuration() const { return FZoom_PixelDuration; }
  TDateTime Zoom_PixelSpanFD() const { return FZoom_PixelSpanFD; }
  TDateTime StartOfDay1DT() const { return FStartOfDay1DT; }
  int RowOf(TDateTime T) const;
  TDateTime TimeOfRow(int Y) const;

  // Places When at the fraction Where of the height, each row PixelDuration seconds; lists the
  // recordings of the view's days; with UpdateScrollbar also sets the scroll bar.
  void ComputeVisiblePortion(bool UpdateScrollbar, double PixelDuration, double Where,
                             TDateTime When);
  void SetFeatureDT(TDateTime When);
  void SetWhereToLockWhen(double Where);
  void SetZoom_PixelDuration(double Value);
  void SetFromDT(TDateTime When);
  // Scrolls so that the top row is StartOfDay1DT + NewScrollbarPos seconds; the feature time
  // moves by as much. The scroll bar is left alone.
  void ExternalScrollbar_SetFromPosOnly(int NewScrollbarPos);

  // ---- Following the caret and playback
  void InvalidateRendering();
  void InvalidateRenderingNextOnIdle(TDateTime When);
  // Applies a moment remembered for the idle pass. The timeline runs it itself from a zero
  // timer; the main window's idle pass may call it too.
  void OnIdle_DoPendingTimelineChangeIfAny();
  bool HasPendingChange() const { return FInvalidateRenderingPendingDT != 0; }
  // Moments up to 10000 (before 1927) are no moments. Within 500 ms of a click on a line of
  // text the move is animated over 400 ms; otherwise it waits for the idle pass.
  void MaybeCauseTimelineToFollowDT(TDateTime When);
  void MaybeCauseTimelineToFollowDT_Animated(int DurationInMilliseconds, TDateTime When);
  bool IsAnimating() const { return FAnimation.isActive(); }
  // A level reading arrived: the play or recording mark moved to another row, or not.
  void OnVuEvent_MaybeInvalidate();
  void RecorderLevel(int Level, TDateTime When) override;
  void PlayerLevel(int Player, int PeakLeft, int PeakRight) override;

  // ---- Bookmarks
  // Opens the edit box on the bookmark (-1: the bookmark under the mouse or of the pop-up).
  // Leaving the box commits: a changed text makes the event a label with that text.
  void BookmarkEdit(TEventID EventIdToEditOrInvalid);
  // Deletes the bookmark under the mouse or of the pop-up.
  bool BookmarkDelete();
  // The events were cleared (a binder closed or opened): IDs held for the mouse, the edit box
  // and the pop-up name nothing any more, or another event after new ones arrive. Drops them
  // and renders again.
  void OnEventsCleared();
  QAction *aEditBookmarkRename() const { return FRenameAction; }
  QAction *aEditBookmarkDelete() const { return FDeleteAction; }
  QMenu *VertTLPopupActionBar() const { return FPopup; }
  QLineEdit *LabelEd() const { return FLabelEd; }
  TEventID EditingEventID() const { return FEditingEID; }
  TEventID MouseMarkerEID() const { return FMouseMarkerEID; }

  // ---- Rendering
  void RenderAnew();
  // The last render, without the hot line and the play mark.
  // At the screen's pixel ratio; RenderedSize is in the widget's coordinates.
  const QImage &Rendered() const { return FOut.Image; }
  QSize RenderedSize() const { return FOut.Image.deviceIndependentSize().toSize(); }
  int RenderCount() const { return FRenderCount; }
  bool RenderIsOld() const { return FRenderIsOld; }
  const std::vector<RTextLine> &Lines() const { return FOut.Lines; }
  const std::vector<QRect> &LineRects() const { return FOut.LineRects; }
  const std::vector<RDrawnBookmark> &DrawnBookmarks() const { return FOut.Bookmarks; }
  int LineHeight() const { return FOut.LineHeight; }
  QRect DateHeaderRect() const { return FOut.DateHeaderRect; }
  QRect LockHandleRect() const;
  // The view as the renderer sees it.
  RVertView View() const;
  // The hot line under the mouse: its index in Lines(), -1 for none.
  int HotLine() const { return FHotLine; }

 protected:
  void paintEvent(QPaintEvent *E) override;
  void resizeEvent(QResizeEvent *E) override;
  void mousePressEvent(QMouseEvent *E) override;
  void mouseMoveEvent(QMouseEvent *E) override;
  void mouseReleaseEvent(QMouseEvent *E) override;
  void wheelEvent(QWheelEvent *E) override;
  void leaveEvent(QEvent *E) override;
  bool eventFilter(QObject *Watched, QEvent *E) override;

 private:
  void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers, QPoint At);
  void MouseMove(Qt::MouseButtons Buttons, QPoint At);
  void MouseUp(QPoint At);
  void UpdateHover(QPoint At);
  void MoveCaretToHotLine();
  // The open document holding the typing event ID's character; nullptr when none does.
  const TDocument *DocumentHolding(TEventID ID);
  void UpdateScrollbar();
  void RecomputeZoom();
  void AnimationFrame();
  void CommitLabelEdit();
  void DrawHotLine(QPainter &P);
  void DrawPlayMark(QPainter &P);
  void ResetMarkerState();

  TVertTimelineLinks *FLinks;
  TVertTimelineAudio *FAudio;
  TVertLevelSource *FLevelSource;
  TvlMediaFoldersInfo *FFolders = nullptr;
  TvlMediaInfo *FMediaInfo = nullptr;
  QPointer<QScrollBar> FExternalScrollbar;

  TvlDayFilesManager *FDays = nullptr;
  TVertTimelineRender FRender;
  RVertRendered FOut;
  QImage FSkin;
  bool FScrollingSkin = false;
  QColor FBackground;
  QColor FTimeBackground;
  bool FTwentyFour = false;
  int ZoomMemoryParameter = 250;

  // The view.
  TDateTime FFeatureDT = 0;
  double FWhereToLockWhen = 2.0 / 3.0;
  double FZoom_PixelDuration = 1;
  TDateTime FZoom_PixelSpanFD = 1 / SecsPerDay;
  TDateTime FFromDT = 0;
  TDateTime FToDT = 0;
  TDateTime FStartOfDay1DT = 0;
  bool FUpdatingScrollbar = false;

  // Rendering and what it cached for the mouse.
  bool FRenderIsOld = true;
  int FRenderCount = 0;

  // The hot line, held while the mouse stays on it.
  int FHotLine = -1;
  QRect MouseLineFixedRect;
  QString MouseLineFixedText;
  TDateTime MouseLineFixedWhen = 0;
  TEventID MouseLineFixedFirstID = NoEventID;
  int MouseLineFixedRedFrom = 0;
  double HotTextRatio = 0;
  std::int64_t MouseLineFixedClickMs = -1;  // steady ms of the last click on a line

  // Bookmarks under the mouse and dragged.
  bool MouseOverMarker = false;
  bool MouseMarkerDown = false;
  bool FMarkerMoved = false;
  TEventID FMouseMarkerEID = NoEventID;
  TEventID FPopupEID = NoEventID;
  TDateTime MouseMarkerDT = 0;
  QPoint MouseDownAt;
  bool DraggingLockWhen = false;

  // Play and recording marks.
  int PlaySliderDrawnAtPO = -1000000;
  int RecSliderDrawnAtPO = -1000000;

  // Following.
  TDateTime FInvalidateRenderingPendingDT = 0;
  QTimer FIdle;
  QTimer FAnimation;
  QTimer FBookmarksChangedSoon;
  TDateTime FAnimFromDT = 0;
  TDateTime FAnimToDT = 0;
  std::int64_t FAnimStartMs = 0;
  int FAnimDurationMs = 400;

  // Renaming.
  QLineEdit *FLabelEd = nullptr;
  TEventID FEditingEID = NoEventID;
  QString FEditingOriginal;
  QMenu *FPopup = nullptr;
  QAction *FRenameAction = nullptr;
  QAction *FDeleteAction = nullptr;

  TVertTimelineLinks FDefaultLinks;
  TVertTimelineAudio FDefaultAudio;
  TVertLevelSource FDefaultLevels;
};

// The timeline side panel's column: the level-meter strip (5 pixels high) on top, then the
// vertical timeline with its scroll bar on the right.
class TVertTimelineSidePanel : public QWidget {
  Q_OBJECT

 public:
  explicit TVertTimelineSidePanel(QWidget *Parent = nullptr);
  TVertTimeline *VertTimeline() const { return FTimeline; }
  QScrollBar *Scrollbar() const { return FScrollbar; }
  // The level meter strip; the panel owns it from then on (a previous one is deleted).
  void AttachLevelMeter(QWidget *Meter);
  QWidget *LevelMeter() const { return FMeter; }

 private:
  QVBoxLayout *FLayout;
  QWidget *FMeter = nullptr;
  TVertTimeline *FTimeline;
  QScrollBar *FScrollbar;
};
