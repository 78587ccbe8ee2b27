#pragma once

#include <string_view>

namespace korvin {

// "Interface ": the COM port selection. The list position is the zero-based COM port index;
// the entries are kComPortNames.
class CProperties {
 public:
  static constexpr std::string_view kTitle = "Interface ";
  static constexpr std::string_view kPortLabel = "COM Port";

  struct Form {
    int selection = 0;
  };

  explicit CProperties(int portIndex);

  // "OK": the selected position becomes the index (a position outside the list keeps it).
  void OnOk();

  Form& form() { return form_; }
  const Form& form() const { return form_; }
  int portIndex() const { return portIndex_; }

 private:
  Form form_;
  int portIndex_;
};

}  // namespace korvin
