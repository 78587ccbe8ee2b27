#include "app/form_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "config/c_setting.h"
#include "support/dialog_rig.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using S = CSetting;
using test::DialogRig;

template <typename W>
W* Widget(FormView& view, size_t id) {
  W* widget = qobject_cast<W*>(view.widget(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

// The widgets mirror the form after the open sequence, and a button reaches its procedure with
// what the user typed.
TEST(FormView, MirrorsTheFormAndButtonsReachTheProcedures) {
  DialogRig rig(0x1030);
  rig.state().filterGrade = 5;
  CSetting dialog(rig.environment);
  FormView view(dialog, nullptr);
  test::ScriptedUi ui;
  ui.answers = {false};
  view.SetUiOverride(&ui);
  dialog.Open();
  view.Push();

  EXPECT_EQ(view.windowTitle(), "Sensor settings");
  EXPECT_EQ(Widget<QLineEdit>(view, S::kFilterGrade)->text(), "5");
  EXPECT_TRUE(Widget<QLineEdit>(view, S::kCoeffMinus40)->isReadOnly());
  EXPECT_FALSE(Widget<QLineEdit>(view, S::kFilterGrade)->isReadOnly());
  EXPECT_EQ(Widget<QComboBox>(view, S::kTemperatureUnit)->currentText(), "℃");
  EXPECT_EQ(Widget<QComboBox>(view, S::kAltDewPoint)->count(), 7);
  EXPECT_FALSE(Widget<QCheckBox>(view, S::kDisplayTemperature)->isEnabled());
  EXPECT_FALSE(Widget<QCheckBox>(view, S::kCompensationEnabled)->isEnabled());
  EXPECT_EQ(Widget<QPushButton>(view, S::kSet)->text(), "Set");
  EXPECT_TRUE(Widget<QPushButton>(view, S::kSet)->isDefault());
  EXPECT_EQ(view.unitLabel(S::kStaticPressure)->text(), "barg");
  EXPECT_THAT(ui.questions, ::testing::ElementsAre("Is the device with display?"));

  // A list the user changes runs the unit text refresh.
  QComboBox* alt = Widget<QComboBox>(view, S::kAltDewPoint);
  alt->setCurrentIndex(2);
  emit alt->activated(2);
  EXPECT_EQ(view.unitLabel(S::k4mA)->text(), "g/m3");

  Widget<QLineEdit>(view, S::kFilterGrade)->setText("9");
  Widget<QPushButton>(view, S::kSet)->click();
  EXPECT_EQ(dialog.end(), DialogEnd::kAccepted);
  EXPECT_EQ(rig.state().filterGrade, 9);
  EXPECT_EQ(rig.state().units[sim::kUnitAlternative], 9);
  EXPECT_THAT(ui.messages, ::testing::IsEmpty());
}

// The close box and Esc stand for the dialog's own way out, which writes nothing.
TEST(FormView, EscapeClosesThroughTheDialog) {
  DialogRig rig(0x1028);
  CSetting dialog(rig.environment);
  FormView view(dialog, nullptr);
  dialog.Open();
  rig.ClearLog();
  view.reject();
  EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
  EXPECT_TRUE(rig.Commands().empty());
}

}  // namespace
}  // namespace korvin
