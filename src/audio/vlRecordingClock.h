#pragma once
// One mapping between a recording's moments and its file: milliseconds of wall-clock time since
// the recording's start (what every typed character and every level reading is stamped with)
// against milliseconds of file position (frames / rate). The two differ when the sound card's
// clock runs a little fast or slow against the system's: 0.1 % is 3.6 s an hour, which a linear
// mapping would carry into every note typed late in a lecture.
//
// The pairs come from the recording's level readings: a ".vu" record holds MS (wall
// milliseconds since the start) and Drift (file milliseconds minus MS); files from before the
// clock was recorded hold Drift 0 everywhere, which maps linearly. Between readings the mapping
// is linear; before the first reading it follows the first reading's drift, after the last one
// the last reading's drift.
//
// Safety net: a clock record that cannot be right (times not increasing, a drift that jumps by
// more than 1 % of the time between two readings plus 2 ms, or a drift saturated at the record's
// limit of +-32.7 s) is not used: the whole recording maps linearly, as recordings always did.
//
// Plain value type, no threads, no Qt objects.

#include <cstdint>
#include <vector>

struct TvuDatum;

class TRecordingClock {
 public:
  TRecordingClock() = default;
  explicit TRecordingClock(const std::vector<TvuDatum> &Readings) { Assign(Readings); }
  void Assign(const std::vector<TvuDatum> &Readings);
  // Appends one reading (the recording in progress); a reading that breaks the rules above turns
  // the mapping linear for good, as for a file.
  void Add(std::int32_t WallMSecs, std::int32_t FileMSecs);
  void Clear();

  // True when pairs are used (at least one pair, all of them sound, some drift present).
  bool UsesPairs() const { return FValid && FAnyDrift && !FWall.empty(); }
  bool IsDamaged() const { return !FValid; }

  // File position (ms) of the moment WallMSecs after the recording's start; never negative.
  double FileMSecsAt(double WallMSecs) const;
  // Wall milliseconds after the recording's start at which file position FileMSecs was heard.
  double WallMSecsAt(double FileMSecs) const;

 private:
  std::vector<std::int32_t> FWall;
  std::vector<std::int32_t> FFile;
  bool FValid = true;
  bool FAnyDrift = false;
};

// Rounds a file-position offset to whole milliseconds for the player, clamped to 0..INT32_MAX.
int ClockMSecsToInt(double MSecs);
