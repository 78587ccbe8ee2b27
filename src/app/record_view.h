#pragma once

#include <QDialog>

#include "recording/c_record.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace korvin {

// "Logging properties": record time (hh, mm), interval, file name, description and the average
// check box. "OK" pulls the fields into the form and closes only when CRecord::OnOk accepts.
class CRecordView final : public QDialog {
  Q_OBJECT

 public:
  CRecordView(CRecord& dialog, QWidget* parent = nullptr);

  QLineEdit* hoursField() const { return hours_; }
  QLineEdit* minutesField() const { return minutes_; }
  QLineEdit* intervalField() const { return interval_; }
  QLineEdit* fileNameField() const { return fileName_; }
  QPlainTextEdit* descriptionField() const { return description_; }
  QCheckBox* averageBox() const { return average_; }

 public slots:
  void accept() override;

 private:
  void Push();
  void Pull();
  void LimitFileName();
  void LimitDescription();

  CRecord& dialog_;
  QLineEdit* hours_;
  QLineEdit* minutes_;
  QLineEdit* interval_;
  QLineEdit* fileName_;
  QPlainTextEdit* description_;
  QCheckBox* average_;
};

}  // namespace korvin
