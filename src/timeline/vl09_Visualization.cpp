#include "vl09_Visualization.h"

#include <QMetaObject>

#include <algorithm>
#include <cmath>

namespace {
constexpr std::int64_t SectionMSecs = TVisSection::SectionSeconds * 1000;
constexpr double MSecsPerColumn = 1000.0 / TVisSection::ColumnsPerSecond;  // 250
}  // namespace

TDateTime HalfHourStartOf(TDateTime When) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(When, day, ms);
  return JoinDateTime(day, ms / SectionMSecs * SectionMSecs);
}

// ---------------------------------------------------------------------------------------------
// TPixelVisualization

void TPixelVisualization::NewVu(int Vu) {
  Balancer.AddVuValue(Vu);
  const double v = Vu;
  const int bucket = v > Avg_7Eighth   ? 7
                     : v > Avg_3Qtr    ? 6
                     : v > Avg_5Eighth ? 5
                     : v > Avg_Half    ? 4
                     : v > Avg_3Eighth ? 3
                     : v > Avg_1Qtr    ? 2
                     : v > Avg_1Eighth ? 1
                                       : 0;
  FastSum[static_cast<std::size_t>(bucket)] += v;
  ++PeakTallies[static_cast<std::size_t>(bucket)];
  ++PeakTalliesCount;
}

void TPixelVisualization::ClearPixelTallies() {
  FastSum.fill(0);
  PeakTallies.fill(0);
  PeakTalliesCount = 0;
}

// ---------------------------------------------------------------------------------------------
// TVisSection

TVisSection::TVisSection(TDateTime SetStartDT) : FImage(Columns, Rows), FStartDT(SetStartDT) {
  FImage.Fill(clBlack);
}

bool TVisSection::Contains(TDateTime When) const {
  const std::int64_t ms = MilliSecondsBetween(FStartDT, When);
  return ms >= 0 && ms < SectionMSecs;
}

void TVisSection::LoadData_NewVuLevel(int Vu, TDateTime When, const TVuSelection *Selection) {
  const std::int64_t ms = MilliSecondsBetween(FStartDT, When);
  const std::int64_t x64 = RoundHalfEven(double(ms) / MSecsPerColumn);
  const int x = static_cast<int>(std::clamp<std::int64_t>(x64, -1, Columns + 1));
  if (x != FLastX) {
    if (x == FLastX + 1 && FLastX >= 0 && FLastX < Columns) {
      PrepareDrawingForPixel(FLastX, Selection ? Selection->SelectionState(When) : vsNormal);
      FFadingWindowSize = std::min(60, FFadingWindowSize + 1);
      FPixelVisualization.AdjustBoundariesOfEighths();
    }
    FPixelVisualization.ClearPixelTallies();
    FLastX = x;
  }
  if (x >= 0 && x < Columns) FPixelVisualization.NewVu(Vu);
}

void TVisSection::PrepareDrawingForPixel(int X, int SelectionState) {
  if (X < 0 || X >= Columns) return;
  const TPixelVisualization &pv = FPixelVisualization;
  // Colour A at full share, colour B at none.
  int aR = 0, aG = 255, aB = 0, bR = 0, bG = 0, bB = 0;
  if (SelectionState == vsSelected) {
    aR = 128, aG = 128, aB = 0;
    bR = 255, bG = 255, bB = 0;
  } else if (SelectionState == vsDeleted) {
    aG = 0;
  }
  const int count = pv.PeakTalliesCount;
  double f = 0;
  for (int i = 7; i >= 0; --i) {
    QRgb c = qRgb(0, 0, 0);
    if (count > 0) {
      f += double(pv.PeakTallies[static_cast<std::size_t>(i)]) / count;
      if (i == 0) f = std::max(f, 0.25);
      auto mix = [f](int a, int b) {
        return static_cast<int>(std::clamp<std::int64_t>(RoundHalfEven(b + f * (a - b)), 0, 255));
      };
      c = qRgb(mix(aR, bR), mix(aG, bG), mix(aB, bB));
    }
    // Bucket 7 would reach one row beyond each edge: those rows do not exist.
    for (const int row : {MiddleRow + i, MiddleRow - i})
      if (row >= 0 && row < Rows) FImage.Row(row)[X] = c;
  }
}

