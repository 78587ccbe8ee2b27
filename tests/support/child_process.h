#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

namespace korvin::test {

// How a child process differs from the test process: what a locked-down folder looks like to
// the program, without changing anything for the test process itself.
struct ChildLimits {
  // A child of root becomes user and group "nobody", so file permissions hold for it (root
  // passes every permission check). Files it must reach are handed over with GiveToChildUser.
  bool dropRoot = false;
};

// In a child: from now on no file grows beyond `bytes` (RLIMIT_FSIZE), as on a full disk; a
// write past it fails with EFBIG instead of raising SIGXFSZ.
inline bool LimitFileSize(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

inline constexpr uid_t kNobody = 65534;

// Makes `path` the child user's when the tests run as root (nothing otherwise).
inline bool GiveToChildUser(const std::filesystem::path& path) {
  if (geteuid() != 0) return true;
  return chown(path.c_str(), kNobody, kNobody) == 0;
}

// Runs `body` in a forked child under `limits` and returns its exit status: what `body`
// returned, or -1 when the child did not end normally. Children report with exit codes, never
// with test assertions (they would not reach the parent's results).
inline int RunInChild(const ChildLimits& limits, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    constexpr int kSetupFailed = 125;
    if (limits.dropRoot && geteuid() == 0) {
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(kSetupFailed);
    }
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace korvin::test
