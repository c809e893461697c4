#pragma once
// "Now" for the whole program. Nothing reads the system time directly: it asks Clock(), which a
// test replaces by a TManualClock to run a day in a few milliseconds.

#include "vlDateTime.h"

#include <QElapsedTimer>

#include <atomic>
#include <cstdint>

class TClock {
 public:
  virtual ~TClock() = default;
  // The wall-clock moment, local time.
  virtual TDateTime Now() const = 0;
  // Milliseconds of a steady clock that never jumps with the wall clock; only differences mean
  // anything.
  virtual std::int64_t SteadyMSecs() const = 0;
};

// The machine's clocks. Now() is called for every typed character, so the local time zone's offset
// is looked up once a minute rather than on every call (zone rules change offsets only at whole
// minutes). Safe to call from any thread.
class TSystemClock final : public TClock {
 public:
  TSystemClock();
  TDateTime Now() const override;
  std::int64_t SteadyMSecs() const override;

 private:
  QElapsedTimer FSteady;
  // The minute since the Unix epoch (high 32 bits) and the offset from UTC in seconds that held
  // during it (low 32 bits), in one word so that readers on other threads see a matching pair.
  mutable std::atomic<std::uint64_t> FOffsetCache{0};
};

// A clock that only moves when told to: both readings advance together.
class TManualClock final : public TClock {
 public:
  explicit TManualClock(TDateTime Start = 0);
  TDateTime Now() const override { return FNow; }
  std::int64_t SteadyMSecs() const override { return FSteady; }
  void Set(TDateTime Moment) { FNow = Moment; }
  void AdvanceMSecs(std::int64_t MSecs);

 private:
  TDateTime FNow;
  std::int64_t FSteady = 0;
};

// The clock in use; the system clock unless one was installed.
TClock &Clock();
// Installs a clock (not owned); nullptr restores the system clock.
void SetClock(TClock *NewClock);
inline TDateTime Now() { return Clock().Now(); }

// Installs a clock for the lifetime of a scope, typically a test.
class TScopedClock {
 public:
  explicit TScopedClock(TClock &Installed);
  ~TScopedClock();
  TScopedClock(const TScopedClock &) = delete;
  TScopedClock &operator=(const TScopedClock &) = delete;

 private:
  TClock *FPrevious;
};