void TVisSection::DrawMeHorz(TQuickBitmap &QBMP, const QRect &Slot, double PixelDuration,
                             TDateTime When, bool FullColour) const {
  if (!(PixelDuration > 0)) return;
  const double x0d = (FStartDT - When) * SecsPerDay / PixelDuration;
  const double x1d = (EndDT() - When) * SecsPerDay / PixelDuration;
  const int slotWidth = Slot.width();
  if (x1d <= 0 || x0d >= slotWidth) return;
  // Far-off sections (a day away at a quarter second per column) only need clamping.
  const double lim = 1e8;
  const int x0 = static_cast<int>(RoundHalfEven(std::clamp(x0d, -lim, lim)));
  const int x1 = static_cast<int>(RoundHalfEven(std::clamp(x1d, -lim, lim)));
  const int top = Slot.top() + 1;
  const int clipLeft = Slot.left(), clipRight = Slot.left() + slotWidth;
  // The image is symmetric about its middle row (every bucket colours a pair of rows), so the
  // upper half is stretched and the lower half mirrored from it.
  const int halfRows = MiddleRow + 1;
  if (FullColour)
    QBMP.MyStretchDrawFull(Slot.left() + x0, top, Slot.left() + x1, FImage, halfRows, clipLeft,
                           clipRight);
  else
    QBMP.MyStretchDrawLime(Slot.left() + x0, top, Slot.left() + x1, FImage, halfRows, clipLeft,
                           clipRight);
  const int from = std::max({clipLeft, Slot.left() + x0, 0});
  const int till = std::min({clipRight, Slot.left() + x1, QBMP.Width()});
  if (till <= from) return;
  for (int k = 1; k <= MiddleRow; ++k)
    QBMP.CopyRow(top + MiddleRow - k, top + MiddleRow + k, from, till);
}

void TVisSection::DrawMeVert(TQuickBitmap &QBMP, const QRect &Slot, double PixelDuration,
                             TDateTime When) const {
  if (!(PixelDuration > 0)) return;
  const double y0d = (FStartDT - When) * SecsPerDay / PixelDuration;
  const double y1d = (EndDT() - When) * SecsPerDay / PixelDuration;
  if (y1d <= 0 || y0d >= Slot.height()) return;
  const double lim = 1e8;
  const int y0 = static_cast<int>(RoundHalfEven(std::clamp(y0d, -lim, lim)));
  const int y1 = static_cast<int>(RoundHalfEven(std::clamp(y1d, -lim, lim)));
  QBMP.MyStretchDrawLimeFlip(Slot.left() + 1, Slot.top() + y0, Slot.top() + y1, FImage);
}

void TVisSection::EraseVisualization(TDateTime StartEraseDT, TDateTime EndEraseDT) {
  if (EndEraseDT < FStartDT || StartEraseDT >= EndDT()) return;
  auto columnOf = [this](TDateTime T) {
    const double c = (T - FStartDT) * SecsPerDay * ColumnsPerSecond;
    return static_cast<int>(RoundHalfEven(std::clamp(c, -1.0, double(Columns))));
  };
  // Clamped to the image: a span reaching into the neighbouring half hours must not write
  // beyond this one.
  const int c0 = std::clamp(columnOf(StartEraseDT), 0, Columns - 1);
  const int c1 = std::clamp(columnOf(EndEraseDT), 0, Columns - 1);
  if (c1 < c0) return;
  FImage.FillRect(QRect(c0, 0, c1 - c0 + 1, Rows), clBlack);
}

// ---------------------------------------------------------------------------------------------
// TVisualization

TVisualization::TVisualization() = default;
TVisualization::~TVisualization() = default;

