#include "recording/spreadsheet/excel_sheet.h"

#include <algorithm>

#include "recording/spreadsheet/biff_record.h"

namespace miniexcel {

void excelCell::SetText(std::string_view text) {
  text_.assign(text);
  kind_ = CellKind::kText;
}

void excelCell::SetNumber(double value) {
  // Release the text: a number cell holds none, and copies of it must not carry one.
  std::string().swap(text_);
  value_ = value;
  kind_ = CellKind::kNumber;
}

excelCell& excelSheet::Cell(size_t row, size_t column) {
  if (rows_.size() <= row) rows_.resize(row + 1);
  std::vector<excelCell>& cells = rows_[row];
  if (cells.size() <= column) cells.resize(column + 1);
  return cells[column];
}

bool excelSheet::WriteCellsOfKind(std::FILE* file, CellKind kind) {
  const size_t rowLimit = std::min(rows_.size(), kMaxCellIndex + 1);
  for (size_t r = 0; r < rowLimit; ++r) {
    std::vector<excelCell>& cells = rows_[r];
    const size_t columnLimit = std::min(cells.size(), kMaxCellIndex + 1);
    for (size_t c = 0; c < columnLimit; ++c) {
      excelCell& cell = cells[c];
      if (cell.kind() != kind) continue;
      cell.SetPosition(static_cast<int>(r), static_cast<int>(c));
      const bool written =
          kind == CellKind::kNumber ? excelNUMBER(cell).Write(file) : excelLABEL(cell).Write(file);
      if (!written) return false;
    }
  }
  return true;
}

bool excelSheet::WriteRecords(std::FILE* file) {
  return WriteBof(file) && WriteCodepage(file) && WriteCellsOfKind(file, CellKind::kNumber) &&
         WriteCellsOfKind(file, CellKind::kText) && WriteEof(file);
}

bool excelSheet::Write(std::FILE* file) {
  const bool written = WriteRecords(file);
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace miniexcel
