#pragma once

#include <functional>
#include <string>

#include "platform/ui.h"

class QWidget;

namespace korvin {

// Title of every message box of the program.
inline constexpr char kMessageBoxTitle[] = "KORVIN";

// Modal message boxes in the classic manner: a message has an OK button and the exclamation
// icon, an OK/Cancel question the exclamation icon, a Yes/No question the question icon.
// A detail text, when given, is the box's detailed text.
void ShowMessageBox(QWidget* parent, const std::string& text, const std::string& detail = {});
enum class DefaultAnswer { kYes, kNo };
bool AskYesNoBox(QWidget* parent, const std::string& text,
                 DefaultAnswer defaultAnswer = DefaultAnswer::kYes,
                 const char* title = kMessageBoxTitle);
bool AskOkCancelBox(QWidget* parent, const std::string& text);

// Ui for a dialog view: message boxes over `parent`; Refresh runs `refresh` (push the form and
// repaint), or repaints the parent when none is given.
class QtUi final : public Ui {
 public:
  explicit QtUi(QWidget* parent, std::function<void()> refresh = {});
  void Message(const std::string& text) override;
  void MessageWithDetail(const std::string& text, const std::string& detail) override;
  bool AskYesNo(const std::string& text) override;
  bool AskYesNoDefaultNo(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  void Refresh() override;

 private:
  QWidget* parent_;
  std::function<void()> refresh_;
};

}  // namespace korvin
