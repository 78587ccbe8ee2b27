#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// A minimal BIFF2 worksheet writer: an in-memory grid that grows on access and is written in one
// pass as a single-sheet ".xls" file.
namespace miniexcel {

// The three BIFF2 cell attribute bytes; the third holds the horizontal alignment.
using CellAttributes = std::array<uint8_t, 3>;
inline constexpr CellAttributes kAttributesNone{0, 0, 0};
inline constexpr CellAttributes kAttributesCentred{0, 0, 2};
inline constexpr CellAttributes kAttributesRightAligned{0, 0, 3};

// Row and column indexes are 16 bits in the file. Cells beyond this index are never written:
// truncating the index would silently overwrite other cells.
inline constexpr size_t kMaxCellIndex = 0xFFFF;

enum class CellKind : int { kEmpty = 0, kNumber = 1, kText = 2 };

class excelCell {
 public:
  // Texts are held as the bytes that go into the file (code page 936).
  void SetText(std::string_view text);
  void SetNumber(double value);
  void SetAttributes(const CellAttributes& attributes) { attributes_ = attributes; }
  // The sheet sets the position when it writes the cell.
  void SetPosition(int row, int column) {
    row_ = row;
    column_ = column;
  }

  CellKind kind() const { return kind_; }
  const std::string& text() const { return text_; }  // empty unless kind() is kText
  double value() const { return value_; }
  const CellAttributes& attributes() const { return attributes_; }
  int row() const { return row_; }
  int column() const { return column_; }

 private:
  std::string text_;
  double value_ = 0;
  int row_ = 0;
  int column_ = 0;
  CellAttributes attributes_ = kAttributesNone;
  CellKind kind_ = CellKind::kEmpty;
};

class excelSheet {
 public:
  // The cell at (row, column), appending empty rows and cells as needed. Empty cells cost memory
  // but never reach the file.
  excelCell& Cell(size_t row, size_t column);

  // Writes BOF, CODEPAGE, every number cell, every text cell (each group in row-major order), EOF,
  // and closes `file` in every case. True when every byte was written and the close succeeded.
  bool Write(std::FILE* file);
  // The same records without closing, for callers that flush and sync before closing.
  bool WriteRecords(std::FILE* file);

  void Clear() { rows_.clear(); }
  size_t rowCount() const { return rows_.size(); }
  // Cells held in `row` (0 for a row the sheet does not have).
  size_t cellCount(size_t row) const { return row < rows_.size() ? rows_[row].size() : 0; }

 private:
  bool WriteCellsOfKind(std::FILE* file, CellKind kind);

  std::vector<std::vector<excelCell>> rows_;
};

}  // namespace miniexcel
