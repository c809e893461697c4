#pragma once
// Helpers for the tests against the private PulseAudio daemon that the audio-pulse CTest fixture
// starts: the test fixture that connects to it (failing under CI, skipping elsewhere when it is
// not there), a capture client that keeps what a source delivers with the moment it began, and
// the steady clock the timing checks read.

#include "vlPulseBackend.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// Microseconds of the steady clock.
std::int64_t SteadyMicros();

// A missing sound server fails the test under CI (CI=true) and skips it elsewhere. Call it as
// `return FailOrSkip(...)`: the test goes on otherwise.
void FailOrSkip(const QString &Reason);

// Timing to a few tens of milliseconds means nothing in a build instrumented by the sanitizers,
// whose threads run several times slower: the timing tests skip there.
#if defined(__SANITIZE_ADDRESS__)
#define VL_INSTRUMENTED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VL_INSTRUMENTED_BUILD 1
#endif
#endif
#ifdef VL_INSTRUMENTED_BUILD
#define VL_SKIP_TIMING_WHEN_INSTRUMENTED() \
  GTEST_SKIP() << "timing to a few milliseconds means nothing in an instrumented build"
#else
#define VL_SKIP_TIMING_WHEN_INSTRUMENTED() static_cast<void>(0)
#endif

// Connects Backend to the daemon whose address the fixture left in VL_PULSE_FIXTURE's folder.
class PulseDaemon : public ::testing::Test {
 protected:
  void SetUp() override;

  std::shared_ptr<TPulseBackend> Backend = std::make_shared<TPulseBackend>();
  TFreshFolder Folder;
};

// Appends (moment, Read()) to Positions when the read took at most MaxMicros, the moment being
// the middle of the read. A read the scheduler interrupted (a loaded machine) would pair a
// position with a moment it does not belong to, so it is left out.
void SamplePosition(std::vector<std::pair<std::int64_t, int>> &Positions,
                    const std::function<int()> &Read, std::int64_t MaxMicros = 1000);

// Everything a source delivers. The start is the earliest moment the first frame can have been
// captured: each delivery bounds it by its arrival less the length of all frames so far.
// Called on the backend's capture thread; read from the test's thread.
class TCaptureLog final : public TAudioCaptureClient {
 public:
  explicit TCaptureLog(int Rate) : FRate(Rate) {}
  void Captured(const std::int16_t *Frames, std::size_t Count) override;
  void CaptureFailed() override {}
  std::vector<std::int16_t> Samples();
  std::int64_t StartMicros();
  // The earliest moment the frame at MSecs into the capture can have been captured, bounded by
  // the deliveries of the next 500 ms alone: each delivery that holds it, or comes after it,
  // bounds it by its arrival less the frames since. Counting from the start instead would carry
  // every frame the server dropped or added over the whole capture into the moment; nearby
  // deliveries measure it against the stream's own pace where it happened, and half a second of
  // them still holds one that arrived promptly when the machine is loaded.
  // -1 when no delivery holds it.
  std::int64_t MicrosAt(double MSecs);

 private:
  struct RDelivery {
    std::int64_t ArrivedMicros;
    std::int64_t FramesSoFar;  // frames delivered up to and including this delivery
  };
  const int FRate;
  std::mutex FMutex;
  std::vector<std::int16_t> FSamples;
  std::vector<RDelivery> FDeliveries;
  std::int64_t FStartMicros = INT64_MAX;
};
