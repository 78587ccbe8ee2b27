#include "forms/task_dialog.h"

#include "protocol/transaction.h"

namespace korvin {

bool AcceptInput(const std::string& text, Ui& ui) {
  if (!text.empty()) return true;
  ui.Message(kInvalidInputMessage);
  return false;
}

TaskDialog::TaskDialog(const DialogScreen& screen) : form_(screen) {}

void TaskDialog::CloseBox() {
  End(DialogEnd::kClosed);
}

void TaskDialog::Fail(std::string_view message) {
  ++failures_;
  host_->Message(std::string(message));
}

void TaskDialog::Fail(std::string_view message, const std::string& detail) {
  ++failures_;
  if (detail.empty()) {
    host_->Message(std::string(message));
  } else {
    host_->MessageWithDetail(std::string(message), detail);
  }
}

void TaskDialog::Say(std::string_view message) {
  host_->Message(std::string(message));
}

bool TaskDialog::AskYesNo(std::string_view question) {
  return host_->AskYesNo(std::string(question));
}

bool TaskDialog::AskYesNo(std::string_view question, std::string_view caption) {
  return host_->AskYesNoCaptioned(std::string(question), std::string(caption));
}

bool TaskDialog::AskOkCancel(std::string_view question) {
  return host_->AskOkCancel(std::string(question));
}

bool RunAttempts(ProtocolContext& context, const RequestBuilder& request, void* destination,
                 uint8_t copyLimit, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (RunTransaction(context, request, destination, copyLimit) == 0) return true;
  }
  return false;
}

}  // namespace korvin
