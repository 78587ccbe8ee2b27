#include "tables/option_lists.h"

#include "tables/units.h"

namespace korvin {

namespace {

// List order of "Pressure unit:".
constexpr std::array<uint8_t, kPressureUnitNames.size()> kPressureUnitCodes = {
    kPressureUnitBarg,
    kPressureUnitMPa,
    kPressureUnitPsi,
};

template <std::size_t N>
std::string_view TextAt(const std::array<std::string_view, N>& texts, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return {};
  return texts[static_cast<std::size_t>(index)];
}

}  // namespace

std::optional<int> PressureUnitPosition(uint8_t code) {
  for (std::size_t i = 0; i < kPressureUnitCodes.size(); ++i) {
    if (kPressureUnitCodes[i] == code) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<uint8_t> PressureUnitCode(int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= kPressureUnitCodes.size()) {
    return std::nullopt;
  }
  return kPressureUnitCodes[static_cast<std::size_t>(position)];
}

std::string_view FieldbusBaudRateText(int index) {
  return TextAt(kFieldbusBaudRateTexts, index);
}

std::string_view FieldbusFramingText(int index) {
  return TextAt(kFieldbusFramingTexts, index);
}

}  // namespace korvin
