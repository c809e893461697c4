#pragma once
// The vertical timeline's geometry, without widgets: its columns (bands), the mapping between
// moments and pixel rows, the zoom taken from the typing speed, the ruler's tick classes, the
// typed words gathered into lines, and the lock handle's limits. The widget (vl09_VertTimeline.h)
// draws what these answer; tests check them alone.
//
// Rows count pixels downwards from the control's top. Moments are TDateTime (days).

#include "vl09_DayFiles.h"
#include "vlDateTime.h"

#include <QFont>
#include <QString>

#include <functional>
#include <vector>

// The face drawn for a face the timeline views name: the document's substitution table, plus the
// faces only these views use ("MS Sans Serif", "Arial Narrow", "Terminal").
QString TimelineDrawingFace(const QString &Face);

// One column of the timeline. Left and Right are pixels, Right inclusive; IsWithin keeps the
// half-open form the mouse tests use.
struct TBand {
  int Gap = 0;    // pixels before it
  int Width = 0;  // pixels
  bool Show = true;
  int Left = 0;
  int Right = 0;
  QFont Font;
  bool IsWithin(int X) const { return Left <= X && X < Right; }
  int Middle() const { return (Left + Right) / 2; }
};

// The columns left to right: each shown band starts Gap pixels after the end of the previous
// shown one (the first after x = 0).
class TBands {
 public:
  TBands();
  TBand FTimeNumsBand;     // time labels
  TBand FTimeTicsBand;     // tick marks
  TBand FAudioTrackBand;   // level visualisation and the play mark
  TBand FMarkersBand;      // bookmark boxes
  TBand FKeyboardingBand;  // typed text, the rest of the width
  // From the tick band's left to the keyboarding band's left.
  int GradientLeft() const { return FTimeTicsBand.Left; }
  int GradientRight() const { return FKeyboardingBand.Left; }
  void Recompute();
};

// Moments to rows and back. The row of T is its distance from a fixed origin, the midnight
// starting FromDT's day, rounded, minus the same for FromDT: rounding both against one origin
// keeps every event's row stable (relative to its neighbours) while FromDT moves by fractions
// of a row. Rounding is half-even.
struct TVertRowMap {
  TDateTime FromDT = 0;
  TDateTime SpanFD = 1 / SecsPerDay;  // days per row; never 0
  TVertRowMap() = default;
  TVertRowMap(TDateTime From, TDateTime Span);
  int RowOf(TDateTime T) const;
  TDateTime TimeOfRow(double Row) const { return FromDT + Row * SpanFD; }
};

// Seconds per row for a control width: (width - keyboarding band left) / zoom parameter, the
// zoom parameter being 5 x the typing speed in words per minute; held to 0.25..60.
double VertPixelDuration(int ControlWidth, int KeyboardingLeft, int ZoomParameter);
inline constexpr double MinVertPixelDuration = 0.25;
inline constexpr double MaxVertPixelDuration = 60;

// The ruler's tick class of a time of day in whole seconds (only multiples of 5 carry a tick):
// 0 none, 1 five seconds, 2 quarter minutes, 3 minutes, 4 five minutes, 5 quarter hours,
// 6 half hours, 7 hours.
int VertTickClass(int SecondOfDay);
// Tick lengths by class, drawn leftwards from the tick band's right edge.
int VertTickLength(int TickClass);
// How strongly (0..1) a class's label shows at a pixel duration: 0 hides it.
double VertTickLabelStrength(int TickClass, double PixelDuration);
// "15", "30", "45" for quarter minutes; "h:mm" for whole minutes (12-hour clock unless
// TwentyFour: hour 0 shows 12, hours above 12 lose 12).
QString VertTickLabel(int SecondOfDay, bool TwentyFour);

// One typed event as the lines are built from it (in time order).
struct RTypedEvent {
  TEventID ID = NoEventID;
  TDateTime When = 0;
  QChar What;  // "1" for one typed character; anything else is a whole word
  QString Text;
  // The first character of a paragraph: a paragraph break stores no character of its own, so
  // without this the last word of one paragraph and the first of the next run together.
  bool StartsParagraph = false;
};

// One drawn line of text: the row of its first event, its text, and where each event's text
// starts in it (for the red split and the hot line's time).
struct RTextLine {
  int Row = 0;
  QString Text;
  std::vector<TEventID> IDs;
  std::vector<TDateTime> Whens;
  std::vector<int> Starts;       // character offset of each event's text
  bool StartsParagraph = false;  // its first event begins a paragraph
  TDateTime FirstWhen() const { return Whens.empty() ? 0 : Whens.front(); }
  // The character offset from which the text is red: the first event later than Feature; the
  // text's length when none is.
  int RedFrom(TDateTime Feature) const;
};

// A paragraph's first character as its typing event was filed.
struct RParagraphStart {
  TDateTime When = 0;
  QString Text;
  // A bullet's or number's characters in front of that first character, and the moments their
  // typing events are filed at (stamped when the prefix was put in, often after the letters).
  QString Prefix;
  std::vector<TDateTime> PrefixWhens;
};
// Sets StartsParagraph on the events (time order) of the paragraph starts: each start marks one
// event of its moment and text, so text pasted under one moment is not split at every copy of
// that character. A start's prefix characters leave their own places among the events (where
// they would fall between the paragraph's letters) and go in front of its first character.
void MarkParagraphStarts(std::vector<RTypedEvent> &Events, std::vector<RParagraphStart> Starts);

// Builds the lines of the events (time order) for a control Height rows high:
// 1. Rows -99 .. Height + 19 collect text; events whose row lies outside are left out (a row
//    rounded just past the listing window must not index outside it).
// 2. An anchor row takes each event's text: the anchor becomes the event's own row at the first
//    event, at every word event, after every typed space and at the start of a paragraph (whose
//    text, joined after other text, is set apart by a space).
// 3. Walking down, a row joins the last kept row when it starts less than round(1.5 x
//    LineHeight) rows below it and the joined text fits AvailableWidth (by Measure); a row that
//    does not join starts at least LineHeight rows below the last kept one.
std::vector<RTextLine> BuildTextLines(const std::vector<RTypedEvent> &Events,
                                      const TVertRowMap &Map, int Height, int LineHeight,
                                      int AvailableWidth,
                                      const std::function<int(const QString &)> &Measure);
inline constexpr int RowsListedAbove = 99;
inline constexpr int RowsListedBelow = 20;

// The lock handle's fraction of the height for a mouse row: kept min(Height / 2, 10) pixels
// from the top and the bottom.
double LockFractionForMouse(int MouseY, int Height);

// The short date of the date header with the century digits "20" removed from a four-digit
// year ("20/10/2020" gives "20/10/20"); other years stay whole.
QString VertShortDate(TDateTime When);
// "Sun", "Mon", "Tues", "Wed", "Thurs", "Fri", "Sat".
QString VertWeekday(TDateTime When);
