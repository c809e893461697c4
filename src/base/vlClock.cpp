#include "vlClock.h"

namespace {

TClock *gInstalled = nullptr;

}  // namespace

TSystemClock::TSystemClock() { FSteady.start(); }

TDateTime TSystemClock::Now() const { return QDateTimeToDateTime(QDateTime::currentDateTime()); }

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
