#pragma once
// Helpers of the editor's tests: documents built from lines of text, a formatter on the
// fixed-pitch measures (10 px per character and 20 px per line in the document font), and
// pictures placed at given virtual rectangles.

#include "vl_Document.h"
#include "vl_Formatter.h"

#include <memory>
#include <string>
#include <vector>

class TvlGraphic;

// Font 1 of a fresh document: Comic Sans MS 10 (10 px wide, 20 px high on the fixed pitch).
inline constexpr TFontIndex DocFont = 1;

// Empties Doc and fills it with one paragraph per line, every character in Font, with moments;
// every paragraph's end of line in Font too; caret at (0, 1).
void BuildDoc(TDocument &Doc, const std::vector<std::string> &Paragraphs,
              TFontIndex Font = DocFont);
std::vector<std::string> Texts(const TDocument &Doc);

// A formatter on the fixed pitch whose text area is AreaWidth pixels wide; the text's left edge
// is at TextLeft.
inline constexpr int TextLeft = 32;
std::unique_ptr<TEditFormatter> FixedFormatter(TDocument &Doc, int AreaWidth = 100);

// A picture inset anchored to paragraph SN (or none for -1) covering the virtual rectangle.
TvlGraphic &AddPicture(TDocument &Doc, int SN, int Left, int Top, int Width, int Height,
                       int ZOrder = 1);

// The wrap points of the paragraph of section SN.
std::vector<int> WrapsOf(TEditFormatter &F, int SN);
std::vector<int> HeightsOf(TEditFormatter &F, int SN);
