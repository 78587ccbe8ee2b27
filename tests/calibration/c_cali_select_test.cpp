#include "calibration/c_cali_select.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::ElementsAre;
using C = CCaliSelect;

TEST(CalibrationMenu, OffersWhatTheSensorHas) {
  struct Case {
    uint16_t type;
    bool pressure;
    bool analogue;
  } cases[] = {
      {0x1030, true, true}, {0x1024, false, true}, {0x1083, true, false}, {0x1400, false, false}};
  for (const Case& c : cases) {
    DialogRig rig(c.type);
    CCaliSelect menu(rig.environment);
    menu.Attach(rig.host);
    EXPECT_FALSE(menu.form().Enabled(C::kPressure));  // until the menu opens
    menu.Open();
    EXPECT_TRUE(menu.form().Enabled(C::kDewPoint)) << std::hex << c.type;
    EXPECT_EQ(menu.form().Enabled(C::kPressure), c.pressure) << std::hex << c.type;
    EXPECT_EQ(menu.form().Enabled(C::kAnalogue), c.analogue) << std::hex << c.type;
    EXPECT_TRUE(menu.form().Enabled(C::kExit));
    EXPECT_TRUE(rig.Commands().empty());
  }
}

// Each button opens its dialog above the menu; when that one closes the menu is still open.
TEST(CalibrationMenu, StaysOpenWhileAndAfterADialogRuns) {
  DialogRig rig(0x1030);
  CCaliSelect menu(rig.environment);
  menu.Attach(rig.host);
  menu.Open();
  std::vector<std::string> opened;
  rig.host.onChild = [&](TaskDialog& child) {
    opened.push_back(child.screen().title() + (child.ended() ? " (ended)" : ""));
    EXPECT_FALSE(menu.ended());
    rig.host.answers = {false};
    child.CloseBox();
    EXPECT_TRUE(child.ended());
  };
  menu.Press(C::kDewPoint);
  menu.Press(C::kPressure);
  menu.Press(C::kAnalogue);
  EXPECT_THAT(opened, ElementsAre("Dew point calibration", "Pressure calibration",
                                  "Analogue output calibration & test"));
  EXPECT_FALSE(menu.ended());
  menu.Press(C::kExit);
  EXPECT_EQ(menu.end(), DialogEnd::kClosed);
}

}  // namespace
}  // namespace korvin
