#pragma once
// The month of the calendar of recordings as a picture, without widgets: the grid of day cells,
// each day's 12-hour dial with its recordings drawn as arcs (morning on an outer green ring,
// afternoon on an inner dark-red ring), and the reading of that picture under the mouse.
//
// Each cell is drawn three times larger into a work image and averaged down, which gives smooth
// edges without antialiasing. Antialiasing stays off while drawing: the reading compares exact
// colours, and only pixels whose whole 3 x 3 block lies inside an arc keep the arc's colour.
//
// The month is composed once (per month and listing) into an image of its own; the dialog blits
// it and every probe reads that image, never the screen, whose colours a scaled or composited
// desktop may change (and reading which would repaint per probe).
//
// Moments are TDateTime (days); a dial turns once per 12 hours, angle 0 at the top, clockwise.
// Called on the user-interface thread only (QPainter on QImage).

#include "vlDateTime.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QString>

#include <functional>
#include <vector>

// One recording's span.
struct RRecordingSpan {
  TDateTime Start = 0;
  TDateTime End = 0;
};

namespace vlCalendar {

inline constexpr QRgb MorningRgb = 0xFF4FFF2F;        // (79, 255, 47)
inline constexpr QRgb AfternoonRgb = 0xFF8C0C0C;      // (140, 12, 12)
inline constexpr QRgb DialRgb = 0xFF182030;           // (24, 32, 48): days before tomorrow
inline constexpr QRgb DialFutureRgb = 0xFF7090B0;     // (112, 144, 176): from tomorrow on
inline constexpr QRgb WeekdayLetterRgb = 0xFF000080;  // navy
inline constexpr int DefaultCellWidth = 70;
inline constexpr int DefaultCellHeight = 80;
inline constexpr int Supersampling = 3;
// Pen widths and insets at the supersampled size.
inline constexpr int ArcPenWidth = 21;
inline constexpr int MorningInset = 13;
inline constexpr int AfternoonInset = 34;

// A day's cell: Column 1 (Sunday) .. 7, Row 1 .. 6 (weeks start on Sunday).
struct RGridCell {
  int Column = 0;
  int Row = 0;
};
RGridCell CellOfDay(int Year, int Month, int Day);

// The dial of a W x H picture: a square at its bottom, 9 pixels in from the left, right and
// bottom edges. Centre in integer division, as the drawing uses it.
struct RDial {
  int Left = 0;
  int Right = 0;
  int Top = 0;
  int Bottom = 0;
  int P = 0;  // diameter
  QPoint Centre;
};
RDial DialOf(int W, int H);
// The point of angle Theta (radians, 0 at the top, clockwise) at radius R, rounded.
QPoint DialPoint(const RDial &Dial, double Theta, double R);
// The angle of a moment: one full turn per 12 hours.
double DialAngle(TDateTime Moment);

// The part of Span that lies on Day (midnight): from the later of the starts to the earlier of
// the ends. A span ending exactly at the next midnight still counts for Day. Empty (false) when
// they do not overlap.
bool DayPiece(TDateTime Day, const RRecordingSpan &Span, RRecordingSpan &Piece);

// The arcs of one day's piece, split at noon: Start..End within one day. Sweep is in degrees of
// the dial (clockwise, 720 per day); Morning tells the ring.
struct RArc {
  double StartDeg = 0;  // clock angle of the start, degrees clockwise from the top
  double SweepDeg = 0;
  bool Morning = true;
};
std::vector<RArc> ArcsOfPiece(TDateTime Day, const RRecordingSpan &Piece);
// Whether an arc is long enough to draw: at least one pixel of arc at radius P of the
// supersampled dial (shorter ones vanish after averaging anyway).
bool ArcIsDrawn(const RArc &Arc, int P);

// Averages Factor x Factor blocks in place: the top-left (W / Factor) x (H / Factor) of Image
// then holds the reduced picture. Image must be Format_RGB32.
void ReduceBitmap(QImage &Image, int Factor);

// The near nearest (the earlier or later recording within 1000 seconds) or covering span, as the
// hover and the press use it. Gaps are whole seconds, counted in 64 bits: with no later
// recording there is simply no later candidate.
bool RecordingNear(const std::vector<RRecordingSpan> &Spans, TDateTime Moment,
                   RRecordingSpan &Found);

// "Recording  9:05 AM  (108 minutes)": start on the 12-hour clock (hour padded to two
// characters, 0 shown as 12), length in minutes rounded from whole seconds.
QString RecordingHintText(const RRecordingSpan &Span);

// How the historical track shows a recording chosen in the calendar (the main window's
// DayFiles_LoadSpan): the zoom level whose pixel duration first reaches the span's seconds per
// column (columns held to 100..3200; level 15 when none does), and the moment of column 0 so that
// the span starts a quarter of the spare seconds (at most 1000) after the left edge.
// PixelDurationOfLevel answers the track's seconds per pixel of levels 1..15.
struct RLoadSpanPlan {
  int Level = 15;
  double PixelDuration = 60;
  TDateTime LeftDT = 0;
};
RLoadSpanPlan PlanLoadSpan(TDateTime StartDT, TDateTime EndDT, int TrackColumns,
                           const std::function<double(int Level)> &PixelDurationOfLevel);

// The probe's answers.
enum TProbeResult { prbNothing = 0, prbDay = 1, prbRecording = 2 };

class TCalendarMonth {
 public:
  // Cell is the picture behind every day cell; its size is the cell size.
  explicit TCalendarMonth(const QImage &Cell);

