#include "forms/form.h"

#include <algorithm>
#include <cctype>

namespace korvin {

namespace {

std::optional<bool> ParseSwitch(std::string_view value) {
  static constexpr std::string_view kOn[] = {"1", "yes", "on", "true", "x"};
  static constexpr std::string_view kOff[] = {"0", "no", "off", "false", ""};
  std::string lower(value);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (std::find(std::begin(kOn), std::end(kOn), lower) != std::end(kOn)) return true;
  if (std::find(std::begin(kOff), std::end(kOff), lower) != std::end(kOff)) return false;
  return std::nullopt;
}

std::string Joined(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& e : entries) {
    if (!text.empty()) text += ", ";
    text += "\"" + e + "\"";
  }
  return text;
}

}  // namespace

Form::Form(const DialogScreen& screen) : screen_(&screen), states_(screen.size()) {
  for (size_t id = 0; id < screen.size(); ++id) {
    const ControlSpec& c = screen[id];
    ControlState& s = states_[id];
    s.unit = c.unit;
    s.enabled = !c.Has(control::kDisabled);
    s.visible = !c.Has(control::kHidden);
  }
}

void Form::Select(size_t id, int position) {
  ControlState& s = states_.at(id);
  s.selection = position >= 0 && position < static_cast<int>(s.entries.size()) ? position : -1;
}

void Form::SetEntries(size_t id, std::span<const std::string_view> entries) {
  ControlState& s = states_.at(id);
  s.entries.assign(entries.begin(), entries.end());
  s.selection = -1;
}

std::string Form::SelectedText(size_t id) const {
  const ControlState& s = states_.at(id);
  if (s.selection < 0 || s.selection >= static_cast<int>(s.entries.size())) return {};
  return s.entries[static_cast<size_t>(s.selection)];
}

std::string Form::ValueText(size_t id) const {
  const ControlState& s = states_.at(id);
  switch (screen()[id].kind) {
    case ControlKind::kCheck:
    case ControlKind::kRadio:
      return s.checked ? "[x]" : "[ ]";
    case ControlKind::kList:
      return SelectedText(id);
    case ControlKind::kProgress:
      return std::to_string(s.progress) + "/" + std::to_string(s.progressMax);
    case ControlKind::kButton:
    case ControlKind::kHeading:
      return {};
    case ControlKind::kField:
    case ControlKind::kText:
    case ControlKind::kPicture:
      break;
  }
  return s.text;
}

std::optional<std::string> Form::SetFromText(size_t id, std::string_view value) {
  const ControlSpec& c = screen()[id];
  ControlState& s = states_.at(id);
  if (!s.enabled) return "\"" + c.label + "\" is disabled";
  if (!s.visible) return "\"" + c.label + "\" is not shown";
  switch (c.kind) {
    case ControlKind::kField:
    case ControlKind::kText:
      if (!c.Has(control::kEditable)) return "\"" + c.label + "\" is read-only";
      s.text = value;
      return std::nullopt;
    case ControlKind::kCheck:
    case ControlKind::kRadio: {
      const std::optional<bool> on = ParseSwitch(value);
      if (!on) return "\"" + c.label + "\" takes 1 or 0";
      s.checked = *on;
      return std::nullopt;
    }
    case ControlKind::kList: {
      const auto it = std::find(s.entries.begin(), s.entries.end(), value);
      if (it == s.entries.end()) {
        return "\"" + c.label + "\" has no entry \"" + std::string(value) +
               "\"; entries: " + Joined(s.entries);
      }
      s.selection = static_cast<int>(it - s.entries.begin());
      return std::nullopt;
    }
    case ControlKind::kButton:
      return "\"" + c.label + "\" is a button: use --press";
    case ControlKind::kProgress:
    case ControlKind::kPicture:
    case ControlKind::kHeading:
      break;
  }
  return "\"" + c.label + "\" cannot be set";
}

}  // namespace korvin
