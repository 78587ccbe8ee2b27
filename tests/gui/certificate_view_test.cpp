#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/form_view.h"
#include "reports/c_certificate.h"
#include "support/dialog_rig.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using C = CCertificate;

template <typename W>
W* Widget(FormView& view, size_t id) {
  W* widget = qobject_cast<W*>(view.widget(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

int RightEdge(FormView& view, QWidget* widget) {
  return widget->mapTo(&view, QPoint(widget->width(), 0)).x();
}

// The certificate in its window: no title bar, bold labels beside plain values, italic
// information lines, the logo stretched over its frame, the buttons in a column right of the
// framed form, and Enter running the hidden "Make".
TEST(CertificateView, FormLooksAsItShouldAndEnterMakesTheSnapshot) {
  test::DialogRig rig(0x1035);
  test::ScratchFolder folder("korvin-certificate-view");
  QImage logo(600, 150, QImage::Format_RGB888);
  logo.fill(Qt::darkBlue);
  const std::filesystem::path logoFile = folder / "logo.png";
  ASSERT_TRUE(logo.save(QString::fromStdString(logoFile.string()), "PNG"));

  CertificateInput input;
  input.programFolder = folder.path();
  input.deviceType = rig.record.deviceType;
  input.serialNumber = rig.environment.texts.serial;
  input.k5PointCount = rig.state().factory.k5Count;
  C dialog(rig.environment, input);
  dialog.Attach(rig.host);  // the template chooser is answered by the script: cancelled
  dialog.Open();
  dialog.form().SetText(C::kLogo, logoFile.string());
  dialog.form().SetText(C::kCompanyName, "ROVA Sensortechnik GmbH");

  FormView view(dialog, nullptr);
  view.Push();
  view.show();
  QApplication::processEvents();

  EXPECT_FALSE(view.windowFlags() & Qt::WindowTitleHint);
  QLineEdit* medium = Widget<QLineEdit>(view, C::kTestMedium);
  EXPECT_TRUE(medium->isReadOnly());
  EXPECT_FALSE(medium->font().bold());
  EXPECT_TRUE(Widget<QLineEdit>(view, C::kInstrument)->font().bold());
  EXPECT_TRUE(Widget<QLineEdit>(view, C::kCompanyName)->font().bold());
  EXPECT_TRUE(Widget<QLineEdit>(view, C::kInfo1)->font().italic());
  EXPECT_FALSE(Widget<QLineEdit>(view, C::kInfo1)->isReadOnly());
  EXPECT_FALSE(Widget<QLineEdit>(view, C::kAddress1)->font().bold());
  bool boldMediumLabel = false;
  for (QLabel* label : view.findChildren<QLabel*>()) {
    if (label->text() == "Test medium") boldMediumLabel = label->font().bold();
  }
  EXPECT_TRUE(boldMediumLabel);
  EXPECT_EQ(view.unitLabel(C::kMirrorUncertainty)->text(), "C Td");

  QLabel* picture = Widget<QLabel>(view, C::kLogo);
  EXPECT_TRUE(picture->hasScaledContents());
  EXPECT_EQ(picture->size(), QSize(200, 50));
  EXPECT_EQ(picture->pixmap().size(), QSize(600, 150));

  const int formRight = RightEdge(view, view.widget(C::ResultCell(C::kPressure, C::kEvaluation)));
  int previousY = -1;
  for (size_t id : {C::kSaveAsNew, C::kCustomerLogo, C::kCreate, C::kExit}) {
    QPushButton* button = Widget<QPushButton>(view, id);
    EXPECT_GT(button->mapTo(&view, QPoint()).x(), formRight) << id;
    EXPECT_GT(button->mapTo(&view, QPoint()).y(), previousY) << id;
    previousY = button->mapTo(&view, QPoint()).y();
  }
  EXPECT_FALSE(view.widget(C::kMake)->isVisible());
  EXPECT_FALSE(view.findChildren<QFrame*>().isEmpty());

  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&view, &enter);
  const std::filesystem::path snapshot = folder / "Certificate" / "2300 4149_Certificate.pdf";
  EXPECT_TRUE(std::filesystem::exists(snapshot)) << snapshot;
  EXPECT_TRUE(std::filesystem::exists(folder / "Certificate" / "2300 4149.png"));
  EXPECT_FALSE(dialog.ended());
}

}  // namespace
}  // namespace korvin
