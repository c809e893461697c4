#pragma once
// The playback speed as the speed bar holds it: percent of natural speed, 50..190, in steps the
// commands take (5 per accelerate or decelerate and per wheel notch, 10 for Turtle and Rabbit).
// Plain functions, so that the limits are checked without the bar.

#include <QString>

namespace vlSpeed {
inline constexpr int Min = 50;
inline constexpr int Max = 190;
inline constexpr int Natural = 100;
inline constexpr int LineStep = 5;
inline constexpr int PageStep = 10;
// The scale under the bar: the positions its labels sit at, and their texts.
inline constexpr int ScalePositions[] = {75, 100, 125, 150, 175};
}  // namespace vlSpeed

// Held to Min..Max.
int SpeedClamped(int Speed);
// The label beside the bar: position - 100, with "+" above 100 ("+25", "-10", "0").
QString TempoDisplayText(int Speed);
// The speed an absolute speed action names by its last three digits ("aPlaySpeed070" -> 70),
// held to Min..Max; 0 when the name does not end in a number.
int SpeedFromActionName(const QString &ActionName);
// Turtle: 10 slower, only while above the minimum; Rabbit: 10 faster while below the maximum.
int SpeedAfterTurtle(int Speed);
int SpeedAfterRabbit(int Speed);
