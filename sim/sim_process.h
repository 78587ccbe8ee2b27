#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvin::sim {

// Runs korvin-sim as a child process for tests and benchmarks that want a real pseudo-terminal:
// starts it, reads the terminal path it prints first, and stops it again on destruction.
class SimProcess {
 public:
  SimProcess(const std::string& executable, const std::vector<std::string>& options);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Empty when the simulator could not be started or printed nothing within a few seconds.
  const std::string& path() const { return path_; }

 private:
  pid_t pid_ = -1;
  std::string path_;
};

}  // namespace korvin::sim
