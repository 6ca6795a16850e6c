// Shared set-up for unit tests: a freshly initialised library in the test process.
#pragma once

#include <sys/stat.h>

#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "rtlib/services/startup.h"

namespace rtlib::test {

// Initialises the library as start-up does, then masks the floating-point traps again so
// that the test framework's own arithmetic cannot trap.
inline void start_library() {
  rtlib_initialise();
  fedisableexcept(FE_ALL_EXCEPT);
}

// A temporary directory for the files of one test, removed with it.
class TempFiles {
 public:
  TempFiles() {
    char dir_template[] = "/tmp/rtlib_test_XXXXXX";
    if (mkdtemp(dir_template) != nullptr) dir_ = dir_template;
  }
  ~TempFiles() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  TempFiles(const TempFiles&) = delete;
  TempFiles& operator=(const TempFiles&) = delete;

  std::string path(const char* name) const { return dir_ + "/" + name; }

  // Creates the file with exactly these bytes and this mode; answers its path.
  std::string make_file(const char* name, const std::string& bytes, mode_t mode = 0644) const {
    const std::string p = path(name);
    FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    chmod(p.c_str(), mode);
    return p;
  }

  // The file's bytes, or "<missing>".
  static std::string contents(const std::string& p) {
    std::string bytes;
    FILE* f = std::fopen(p.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
  }

 protected:
  std::string dir_;
};

}  // namespace rtlib::test
