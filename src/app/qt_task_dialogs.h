#pragma once

#include <functional>

#include "app/c_merido_dlg.h"
#include "tasks/main_tasks.h"

class QWidget;

namespace korvin {

class QtEventPump;

// The main window's task buttons on screen: each opens its dialog in a FormView above the
// window, with what the window hands over.
class QtTaskDialogs final : public TaskDialogs {
 public:
  // `uiOverride` tells where the window's messages go instead of message boxes (null: boxes).
  QtTaskDialogs(QWidget* parent, QtEventPump& pump, std::function<Ui*()> uiOverride = {})
      : parent_(parent), pump_(pump), uiOverride_(std::move(uiOverride)) {}

  void OpenCalibration(TaskContext& context) override;
  void OpenSensorSettings(TaskContext& context) override;
  void OpenCommunication(TaskContext& context) override;
  void OpenSensorInfo(TaskContext& context) override;
  void OpenCalibrationData(TaskContext& context) override;

 private:
  void Open(MainTask task, TaskContext& context);

  QWidget* parent_;
  QtEventPump& pump_;
  std::function<Ui*()> uiOverride_;
};

}  // namespace korvin
