#include "vlRecordingClock.h"

#include "vl09_MediaInfo.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// The largest believable change of drift between two readings: 1 % of the time between them
// (a sound card 1 % off is broken, not drifting) plus 2 ms of rounding and timing noise.
bool BelievableStep(std::int32_t WallStep, std::int32_t DriftStep) {
  return WallStep > 0 && std::abs(DriftStep) <= 2 + WallStep / 100;
}

bool Saturated(std::int32_t Drift) { return Drift >= 32767 || Drift <= -32768; }

}  // namespace

void TRecordingClock::Clear() {
  FWall.clear();
  FFile.clear();
  FValid = true;
  FAnyDrift = false;
}

void TRecordingClock::Assign(const std::vector<TvuDatum> &Readings) {
  Clear();
  FWall.reserve(Readings.size());
  FFile.reserve(Readings.size());
  for (const TvuDatum &d : Readings) {
    Add(d.MS, d.MS + d.Drift);
    if (!FValid) break;
  }
}

void TRecordingClock::Add(std::int32_t WallMSecs, std::int32_t FileMSecs) {
  if (!FValid) return;
  const std::int32_t drift = FileMSecs - WallMSecs;
  const bool sound =
      !Saturated(drift) && (FWall.empty() || BelievableStep(WallMSecs - FWall.back(),
                                                            drift - (FFile.back() - FWall.back())));
  if (!sound) {
    FValid = false;
    FWall.clear();
    FFile.clear();
    return;
  }
  FAnyDrift = FAnyDrift || drift != 0;
  FWall.push_back(WallMSecs);
  FFile.push_back(FileMSecs);
}

double TRecordingClock::FileMSecsAt(double WallMSecs) const {
  if (!UsesPairs()) return std::max(0.0, WallMSecs);
  const auto it = std::upper_bound(FWall.begin(), FWall.end(), WallMSecs);
  const auto i = static_cast<std::size_t>(it - FWall.begin());
  double file = 0;
  if (i == 0) {
    file = WallMSecs + (FFile.front() - FWall.front());
  } else if (i == FWall.size()) {
    file = WallMSecs + (FFile.back() - FWall.back());
  } else {
    const double share = (WallMSecs - FWall[i - 1]) / double(FWall[i] - FWall[i - 1]);
    file = FFile[i - 1] + share * (FFile[i] - FFile[i - 1]);
  }
  return std::max(0.0, file);
}

double TRecordingClock::WallMSecsAt(double FileMSecs) const {
  if (!UsesPairs()) return FileMSecs;
  // File positions increase with wall time wherever the pairs are sound (the drift never changes
  // faster than the time), so the same search works on them.
  const auto it = std::upper_bound(FFile.begin(), FFile.end(), FileMSecs);
  const auto i = static_cast<std::size_t>(it - FFile.begin());
  if (i == 0) return FileMSecs - (FFile.front() - FWall.front());
  if (i == FFile.size()) return FileMSecs - (FFile.back() - FWall.back());
  const double share = (FileMSecs - FFile[i - 1]) / double(FFile[i] - FFile[i - 1]);
  return FWall[i - 1] + share * (FWall[i] - FWall[i - 1]);
}

int ClockMSecsToInt(double MSecs) {
  if (!(MSecs > 0)) return 0;
  if (MSecs >= double(INT32_MAX)) return INT32_MAX;
  return static_cast<int>(std::lround(MSecs));
}
