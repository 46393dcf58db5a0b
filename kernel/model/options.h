#pragma once
// How a model kernel runs: where DPCs and completions execute, and which clock
// drives the timers.

#include <cstdint>

#include "kernel/pool.h"

namespace kmodel {

class ViolationHandler;

enum class ProcessorMode {
  // DPCs, timer expiries and model work run on the thread that drives the model
  // (advancing the clock, running pending work, or waiting), one at a time.
  Inline,
  // They run on model threads at DISPATCH_LEVEL, really concurrently.
  Threaded,
};

enum class ClockMode {
  // Time moves only when a test advances it, or when a waiter finds the model idle
  // and skips ahead to the next timer or its own time-out.
  Virtual,
  // Time is the machine's steady clock; timers fire on a model thread.
  Real,
};

struct KernelOptions {
  ProcessorMode processors = ProcessorMode::Inline;
  int processorCount = 2;
  ClockMode clock = ClockMode::Virtual;
  // The clock tick, in 100-ns units: timers expire on tick boundaries.
  int64_t tick = 10'000;
  // With the virtual clock, a waiter may move time on when nothing else can happen.
  bool autoAdvance = true;
  // The only tag the verifier accepts on the driver's pool allocations.
  uint32_t driverPoolTag = MakePoolTag('M', 'R', 'E', 'C');
  // At the end, report leaked pool and unfinished requests once the driver's devices
  // are all gone.
  bool checkAtExit = true;
  // Installed from the start when set (else violations abort); it must outlive the
  // kernel, whose end-of-test checks report to it.
  ViolationHandler* handler = nullptr;
};

// 100-ns units.
constexpr int64_t Milliseconds(int64_t ms) {
  return ms * 10'000;
}
constexpr int64_t Seconds(int64_t s) {
  return s * 10'000'000;
}

}  // namespace kmodel
