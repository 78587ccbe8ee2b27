#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/dialog_command.h"
#include "cli/headless_session.h"
#include "support/dialog_rig.h"
#include "support/temp_folder.h"
#include "support/tiny_png.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::HasSubstr;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunDialog(DialogRig& rig, std::string_view dialog, std::vector<HeadlessStep> steps,
                  PictureSaver saver, bool json = false) {
  HeadlessSession::Options options;
  options.dialog = FindHeadlessDialog(dialog);
  options.steps = std::move(steps);
  options.json = json;
  std::ostringstream out;
  std::ostringstream err;
  HeadlessSession session(std::move(options), rig.sim.clock, std::move(saver), out, err);
  const int status = session.Run(rig.environment);
  return {status, out.str(), err.str()};
}

PictureSaver TinyPicture() {
  return [](TaskDialog&, const std::filesystem::path& png) { return test::WriteTinyPng(png); };
}

TEST(HeadlessReports, ServiceInfoPrintsTheFormAndWritesItsPdf) {
  test::ScratchFolder scratch("korvin-cli-reports");
  DialogRig rig(0x1030);
  rig.environment.programFolder = scratch.path();
  const std::filesystem::path pdf =
      scratch / "Sensor information" / (rig.environment.texts.serial + "_Info.pdf");

  const Outcome r =
      RunDialog(rig, "service-info", {{HeadlessStep::Kind::kPress, "Print to PDF"}}, TinyPicture());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, ::testing::StartsWith("wrote: " + pdf.string() + "\nDevice Name: D810"));
  EXPECT_THAT(r.out, HasSubstr("\nLow Boundary: -100.00\n"));
  EXPECT_THAT(r.out, HasSubstr("\nTemperature unit: ℃ (disabled)\n"));
  EXPECT_THAT(r.out, ::testing::EndsWith("\n[Print to PDF]\n"));
  EXPECT_TRUE(std::filesystem::exists(pdf));

  const Outcome json = RunDialog(
      rig, "service-info", {{HeadlessStep::Kind::kPress, "Print to PDF"}}, TinyPicture(), true);
  EXPECT_EQ(json.status, 0);
  EXPECT_THAT(json.out, HasSubstr("\"files\": [\"" + pdf.string() + "\"]}"));
}

TEST(HeadlessReports, AFailedPdfIsAFailure) {
  test::ScratchFolder scratch("korvin-cli-reports");
  DialogRig rig(0x1030);
  rig.environment.programFolder = scratch.path();
  const Outcome r =
      RunDialog(rig, "service-info", {{HeadlessStep::Kind::kPress, "Print to PDF"}}, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "! Error:Create PDF failed!\n");
  EXPECT_THAT(r.out, ::testing::Not(HasSubstr("wrote:")));
}

TEST(HeadlessReports, CalibrationDataInFactoryModeOnly) {
  test::ScratchFolder scratch("korvin-cli-reports");
  DialogRig rig(0x1030);
  rig.environment.programFolder = scratch.path();
  const Outcome r = RunDialog(rig, "calibration-data",
                              {{HeadlessStep::Kind::kPress, "Print to PDF"}}, TinyPicture());
  EXPECT_EQ(r.status, 0) << r.err;
  const std::filesystem::path pdf =
      scratch / "Calibration data" / (rig.environment.texts.serial + "_Calidata.pdf");
  EXPECT_THAT(r.out, ::testing::StartsWith("wrote: " + pdf.string() + "\nDevice Name: D810"));
  EXPECT_THAT(r.out, HasSubstr("\nK5 sensor / Num of cali point: 6\nCali 1 / Reference: 99.990\n"));
  EXPECT_THAT(r.out, HasSubstr("\nA1: / Coeff 0: "));
  EXPECT_THAT(r.out, HasSubstr("\nSegment 8 / Coeff_A0: \n"));
  EXPECT_THAT(r.out,
              ::testing::EndsWith("\n[Print to PDF]\n[Generate certificate]\n[Exit]\n"));
  EXPECT_TRUE(std::filesystem::exists(pdf));

  // Without --factory the view is not reached, before anything is connected.
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunDialogCommand({"--simulate", "calibration-data"}, out, err), 2);
  EXPECT_THAT(err.str(), HasSubstr("calibration-data is reached in factory mode only"));
}

}  // namespace
}  // namespace korvin
