#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvin {

// What a control of a task dialog is. Every dialog declares its controls once, in screen order;
// the Qt view lays them out from that list, korvin-cli prints and sets them by their labels, and
// the tests name them.
enum class ControlKind : uint8_t {
  kField,     // a one-line text field
  kText,      // several lines of text (a message log)
  kCheck,     // a check box; its label is its caption
  kList,      // a drop-down list
  kRadio,     // a radio button (in a table: selects its row)
  kButton,    // a push button; its label is its caption
  kProgress,  // a progress bar
  kPicture,   // a picture frame; its text is the file of the picture shown
  kHeading,   // fixed text on the screen (table headings, notes); it holds no value
};

// Flags of a control.
namespace control {
inline constexpr uint16_t kEditable = 0x0001;  // a field the user types into
inline constexpr uint16_t kBold = 0x0002;      // label and value in the bold dialog font
inline constexpr uint16_t kItalic = 0x0004;
inline constexpr uint16_t kDefault = 0x0008;     // the default button: Enter presses it
inline constexpr uint16_t kCell = 0x0010;        // a table cell: its headings name it on screen
inline constexpr uint16_t kDisabled = 0x0020;    // disabled until the dialog enables it
inline constexpr uint16_t kHidden = 0x0040;      // hidden until the dialog shows it
inline constexpr uint16_t kCentred = 0x0080;     // headings and cells: text centred
inline constexpr uint16_t kCancel = 0x0100;      // the button the close box and Esc stand for
inline constexpr uint16_t kFixedWidth = 0x0200;  // fields: exactly `width` wide (table columns)

// Only the label in the bold dialog font.
inline constexpr uint16_t kBoldLabel = 0x1000;
// A heading drawn as a horizontal line (a signature line).
inline constexpr uint16_t kRule = 0x2000;
// Headings: at the right edge of their grid cell (a sign before the cell to its right).
inline constexpr uint16_t kAlignRight = 0x4000;
}  // namespace control

// One control as the screen shows it. `label` is unique within its dialog; a table cell, which
// has no label on screen, is named "ROW / COLUMN" by its headings.
struct ControlSpec {
  std::string label = {};
  ControlKind kind = ControlKind::kField;
  std::string group = {};  // id of the group it sits in
  std::string unit = {};   // the unit text beside it
  uint16_t flags = 0;
  // Position in the grid of its group. A labelled field or list takes three grid columns
  // (label, control, unit); everything else one, or `columnSpan`. Row -1 is the row after the
  // one placed last in the group. A control spanning two rows stands centred between them (a
  // table whose rows sit between the rows of another).
  int row = -1;
  int column = 0;
  int columnSpan = 1;
  int rowSpan = 1;
  // Minimum size in pixels (fields, texts, pictures); 0 leaves it to the view.
  int width = 0;
  int height = 0;

  bool Has(uint16_t flag) const { return (flags & flag) != 0; }
  // What the value is printed as in a terminal: the label without a trailing ':'.
  std::string_view PlainLabel() const;
};

// A group of controls: a box with a caption, or a plain area when the caption is empty. Groups
// are placed in the dialog's own grid, or in the grid of the group named `parent` (declared
// before it; give that group's own controls explicit rows that keep clear of its boxes). In a
// framed dialog a group `besideFrame` stands in a column right of the frame instead (a column
// of buttons), from the top.
struct GroupSpec {
  std::string id = {};
  std::string caption = {};
  int row = 0;
  int column = 0;
  int rowSpan = 1;
  int columnSpan = 1;
  std::string parent = {};
  bool besideFrame = false;
};

// Flags of a dialog window.
namespace dialogflag {
inline constexpr uint16_t kNoTitleBar = 0x0001;
inline constexpr uint16_t kFramed = 0x0002;  // the form is drawn inside a sunken frame
}  // namespace dialogflag

// A dialog's window title, groups and controls, in screen order. Built once per dialog class;
// control ids are positions in `controls`.
class DialogScreen {
 public:
  explicit DialogScreen(std::string title, uint16_t flags = 0)
      : title_(std::move(title)), flags_(flags) {}

  // Adds a group; groups appear in the order added.
  void Group(GroupSpec group);
  // Adds a control as id `expectedId`. The ids of a dialog class are an enum in screen order;
  // adding out of order is a programming error and aborts at the first use of the dialog.
  void Add(size_t expectedId, ControlSpec control);
  // Adds a control at the next id and returns it (for tables generated in loops).
  size_t Add(ControlSpec control);

  const std::string& title() const { return title_; }
  uint16_t flags() const { return flags_; }
  const std::vector<GroupSpec>& groups() const { return groups_; }
  const std::vector<ControlSpec>& controls() const { return controls_; }
  size_t size() const { return controls_.size(); }
  const ControlSpec& operator[](size_t id) const { return controls_.at(id); }

  // The control with this label: the exact label first, then one that matches when trailing
  // ':' and blanks are ignored on both sides ("Filter grade" finds "Filter grade:").
  std::optional<size_t> Find(std::string_view label) const;
  // The labels a terminal user may name: every control but headings, buttons apart.
  std::vector<std::string> SettableLabels() const;
  std::vector<std::string> ButtonLabels() const;

 private:
  std::string title_;
  uint16_t flags_;
  std::vector<GroupSpec> groups_;
  std::vector<ControlSpec> controls_;
};

// The label of a table cell: "Cali. point 1 / Reference".
std::string CellLabel(std::string_view row, std::string_view column);

}  // namespace korvin