int TVisualization::SectionFor(TDateTime When) {
  if (FCurrentFileIndex >= 0 && FCurrentFileIndex < SectionCount() &&
      FVisCache[static_cast<std::size_t>(FCurrentFileIndex)]->Contains(When))
    return FCurrentFileIndex;
  for (int i = 0; i < SectionCount(); ++i)
    if (FVisCache[static_cast<std::size_t>(i)]->Contains(When)) return FCurrentFileIndex = i;
  while (FVisCache.size() >= FMaxSections) DropLeastRecentlyUsed();
  FVisCache.push_back(std::make_unique<TVisSection>(HalfHourStartOf(When)));
  return FCurrentFileIndex = SectionCount() - 1;
}

void TVisualization::DropLeastRecentlyUsed() {
  if (FVisCache.empty()) return;
  auto oldest =
      std::min_element(FVisCache.begin(), FVisCache.end(),
                       [](const auto &a, const auto &b) { return a->LastUse < b->LastUse; });
  const int index = static_cast<int>(oldest - FVisCache.begin());
  const TDateTime from = (*oldest)->StartDT(), till = (*oldest)->EndDT();
  FVisCache.erase(oldest);
  if (FCurrentFileIndex == index)
    FCurrentFileIndex = -1;
  else if (FCurrentFileIndex > index)
    --FCurrentFileIndex;
  if (FDropHook) FDropHook(from, till);
}

void TVisualization::CurrentFile_NewVuLevel(int Vu, TDateTime When) {
  if (!IsValidDateTime(When)) return;
  ++FVUSampleCount;
  TVisSection &s = *FVisCache[static_cast<std::size_t>(SectionFor(When))];
  s.LastUse = ++FUseCounter;
  s.LoadData_NewVuLevel(std::clamp(Vu, 0, 32767), When, FSelection);
}

void TVisualization::DrawAllHorz(TQuickBitmap &QBMP, const QRect &SlotRect, double PixelDuration,
                                 TDateTime When) {
  QBMP.FillRect(SlotRect, clBlack);
  const bool full = FSelection && FSelection->HasSelection();
  for (auto &s : FVisCache) {
    const double x0 = (s->StartDT() - When) * SecsPerDay / PixelDuration;
    const double x1 = (s->EndDT() - When) * SecsPerDay / PixelDuration;
    if (x1 <= 0 || x0 >= SlotRect.width()) continue;
    s->LastUse = ++FUseCounter;
    s->DrawMeHorz(QBMP, SlotRect, PixelDuration, When, full);
  }
}

void TVisualization::DrawAllVert(TQuickBitmap &QBMP, const QRect &SlotRect, double PixelDuration,
                                 TDateTime When) {
  QBMP.FillRect(SlotRect, clBlack);
  if (FSelection && FSelection->HasSelection()) return;
  for (auto &s : FVisCache) s->DrawMeVert(QBMP, SlotRect, PixelDuration, When);
}

void TVisualization::EraseVisualization(TDateTime StartEraseDT, int Duration) {
  const TDateTime end = StartEraseDT + (Duration + 1) / SecsPerDay;
  for (auto &s : FVisCache) s->EraseVisualization(StartEraseDT, end);
}

void TVisualization::ClearAllVu() {
  std::vector<std::unique_ptr<TVisSection>> dropped;
  dropped.swap(FVisCache);
  // No section is current any more: the next reading finds or makes its own.
  FCurrentFileIndex = -1;
  if (FDropHook)
    for (const auto &s : dropped) FDropHook(s->StartDT(), s->EndDT());
}

void TVisualization::PostReading(TDateTime When, int Vu) {
  std::lock_guard<std::mutex> lock(FPendingLock);
  FPending.push_back({When, Vu});
  if (FDeliveryScheduled) return;
  FDeliveryScheduled = true;
  QMetaObject::invokeMethod(
      &FReceiver, [this] { DeliverPendingReadings(); }, Qt::QueuedConnection);
}

void TVisualization::DeliverPendingReadings() {
  std::vector<RReading> readings;
  {
    std::lock_guard<std::mutex> lock(FPendingLock);
    readings.swap(FPending);
    FDeliveryScheduled = false;
  }
  for (const RReading &r : readings) CurrentFile_NewVuLevel(r.Vu, r.When);
}
