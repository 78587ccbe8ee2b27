#include "app/input_view.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt_ui.h"

namespace korvin {

namespace {

constexpr int kFieldWidth = 140;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class InputDialog final : public QDialog {
 public:
  InputDialog(QWidget* parent, const InputSpec& input) : QDialog(parent) {
    setWindowTitle(Text(input.title));
    setModal(true);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("input"));
    field_->setMinimumWidth(kFieldWidth);
    auto* row = new QHBoxLayout;
    row->addWidget(field_, 1);
    row->addWidget(new QLabel(Text(input.unit), this));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &InputDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    if (input.cancellable) {
      auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
      connect(cancel, &QPushButton::clicked, this, &InputDialog::reject);
      buttons->addWidget(cancel);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
  }

  void accept() override {
    QtUi ui(this);
    if (AcceptInput(text(), ui)) QDialog::accept();
  }

  std::string text() const { return field_->text().toStdString(); }

 private:
  QLineEdit* field_;
};

}  // namespace

std::optional<std::string> RunInputDialog(QWidget* parent, const InputSpec& input) {
  InputDialog dialog(parent, input);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.text();
}

}  // namespace korvin
