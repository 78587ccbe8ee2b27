// Reads a recorded file back with an independent reader of the format (Debian's python3-xlrd).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "recording/c_logging.h"
#include "test_files.h"

namespace korvin::test {
namespace {

// One line per non-empty cell: row, column, type (1 text, 2 number), horizontal alignment, and
// the value (a number as its shortest exact form, a text as UTF-8 in hex). The description is
// in code page 936, which the reader has to learn from the file itself.
constexpr const char* kReader = R"(import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(0)
print(book.biff_version, book.nsheets, sheet.nrows, sheet.ncols, book.encoding)
for r in range(sheet.nrows):
    for c in range(sheet.row_len(r)):
        cell = sheet.cell(r, c)
        if cell.ctype == xlrd.XL_CELL_EMPTY:
            continue
        align = book.xf_list[cell.xf_index].alignment.hor_align
        value = repr(cell.value) if cell.ctype == xlrd.XL_CELL_NUMBER else cell.value.encode().hex()
        print(r, c, cell.ctype, align, value)
)";

struct ReadCell {
  int type = 0;
  int alignment = 0;
  std::string value;
};

std::string Hex(const std::string& text) {
  std::string hex;
  char digits[3];
  for (unsigned char c : text) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    hex += digits;
  }
  return hex;
}

TEST(RecordedFileReadBack, IndependentReaderSeesTypesPositionsAndValues) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << kPython << " is not installed";
  TempFolder folder;
  std::ofstream(folder / "read.py") << kReader;

  int tick = 0;
  LoggingOptions options;
  options.folder = folder.path();
  options.localTime = [&tick] { return LocalDateTime{2024, 12, 31, 23, 59, tick % 60}; };
  CLogging logging(options);
  RecordSettings settings;
  settings.hours = 0;
  settings.minutes = 1;
  settings.interval = 3;
  settings.fileName = "readback";
  settings.description = "Dryer 3 露点 ℃";
  std::vector<std::array<float, kChannelCount>> stored;
  logging.SetRowCallback([&](const RecordedRow& row) { stored.push_back(row.values); });
  ASSERT_TRUE(logging.Start(settings, MakeChannelUnitTexts({"°F", "g/kg", "°F Td", "PSI"})));
  while (logging.state() != CLogging::State::kIdle) {
    ++tick;
    logging.Tick({70.5f + tick, 0.125f * tick, -40.1f + tick, 101.325f});
  }
  ASSERT_EQ(stored.size(), 20u);

  const std::string output =
      RunCommand(std::string(kPython) + " '" + (folder / "read.py").string() + "' '" +
                 (folder / "readback.xls").string() + "' 2>&1");
  std::istringstream lines(output);
  int version = 0, sheets = 0, rows = 0, columns = 0;
  std::string encoding;
  lines >> version >> sheets >> rows >> columns >> encoding;
  ASSERT_EQ(version, 20) << output;
  EXPECT_EQ(encoding, "cp936");
  EXPECT_EQ(sheets, 1);
  EXPECT_EQ(rows, 30);
  EXPECT_EQ(columns, 6);
  std::map<std::pair<int, int>, ReadCell> cells;
  int r, c;
  ReadCell cell;
  while (lines >> r >> c >> cell.type >> cell.alignment >> cell.value) cells[{r, c}] = cell;

  const auto text = [](const std::string& utf8, int alignment = 0) {
    return ReadCell{1, alignment, Hex(utf8)};
  };
  const auto number = [](double value) {
    char repr[32];
    std::snprintf(repr, sizeof repr, "%.17g", value);
    return ReadCell{2, 0, repr};
  };
  std::map<std::pair<int, int>, ReadCell> expected = {
      {{0, 0}, text("ROVA KELD data recording (www.rova-keld.example)")},
      {{2, 0}, text("Description")},
      {{2, 1}, text("Dryer 3 露点 ℃")},
      {{3, 0}, text("Date:")},
      {{3, 1}, text("31.12.2024")},
      {{4, 0}, text("Start:")},
      {{4, 1}, text("23:59:01")},
      {{5, 0}, text("Values:")},
      {{5, 1}, number(20)},
      {{8, 0}, text("No.", 2)},
      {{8, 1}, text("Time", 2)},
      {{9, 2}, text("F", 2)},
      {{9, 3}, text("g/kg", 2)},
      {{9, 4}, text("F Td", 2)},
      {{9, 5}, text("PSI", 2)},
  };
  for (int ch = 0; ch < kChannelCount; ++ch) {
    expected[{8, 2 + ch}] = text("CH " + std::to_string(ch + 1), 2);
  }
  for (int i = 0; i < 20; ++i) {
    char time[16];
    std::snprintf(time, sizeof time, "23:59:%02d", (1 + 3 * i) % 60);
    expected[{10 + i, 0}] = number(i + 1);
    expected[{10 + i, 1}] = text(time, 3);
    for (int ch = 0; ch < kChannelCount; ++ch) expected[{10 + i, 2 + ch}] = number(stored[i][ch]);
  }

  ASSERT_EQ(cells.size(), expected.size()) << output;
  for (const auto& [position, want] : expected) {
    SCOPED_TRACE(testing::Message() << "row " << position.first << " column " << position.second);
    auto found = cells.find(position);
    ASSERT_NE(found, cells.end());
    EXPECT_EQ(found->second.type, want.type);
    EXPECT_EQ(found->second.alignment, want.alignment);
    if (want.type == 2) {
      EXPECT_EQ(std::strtod(found->second.value.c_str(), nullptr),
                std::strtod(want.value.c_str(), nullptr));
    } else {
      EXPECT_EQ(found->second.value, want.value);
    }
  }
}

}  // namespace
}  // namespace korvin::test
