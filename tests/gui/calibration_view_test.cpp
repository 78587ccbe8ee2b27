// The calibration dialogs in their Qt windows, offscreen: the dew point table's layout, the
// menu running a dialog above itself, the analogue log and its wait bar.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>

#include "app/form_view.h"
#include "calibration/c_analog_cali.h"
#include "calibration/c_cali_select.h"
#include "calibration/c_manual_calibration.h"
#include "calibration/c_pressure_cali.h"
#include "support/dialog_rig.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using test::DialogRig;
using M = CManualCalibration;
using A = CAnalogCali;

template <typename W>
W* Widget(FormView& view, size_t id) {
  W* widget = qobject_cast<W*>(view.widget(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

int CentreY(QWidget* widget) {
  return widget->mapTo(widget->window(), widget->rect().center()).y();
}

// Answers every modal window that opens until the object goes: `answer` runs once on each.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(std::function<void(QWidget&)> answer) : answer_(std::move(answer)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || modal == answered_) return;
      answered_ = modal;
      ++answers;
      answer_(*modal);
    });
    timer_.start();
  }
  int answers = 0;

 private:
  std::function<void(QWidget&)> answer_;
  QTimer timer_;
  QPointer<QWidget> answered_;
};

// Types into the input dialog and presses its OK button.
void Enter(QWidget& dialog, const QString& text) {
  dialog.findChild<QLineEdit*>(QStringLiteral("input"))->setText(text);
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text() == QStringLiteral("OK")) button->click();
  }
}

TEST(CalibrationViews, TheDewPointTableStandsAsATable) {
  DialogRig rig(0x1030);
  rig.state().userCalibration.count = 2;
  rig.state().userCalibration.reference[0] = 10.0f;
  rig.state().userCalibration.measured[0] = 9.5f;
  CManualCalibration dialog(rig.environment);
  FormView view(dialog, nullptr);
  test::ScriptedUi ui;
  view.SetUiOverride(&ui);
  dialog.Open();
  view.Push();
  view.resize(view.sizeHint());
  view.grab();  // lays the hidden window out, as its picture is taken

  EXPECT_EQ(view.windowTitle(), "Dew point calibration");
  EXPECT_TRUE(view.timerActive(M::kRefreshTimer));
  EXPECT_EQ(Widget<QLineEdit>(view, M::RowReference(0))->text(), "10.00");
  EXPECT_TRUE(Widget<QLineEdit>(view, M::RowReference(0))->isReadOnly());
  EXPECT_EQ(Widget<QLineEdit>(view, M::SegmentA1(0))->text(), "1.00000");
  // Headings over their columns, the segment of two points between them, one radio group.
  auto* reference = Widget<QLabel>(view, M::kFirstHeading);
  EXPECT_EQ(reference->text(), "Reference");
  EXPECT_LT(CentreY(reference), CentreY(view.widget(M::RowReference(0))));
  for (size_t k = 0; k < M::kSegments; ++k) {
    const int segment = CentreY(view.widget(M::SegmentA1(k)));
    EXPECT_GT(segment, CentreY(view.widget(M::RowReference(k)))) << k;
    EXPECT_LT(segment, CentreY(view.widget(M::RowReference(k + 1)))) << k;
  }
  QButtonGroup* group = Widget<QRadioButton>(view, M::RowRadio(0))->group();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->buttons().size(), static_cast<qsizetype>(M::kPoints));
  EXPECT_EQ(Widget<QRadioButton>(view, M::RowRadio(0))->text(), "Cali. point 1");
  EXPECT_TRUE(view.widget(M::RowRadio(1))->isEnabled());
  EXPECT_FALSE(view.widget(M::RowRadio(2))->isEnabled());

  // A row picked on screen reaches Delete.
  Widget<QRadioButton>(view, M::RowRadio(0))->click();
  Widget<QPushButton>(view, M::kDelete)->click();
  EXPECT_EQ(Widget<QLineEdit>(view, M::RowReference(0))->text(), "0.00");
  EXPECT_EQ(Widget<QLineEdit>(view, M::kCount)->text(), "1");
  EXPECT_TRUE(ui.messages.empty());

  // The close box asks, then closes with the refresh stopped.
  ui.answers = {false};
  view.reject();
  EXPECT_THAT(ui.questions,
              ::testing::ElementsAre("User calibration is disabled, do you want to enable it?"));
  EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
  EXPECT_FALSE(view.timerActive(M::kRefreshTimer));
}

