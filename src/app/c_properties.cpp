#include "app/c_properties.h"

#include "tables/option_lists.h"

namespace korvin {

CProperties::CProperties(int portIndex) : portIndex_(portIndex) {
  form_.selection = portIndex;
}

void CProperties::OnOk() {
  if (form_.selection >= 0 && form_.selection < static_cast<int>(kComPortNames.size())) {
    portIndex_ = form_.selection;
  }
}

}  // namespace korvin
