#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forms/dialog_screen.h"

namespace korvin {

// What one control shows right now.
struct ControlState {
  std::string text;                  // field and log text, picture file, progress text
  bool checked = false;              // check box, radio button
  int selection = -1;                // list position; -1 no selection
  std::vector<std::string> entries;  // list entries
  std::string unit;                  // unit text beside the control; starts as the declared unit
  bool enabled = true;
  bool visible = true;
  int progress = 0;
  int progressMax = 0;
};

// The screen of a dialog without its widgets: one state per declared control. The dialog's
// procedures read and write it; the view pushes it into its widgets and pulls what the user
// changed back before each procedure.
class Form {
 public:
  explicit Form(const DialogScreen& screen);

  const DialogScreen& screen() const { return *screen_; }
  size_t size() const { return states_.size(); }
  ControlState& operator[](size_t id) { return states_.at(id); }
  const ControlState& operator[](size_t id) const { return states_.at(id); }

  const std::string& Text(size_t id) const { return states_.at(id).text; }
  void SetText(size_t id, std::string text) { states_.at(id).text = std::move(text); }
  bool Checked(size_t id) const { return states_.at(id).checked; }
  void SetChecked(size_t id, bool checked) { states_.at(id).checked = checked; }
  int Selection(size_t id) const { return states_.at(id).selection; }
  // Selects a position; anything outside the entries clears the selection.
  void Select(size_t id, int position);
  void SetEntries(size_t id, std::span<const std::string_view> entries);
  // The text of the selected entry; empty without a selection.
  std::string SelectedText(size_t id) const;
  bool Enabled(size_t id) const { return states_.at(id).enabled; }
  void Enable(size_t id, bool enabled = true) { states_.at(id).enabled = enabled; }
  void Show(size_t id, bool visible = true) { states_.at(id).visible = visible; }
  void SetUnit(size_t id, std::string unit) { states_.at(id).unit = std::move(unit); }

  // The value as a terminal prints it: the text of fields, "[x]" / "[ ]" for check boxes and
  // radio buttons, the selected entry of lists, "N/M" for a progress bar.
  std::string ValueText(size_t id) const;

  // A value given in a terminal ("--set LABEL=VALUE"): the text of a field, 1/0 (yes/no,
  // on/off) for check boxes and radio buttons, the entry text of a list. Disabled and
  // read-only controls refuse, as the screen would. Returns the reason when it is refused.
  std::optional<std::string> SetFromText(size_t id, std::string_view value);

 private:
  const DialogScreen* screen_;
  std::vector<ControlState> states_;
};

}  // namespace korvin
