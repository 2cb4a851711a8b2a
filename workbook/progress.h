#pragma once
// Progress of long work: a text ("Loading", "Worksheet 3/10: A1") and a fraction from 0 to 1; and
// the user's wish to stop it.
#include <atomic>
#include <stdexcept>
#include <string_view>

namespace vestrano {

// Work that stopped because it was cancelled; it leaves no result.
class ECancelled : public std::runtime_error {
 public:
  ECancelled() : std::runtime_error("Načítání bylo zrušeno.") {}
};

// Set once, from any thread (a window's Cancel button); the work polls it at each progress step.
class CancelFlag {
 public:
  void Set() { set_.store(true, std::memory_order_relaxed); }
  bool IsSet() const { return set_.load(std::memory_order_relaxed); }
  void ThrowIfSet() const {
    if (IsSet()) throw ECancelled();
  }

 private:
  std::atomic<bool> set_{false};
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Progress(std::string_view text, double fraction) = 0;
  // Once set, the work ends with ECancelled at its next progress step (Step below, and the
  // threads that read worksheets at once).
  CancelFlag cancel;
};

// Reports a step to the sink, if any, and then ends the work when the sink was cancelled.
inline void Step(ProgressSink* sink, std::string_view text, double fraction) {
  if (sink == nullptr) return;
  sink->Progress(text, fraction);
  sink->cancel.ThrowIfSet();
}

}  // namespace vestrano
