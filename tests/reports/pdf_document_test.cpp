#include "reports/pdf_document.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace korvin {
namespace {

// The first error stops the build: later steps do nothing and the first error is the one kept.
TEST(PdfDocument, StopsAtTheFirstErrorAndKeepsIt) {
  test::ScratchFolder scratch("korvin-pdf");
  PdfDocument doc;
  ASSERT_TRUE(doc.created());
  ASSERT_NE(doc.AddPage(), nullptr);
  EXPECT_EQ(doc.LoadPngImage(scratch / "missing.png"), nullptr);
  EXPECT_FALSE(doc.ok());
  const HPDF_STATUS first = doc.error();
  EXPECT_NE(first, HPDF_OK);
  EXPECT_EQ(doc.AddPage(), nullptr);
  EXPECT_FALSE(doc.SaveToFile(scratch / "out.pdf"));
  EXPECT_EQ(doc.error(), first);
  EXPECT_FALSE(std::filesystem::exists(scratch / "out.pdf"));

  // A step with a fallback may go on after forgetting its error.
  doc.ResetError();
  EXPECT_TRUE(doc.ok());
  EXPECT_TRUE(doc.SaveToFile(scratch / "out.pdf"));
  std::ifstream in(scratch / "out.pdf");
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
}

TEST(PdfDocument, AFailedSaveLeavesTheEarlierFileAndNothingTemporary) {
  test::ScratchFolder scratch("korvin-pdf");
  const std::filesystem::path target = scratch / "report.pdf";
  std::ofstream(target) << "earlier";
  {
    // The folder of the temporary file is missing: libharu cannot open it.
    PdfDocument doc;
    doc.AddPage();
    EXPECT_FALSE(doc.SaveToFile(scratch / "missing" / "report.pdf"));
    EXPECT_EQ(doc.error(), HPDF_FILE_OPEN_ERROR);
  }
  {
    // The rename fails: the target's name belongs to a folder.
    std::filesystem::create_directory(scratch / "taken.pdf");
    PdfDocument doc;
    doc.AddPage();
    EXPECT_FALSE(doc.SaveToFile(scratch / "taken.pdf"));
    EXPECT_FALSE(std::filesystem::exists(PdfDocument::TemporaryFileFor(scratch / "taken.pdf")));
  }
  std::ifstream in(target);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "earlier");
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(scratch.path()))
    ++files;
  EXPECT_EQ(files, 2u);  // report.pdf and the folder taken.pdf
}

}  // namespace
}  // namespace korvin
