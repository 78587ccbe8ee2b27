#include "sim/sim_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvin::sim {

namespace {
constexpr int kStartLimitMs = 5000;
}

SimProcess::SimProcess(const std::string& executable, const std::vector<std::string>& options) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ < 0) {
    close(fds[0]);
    close(fds[1]);
    return;
  }
  if (pid_ == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& o : options) argv.push_back(const_cast<char*>(o.c_str()));
    argv.push_back(nullptr);
    execv(executable.c_str(), argv.data());
    _exit(127);
  }
  close(fds[1]);
  // The first line of korvin-sim's output is the path of its terminal.
  std::string line;
  pollfd p{fds[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && poll(&p, 1, kStartLimitMs) > 0) {
    char buf[256];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  const size_t end = line.find('\n');
  if (end != std::string::npos) path_ = line.substr(0, end);
}

SimProcess::~SimProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

}  // namespace korvin::sim
