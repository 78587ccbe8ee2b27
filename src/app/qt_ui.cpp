#include "app/qt_ui.h"

#include <QMessageBox>
#include <QWidget>

namespace korvin {

namespace {

QMessageBox::StandardButton Box(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton,
                                const char* title = kMessageBoxTitle,
                                const std::string& detail = {}) {
  QMessageBox box(icon, QString::fromUtf8(title), QString::fromStdString(text), buttons, parent);
  box.setDefaultButton(defaultButton);
  if (!detail.empty()) box.setDetailedText(QString::fromStdString(detail));
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void ShowMessageBox(QWidget* parent, const std::string& text, const std::string& detail) {
  Box(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok, kMessageBoxTitle,
      detail);
}

bool AskYesNoBox(QWidget* parent, const std::string& text, DefaultAnswer defaultAnswer,
                 const char* title) {
  const QMessageBox::StandardButton defaultButton =
      defaultAnswer == DefaultAnswer::kNo ? QMessageBox::No : QMessageBox::Yes;
  return Box(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
             defaultButton, title) == QMessageBox::Yes;
}

bool AskOkCancelBox(QWidget* parent, const std::string& text) {
  return Box(parent, QMessageBox::Warning, text, QMessageBox::Ok | QMessageBox::Cancel,
             QMessageBox::Ok) == QMessageBox::Ok;
}

QtUi::QtUi(QWidget* parent, std::function<void()> refresh)
    : parent_(parent), refresh_(std::move(refresh)) {}

void QtUi::Message(const std::string& text) {
  ShowMessageBox(parent_, text);
}
void QtUi::MessageWithDetail(const std::string& text, const std::string& detail) {
  ShowMessageBox(parent_, text, detail);
}
bool QtUi::AskYesNo(const std::string& text) {
  return AskYesNoBox(parent_, text);
}
bool QtUi::AskYesNoDefaultNo(const std::string& text) {
  return AskYesNoBox(parent_, text, DefaultAnswer::kNo);
}
bool QtUi::AskOkCancel(const std::string& text) {
  return AskOkCancelBox(parent_, text);
}

void QtUi::Refresh() {
  if (refresh_) {
    refresh_();
  } else if (parent_ != nullptr) {
    parent_->repaint();
  }
}

}  // namespace korvin
