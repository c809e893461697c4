#pragma once
// A single-producer single-consumer ring of samples. One thread pushes, one other thread pops;
// neither ever waits or allocates, which is what the sound server's callbacks need.
//
// The indices only grow (modulo 2^64); the capacity is a power of two so that an index maps to a
// slot with a mask. Clear() is for when neither side is running.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

template <typename T>
class TSpscRing {
 public:
  explicit TSpscRing(std::size_t MinCapacity) {
    std::size_t capacity = 1;
    while (capacity < MinCapacity) capacity <<= 1;
    FBuffer.resize(capacity);
    FMask = capacity - 1;
  }

  std::size_t Capacity() const { return FBuffer.size(); }

  // Called by the consumer: how many items can be popped now.
  std::size_t Available() const {
    return static_cast<std::size_t>(FHead.load(std::memory_order_acquire) -
                                    FTail.load(std::memory_order_relaxed));
  }

  // Called by the producer: how many items can be pushed now.
  std::size_t Free() const {
    return Capacity() - static_cast<std::size_t>(FHead.load(std::memory_order_relaxed) -
                                                 FTail.load(std::memory_order_acquire));
  }

  // Producer. Pushes as many of Count items as fit and answers how many that was. With Data
  // nullptr, pushes zeros (silence).
  std::size_t Push(const T *Data, std::size_t Count) {
    const std::uint64_t head = FHead.load(std::memory_order_relaxed);
    const std::size_t n = std::min(Count, Free());
    for (std::size_t i = 0; i < n;) {
      const std::size_t slot = static_cast<std::size_t>((head + i) & FMask);
      const std::size_t run = std::min(n - i, Capacity() - slot);
      if (Data) {
        std::copy(Data + i, Data + i + run, FBuffer.begin() + static_cast<std::ptrdiff_t>(slot));
      } else {
        std::fill_n(FBuffer.begin() + static_cast<std::ptrdiff_t>(slot), run, T{});
      }
      i += run;
    }
    FHead.store(head + n, std::memory_order_release);
    return n;
  }

  // Consumer. Pops up to Count items into Out and answers how many.
  std::size_t Pop(T *Out, std::size_t Count) {
    const std::uint64_t tail = FTail.load(std::memory_order_relaxed);
    const std::size_t n = std::min(Count, Available());
    for (std::size_t i = 0; i < n;) {
      const std::size_t slot = static_cast<std::size_t>((tail + i) & FMask);
      const std::size_t run = std::min(n - i, Capacity() - slot);
      std::copy_n(FBuffer.begin() + static_cast<std::ptrdiff_t>(slot), run, Out + i);
      i += run;
    }
    FTail.store(tail + n, std::memory_order_release);
    return n;
  }

  // Only while neither side runs.
  void Clear() {
    FHead.store(0, std::memory_order_relaxed);
    FTail.store(0, std::memory_order_relaxed);
  }

 private:
  std::vector<T> FBuffer;
  std::uint64_t FMask = 0;
  std::atomic<std::uint64_t> FHead{0};  // written by the producer
  std::atomic<std::uint64_t> FTail{0};  // written by the consumer
};
