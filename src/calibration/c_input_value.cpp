#include "calibration/c_input_value.h"

#include "tables/number_text.h"

namespace korvin {

float CInputValue::Run(DialogHost& host) {
  return static_cast<float>(ParseLeadingReal(host.Input(kSpec).value_or(std::string())));
}

}  // namespace korvin
