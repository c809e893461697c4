#include "vlAudioBackend.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

class TThreadWorker final : public TAudioWorker {
 public:
  TThreadWorker(std::function<void()> Pump, int PeriodMSecs)
      : FPump(std::move(Pump)), FPeriod(PeriodMSecs), FThread([this] { Run(); }) {}

  ~TThreadWorker() override {
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FStop = true;
    }
    FWake.notify_one();
    FThread.join();
  }

  void Wake() override {
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FWoken = true;
    }
    FWake.notify_one();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(FMutex);
    while (!FStop) {
      lock.unlock();
      FPump();
      lock.lock();
      FWake.wait_for(lock, FPeriod, [this] { return FStop || FWoken; });
      FWoken = false;
    }
  }

  std::function<void()> FPump;
  std::chrono::milliseconds FPeriod;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FStop = false;
  bool FWoken = false;
  std::thread FThread;  // last: starts once everything above exists
};

}  // namespace

std::unique_ptr<TAudioWorker> StartThreadWorker(std::function<void()> Pump, int PeriodMSecs) {
  return std::make_unique<TThreadWorker>(std::move(Pump), PeriodMSecs);
}
