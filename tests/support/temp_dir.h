#pragma once
// A fresh folder under the system's temporary directory, removed with everything in it.
#include <string>

namespace vestrano::test {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "vestrano");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace vestrano::test
