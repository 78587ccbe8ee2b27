#include "calibration/c_input_ref_dp.h"

#include "tables/number_text.h"

namespace korvin {

std::optional<float> CInputRefDP::Run(DialogHost& host) {
  const std::optional<std::string> text = host.Input(kSpec);
  if (!text) return std::nullopt;
  return static_cast<float>(ParseLeadingReal(*text));
}

}  // namespace korvin
