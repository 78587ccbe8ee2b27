#include "platform/cp936.h"

#include <iconv.h>

#include <cerrno>

namespace korvin {

namespace {

constexpr char kSubstitute = '?';
constexpr const char* kUtf8Name = "UTF-8";
constexpr const char* kCp936Name = "CP936";
constexpr unsigned char kAsciiLimit = 0x80;
// Code page 936 lead bytes of double-byte characters.
constexpr unsigned char kCp936LeadFirst = 0x81;
constexpr unsigned char kCp936LeadLast = 0xFE;

// Length of a UTF-8 sequence from its first byte; 1 for a stray continuation or invalid byte so
// that resynchronisation moves on by one byte.
size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

bool IsUtf8Continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

Cp936Converter::Cp936Converter(Direction direction) : direction_(direction) {
  iconv_t cd = direction == Direction::kToCp936 ? iconv_open(kCp936Name, kUtf8Name)
                                                : iconv_open(kUtf8Name, kCp936Name);
  handle_ = reinterpret_cast<void*>(cd);
}

Cp936Converter::~Cp936Converter() {
  if (valid()) iconv_close(reinterpret_cast<iconv_t>(handle_));
}

size_t Cp936Converter::SkipInvalid(std::string_view rest) const {
  const auto lead = static_cast<unsigned char>(rest.front());
  size_t length = 1;
  if (direction_ == Direction::kToCp936) {
    // Skip the whole character, but never past bytes that cannot belong to it.
    const size_t expected = Utf8SequenceLength(lead);
    while (length < expected && length < rest.size() &&
           IsUtf8Continuation(static_cast<unsigned char>(rest[length]))) {
      ++length;
    }
  } else if (lead >= kCp936LeadFirst && lead <= kCp936LeadLast && rest.size() > 1 &&
             static_cast<unsigned char>(rest[1]) >= 0x40) {
    length = 2;
  }
  return length;
}

std::string Cp936Converter::Convert(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  if (!valid()) {
    for (char c : text) out += static_cast<unsigned char>(c) < kAsciiLimit ? c : kSubstitute;
    return out;
  }
  auto cd = reinterpret_cast<iconv_t>(handle_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state

  std::string_view rest = text;
  char buffer[256];
  while (!rest.empty()) {
    char* in = const_cast<char*>(rest.data());
    size_t inLeft = rest.size();
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    rest.remove_prefix(rest.size() - inLeft);
    if (result != static_cast<size_t>(-1)) continue;
    if (error == E2BIG) continue;  // output buffer full: drain it and go on
    // EILSEQ (not representable or not valid input) or EINVAL (cut off at the end).
    out += kSubstitute;
    rest.remove_prefix(SkipInvalid(rest));
  }
  return out;
}

std::optional<size_t> Cp936Converter::FirstUnconvertible(std::string_view text) {
  if (!valid()) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (static_cast<unsigned char>(text[i]) >= kAsciiLimit) return i;
    }
    return std::nullopt;
  }
  auto cd = reinterpret_cast<iconv_t>(handle_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;  // only the output buffer was full
    return text.size() - inLeft;
  }
  return std::nullopt;
}

std::optional<size_t> FirstCharacterOutsideCp936(std::string_view utf8) {
  Cp936Converter converter(Cp936Converter::Direction::kToCp936);
  return converter.FirstUnconvertible(utf8);
}

std::string ReplaceOutsideCp936(std::string_view utf8) {
  return Cp936ToUtf8(Utf8ToCp936(utf8));
}

std::string_view Utf8CharacterAt(std::string_view utf8, size_t offset) {
  if (offset >= utf8.size()) return {};
  const size_t length = Utf8SequenceLength(static_cast<unsigned char>(utf8[offset]));
  const bool lead = length > 1 || static_cast<unsigned char>(utf8[offset]) < kAsciiLimit;
  if (!lead || offset + length > utf8.size()) return {};
  for (size_t i = 1; i < length; ++i) {
    if (!IsUtf8Continuation(static_cast<unsigned char>(utf8[offset + i]))) return {};
  }
  return utf8.substr(offset, length);
}

std::string Utf8ToCp936(std::string_view utf8) {
  Cp936Converter converter(Cp936Converter::Direction::kToCp936);
  return converter.Convert(utf8);
}

std::string Cp936ToUtf8(std::string_view cp936) {
  Cp936Converter converter(Cp936Converter::Direction::kFromCp936);
  return converter.Convert(cp936);
}

}  // namespace korvin
