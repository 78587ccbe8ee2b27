// The report dialogs in their Qt view, offscreen: the widgets mirror the form, and "Print to
// PDF" grabs the real window into a PDF whose page shows exactly that picture.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "app/form_view.h"
#include "app/report_base_folder.h"
#include "calibration/c_calibration_data.h"
#include "config/c_service_info.h"
#include "support/dialog_rig.h"
#include "support/pdf_tools.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using I = CServiceInfo;
using test::DialogRig;

template <typename W>
W* Widget(FormView& view, size_t id) {
  W* widget = qobject_cast<W*>(view.widget(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

// A dialog against the virtual sensor in its view, opened and laid out at the size it opens
// with; `prepare` changes the sensor first.
template <typename D>
struct Shown {
  explicit Shown(uint16_t type, const std::filesystem::path& programFolder = {},
                 const std::function<void(DialogRig&)>& prepare = {})
      : rig(type) {
    rig.environment.programFolder = programFolder;
    if (prepare) prepare(rig);
    view.SetUiOverride(&ui);
    dialog.Open();
    view.Push();
    view.layout()->activate();
    view.resize(view.sizeHint());
  }
  DialogRig rig;
  D dialog{rig.environment};
  FormView view{dialog, nullptr};
  test::ScriptedUi ui;
};

TEST(ServiceInfoView, ReadOnlyWidgetsMirrorTheForm) {
  Shown<CServiceInfo> s(0x1030, {}, [](DialogRig& rig) { rig.state().filterGrade = 6; });
  FormView& view = s.view;
  DialogRig& rig = s.rig;
  test::ScriptedUi& ui = s.ui;

  EXPECT_EQ(view.windowTitle(), "Sensor information");
  EXPECT_EQ(Widget<QLineEdit>(view, I::kFilterGrade)->text(), "6");
  EXPECT_TRUE(Widget<QLineEdit>(view, I::kFilterGrade)->isReadOnly());
  EXPECT_EQ(Widget<QLineEdit>(view, I::kHighBoundary)->text(), "-20.00");
  EXPECT_EQ(view.unitLabel(I::kHighBoundary)->text(), "℃ Td");
  EXPECT_EQ(view.unitLabel(I::k4mA)->text(),
            QString::fromStdString(rig.environment.texts.analogueUnit));
  EXPECT_EQ(Widget<QComboBox>(view, I::kAltDewPoint)->count(), 7);
  EXPECT_FALSE(Widget<QComboBox>(view, I::kAltDewPoint)->isEnabled());
  EXPECT_TRUE(Widget<QCheckBox>(view, I::kPressureOutput)->isChecked());
  EXPECT_FALSE(Widget<QCheckBox>(view, I::kPressureOutput)->isEnabled());
  EXPECT_TRUE(Widget<QRadioButton>(view, I::kAutoOffsetMode)->isChecked());
  EXPECT_EQ(Widget<QPushButton>(view, I::kPrintToPdf)->text(), "Print to PDF");
  EXPECT_TRUE(ui.messages.empty());
}

TEST(ServiceInfoView, PrintToPdfHoldsTheGrabbedWindow) {
  test::ScratchFolder scratch("korvin-view-report");
  Shown<CServiceInfo> s(0x1030, scratch.path());
  FormView& view = s.view;
  DialogRig& rig = s.rig;
  test::ScriptedUi& ui = s.ui;

  Widget<QPushButton>(view, I::kPrintToPdf)->click();
  EXPECT_TRUE(ui.messages.empty());
  const std::filesystem::path pdf =
      scratch / "Sensor information" / (rig.environment.texts.serial + "_Info.pdf");
  const auto info = test::ReadPdfInfo(pdf);
  ASSERT_TRUE(info.has_value());
  const QImage window = view.grab().toImage().convertToFormat(QImage::Format_RGB888);
  EXPECT_DOUBLE_EQ(info->width, window.width());
  EXPECT_DOUBLE_EQ(info->height, window.height());

  const std::filesystem::path rendered = scratch / "page.png";
  ASSERT_TRUE(test::RenderFirstPage(pdf, rendered));
  const QImage page =
      QImage(QString::fromStdString(rendered.string())).convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(page.size(), window.size());
  // The corners, the middle, and the button.
  const QPoint button = Widget<QPushButton>(view, I::kPrintToPdf)->geometry().center();
  for (const QPoint p : {QPoint(2, 2), QPoint(window.width() - 3, window.height() - 3),
                         QPoint(window.width() / 2, window.height() / 2), button}) {
    EXPECT_EQ(page.pixel(p), window.pixel(p)) << p.x() << "," << p.y();
  }
  int differing = 0;
  for (int y = 0; y < page.height(); y += 7) {
    for (int x = 0; x < page.width(); x += 7) differing += page.pixel(x, y) != window.pixel(x, y);
  }
  EXPECT_EQ(differing, 0);
}

QGroupBox* BoxAround(QWidget* widget) {
  for (QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (auto* box = qobject_cast<QGroupBox*>(w)) return box;
  }
  return nullptr;
}

TEST(CalibrationDataView, TablesAndNestedBoxesMirrorTheForm) {
  test::ScratchFolder scratch("korvin-view-report");
  Shown<CCalibrationData> s(0x1030, scratch.path());
  FormView& view = s.view;
  DialogRig& rig = s.rig;
  test::ScriptedUi& ui = s.ui;

  using C = CCalibrationData;
  EXPECT_EQ(view.windowTitle(), "Calibration data");
  EXPECT_EQ(Widget<QLineEdit>(view, C::K5Cell(0, 0))->text(), "99.990");
  EXPECT_EQ(Widget<QLineEdit>(view, C::QcmCell(0, 2))->text(), "20.00");
  EXPECT_EQ(Widget<QLineEdit>(view, C::QcmCell(9, 0))->text(), "");
  // Cells of one column line up, whatever they hold.
  EXPECT_EQ(view.widget(C::K5Cell(0, 1))->width(), view.widget(C::K5Cell(5, 1))->width());
  EXPECT_EQ(view.widget(C::K5Cell(0, 1))->x(), view.widget(C::K5Cell(5, 1))->x());
  // "Check data" and "Calibration coeff." sit inside "Pressure data".
  QGroupBox* check = BoxAround(view.widget(C::kRefPressure));
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->title(), "Check data");
  ASSERT_NE(BoxAround(check), nullptr);
  EXPECT_EQ(BoxAround(check)->title(), "Pressure data");
  EXPECT_EQ(BoxAround(view.widget(C::kPressureA1))->title(), "Calibration coeff.");
  EXPECT_FALSE(Widget<QPushButton>(view, C::kGenerateCertificate)->isEnabled());
  // The whole view fits a 1280 x 1024 screen.
  EXPECT_LE(view.width(), 1280);
  EXPECT_LE(view.height(), 1000);

  Widget<QPushButton>(view, C::kPrintToPdf)->click();
  EXPECT_TRUE(ui.messages.empty());
  const std::filesystem::path pdf =
      scratch / "Calibration data" / (rig.environment.texts.serial + "_Calidata.pdf");
  const auto info = test::ReadPdfInfo(pdf);
  ASSERT_TRUE(info.has_value());
  EXPECT_DOUBLE_EQ(info->width, view.width());
  EXPECT_DOUBLE_EQ(info->height, view.height());

  Widget<QPushButton>(view, C::kExit)->click();
  EXPECT_EQ(s.dialog.end(), DialogEnd::kClosed);
}

// korvin and korvin-cli decide the same way: the program's folder while it is writable, else
// the user's data folder named after the application.
TEST(ReportBaseFolder, FallsBackToTheUsersDataFolder) {
  test::ScratchFolder scratch("korvin-view-report");
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString((scratch / "share").string()));
  std::ofstream(scratch / "plain") << "x";
  EXPECT_EQ(ReportBaseFolderAtStartUp(scratch.path()), scratch.path());
  const std::filesystem::path fallback = ReportBaseFolderAtStartUp(scratch / "plain" / "bin");
  EXPECT_EQ(fallback, scratch / "share" / "KORVIN");
  EXPECT_TRUE(std::filesystem::is_directory(fallback));
  if (saved.isNull()) {
    qunsetenv("XDG_DATA_HOME");
  } else {
    qputenv("XDG_DATA_HOME", saved);
  }
}

}  // namespace
}  // namespace korvin
