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
#include <memory>
#include <mutex>
#include <vector>

// Microseconds of the steady clock.
std::int64_t SteadyMicros();

// A missing sound server fails the test under CI (CI=true) and skips it elsewhere. Call it as
// `return FailOrSkip(...)`: the test goes on otherwise.
void FailOrSkip(const QString &Reason);

// Connects Backend to the daemon whose address the fixture left in VL_PULSE_FIXTURE's folder.
class PulseDaemon : public ::testing::Test {
 protected:
  void SetUp() override;

  std::shared_ptr<TPulseBackend> Backend = std::make_shared<TPulseBackend>();
  TFreshFolder Folder;
};

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

 private:
  const int FRate;
  std::mutex FMutex;
  std::vector<std::int16_t> FSamples;
  std::int64_t FStartMicros = INT64_MAX;
};
