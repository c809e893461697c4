#pragma once
// Insets: rectangles placed in the document's virtual page, each anchored to a paragraph, which
// the text flows around. A document keeps its insets in its insets storage under integer handles;
// paragraphs list the handles anchored to them.
//
// The anchor and the encroached paragraph are back-pointers into the document's section list. The
// document clears them whenever it frees the paragraph they name, so they never dangle.
//
// User-interface thread only.

#include "vldParagraph.h"
#include "vldSection.h"

#include <cstdint>

class TParagraph;

enum TIndexPortraying : std::uint8_t { ipInvisible, ipCollapsed, ipExpanded };

// Where an inset lies in one presentation, in virtual (document) pixels. Unlike a paragraph's
// layout rectangle, right and bottom are exclusive here.
class TInsetPositioning {
 public:
  std::int32_t vRight() const { return FvLeft + FPixelWidth; }
  std::int64_t vBottom() const { return FvTop + FPixelHeight; }
  TVirtualRect VirtualRect() const { return TVirtualRect{FvLeft, FvTop, vRight(), vBottom()}; }

  TParagraph *FEncroaches = nullptr;  // kept by the formatter; cleared when the paragraph goes
  bool FSizeIsCurrent = false;
  std::int32_t FPixelHeight = 0;
  std::int32_t FPixelWidth = 0;
  bool FPositionIsCurrent = false;
  std::int32_t FvLeft = 0;
  std::int64_t FvTop = 0;
};

class TInset : public TSection {
 public:
  // An inset whose side is not in 1..MaxSide pixels keeps its stored size (so that saving gives
  // the file back) but is never drawn: such sizes come only from damaged files.
  static constexpr std::int32_t MaxSide = 20000;

  // The section fields and both placements; the anchor is the owner's to set.
  void MyAssign(const TSection &Source) override;

  // Both sides in 1..MaxSide.
  bool HasDrawableSize() const;
  // Written only by TInsetsStorage, which keeps it in step with the paragraph's AnchoredInsets.
  TParagraph *FAnchor = nullptr;
  TInsetPositioning EditorsData;   // the placement saved in files
  TInsetPositioning PrintersData;  // created, not otherwise used
  TIndexPortraying IndexersData = ipInvisible;
};
