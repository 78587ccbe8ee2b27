#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "sim/sim_process.h"
#include "support/pdf_tools.h"

namespace korvin {
namespace {

// korvin-cli as a technician runs it against korvin-sim on a pseudo-terminal: the sensor
// information read at real speed, then "Print to PDF" drawn off-screen and saved below the
// program's folder.
TEST(ReportsOverPty, ServiceInfoPrintToPdf) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(simulator.path().empty());

  const std::string command = std::string(KORVIN_CLI_PATH) + " --port " + simulator.path() +
                              " service-info --press \"Print to PDF\" 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << out;

  const std::string wrote = "wrote: ";
  ASSERT_EQ(out.rfind(wrote, 0), 0u) << out;
  const std::filesystem::path pdf = out.substr(wrote.size(), out.find('\n') - wrote.size());
  EXPECT_EQ(pdf.filename().string(), "23004144_Info.pdf");
  EXPECT_EQ(pdf.parent_path().filename().string(), "Sensor information");
  EXPECT_NE(out.find("\nSerial number: 23004144\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nHigh Boundary: -20.00\n"), std::string::npos) << out;

  // One page, as large as the one picture on it; the PNG it was made from is gone.
  const auto info = test::ReadPdfInfo(pdf);
  ASSERT_TRUE(info.has_value()) << pdf;
  const auto images = test::ListPdfImages(pdf);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(info->pages, 1);
  EXPECT_DOUBLE_EQ(info->width, images[0].width);
  EXPECT_DOUBLE_EQ(info->height, images[0].height);
  EXPECT_GT(images[0].width, 400);
  EXPECT_FALSE(std::filesystem::exists(pdf.parent_path() / "23004144.png"));

  std::error_code ignored;
  std::filesystem::remove(pdf, ignored);
  std::filesystem::remove(pdf.parent_path(), ignored);  // only when nothing else is in it
}

}  // namespace
}  // namespace korvin
