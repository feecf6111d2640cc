// Time as a service. Every poll, sleep and timeout of the tool goes through a Clock handed in by the
// caller, so that the simulated camera can run time virtually and the tests never wait on real sleeps.
#pragma once

#include <cstdint>

namespace torvane::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; never goes backwards.
  virtual std::uint64_t NowMs() = 0;
  virtual void SleepMs(std::uint32_t ms) = 0;
};

// The wall clock of the machine: real sleeps.
class SystemClock final : public Clock {
 public:
  std::uint64_t NowMs() override;
  void SleepMs(std::uint32_t ms) override;
};

// A clock that only moves when slept on or advanced: a sleep of 2500 ms costs no real time.
class VirtualClock final : public Clock {
 public:
  std::uint64_t NowMs() override { return now_; }
  void SleepMs(std::uint32_t ms) override { now_ += ms; }
  void Advance(std::uint64_t ms) { now_ += ms; }

 private:
  std::uint64_t now_ = 0;
};

}  // namespace torvane::platform
