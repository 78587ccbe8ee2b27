#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/headless_session.h"
#include "reports/certificate_template.h"
#include "support/dialog_rig.h"
#include "support/temp_folder.h"
#include "support/tiny_png.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::HasSubstr;
using ::testing::Not;

const std::filesystem::path kStandardTemplate = KORVIN_SHARE_DIR "/ROVA_Standard.conf";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// korvin-cli --factory certificate: the calibration data view opens, its "Generate certificate"
// opens the certificate, the steps run there.
Outcome Certificate(DialogRig& rig, std::vector<HeadlessStep> steps,
                    std::deque<std::filesystem::path> files, PictureSaver saver = {}) {
  HeadlessSession::Options options;
  options.dialog = FindHeadlessDialog("certificate");
  options.steps = std::move(steps);
  options.answers.files = std::move(files);
  std::ostringstream out;
  std::ostringstream err;
  HeadlessSession session(std::move(options), rig.sim.clock, std::move(saver), out, err);
  const int status = session.Run(rig.environment);
  return {status, out.str(), err.str()};
}

TEST(HeadlessCertificate, CreateWritesTheCertificateFromTheCalibrationData) {
  test::ScratchFolder scratch("korvin-cli-certificate");
  DialogRig rig(0x1083);
  rig.environment.programFolder = scratch.path();
  const Outcome r = Certificate(
      rig,
      {{HeadlessStep::Kind::kSet, "Inspector", "J. Doe"}, {HeadlessStep::Kind::kPress, "Create"}},
      {kStandardTemplate});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "? please select certificate config file -> " + kStandardTemplate.string() + "\n");
  const std::filesystem::path pdf = scratch / "Certificate" / "2300 4227.pdf";
  EXPECT_THAT(r.out, ::testing::StartsWith("wrote: " + pdf.string() + "\nInstrument: D850 QCM\n"));
  // The calibration data view hands its pressure check values over.
  EXPECT_THAT(r.out, HasSubstr("\nPressure / Nominal value: 8.000\n"));
  EXPECT_THAT(r.out, HasSubstr("\nPressure / Evaluation: Passed\n"));
  EXPECT_THAT(r.out, HasSubstr("\nInspector: J. Doe\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("[Make]")));
  EXPECT_TRUE(std::filesystem::exists(pdf));
}

// "Save as new " takes the second file; the first was the template the dialog opened with.
TEST(HeadlessCertificate, SaveAsNewWritesATemplate) {
  test::ScratchFolder scratch("korvin-cli-certificate");
  DialogRig rig(0x1035);
  rig.environment.programFolder = scratch.path();
  const std::filesystem::path saved = scratch / "lab";
  const Outcome r =
      Certificate(rig,
                  {{HeadlessStep::Kind::kSet, "Info4", "Next calibration in 12 months"},
                   {HeadlessStep::Kind::kPress, "Save as new "}},
                  {kStandardTemplate, saved});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, ::testing::StartsWith("wrote: " + saved.string() + ".conf\n"));
  const TemplateValues values = ReadTemplateFile(scratch / "lab.conf");
  EXPECT_EQ(values[templatefield::kInfo4], "Next calibration in 12 months");
  EXPECT_EQ(values[templatefield::kTestMedium], "Synthetic air");

  // Over an existing file only when the question is answered Yes.
  const Outcome refused = Certificate(rig, {{HeadlessStep::Kind::kPress, "Save as new "}},
                                      {kStandardTemplate, scratch / "lab.conf"});
  EXPECT_THAT(refused.err, HasSubstr("already exists. Replace it? -> No\n"));
  EXPECT_THAT(refused.out, Not(HasSubstr("wrote:")));
}

// The hidden default "Make" is reached as Enter reaches it; a sensor that stops answering ends
// the certificate with "Communication error" and korvin-cli with 1.
TEST(HeadlessCertificate, MakeAndCommunicationError) {
  test::ScratchFolder scratch("korvin-cli-certificate");
  DialogRig rig(0x1035);
  rig.environment.programFolder = scratch.path();
  const Outcome make = Certificate(
      rig, {{HeadlessStep::Kind::kPress, "Make"}}, {kStandardTemplate},
      [](TaskDialog&, const std::filesystem::path& png) { return test::WriteTinyPng(png); });
  EXPECT_EQ(make.status, 0) << make.err;
  const std::filesystem::path folder = scratch / "Certificate";
  EXPECT_THAT(make.out,
              ::testing::StartsWith("wrote: " + (folder / "2300 4149_Certificate.pdf").string() +
                                    "\nwrote: " + (folder / "2300 4149.png").string() + "\n"));

  rig.sim.model.Refuse("ReadCalibrationRecord", 7);
  const Outcome gone =
      Certificate(rig, {{HeadlessStep::Kind::kPress, "Create"}}, {kStandardTemplate});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("! Communication error\n"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "Certificate" / "2300 4149.pdf"));
}

}  // namespace
}  // namespace korvin
