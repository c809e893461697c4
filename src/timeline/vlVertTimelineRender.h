#pragma once
// The vertical timeline's picture, without a widget: from the view (its rows, feature time and
// lock fraction), the events of the day files manager passed in, the paragraph starts of the open
// documents and the bands, it draws the image and answers what the mouse is tested against: the
// rectangles of the lines of text and of the bookmarks, the date header and the lock handle.
// The widget (vl09_VertTimeline.h) keeps the mouse, the hot line, the play mark and following;
// tests render here alone and look at pixels and rectangles.
//
// Drawing order: background and skin, ruler, bookmarks' places, text (moved right of any label
// tag on its rows, so a tag never covers words), bookmarks, level band, date header (fitted
// into the ruler's columns, over the level band's top rather than under it), lock handle.
//
// Coordinates are the widget's (logical pixels); the image is made at PixelRatio times that.

#include "vl09_DayFiles.h"
#include "vlDateTime.h"
#include "vlVertTimelineLayout.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class TDocument;
class TvlDayFilesManager;

// The level pictures of the recordings for the level band. Row y of Band shows the moments
// FromDT + y x SpanFD; the default draws nothing.
class TVertLevelSource {
 public:
  virtual ~TVertLevelSource() = default;
  virtual void DrawAllVert(QImage & /*Image*/, const QRect & /*Band*/, TDateTime /*FromDT*/,
                           TDateTime /*SpanFD*/) {}
};

// One bookmark as drawn (for the mouse and for tests).
struct RDrawnBookmark {
  TEventID ID = NoEventID;
  TKindOfEvent Kind = koeNone;
  TDateTime When = 0;
  QRect Rect;
  QString Text;   // "F3", a label's text
  QString Shown;  // what the box shows: the text, a long label's cut short with an ellipsis
};

// What one render shows.
struct RVertView {
  QSize Size{1, 1};  // logical pixels
  qreal PixelRatio = 1;
  TDateTime FromDT = 0;
  TDateTime SpanFD = 1 / SecsPerDay;  // days per row
  TDateTime FeatureDT = 0;            // text typed later is red
  double WhereToLockWhen = 2.0 / 3.0;
  bool TwentyFour = false;
  QColor Background{195, 205, 218};
  QColor TimeBackground{44, 58, 78};
  QImage Skin;  // tiled downwards when Scrolling
  bool ScrollingSkin = false;
  double PixelDuration() const { return SpanFD * SecsPerDay; }
};

// What the render answers besides the image.
struct RVertRendered {
  QImage Image;
  int LineHeight = 12;
  std::vector<RTextLine> Lines;
  std::vector<QRect> LineRects;  // one per line: where its text is drawn
  std::vector<int> LineRedFrom;  // one per line: the character offset from which it is red
  std::vector<RDrawnBookmark> Bookmarks;
  QRect DateHeaderRect;
  QRect LockHandleRect;
};

// The paragraph starts of Documents filed between From and To (their first character's typing
// event) and, for a paragraph with a bullet or number, the prefix's characters: they were stamped
// when the prefix was put in, after the paragraph's first letter, and are drawn in front of it
// instead of between its letters.
std::vector<RParagraphStart> ParagraphStartsOf(const std::vector<const TDocument *> &Documents,
                                               TDateTime From, TDateTime To);

class TVertTimelineRender {
 public:
  TVertTimelineRender();
  const TBands &Bands() const { return FBands; }
  // The lock handle for a view: centred on the markers band at round(height x fraction).
  QRect LockHandleRect(const RVertView &View) const;

  // Renders View into Out. Days: the events (nullptr: none); Documents: the open documents, for
  // the paragraph starts; Levels: the level band (nullptr: none).
  void Render(const RVertView &View, const TvlDayFilesManager *Days,
              const std::vector<const TDocument *> &Documents, TVertLevelSource *Levels,
              RVertRendered &Out) const;

 private:
  void DrawBackground(QPainter &P, const RVertView &View) const;
  void DrawRuler(QPainter &P, const RVertView &View, const TVertRowMap &Map) const;
  QRect DrawDateHeader(QPainter &P, const RVertView &View) const;
  void PlaceBookmarks(const RVertView &View, const TVertRowMap &Map,
                      const std::vector<TvlEvent> &Events, const std::vector<TEventID> &IDs,
                      RVertRendered &Out) const;
  void DrawBookmarks(QPainter &P, const RVertRendered &Out) const;
  void DrawLines(QPainter &P, const RVertView &View, RVertRendered &Out) const;
  void DrawLockHandle(QPainter &P, const RVertView &View) const;

  TBands FBands;
  // The fonts: made once, not per render.
  struct RFonts {
    QFont Minor, Normal, Major, AmPm, Date, Narrow, NarrowBold;
  } FFonts;
};

// Colours the widget draws with too.
namespace VertColors {
inline const QColor Text(11, 31, 46);
inline const QColor Red(255, 0, 0);
inline const QColor HotLineBack(207, 216, 226);
}  // namespace VertColors
