#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvin {

// UTF-8 text as the bytes of code page 1252, the encoding libharu's "WinAnsiEncoding" gives the
// standard fonts: ASCII, the Latin-1 letters and signs (°, ±, ä, é ...) and the typographic
// characters of 0x80 ... 0x9F (€, –, “ ...). Nothing when the text holds a character that code
// page 1252 has not, or is no valid UTF-8.
std::optional<std::string> Utf8ToWinAnsi(std::string_view utf8);

}  // namespace korvin
