#include "forms/dialog_screen.h"

#include <cstdio>
#include <cstdlib>

namespace korvin {

namespace {

std::string_view WithoutTrailingColon(std::string_view label) {
  while (!label.empty() && (label.back() == ' ' || label.back() == ':')) label.remove_suffix(1);
  return label;
}

}  // namespace

std::string_view ControlSpec::PlainLabel() const {
  std::string_view text = label;
  if (!text.empty() && text.back() == ':') text.remove_suffix(1);
  return text;
}

void DialogScreen::Group(GroupSpec group) {
  groups_.push_back(std::move(group));
}

void DialogScreen::Add(size_t expectedId, ControlSpec control) {
  if (expectedId != controls_.size()) {
    std::fprintf(stderr, "dialog \"%s\": control \"%s\" declared as id %zu, added as %zu\n",
                 title_.c_str(), control.label.c_str(), expectedId, controls_.size());
    std::abort();
  }
  controls_.push_back(std::move(control));
}

size_t DialogScreen::Add(ControlSpec control) {
  controls_.push_back(std::move(control));
  return controls_.size() - 1;
}

std::optional<size_t> DialogScreen::Find(std::string_view label) const {
  for (size_t id = 0; id < controls_.size(); ++id) {
    if (controls_[id].kind != ControlKind::kHeading && controls_[id].label == label) return id;
  }
  const std::string_view wanted = WithoutTrailingColon(label);
  if (wanted.empty()) return std::nullopt;
  for (size_t id = 0; id < controls_.size(); ++id) {
    if (controls_[id].kind == ControlKind::kHeading) continue;
    if (WithoutTrailingColon(controls_[id].label) == wanted) return id;
  }
  return std::nullopt;
}

std::vector<std::string> DialogScreen::SettableLabels() const {
  std::vector<std::string> labels;
  for (const ControlSpec& c : controls_) {
    if (c.kind != ControlKind::kHeading && c.kind != ControlKind::kButton)
      labels.push_back(c.label);
  }
  return labels;
}

std::vector<std::string> DialogScreen::ButtonLabels() const {
  std::vector<std::string> labels;
  for (const ControlSpec& c : controls_) {
    if (c.kind == ControlKind::kButton) labels.push_back(c.label);
  }
  return labels;
}

std::string CellLabel(std::string_view row, std::string_view column) {
  std::string label(row);
  label += " / ";
  label += column;
  return label;
}

}  // namespace korvin
