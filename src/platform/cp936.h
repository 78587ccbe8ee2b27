#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvin {

// Text crosses into code page 936 only at file boundaries that other programs read (the
// spreadsheet description, certificate templates). Inside the program every string is UTF-8.
//
// Both directions never fail: a character the target cannot hold, or an input byte sequence that
// is not valid in the source encoding, becomes a single '?'.
std::string Utf8ToCp936(std::string_view utf8);
std::string Cp936ToUtf8(std::string_view cp936);

// Where the first character of `utf8` starts that code page 936 cannot hold (or the first byte
// that is not valid UTF-8); nothing when the whole text converts.
std::optional<size_t> FirstCharacterOutsideCp936(std::string_view utf8);
// `utf8` as it comes back from code page 936: every character the code page cannot hold is "?".
std::string ReplaceOutsideCp936(std::string_view utf8);
// The bytes of the UTF-8 character that starts at `offset`; empty when no valid character does.
std::string_view Utf8CharacterAt(std::string_view utf8, size_t offset);

// One iconv conversion descriptor, opened once and closed with the object.
class Cp936Converter {
 public:
  enum class Direction { kToCp936, kFromCp936 };

  explicit Cp936Converter(Direction direction);
  ~Cp936Converter();
  Cp936Converter(const Cp936Converter&) = delete;
  Cp936Converter& operator=(const Cp936Converter&) = delete;

  // False only when the C library has no CP936 tables; Convert then substitutes every
  // non-ASCII byte.
  bool valid() const { return handle_ != kInvalidHandle; }
  std::string Convert(std::string_view text);
  // Where the first byte sequence starts that does not convert; nothing when all of it does.
  std::optional<size_t> FirstUnconvertible(std::string_view text);

 private:
  static inline void* const kInvalidHandle = reinterpret_cast<void*>(-1);
  // Bytes to skip for one undecodable character at the start of `rest`.
  size_t SkipInvalid(std::string_view rest) const;

  Direction direction_;
  void* handle_ = kInvalidHandle;  // iconv_t, kept opaque so callers need not see <iconv.h>
};

}  // namespace korvin
