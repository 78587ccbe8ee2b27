#pragma once

#include <filesystem>
#include <memory>

class QApplication;

namespace korvin {

class TaskDialog;

// Draws a dialog's window off-screen, as the main window's program would show it, and saves
// its picture. The Qt application behind it is started at the first picture and ends with this
// object, so a terminal session that writes no picture never starts one.
class DialogPicture {
 public:
  DialogPicture();
  ~DialogPicture();
  DialogPicture(const DialogPicture&) = delete;
  DialogPicture& operator=(const DialogPicture&) = delete;

  // The dialog is attached to the off-screen window while it is drawn; the caller attaches it
  // to its own host again.
  bool Save(TaskDialog& dialog, const std::filesystem::path& png);

 private:
  std::unique_ptr<QApplication> application_;
};

}  // namespace korvin
