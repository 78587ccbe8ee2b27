#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace korvin::test {

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

inline BiffFile ParseBiff(const std::vector<uint8_t>& bytes) {
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
