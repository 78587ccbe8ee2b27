#include <csignal>

#include "app/c_merido_app.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // Past a file size limit a write fails and the recorder reports it; the signal would end the
  // program instead, with the rows since the last safe copy still in memory.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  return korvin::CMeridoApp().Run(argc, argv);
}
