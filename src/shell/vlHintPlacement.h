#pragma once
// Where the hint window goes, as plain geometry so that it can be checked without a display.
// Rectangles are Qt's: left and top inside, width and height counted from there; a screen's
// right edge is left + width, outside the screen.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

// A hint of TextSize shown at ScreenAt: its top edge on ScreenAt's row, centred on its column
// (half the width to the left, rounded towards zero).
QRect HintRectAt(const QSize &TextSize, const QPoint &ScreenAt);

// The screen nearest to P (the one holding it, else the closest by distance); -1 for none.
int NearestScreen(const QList<QRect> &Screens, const QPoint &P);

// The window rectangle for a hint rectangle: 4 pixels taller, then kept entirely on the screen
// nearest to its top-left corner: no larger than that screen, moved up when it would reach below
// it, moved left when it would reach past its right edge, and never left of or above it.
QRect PlaceHintOnScreens(const QRect &HintRect, const QList<QRect> &Screens);

// Whether P lies on the hint: left and top edges included, right and bottom edges excluded.
bool IsOnHintRect(const QRect &Rect, const QPoint &P);

// The platform's tool-tip animation is played only when the last hint was shown more than 250 ms
// ago and the text is shorter than 100 characters: hints that follow each other quickly, and
// long texts, appear at once.
bool HintShouldAnimate(bool PlatformAnimates, std::int64_t MSecsSinceLastHint,
                       qsizetype TextLength);
