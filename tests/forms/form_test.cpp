#include "forms/form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/sim_rig.h"
#include "forms/task_dialog.h"

namespace korvin {
namespace {

using ::testing::ElementsAre;

enum : size_t { kName, kGrade, kShown, kEnable, kUnits, kRow, kOk, kHeading, kCount };

const DialogScreen& Screen() {
  static const DialogScreen screen = [] {
    DialogScreen s("Test");
    s.Group({"g", "Group"});
    s.Add(kName, {.label = "Name:", .flags = control::kEditable});
    s.Add(kGrade, {.label = "Grade", .flags = control::kEditable});
    s.Add(kShown, {.label = "Shown:"});
    s.Add(kEnable, {.label = "Enable", .kind = ControlKind::kCheck});
    s.Add(kUnits, {.label = "Units:", .kind = ControlKind::kList});
    s.Add(kRow, {.label = CellLabel("Cali. point 1", "Reference"),
                 .kind = ControlKind::kRadio,
                 .flags = control::kCell});
    s.Add(kOk, {.label = "Save as new ", .kind = ControlKind::kButton});
    s.Add(kHeading, {.label = "Name", .kind = ControlKind::kHeading});
    return s;
  }();
  return screen;
}

// Labels are found exactly first, then with trailing ':' and blanks ignored on both sides;
// headings are never found, so a heading "Name" does not hide the field "Name:".
TEST(DialogScreen, FindsLabelsAsATerminalUserTypesThem) {
  const DialogScreen& s = Screen();
  EXPECT_EQ(s.Find("Name:"), kName);
  EXPECT_EQ(s.Find("Name"), kName);
  EXPECT_EQ(s.Find("Grade:"), kGrade);
  EXPECT_EQ(s.Find("Save as new"), kOk);
  EXPECT_EQ(s.Find("Cali. point 1 / Reference"), kRow);
  EXPECT_EQ(s.Find("Nothing"), std::nullopt);
  EXPECT_EQ(s.Find(""), std::nullopt);
  EXPECT_THAT(s.ButtonLabels(), ElementsAre("Save as new "));
  EXPECT_EQ(s[kName].PlainLabel(), "Name");
  EXPECT_EQ(s[kGrade].PlainLabel(), "Grade");
}

TEST(DialogScreen, AddingOutOfOrderIsCaughtAtOnce) {
  EXPECT_DEATH(
      {
        DialogScreen s("Broken");
        s.Add(1, {.label = "Second"});
      },
      "declared as id 1");
}

TEST(Form, SetsValuesFromTextTheWayTheScreenWould) {
  Form f(Screen());
  const std::string_view units[] = {"℃", "°F"};
  f.SetEntries(kUnits, units);
  EXPECT_EQ(f.SetFromText(kName, "Dryer 3"), std::nullopt);
  EXPECT_EQ(f.Text(kName), "Dryer 3");
  EXPECT_EQ(f.SetFromText(kEnable, "1"), std::nullopt);
  EXPECT_TRUE(f.Checked(kEnable));
  EXPECT_EQ(f.SetFromText(kEnable, "no"), std::nullopt);
  EXPECT_FALSE(f.Checked(kEnable));
  EXPECT_EQ(f.SetFromText(kUnits, "°F"), std::nullopt);
  EXPECT_EQ(f.SelectedText(kUnits), "°F");
  EXPECT_EQ(f.ValueText(kUnits), "°F");
  EXPECT_EQ(f.SetFromText(kRow, "1"), std::nullopt);
  EXPECT_EQ(f.ValueText(kRow), "[x]");

  // Refused, and nothing changes.
  EXPECT_THAT(f.SetFromText(kShown, "x").value_or(""), ::testing::HasSubstr("read-only"));
  EXPECT_THAT(f.SetFromText(kEnable, "maybe").value_or(""), ::testing::HasSubstr("1 or 0"));
  EXPECT_TRUE(f.SetFromText(kUnits, "K").has_value());
  EXPECT_EQ(f.SelectedText(kUnits), "°F");
  f.Enable(kName, false);
  EXPECT_THAT(f.SetFromText(kName, "other").value_or(""), ::testing::HasSubstr("disabled"));
  EXPECT_EQ(f.Text(kName), "Dryer 3");
  EXPECT_TRUE(f.SetFromText(kOk, "1").has_value());

  f.Select(kUnits, 5);
  EXPECT_EQ(f.Selection(kUnits), -1);
  EXPECT_EQ(f.ValueText(kUnits), "");
}

// The retry habit: up to three runs of the engine, so a silent sensor hears a command nine
// times and a refusing one three times; a success ends the attempts.
TEST(RunAttempts, ThreeRunsOfTheEngine) {
  {
    test::SimRig rig;
    bool first = true;
    uint16_t type = 0;
    ASSERT_EQ(rig.link.EstablishLink(LinkProfile::kProfileF, "COM1", first, type), 0u);
    rig.model.ClearLog();
    rig.model.faults().silent = true;
    EXPECT_FALSE(RunAttempts(rig.link.context(), ReadFilterGrade()));
    EXPECT_EQ(rig.model.CountOf("ReadFilterGrade"), 9u);
  }
  {
    test::SimRig rig;
    bool first = true;
    uint16_t type = 0;
    ASSERT_EQ(rig.link.EstablishLink(LinkProfile::kProfileF, "COM1", first, type), 0u);
    rig.model.ClearLog();
    rig.model.Refuse("ReadFilterGrade", 1);
    EXPECT_FALSE(RunAttempts(rig.link.context(), ReadFilterGrade()));
    EXPECT_EQ(rig.model.CountOf("ReadFilterGrade"), 3u);
    rig.model.StopRefusing(0x0109, 0x12);
    rig.model.FailNext(sim::Fault::kSilent, 3);
    uint8_t grade = 0;
    EXPECT_TRUE(RunAttempts(rig.link.context(), ReadFilterGrade(), &grade, 1));
    EXPECT_EQ(grade, rig.model.state().filterGrade);
  }
}

}  // namespace
}  // namespace korvin
