#pragma once

#include <cstdint>
#include <string_view>

namespace korvin {

// A number typed into a field is the leading numeric part of its text: leading blanks, an
// optional sign, digits and, for real numbers, a decimal point and an exponent. The rest of the
// text is ignored; a text that does not start with a number gives 0. No range checks here.

double ParseLeadingReal(std::string_view text);

// Integers beyond the range of int64_t are clamped to it.
int64_t ParseLeadingInteger(std::string_view text);

}  // namespace korvin
