#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "recording/spreadsheet/excel_sheet.h"

namespace miniexcel {

// Wire layout, little-endian; every record is
//   type (2) | length of the data (2) | data
//
//   record  type    length  data
//   BOF      0x0009  4       version 0x0002 (2), document type 0x0010 worksheet (2)
//   CODEPAGE 0x0042  2       code page of the texts, 936 (2)
//   NUMBER   0x0003  15      cell header (7), IEEE 754 double (8)
//   LABEL    0x0004  8 + n   cell header (7), n (1), n text bytes, no terminator
//   EOF      0x000A  0
//
// CODEPAGE follows BOF: without it readers decode the texts as ASCII and refuse a description
// in code page 936; readers that do not know the record skip it by its length.
//
// Cell header: row (2), column (2), the three attribute bytes as stored.
inline constexpr uint16_t kRecordBof = 0x0009;
inline constexpr uint16_t kRecordCodepage = 0x0042;
inline constexpr uint16_t kRecordNumber = 0x0003;
inline constexpr uint16_t kRecordLabel = 0x0004;
inline constexpr uint16_t kRecordEof = 0x000A;
inline constexpr uint16_t kBiffVersion = 0x0002;
inline constexpr uint16_t kDocumentWorksheet = 0x0010;
inline constexpr uint16_t kCodePage936 = 936;
inline constexpr size_t kRecordHeaderSize = 4;
inline constexpr size_t kCellHeaderSize = 7;
// The text length is a single byte in the file.
inline constexpr size_t kMaxLabelLength = 255;

class BIFFRecord {
 public:
  virtual ~BIFFRecord() = default;
  // Appends the record to `file`; true when every byte was written.
  virtual bool Write(std::FILE* file) const = 0;
};

// Position and attributes of a cell record. Not polymorphic: records derive from it for data.
class excelValueAttributes {
 public:
  explicit excelValueAttributes(const excelCell& cell)
      : row_(cell.row()), column_(cell.column()), attributes_(cell.attributes()) {}

  // Emits the 7-byte cell header at `out`; row and column are the low 16 bits of the indexes.
  void WriteHeader(uint8_t* out) const;

 private:
  int row_;
  int column_;
  CellAttributes attributes_;
};

class excelNUMBER : public BIFFRecord, public excelValueAttributes {
 public:
  explicit excelNUMBER(const excelCell& cell) : excelValueAttributes(cell), value_(cell.value()) {}
  ~excelNUMBER() override = default;
  bool Write(std::FILE* file) const override;

 private:
  double value_;
};

class excelLABEL : public BIFFRecord, public excelValueAttributes {
 public:
  // Texts longer than 255 bytes are cut at the last whole code page 936 character that fits.
  explicit excelLABEL(const excelCell& cell);
  ~excelLABEL() override = default;
  bool Write(std::FILE* file) const override;

  std::string_view text() const { return {text_.data(), length_}; }

 private:
  std::array<char, kMaxLabelLength + 2> text_{};  // 257 with room for a terminator
  size_t length_ = 0;
};

// BOF, CODEPAGE and EOF carry no cell; they are written by the sheet.
bool WriteBof(std::FILE* file);
bool WriteCodepage(std::FILE* file);
bool WriteEof(std::FILE* file);

// The longest prefix of `text` of at most `limit` bytes that does not split a double-byte
// code page 936 character.
size_t Cp936PrefixLength(std::string_view text, size_t limit);

}  // namespace miniexcel
