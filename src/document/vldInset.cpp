#include "vldInset.h"

void TInset::MyAssign(const TSection &Source) {
  TSection::MyAssign(Source);
  const auto *inset = dynamic_cast<const TInset *>(&Source);
  if (!inset || inset == this) return;
  EditorsData = inset->EditorsData;
  PrintersData = inset->PrintersData;
  // Placements point at the source's paragraphs; the owner remaps anchors, the formatter
  // recomputes what an inset encroaches on.
  EditorsData.FEncroaches = nullptr;
  PrintersData.FEncroaches = nullptr;
  IndexersData = inset->IndexersData;
}

bool TInset::HasDrawableSize() const {
  const auto ok = [](std::int32_t Side) { return Side >= 1 && Side <= MaxSide; };
  return ok(EditorsData.FPixelWidth) && ok(EditorsData.FPixelHeight);
}
