#pragma once

#include <QDialog>

#include "app/c_properties.h"

class QComboBox;

namespace korvin {

// "Interface ": the label "COM Port", the list "COM1" ... "COM9", "OK" and "Cancel". On "OK" the
// list position goes into the dialog's form.
class CPropertiesView final : public QDialog {
  Q_OBJECT

 public:
  CPropertiesView(CProperties& dialog, QWidget* parent = nullptr);

  QComboBox* portList() const { return ports_; }

 public slots:
  void accept() override;

 private:
  CProperties& dialog_;
  QComboBox* ports_;
};

}  // namespace korvin
