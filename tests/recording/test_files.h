#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace korvin::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("korvin-recording-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// What a shell command printed on its standard output.
inline std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// Debian's reader of the format, run with the interpreter that has it.
inline constexpr const char* kPython = "/usr/bin/python3";

// How an independent reader (python3-xlrd) sees a recording: "Values:" and the number of
// sheet rows, or its error message.
inline std::string XlrdSummary(const std::filesystem::path& file) {
  const std::string script =
      "import sys, xlrd; sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
      "print(\"values %d rows %d\" % (sheet.cell_value(5, 1), sheet.nrows))";
  return RunCommand(std::string(kPython) + " -c '" + script + "' '" + file.string() + "' 2>&1");
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// An independent reading of a BIFF2 worksheet, record by record, as the tests expect it.
struct BiffCell {
  uint16_t type = 0;  // 3 NUMBER, 4 LABEL
  uint16_t row = 0;
  uint16_t column = 0;
  uint8_t alignment = 0;  // third attribute byte
  double number = 0;
  std::string text;
};

struct BiffFile {
  bool wellFormed = false;      // BOF, CODEPAGE 936, the cells, EOF last, every length consistent
  std::vector<BiffCell> cells;  // in file order
  std::map<std::pair<int, int>, BiffCell> byPosition;

  const BiffCell* At(int row, int column) const {
    auto it = byPosition.find({row, column});
    return it == byPosition.end() ? nullptr : &it->second;
  }
};

inline BiffFile ParseBiff(const Bytes& bytes) {
  BiffFile file;
  const auto u16 = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
  size_t at = 0;
  int records = 0;
  while (at + 4 <= bytes.size()) {
    const uint16_t type = u16(at);
    const uint16_t length = u16(at + 2);
    const size_t data = at + 4;
    if (data + length > bytes.size()) return file;
    ++records;
    if (records == 1) {
      if (type != 0x0009 || length != 4 || u16(data) != 2 || u16(data + 2) != 0x10) return file;
    } else if (records == 2) {
      if (type != 0x0042 || length != 2 || u16(data) != 936) return file;
    } else if (type == 0x000A) {
      file.wellFormed = length == 0 && data == bytes.size();
      return file;
    } else if (type == 0x0003 || type == 0x0004) {
      BiffCell cell;
      cell.type = type;
      cell.row = u16(data);
      cell.column = u16(data + 2);
      cell.alignment = bytes[data + 6];
      if (type == 0x0003) {
        if (length != 15) return file;
        std::memcpy(&cell.number, &bytes[data + 7], 8);
      } else {
        const size_t n = bytes[data + 7];
        if (length != n + 8) return file;
        cell.text.assign(reinterpret_cast<const char*>(&bytes[data + 8]), n);
      }
      file.cells.push_back(cell);
      file.byPosition[{cell.row, cell.column}] = cell;
    } else {
      return file;
    }
    at = data + length;
  }
  return file;
}

}  // namespace korvin::test
