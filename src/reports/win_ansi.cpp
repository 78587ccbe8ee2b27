#include "reports/win_ansi.h"

#include <array>
#include <cstdint>

namespace korvin {

namespace {

// Code page 1252 bytes 0x80 ... 0x9F and the characters they stand for; the five bytes it
// leaves undefined have no entry.
struct Special {
  char32_t character;
  uint8_t byte;
};
constexpr std::array<Special, 27> kSpecials = {{
    {U'€', 0x80}, {U'‚', 0x82}, {U'ƒ', 0x83}, {U'„', 0x84}, {U'…', 0x85}, {U'†', 0x86},
    {U'‡', 0x87}, {U'ˆ', 0x88}, {U'‰', 0x89}, {U'Š', 0x8A}, {U'‹', 0x8B}, {U'Œ', 0x8C},
    {U'Ž', 0x8E}, {U'‘', 0x91}, {U'’', 0x92}, {U'“', 0x93}, {U'”', 0x94}, {U'•', 0x95},
    {U'–', 0x96}, {U'—', 0x97}, {U'˜', 0x98}, {U'™', 0x99}, {U'š', 0x9A}, {U'›', 0x9B},
    {U'œ', 0x9C}, {U'ž', 0x9E}, {U'Ÿ', 0x9F},
}};
// Below 0x80 and from 0xA0 to 0xFF code page 1252 is Unicode itself.
constexpr char32_t kAsciiEnd = 0x80;
constexpr char32_t kLatin1Start = 0xA0;
constexpr char32_t kLatin1End = 0x100;

// The next character of `text` from `at`, advancing `at`; nothing for invalid UTF-8.
std::optional<char32_t> NextCharacter(std::string_view text, size_t& at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (at + length > text.size()) return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  at += length;
  return value;
}

}  // namespace

std::optional<std::string> Utf8ToWinAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    const std::optional<char32_t> c = NextCharacter(utf8, at);
    if (!c) return std::nullopt;
    if (*c < kAsciiEnd || (*c >= kLatin1Start && *c < kLatin1End)) {
      out += static_cast<char>(*c);
      continue;
    }
    bool found = false;
    for (const Special& s : kSpecials) {
      if (s.character == *c) {
        out += static_cast<char>(s.byte);
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
  return out;
}

}  // namespace korvin
