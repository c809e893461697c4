#include "vlClock.h"

namespace {

TClock *gInstalled = nullptr;

}  // namespace

TSystemClock::TSystemClock() { FSteady.start(); }

TDateTime TSystemClock::Now() const {
  const std::int64_t utcMs = QDateTime::currentMSecsSinceEpoch();
  const std::int64_t minute = utcMs >= 0 ? utcMs / 60000 : (utcMs - 59999) / 60000;
  std::uint64_t cached = FOffsetCache.load(std::memory_order_relaxed);
  if (static_cast<std::int64_t>(cached >> 32) != minute || cached == 0) {
    const std::int32_t offset = QDateTime::fromMSecsSinceEpoch(minute * 60000).offsetFromUtc();
    cached = (static_cast<std::uint64_t>(minute) << 32) | static_cast<std::uint32_t>(offset);
    FOffsetCache.store(cached, std::memory_order_relaxed);
  }
  const std::int32_t offsetSeconds = static_cast<std::int32_t>(cached & 0xFFFFFFFFu);
  // 25569 days lie between 1899-12-30 and 1970-01-01.
  const std::int64_t localMs = utcMs + offsetSeconds * 1000LL;
  std::int64_t day = localMs / MSecsPerDay;
  std::int64_t msOfDay = localMs % MSecsPerDay;
  if (msOfDay < 0) {
    msOfDay += MSecsPerDay;
    --day;
  }
  return JoinDateTime(day + 25569, msOfDay);
}

std::int64_t TSystemClock::SteadyMSecs() const { return FSteady.elapsed(); }

TManualClock::TManualClock(TDateTime Start) : FNow(Start) {}

void TManualClock::AdvanceMSecs(std::int64_t MSecs) {
  FNow = IncMilliSecond(FNow, MSecs);
  FSteady += MSecs;
}

TClock &Clock() {
  if (gInstalled) return *gInstalled;
  static TSystemClock system;
  return system;
}

void SetClock(TClock *NewClock) { gInstalled = NewClock; }

TScopedClock::TScopedClock(TClock &Installed) : FPrevious(gInstalled) { gInstalled = &Installed; }

TScopedClock::~TScopedClock() { gInstalled = FPrevious; }
