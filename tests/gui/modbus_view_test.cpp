// The fieldbus chooser and the Modbus settings in their Qt windows, offscreen: the widgets mirror
// the form, and the buttons reach the procedures.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/form_view.h"
#include "config/c_communication_select.h"
#include "config/c_modbus_setting.h"
#include "support/dialog_rig.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using M = CModbusSetting;
using C = CCommunicationSelect;
using test::DialogRig;

template <typename W>
W* Widget(FormView& view, size_t id) {
  W* widget = qobject_cast<W*>(view.widget(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

TEST(ModbusView, MirrorsTheFormAndOkReachesTheProcedure) {
  DialogRig rig(0x1030);
  CModbusSetting dialog(rig.environment);
  FormView view(dialog, nullptr);
  test::ScriptedUi ui;
  view.SetUiOverride(&ui);
  dialog.Open();
  view.Push();

  EXPECT_EQ(view.windowTitle(), "Modbus settings");
  EXPECT_EQ(Widget<QLineEdit>(view, M::kDeviceAddress)->text(), "1");
  EXPECT_FALSE(Widget<QLineEdit>(view, M::kDeviceAddress)->isReadOnly());
  EXPECT_EQ(view.unitLabel(M::kDeviceAddress)->text(), "(Range: 1...247)");
  EXPECT_EQ(view.unitLabel(M::kResponseDelay)->text(), "(Range: 0...255)");
  EXPECT_EQ(Widget<QComboBox>(view, M::kBaudrate)->currentText(), "19200");
  EXPECT_EQ(Widget<QComboBox>(view, M::kBaudrate)->count(), 8);
  EXPECT_EQ(Widget<QComboBox>(view, M::kParityFrame)->currentText(), "8, N, 1");
  EXPECT_EQ(Widget<QComboBox>(view, M::kInterfaceSpaceChar)->count(), 44);
  EXPECT_EQ(Widget<QLineEdit>(view, M::kInterfaceSpaceUs)->text(), "2005");
  EXPECT_TRUE(Widget<QLineEdit>(view, M::kInterfaceSpaceUs)->isReadOnly());
  EXPECT_EQ(Widget<QLineEdit>(view, M::kTransmissionMode)->text(), "RTU");
  EXPECT_TRUE(Widget<QLineEdit>(view, M::kTransmissionMode)->isReadOnly());
  EXPECT_TRUE(Widget<QPushButton>(view, M::kOkButton)->isDefault());

  // What the user typed reaches the checks; a refused OK leaves the window as it was.
  Widget<QLineEdit>(view, M::kDeviceAddress)->setText("248");
  Widget<QPushButton>(view, M::kOkButton)->click();
  EXPECT_THAT(ui.messages, ::testing::ElementsAre("Address is out of range!"));
  EXPECT_FALSE(dialog.ended());
  EXPECT_EQ(Widget<QLineEdit>(view, M::kDeviceAddress)->text(), "248");

  Widget<QLineEdit>(view, M::kDeviceAddress)->setText("12");
  Widget<QComboBox>(view, M::kBaudrate)->setCurrentIndex(3);
  Widget<QPushButton>(view, M::kOkButton)->click();
  EXPECT_EQ(dialog.end(), DialogEnd::kAccepted);
  EXPECT_EQ(GetU16(rig.state().modbusSettings.data() + sim::modbus::kAddress), 12);
  EXPECT_EQ(GetU16(rig.state().modbusSettings.data() + sim::modbus::kBaudIndex), 3);
  EXPECT_EQ(ui.messages.size(), 1u);
}

// The chooser's button opens the Modbus settings in a modal window above it; its OK closes that
// window, and the chooser is still there for "Exit".
TEST(ModbusView, ChooserOpensTheModbusWindow) {
  DialogRig rig(0x1400);
  CCommunicationSelect chooser(rig.environment);
  FormView view(chooser, nullptr);
  test::ScriptedUi ui;
  view.SetUiOverride(&ui);
  chooser.Open();
  view.Push();
  EXPECT_EQ(view.windowTitle(), "Select communication type");
  EXPECT_TRUE(Widget<QPushButton>(view, C::kModbusSetting)->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>(view, C::kMBusSetting)->isEnabled());

  QString childTitle;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* child = qobject_cast<FormView*>(modal);
    if (child == nullptr) {
      ADD_FAILURE() << "no Modbus window";
      if (modal != nullptr) modal->close();
      return;
    }
    childTitle = child->windowTitle();
    qobject_cast<QLineEdit*>(child->widget(M::kDeviceAddress))->setText("42");
    qobject_cast<QPushButton*>(child->widget(M::kOkButton))->click();
  });
  Widget<QPushButton>(view, C::kModbusSetting)->click();
  EXPECT_EQ(childTitle, "Modbus settings");
  EXPECT_EQ(GetU16(rig.state().modbusSettings.data() + sim::modbus::kAddress), 42);
  EXPECT_FALSE(chooser.ended());
  EXPECT_TRUE(ui.messages.empty());

  Widget<QPushButton>(view, C::kExit)->click();
  EXPECT_EQ(chooser.end(), DialogEnd::kClosed);
}

}  // namespace
}  // namespace korvin