  int CellWidth() const { return FCellWidth; }
  int CellHeight() const { return FCellHeight; }
  // The grid's pixel size: 7 cells by 6.
  QSize Size() const { return QSize(7 * FCellWidth, 6 * FCellHeight); }

  // What the next Compose draws. Today decides the dial colours (days before tomorrow dark).
  void SetMonth(int Year, int Month);
  void SetSpans(std::vector<RRecordingSpan> Spans);
  void SetToday(TDateTime Today);
  int Year() const { return FYear; }
  int Month() const { return FMonth; }
  const std::vector<RRecordingSpan> &Spans() const { return FSpans; }

  // The composed month, drawn again only when something above changed.
  const QImage &Image();
  bool IsComposed() const { return FComposed; }
  int ComposeCount() const { return FComposeCount; }

  // The cell rectangle of a day of the shown month (in the month image).
  QRect CellRect(int Day) const;
  // The day (1..) whose cell holds the point, 0 when none.
  int DayAt(int X, int Y) const;
  // The dial's fraction of a day at a point of a day's cell: 0 at the top, 0.125 at three
  // o'clock, 0.25 at six, 0.375 at nine, up to 0.5.
  double DialFraction(int X, int Y, int Day) const;
  // prbNothing off the days; prbDay with the day's midnight; prbRecording with the moment on
  // the arc under the point (its colour read from the month image).
  TProbeResult ProbePoint(int X, int Y, TDateTime &Moment);
  // ProbePoint, or, when that finds only the day, the first arc within Radius pixels searching
  // outwards ring by ring.
  TProbeResult ProbeAround(int Radius, int X, int Y, TDateTime &Moment);

  TDateTime DayDT(int Day) const { return EncodeDate(FYear, FMonth, Day); }
  int DaysInMonth() const;

 private:
  void Compose();
  void DrawDay(int Day);

  QImage FCellPicture;  // at cell size
  QImage FCellLarge;    // the cell picture stretched to the work size
  QImage FWork;         // the work bitmap, three times a cell each way
  QImage FImage;        // the composed month
  int FCellWidth;
  int FCellHeight;
  int FYear = 2000;
  int FMonth = 1;
  TDateTime FToday = 0;
  std::vector<RRecordingSpan> FSpans;
  bool FComposed = false;
  int FComposeCount = 0;
};

// The picture behind a day cell: a soft gradient with a thin frame, free of the arc colours.
QImage DefaultCellPicture();

}  // namespace vlCalendar
