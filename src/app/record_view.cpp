#include "app/record_view.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace korvin {

namespace {
constexpr int kNumberFieldWidth = 60;
constexpr int kDescriptionLines = 4;
// Descriptions keep the line breaks of the platform the settings file comes from.
const QString kStoredLineBreak = QStringLiteral("\r\n");
const QString kEditLineBreak = QStringLiteral("\n");
}  // namespace

CRecordView::CRecordView(CRecord& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  setWindowTitle(QString::fromLatin1(CRecord::kTitle));
  setModal(true);

  hours_ = new QLineEdit(this);
  minutes_ = new QLineEdit(this);
  interval_ = new QLineEdit(this);
  for (QLineEdit* field : {hours_, minutes_, interval_}) field->setFixedWidth(kNumberFieldWidth);
  fileName_ = new QLineEdit(this);
  fileName_->setMaxLength(static_cast<int>(kFileNameMaxLength));
  connect(fileName_, &QLineEdit::textChanged, this, &CRecordView::LimitFileName);
  description_ = new QPlainTextEdit(this);
  description_->setTabChangesFocus(true);
  description_->setFixedHeight(description_->fontMetrics().lineSpacing() * kDescriptionLines +
                               2 * description_->frameWidth() + 8);
  connect(description_, &QPlainTextEdit::textChanged, this, &CRecordView::LimitDescription);
  average_ = new QCheckBox(QStringLiteral("Record average value"), this);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("hh"), this), 0, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("mm"), this), 0, 2, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Record time:"), this), 1, 0);
  grid->addWidget(hours_, 1, 1);
  grid->addWidget(minutes_, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Interval:"), this), 2, 0);
  grid->addWidget(interval_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("second"), this), 2, 2);
  grid->addWidget(new QLabel(QStringLiteral("File name:"), this), 3, 0);
  grid->addWidget(fileName_, 3, 1, 1, 2);
  grid->addWidget(new QLabel(QString::fromLatin1(kSpreadsheetExtension), this), 3, 3);
  grid->addWidget(new QLabel(QStringLiteral("Description:"), this), 4, 0, Qt::AlignTop);
  grid->addWidget(description_, 4, 1, 1, 3);
  grid->addWidget(average_, 5, 1, 1, 3);
  grid->setColumnStretch(3, 1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(ok, &QPushButton::clicked, this, &CRecordView::accept);
  connect(cancel, &QPushButton::clicked, this, &CRecordView::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  Push();
}

void CRecordView::Push() {
  const CRecord::Form& form = dialog_.form();
  hours_->setText(QString::fromStdString(form.hours));
  minutes_->setText(QString::fromStdString(form.minutes));
  interval_->setText(QString::fromStdString(form.interval));
  fileName_->setText(QString::fromStdString(form.fileName));
  QString description = QString::fromStdString(form.description);
  description.replace(kStoredLineBreak, kEditLineBreak);
  description_->setPlainText(description);
  average_->setChecked(form.average);
}

void CRecordView::Pull() {
  CRecord::Form& form = dialog_.form();
  form.hours = hours_->text().toStdString();
  form.minutes = minutes_->text().toStdString();
  form.interval = interval_->text().toStdString();
  form.fileName = fileName_->text().toStdString();
  QString description = description_->toPlainText();
  description.replace(kEditLineBreak, kStoredLineBreak);
  form.description = description.toStdString();
  form.average = average_->isChecked();
}

// The fields take what the settings file holds: code page 936 bytes, where a Chinese character
// takes two and a line break of the description two ("\r\n").
void CRecordView::LimitFileName() {
  const std::string text = fileName_->text().toStdString();
  if (StoredTextLength(text) <= kFileNameMaxLength) return;
  const QSignalBlocker blocker(fileName_);
  fileName_->setText(QString::fromStdString(FitStoredText(text, kFileNameMaxLength)));
}

void CRecordView::LimitDescription() {
  QString text = description_->toPlainText();
  text.replace(kEditLineBreak, kStoredLineBreak);
  const std::string stored = text.toStdString();
  if (StoredTextLength(stored) <= kDescriptionMaxLength) return;
  QString fitted = QString::fromStdString(FitStoredText(stored, kDescriptionMaxLength));
  fitted.replace(kStoredLineBreak, kEditLineBreak);
  const QSignalBlocker blocker(description_);
  description_->setPlainText(fitted);
  description_->moveCursor(QTextCursor::End);
}

void CRecordView::accept() {
  Pull();
  if (dialog_.OnOk()) {
    QDialog::accept();
  } else {
    Push();
  }
}

}  // namespace korvin
