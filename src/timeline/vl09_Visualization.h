#pragma once
// The level band ("waveform") of the recordings: the stream of level readings (0..32767, each
// with its moment) folded into one image per half hour, four columns per second, 13 rows high.
// A column's brightness shows how the readings of that quarter second compare with the recent
// typical level (TBalancer): the middle row lights whenever there was sound, louder readings
// spread the glow outwards. Tracks and the vertical timeline stretch these images into their slot.
//
// Sections are made when a half hour receives its first reading and kept, at most MaxSections
// of them: beyond that the least recently used is dropped and the drop hook told, so the
// recordings catalogue can mark that span as not drawn and send it again when it is shown.
//
// Live readings: the recorder stamps each reading with its moment of capture; PostReading may be
// called from any thread and queues it to the user-interface thread, where the readings are
// folded in that order. A stalled user-interface thread only delays them: the columns come from
// the capture stamps, so no gaps appear.
//
// Everything but PostReading: user-interface thread only.

#include "vl09_Balancer.h"
#include "vl09_MediaInfo.h"
#include "vl09_TiltText.h"
#include "vl09_VUSelection.h"

#include <QObject>
#include <QRect>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The tallies of the column being filled.
class TPixelVisualization {
 public:
  // Boundaries between the eight buckets, level units, descending.
  double Avg_7Eighth = 4000, Avg_3Qtr = 3000, Avg_5Eighth = 2000, Avg_Half = 1000,
         Avg_3Eighth = 500, Avg_1Qtr = 200, Avg_1Eighth = 50;
  std::array<double, 8> FastSum{};   // readings summed per bucket
  std::array<int, 8> PeakTallies{};  // readings counted per bucket
  int PeakTalliesCount = 0;          // readings in the column
  TBalancer Balancer;

  // Feeds the balancer, then counts the reading in its bucket (7 when above Avg_7Eighth, ... 0
  // when not above Avg_1Eighth; "above" is strictly greater).
  void NewVu(int Vu);
  void ClearPixelTallies();
  void AdjustBoundariesOfEighths() { Balancer.UpdateEighthBoundaries(*this); }
};

class TVisSection {
 public:
  static constexpr int ColumnsPerSecond = 4;
  static constexpr int Rows = 13;
  static constexpr int MiddleRow = 6;
  static constexpr std::int64_t SectionSeconds = 1800;
  static constexpr int Columns = int(SectionSeconds) * ColumnsPerSecond;  // 7200

  explicit TVisSection(TDateTime SetStartDT);

  // One reading: when its column follows the previous reading's column, that column is drawn
  // from its tallies first; a jump of more than one column leaves the skipped columns black.
  // Columns outside the image are ignored.
  void LoadData_NewVuLevel(int Vu, TDateTime When, const TVuSelection *Selection);
  // Colours column X from the tallies for the selection state (0 normal, 1 selected, 2 deleted).
  void PrepareDrawingForPixel(int X, int SelectionState);
  // Stretches the image into Slot (rows Slot.top()+1 .. Slot.bottom()-1, columns clipped to
  // the slot) for a track whose column 0 sits at When and Slot.left(), PixelDuration seconds
  // per column. Full colours while a selection exists, the lime rendering otherwise.
  void DrawMeHorz(TQuickBitmap &QBMP, const QRect &Slot, double PixelDuration, TDateTime When,
                  bool FullColour) const;
  // The same turned a quarter for a vertical strip whose top row sits at When.
  void DrawMeVert(TQuickBitmap &QBMP, const QRect &Slot, double PixelDuration,
                  TDateTime When) const;
  // Blackens the columns of [StartEraseDT, EndEraseDT] that lie in this section.
  void EraseVisualization(TDateTime StartEraseDT, TDateTime EndEraseDT);

  TDateTime StartDT() const { return FStartDT; }
  TDateTime EndDT() const { return FStartDT + SectionSeconds / SecsPerDay; }
  bool Contains(TDateTime When) const;
  int LastX() const { return FLastX; }
  int FadingWindowSize() const { return FFadingWindowSize; }
  const TQuickBitmap &Image() const { return FImage; }
  TPixelVisualization &PixelVisualization() { return FPixelVisualization; }
  std::uint64_t LastUse = 0;

 private:
  TQuickBitmap FImage;
  TDateTime FStartDT;
  int FFadingWindowSize = 0;
  int FLastX = -2;  // no column yet: the first reading draws nothing
  TPixelVisualization FPixelVisualization;
};

class TVisualization final : public TvlVisualizationTarget {
 public:
  static constexpr std::size_t DefaultMaxSections = 200;

  TVisualization();
  ~TVisualization() override;
  TVisualization(const TVisualization &) = delete;
  TVisualization &operator=(const TVisualization &) = delete;

  // The selection drawn highlighted (not owned; none by default).
  void SetSelection(const TVuSelection *Selection) { FSelection = Selection; }
  const TVuSelection *Selection() const { return FSelection; }
  // Told the span of every section dropped (by the cap or by ClearAllVu).
  using TDropHook = std::function<void(TDateTime From, TDateTime Till)>;
  void SetDropHook(TDropHook Hook) { FDropHook = std::move(Hook); }
  void SetMaxSections(std::size_t Max) { FMaxSections = std::max<std::size_t>(1, Max); }

  // ---- User-interface thread
  // Routes one reading to the section of its half hour (made when missing).
  void CurrentFile_NewVuLevel(int Vu, TDateTime When);
  void NewVisualizationDatum(TDateTime When, int Peak) override {
    CurrentFile_NewVuLevel(Peak, When);
  }
  // Blackens SlotRect, then stretches every section overlapping the track's span into it.
  void DrawAllHorz(TQuickBitmap &QBMP, const QRect &SlotRect, double PixelDuration, TDateTime When);
  // The same for a vertical strip (nothing while a selection exists).
  void DrawAllVert(TQuickBitmap &QBMP, const QRect &SlotRect, double PixelDuration, TDateTime When);
  // Blackens Duration + 1 seconds from StartEraseDT in every section.
  void EraseVisualization(TDateTime StartEraseDT, int Duration);
  // Drops every section; the next reading starts afresh.
  void ClearAllVu();
  // Folds in the readings queued by PostReading, in their order.
  void DeliverPendingReadings();

  // ---- Any thread
  // Queues one live reading (stamped at capture) for the user-interface thread.
  void PostReading(TDateTime When, int Vu);

  int SectionCount() const { return static_cast<int>(FVisCache.size()); }
  const TVisSection &Section(int Index) const {
    return *FVisCache.at(static_cast<std::size_t>(Index));
  }
  int CurrentFileIndex() const { return FCurrentFileIndex; }
  std::int64_t VUSampleCount() const { return FVUSampleCount; }

 private:
  int SectionFor(TDateTime When);
  void DropLeastRecentlyUsed();

  std::vector<std::unique_ptr<TVisSection>> FVisCache;
  int FCurrentFileIndex = -1;
  std::int64_t FVUSampleCount = 0;
  std::uint64_t FUseCounter = 0;
  std::size_t FMaxSections = DefaultMaxSections;
  const TVuSelection *FSelection = nullptr;
  TDropHook FDropHook;

  struct RReading {
    TDateTime When;
    int Vu;
  };
  std::mutex FPendingLock;
  std::vector<RReading> FPending;   // guarded by FPendingLock
  bool FDeliveryScheduled = false;  // guarded by FPendingLock
  QObject FReceiver;                // lives on the user-interface thread
};

// The section start of a moment: its half hour (minutes 0 or 30), from the moment rounded to
// the millisecond.
TDateTime HalfHourStartOf(TDateTime When);
