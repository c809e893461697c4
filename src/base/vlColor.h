#pragma once
// TColor: a 32-bit colour with red in the low byte, green in the second and blue in the third,
// as the notes files and the drawing code store it. Two values above the RGB range are special.
// Qt Core only: the conversions to and from QColor are in vlColorConversion.h, for the libraries
// that link Qt Gui.

#include <cstdint>

using TColor = std::int32_t;

inline constexpr TColor clNone = 0x1FFFFFFF;     // no colour: draw nothing
inline constexpr TColor clDefault = 0x20000000;  // the control's own colour
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clGray = 0x808080;

constexpr TColor RGBColor(int R, int G, int B) {
  return static_cast<TColor>((R & 0xFF) | ((G & 0xFF) << 8) | ((B & 0xFF) << 16));
}
constexpr int ColorRed(TColor C) { return C & 0xFF; }
constexpr int ColorGreen(TColor C) { return (C >> 8) & 0xFF; }
constexpr int ColorBlue(TColor C) { return (C >> 16) & 0xFF; }
// True for plain RGB values (not clNone, clDefault or a system colour).
constexpr bool IsRGBColor(TColor C) { return (C & ~0xFFFFFF) == 0; }
