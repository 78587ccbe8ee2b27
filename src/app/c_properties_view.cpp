#include "app/c_properties_view.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "tables/option_lists.h"

namespace korvin {

CPropertiesView::CPropertiesView(CProperties& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
  setWindowTitle(QString::fromUtf8(CProperties::kTitle.data(),
                                   static_cast<qsizetype>(CProperties::kTitle.size())));
  setModal(true);
  ports_ = new QComboBox(this);
  for (const std::string_view name : kComPortNames) {
    ports_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  ports_->setCurrentIndex(dialog_.form().selection);

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8(CProperties::kPortLabel.data(),
                                 static_cast<qsizetype>(CProperties::kPortLabel.size())),
               ports_);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(ok, &QPushButton::clicked, this, &CPropertiesView::accept);
  connect(cancel, &QPushButton::clicked, this, &CPropertiesView::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
}

void CPropertiesView::accept() {
  dialog_.form().selection = ports_->currentIndex();
  QDialog::accept();
}

}  // namespace korvin
