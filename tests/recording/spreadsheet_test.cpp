#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "recording/spreadsheet/biff_record.h"
#include "recording/spreadsheet/excel_sheet.h"
#include "test_files.h"

namespace korvin::test {
namespace {

using miniexcel::excelSheet;

const Bytes kBof = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
// Code page 936 (0x03A8), so that readers decode the description as it was typed.
const Bytes kCodepage = {0x42, 0x00, 0x02, 0x00, 0xA8, 0x03};
const Bytes kEof = {0x0A, 0x00, 0x00, 0x00};

Bytes Framed(const Bytes& records) {
  Bytes bytes = kBof;
  bytes.insert(bytes.end(), kCodepage.begin(), kCodepage.end());
  bytes.insert(bytes.end(), records.begin(), records.end());
  bytes.insert(bytes.end(), kEof.begin(), kEof.end());
  return bytes;
}

Bytes WriteSheet(excelSheet& sheet) {
  TempFolder folder;
  const auto path = folder / "sheet.xls";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr);
  EXPECT_TRUE(sheet.Write(file));
  return ReadBytes(path);
}

struct GoldenCase {
  const char* name;
  std::function<void(excelSheet&)> fill;
  Bytes expected;
};

TEST(SpreadsheetWriter, WritesGoldenBytes) {
  const Bytes number10 = {0x03, 0x00, 0x0F, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F};
  const Bytes labelCh1 = {0x04, 0x00, 0x0C, 0x00, 0x08, 0x00, 0x02, 0x00,
                          0x00, 0x00, 0x02, 0x04, 0x43, 0x48, 0x20, 0x31};
  const GoldenCase cases[] = {
      {"empty sheet", [](excelSheet&) {}, Framed({})},
      {"number 1.0 at (10,0)", [](excelSheet& s) { s.Cell(10, 0).SetNumber(1.0); },
       Framed(number10)},
      {"centred text at (8,2)",
       [](excelSheet& s) {
         s.Cell(8, 2).SetText("CH 1");
         s.Cell(8, 2).SetAttributes(miniexcel::kAttributesCentred);
       },
       Framed(labelCh1)},
      {"numbers before texts",
       [](excelSheet& s) {
         s.Cell(8, 2).SetText("CH 1");
         s.Cell(8, 2).SetAttributes(miniexcel::kAttributesCentred);
         s.Cell(10, 0).SetNumber(1.0);
       },
       [&] {
         Bytes records = number10;
         records.insert(records.end(), labelCh1.begin(), labelCh1.end());
         return Framed(records);
       }()},
      {"empty text", [](excelSheet& s) { s.Cell(0, 0).SetText(""); },
       Framed({0x04, 0x00, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x00})},
      {"text replaced twice keeps the last",
       [](excelSheet& s) {
         s.Cell(0, 1).SetText("first");
         s.Cell(0, 1).SetText("second");
         s.Cell(0, 1).SetText("Z");
       },
       Framed({0x04, 0x00, 0x09, 0x00, 0, 0, 1, 0, 0, 0, 0, 0x01, 'Z'})},
      {"sparse access alone writes nothing",
       [](excelSheet& s) {
         s.Cell(9, 5);
         s.Cell(3, 1);
       },
       Framed({})},
      {"number overwriting a text",
       [](excelSheet& s) {
         s.Cell(0, 0).SetText("gone");
         s.Cell(0, 0).SetNumber(-2.5);
       },
       Framed({0x03, 0x00, 0x0F, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0xC0})},
  };
  for (const GoldenCase& c : cases) {
    SCOPED_TRACE(c.name);
    excelSheet sheet;
    c.fill(sheet);
    EXPECT_EQ(WriteSheet(sheet), c.expected);
  }
  EXPECT_EQ(Framed({}).size(), 18u);
}

TEST(SpreadsheetWriter, OrdersNumbersThenTextsEachRowMajor) {
  excelSheet sheet;
  sheet.Cell(0, 0).SetText("a");
  sheet.Cell(5, 1).SetNumber(5);
  sheet.Cell(2, 3).SetText("b");
  sheet.Cell(2, 0).SetNumber(2);
  sheet.Cell(0, 4).SetNumber(0.5);
  sheet.Cell(1, 0).SetText("c");
  const BiffFile file = ParseBiff(WriteSheet(sheet));
  ASSERT_TRUE(file.wellFormed);
  const std::vector<std::tuple<int, int, int>> expected = {{3, 0, 4}, {3, 2, 0}, {3, 5, 1},
                                                           {4, 0, 0}, {4, 1, 0}, {4, 2, 3}};
  ASSERT_EQ(file.cells.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto& [type, row, column] = expected[i];
    EXPECT_EQ(file.cells[i].type, type) << i;
    EXPECT_EQ(file.cells[i].row, row) << i;
    EXPECT_EQ(file.cells[i].column, column) << i;
  }
}

TEST(SpreadsheetWriter, SparseAccessGrowsRowsAndCells) {
  excelSheet sheet;
  sheet.Cell(9, 5);
  EXPECT_EQ(sheet.rowCount(), 10u);
  for (size_t row = 0; row < 9; ++row) EXPECT_EQ(sheet.cellCount(row), 0u) << row;
  EXPECT_EQ(sheet.cellCount(9), 6u);
  EXPECT_EQ(sheet.Cell(9, 5).kind(), miniexcel::CellKind::kEmpty);
  // A later access to a shorter position keeps what exists.
  sheet.Cell(9, 5).SetNumber(7);
  sheet.Cell(9, 2);
  EXPECT_EQ(sheet.cellCount(9), 6u);
  EXPECT_EQ(sheet.Cell(9, 5).value(), 7);
  sheet.Clear();
  EXPECT_EQ(sheet.rowCount(), 0u);
  EXPECT_EQ(WriteSheet(sheet), Framed({}));
}

TEST(SpreadsheetWriter, CellCopiesCarryTextOnlyForTextCells) {
  miniexcel::excelCell text;
  text.SetText("kept");
  miniexcel::excelCell copy = text;
  text.SetText("changed");
  EXPECT_EQ(copy.text(), "kept");
  EXPECT_EQ(copy.kind(), miniexcel::CellKind::kText);

  text.SetNumber(3);
  const miniexcel::excelCell number = text;
  EXPECT_EQ(number.kind(), miniexcel::CellKind::kNumber);
  EXPECT_TRUE(number.text().empty());
}

TEST(SpreadsheetWriter, LimitsLabelTextsToOneLengthByte) {
  struct Case {
    const char* name;
    std::string text;
    size_t written;
  };
  const std::string chinese(2, '\xB2');  // one double-byte code page 936 character
  const Case cases[] = {
      {"255 fits", std::string(255, 'a'), 255},
      {"256 cut", std::string(256, 'b'), 255},
      {"1000 cut", std::string(1000, 'c'), 255},
      // 254 single bytes and a double-byte character: the character would be split, so it goes.
      {"no split character", std::string(254, 'd') + chinese, 254},
      {"whole characters kept", std::string(253, 'e') + chinese + "f", 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    excelSheet sheet;
    sheet.Cell(1, 1).SetText(c.text);
    const BiffFile file = ParseBiff(WriteSheet(sheet));
    ASSERT_TRUE(file.wellFormed);
    ASSERT_EQ(file.cells.size(), 1u);
    EXPECT_EQ(file.cells[0].text, c.text.substr(0, c.written));
  }
}

TEST(SpreadsheetWriter, NeverWrapsIndexesBeyondSixteenBits) {
  excelSheet sheet;
  sheet.Cell(0, 0).SetText("top");
  sheet.Cell(65535, 0).SetNumber(1);
  sheet.Cell(65536, 0).SetNumber(2);  // would land on row 0
  sheet.Cell(1, 65536).SetText("x");  // would land on column 0
  const BiffFile file = ParseBiff(WriteSheet(sheet));
  ASSERT_TRUE(file.wellFormed);
  ASSERT_EQ(file.cells.size(), 2u);
  EXPECT_EQ(file.At(65535, 0)->number, 1);
  EXPECT_EQ(file.At(0, 0)->text, "top");
}

TEST(SpreadsheetWriter, ReportsAFailedWrite) {
  excelSheet sheet;
  sheet.Cell(0, 0).SetNumber(1);
  // A stream opened for reading takes no bytes; the sheet still closes it.
  std::FILE* file = std::fopen("/dev/null", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(sheet.Write(file));
}

}  // namespace
}  // namespace korvin::test
