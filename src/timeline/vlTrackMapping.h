#pragma once
// Times and pixel columns of a horizontal track: the one place where a moment becomes a column
// and back. The index, the renderer, the tick ruler and the track window all ask here.
//
// Column 0 starts at When; each column covers PixelDuration seconds; Columns columns are shown.
//   Time of column PO = When + PO x PixelDuration / 86400.
//   Column of T: the distance from When to T in whole milliseconds, rounded half to even, divided
//   by the column's length in milliseconds and truncated towards zero. Working in milliseconds
//   makes the round trip exact: the time of column PO maps back to PO at every zoom level (a
//   plain floating division lands on PO - 1 for about one column in three). Truncation towards
//   zero means the column-0 slot also takes times up to one column before When; IsVisible does
//   not count those as visible.
//   A pixel duration of 0 or a time of 0 gives column 0, not in range. Results beyond the 32-bit
//   range are clamped to it.
//
// Plain value type; no widgets, no events.

#include "vlDateTime.h"

#include <QString>

#include <cstdint>

// Which track a track object, its window and its audio binding serve.
enum TAudioRole { arHistorical = 0, arCurrent = 1 };

// Zoom levels 1..15, from a quarter second to a minute per column.
using TZoomLevel = int;
inline constexpr TZoomLevel MinZoomLevel = 1;
inline constexpr TZoomLevel MaxZoomLevel = 15;
// The level's caption, "Quarter second per pixel" .. "60 second per pixel"; empty outside 1..15.
QString ZoomLevelCaption(TZoomLevel Level);
// Seconds per column read from a caption: "Half.." 0.5, "Quar.." 0.25, else the leading number;
// Fallback when that does not parse; a result of 0 becomes 1.
double PixelDurationFromCaption(const QString &Caption, double Fallback);
// Seconds per column of a level (levels outside 1..15 are clamped).
double PixelDurationFromZoomLevel(TZoomLevel Level);
// The first level whose pixel duration is at least PixelDuration; 15 when none is.
TZoomLevel ZoomLevelFromPixelDuration(double PixelDuration);

struct TTrackMapping {
  TDateTime When = 0;         // moment of column 0
  double PixelDuration = 1;   // seconds per column
  std::int64_t Columns = 10;  // columns shown

  TDateTime TimeOfColumn(std::int64_t PO) const {
    return When + double(PO) * PixelDuration / SecsPerDay;
  }
  // The column of T; InRange when it is one of 0..Columns-1.
  int ColumnOf(TDateTime T, bool &InRange) const;
  int ColumnOf(TDateTime T) const {
    bool inRange = false;
    return ColumnOf(T, inRange);
  }
  // Seconds covered: PixelDuration x Columns.
  double SpanSeconds() const { return PixelDuration * double(Columns); }
  // When <= T < When + span.
  bool IsVisible(TDateTime T) const { return T >= When && T < When + SpanSeconds() / SecsPerDay; }
};