// The menu runs a calibration dialog in a window above itself and is there again after it.
TEST(CalibrationViews, TheMenuStaysWhileAndAfterADialogRuns) {
  DialogRig rig(0x1024);
  CCaliSelect menu(rig.environment);
  FormView view(menu, nullptr);
  menu.Open();
  view.Push();
  EXPECT_FALSE(view.widget(CCaliSelect::kPressure)->isEnabled());
  EXPECT_TRUE(view.widget(CCaliSelect::kAnalogue)->isEnabled());

  QString opened;
  ModalAnswerer closer([&](QWidget& modal) {
    opened = modal.windowTitle();
    EXPECT_FALSE(menu.ended());
    static_cast<FormView&>(modal).reject();
  });
  Widget<QPushButton>(view, CCaliSelect::kAnalogue)->click();
  EXPECT_EQ(opened, "Analogue output calibration & test");
  EXPECT_FALSE(menu.ended());
  Widget<QPushButton>(view, CCaliSelect::kExit)->click();
  EXPECT_EQ(menu.end(), DialogEnd::kClosed);
}

TEST(CalibrationViews, TheAnalogueLogAndItsWaitBar) {
  DialogRig rig(0x1030);
  CAnalogCali dialog(rig.environment);
  FormView view(dialog, nullptr);
  dialog.Open();
  view.Push();
  auto* log = Widget<QPlainTextEdit>(view, A::kLog);
  EXPECT_EQ(log->toPlainText(), "Please connect a current meter to the sensor before start!");
  // Idle, the bar stands empty and silent, not in Qt's busy animation.
  auto* bar = Widget<QProgressBar>(view, A::kWaiting);
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(bar->text(), "");
  EXPECT_FALSE(bar->isEnabled());
  ControlState& waiting = dialog.form()[A::kWaiting];
  waiting.progressMax = 70;
  waiting.progress = 10;
  waiting.text = "6 s";
  waiting.enabled = true;
  view.Push();
  EXPECT_EQ(bar->maximum(), 70);
  EXPECT_EQ(bar->text(), "6 s");
  waiting = ControlState{};
  view.Push();
  EXPECT_EQ(bar->text(), "");

  ModalAnswerer typist([](QWidget& input) { Enter(input, QStringLiteral("12")); });
  Widget<QPushButton>(view, A::kTest)->click();
  EXPECT_EQ(typist.answers, 1);
  EXPECT_EQ(log->toPlainText(), "Test analogue output... \n\nPlease enter the mA to be output");
  EXPECT_FLOAT_EQ(rig.state().testCurrent, 12.0f);
  EXPECT_TRUE(view.widget(A::kCalibration)->isEnabled());
  EXPECT_TRUE(view.widget(A::kExit)->isEnabled());
}

TEST(CalibrationViews, PressureRefreshRunsInTheWindow) {
  DialogRig rig(0x1030);
  CPressureCali dialog(rig.environment);
  FormView view(dialog, nullptr);
  dialog.Open();
  view.Push();
  EXPECT_TRUE(view.timerActive(CPressureCali::kRefreshTimer));
  EXPECT_FALSE(Widget<QLineEdit>(view, CPressureCali::kReference)->isReadOnly());
  EXPECT_EQ(view.unitLabel(CPressureCali::kMeasured)->text(), "barg");
  Widget<QPushButton>(view, CPressureCali::kExit)->click();
  EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
  EXPECT_FALSE(view.timerActive(CPressureCali::kRefreshTimer));
}

}  // namespace
}  // namespace korvin
