#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // Past a file size limit a write fails and the recorder reports it; the signal would end the
  // program instead, with the rows since the last safe copy still in memory.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  return korvin::RunCli(args, std::cout, std::cerr);
}
