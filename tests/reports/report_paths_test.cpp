#include "reports/report_paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace korvin {
namespace {

TEST(SafeFileStem, NeverLeavesItsFolderOrNamesADevice) {
  const struct {
    std::string stem;
    std::string safe;
  } cases[] = {
      {"00012345", "00012345"},
      {"1234 5678", "1234 5678"},  // the certificate's blank stays
      {"..", "_"},
      {".", "_"},
      {"", "_"},
      {"../x", ".._x"},
      {"..\\..\\Windows\\x", ".._.._Windows_x"},
      {"/etc/passwd", "_etc_passwd"},
      {"C:x", "C_x"},
      {std::string("a\nb\tc\x7f", 6), "a_b_c_"},
      {"...", "..."},
      {"CON", "_CON"},
      {"nul", "_nul"},
      {"Com3", "_Com3"},
      {"LPT9.txt", "_LPT9.txt"},
      {"COM0", "COM0"},
      {"CONSOLE", "CONSOLE"},
      {"S060 1234", "S060 1234"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileStem(c.stem), c.safe) << c.stem;
}

// Reports go below the program's folder while it is writable; an installed program's folder is
// not, and the user's data folder takes its place.
TEST(ReportBaseFolder, ProgramFolderWhenWritableOtherwiseUserData) {
  test::ScratchFolder scratch("korvin-report-base");
  const std::filesystem::path userData = scratch / "share" / "KORVIN";
  EXPECT_EQ(ChooseReportBaseFolder(scratch.path(), userData), scratch.path());
  EXPECT_FALSE(std::filesystem::exists(userData));
  size_t left = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(scratch.path())) ++left;
  EXPECT_EQ(left, 0u);  // the probe file is gone again

  // A folder nobody can write into: here one that cannot exist, below a plain file (the tests
  // may run as root, for whom permission bits mean nothing).
  std::ofstream(scratch / "plain") << "x";
  EXPECT_FALSE(FolderIsWritable(scratch / "plain"));
  EXPECT_EQ(ChooseReportBaseFolder(scratch / "plain" / "bin", userData), userData);
  EXPECT_TRUE(std::filesystem::is_directory(userData));
}

}  // namespace
}  // namespace korvin
