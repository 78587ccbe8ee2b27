#pragma once

#include <string>

namespace korvin {

// What a procedure needs from the person at the screen: modal messages and questions. The Qt
// views implement it with message boxes; tests answer from a script and record every text.
class Ui {
 public:
  virtual ~Ui() = default;
  // A modal message box with an OK button.
  virtual void Message(const std::string& text) = 0;
  // The same with a detail text that says more, such as why an operation failed. A Ui without a
  // place for it shows the message alone.
  virtual void MessageWithDetail(const std::string& text, const std::string& /*detail*/) {
    Message(text);
  }
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // A Yes/No question whose Yes destroys data (a file replaced): No is the default, so Enter
  // pressed out of habit keeps the data.
  virtual bool AskYesNoDefaultNo(const std::string& text) { return AskYesNo(text); }
  // An OK/Cancel question; true for OK.
  virtual bool AskOkCancel(const std::string& text) = 0;
  // Repaint the window now (a procedure that waits without pumping wants its texts visible).
  virtual void Refresh() {}
};

}  // namespace korvin
