#include "recording/spreadsheet/biff_record.h"

#include <bit>
#include <cstring>

namespace miniexcel {

namespace {

constexpr size_t kBofDataSize = 4;
constexpr size_t kCodepageDataSize = 2;
constexpr size_t kNumberDataSize = kCellHeaderSize + sizeof(double);
constexpr size_t kLabelFixedSize = kCellHeaderSize + 1;
constexpr unsigned char kCp936LeadFirst = 0x81;

void PutU16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value & 0xFF);
  out[1] = static_cast<uint8_t>(value >> 8);
}

void PutRecordHeader(uint8_t* out, uint16_t type, size_t length) {
  PutU16(out, type);
  PutU16(out + 2, static_cast<uint16_t>(length));
}

bool Put(std::FILE* file, const uint8_t* data, size_t size) {
  return std::fwrite(data, 1, size, file) == size;
}

}  // namespace

void excelValueAttributes::WriteHeader(uint8_t* out) const {
  PutU16(out, static_cast<uint16_t>(row_));
  PutU16(out + 2, static_cast<uint16_t>(column_));
  std::memcpy(out + 4, attributes_.data(), attributes_.size());
}

bool excelNUMBER::Write(std::FILE* file) const {
  std::array<uint8_t, kRecordHeaderSize + kNumberDataSize> bytes;
  PutRecordHeader(bytes.data(), kRecordNumber, kNumberDataSize);
  WriteHeader(bytes.data() + kRecordHeaderSize);
  uint64_t bits = std::bit_cast<uint64_t>(value_);
  uint8_t* out = bytes.data() + kRecordHeaderSize + kCellHeaderSize;
  for (size_t i = 0; i < sizeof bits; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
  return Put(file, bytes.data(), bytes.size());
}

excelLABEL::excelLABEL(const excelCell& cell) : excelValueAttributes(cell) {
  const std::string& text = cell.text();
  length_ = Cp936PrefixLength(text, kMaxLabelLength);
  std::memcpy(text_.data(), text.data(), length_);
  text_[length_] = '\0';
}

bool excelLABEL::Write(std::FILE* file) const {
  std::array<uint8_t, kRecordHeaderSize + kLabelFixedSize + kMaxLabelLength> bytes;
  const size_t dataSize = kLabelFixedSize + length_;
  PutRecordHeader(bytes.data(), kRecordLabel, dataSize);
  WriteHeader(bytes.data() + kRecordHeaderSize);
  bytes[kRecordHeaderSize + kCellHeaderSize] = static_cast<uint8_t>(length_);
  std::memcpy(bytes.data() + kRecordHeaderSize + kLabelFixedSize, text_.data(), length_);
  return Put(file, bytes.data(), kRecordHeaderSize + dataSize);
}

bool WriteBof(std::FILE* file) {
  std::array<uint8_t, kRecordHeaderSize + kBofDataSize> bytes;
  PutRecordHeader(bytes.data(), kRecordBof, kBofDataSize);
  PutU16(bytes.data() + kRecordHeaderSize, kBiffVersion);
  PutU16(bytes.data() + kRecordHeaderSize + 2, kDocumentWorksheet);
  return Put(file, bytes.data(), bytes.size());
}

bool WriteCodepage(std::FILE* file) {
  std::array<uint8_t, kRecordHeaderSize + kCodepageDataSize> bytes;
  PutRecordHeader(bytes.data(), kRecordCodepage, kCodepageDataSize);
  PutU16(bytes.data() + kRecordHeaderSize, kCodePage936);
  return Put(file, bytes.data(), bytes.size());
}

bool WriteEof(std::FILE* file) {
  std::array<uint8_t, kRecordHeaderSize> bytes;
  PutRecordHeader(bytes.data(), kRecordEof, 0);
  return Put(file, bytes.data(), bytes.size());
}

size_t Cp936PrefixLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t length = 0;
  while (length < limit) {
    const size_t step = static_cast<unsigned char>(text[length]) >= kCp936LeadFirst ? 2 : 1;
    if (length + step > limit) break;
    length += step;
  }
  return length;
}

}  // namespace miniexcel
