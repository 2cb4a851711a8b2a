#pragma once
// Progress of long work: a text ("Loading", "Worksheet 3/10: A1") and a fraction from 0 to 1.
#include <string_view>

namespace vestrano {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Progress(std::string_view text, double fraction) = 0;
};

}  // namespace vestrano
