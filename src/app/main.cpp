#include "app/c_merido_app.h"

int main(int argc, char** argv) {
  return korvin::CMeridoApp().Run(argc, argv);
}
