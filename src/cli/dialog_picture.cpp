#include "cli/dialog_picture.h"

#include <QApplication>
#include <QLayout>

#include "app/form_view.h"

namespace korvin {

namespace {
// QApplication keeps references to these for its whole life.
int gArgc = 1;
char gProgramName[] = "korvin-cli";
char* gArgv[] = {gProgramName, nullptr};
}  // namespace

DialogPicture::DialogPicture() = default;
DialogPicture::~DialogPicture() = default;

bool DialogPicture::Save(TaskDialog& dialog, const std::filesystem::path& png) {
  if (QApplication::instance() == nullptr) {
    // A terminal has no screen of its own: draw off-screen, whatever display there is.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(gArgc, gArgv);
  }
  FormView view(dialog, nullptr);
  view.Push();
  view.layout()->activate();
  view.resize(view.sizeHint());
  return view.SavePicture(png);
}

}  // namespace korvin
