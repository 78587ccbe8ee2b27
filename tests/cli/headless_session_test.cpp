#include "cli/headless_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "config/c_setting.h"
#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::HasSubstr;
using ::testing::Not;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunSettings(DialogRig& rig, std::vector<HeadlessStep> steps, std::deque<bool> answers = {},
                    bool json = false) {
  HeadlessSession::Options options;
  options.dialog = FindHeadlessDialog("settings");
  options.steps = std::move(steps);
  options.answers.answers = std::move(answers);
  options.json = json;
  std::ostringstream out;
  std::ostringstream err;
  HeadlessSession session(std::move(options), rig.sim.clock, {}, out, err);
  const int status = session.Run(rig.environment);
  return {status, out.str(), err.str()};
}

TEST(HeadlessSession, PrintsTheControlsInScreenOrder) {
  DialogRig rig(0x1030);
  rig.state().filterGrade = 6;
  const Outcome r = RunSettings(rig, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "? Is the device with display? -> No\n");
  // A label's own ':' is not doubled; disabled controls say so; buttons stand in brackets.
  EXPECT_THAT(r.out, HasSubstr("4 mA: 0.000\n20 mA: "));
  EXPECT_THAT(r.out, HasSubstr("\nFilter grade: 6\n2nd Filter grade: "));
  EXPECT_THAT(r.out, HasSubstr("\nEnable pressure comp. to DP(QCM): [x] (disabled)\n"));
  EXPECT_THAT(r.out, HasSubstr("\nTemperature: [ ] (disabled)\n"));
  EXPECT_THAT(r.out, HasSubstr("\nTemperature unit: ℃\n"));
  EXPECT_THAT(r.out, ::testing::EndsWith("\n[Set]\n[Exit]\n"));
}

TEST(HeadlessSession, StepsRunInOrderAndASetThatClosesIsASuccess) {
  DialogRig rig(0x1030);
  const Outcome r = RunSettings(rig,
                                {{HeadlessStep::Kind::kSet, "Filter grade:", "7"},
                                 {HeadlessStep::Kind::kSet, "Temperature unit", "°F"},
                                 {HeadlessStep::Kind::kSet, "Temperature", "0"},
                                 {HeadlessStep::Kind::kPress, "Set"}},
                                {true});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(rig.state().filterGrade, 7);
  EXPECT_EQ(rig.state().units[sim::kUnitTemperature], 2);
  EXPECT_EQ(rig.state().displayChannels & 0x01, 0);
  EXPECT_THAT(r.out, HasSubstr("Temperature unit: °F\n"));
  EXPECT_THAT(r.err, HasSubstr("? Is the device with display? -> Yes\n"));
}

TEST(HeadlessSession, FailuresExitWithOne) {
  {
    // The dialog closed itself while it opened.
    DialogRig rig(0x1030);
    rig.sim.model.Refuse("ReadFilterGrade", 3);
    const Outcome r = RunSettings(rig, {{HeadlessStep::Kind::kPress, "Set"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("! Communication error\n"));
    EXPECT_EQ(rig.sim.model.CountOf("WriteUnit"), 0u);
  }
  {
    // A step stopped on a failure message; the dialog stays open.
    DialogRig rig(0x1030);
    rig.sim.model.Refuse("WriteGasType", 3);
    const Outcome r = RunSettings(rig, {{HeadlessStep::Kind::kPress, "Set"}}, {}, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("\"open\": true"));
    EXPECT_THAT(r.out, HasSubstr("\"messages\": [\"Communication error\"]"));
  }
  {
    // A disabled control cannot be set, as on screen.
    DialogRig rig(0x1030);
    const Outcome r = RunSettings(
        rig, {{HeadlessStep::Kind::kSet, "Dew point", "1"}, {HeadlessStep::Kind::kPress, "Set"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("\"Dew point\" is disabled"));
    EXPECT_EQ(rig.sim.model.CountOf("WriteUnit"), 0u);
  }
}

TEST(HeadlessSession, JsonHoldsEveryControlWithItsState) {
  DialogRig rig(0x1030);
  const Outcome r = RunSettings(rig, {}, {}, true);
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, ::testing::StartsWith("{\"dialog\": \"Sensor settings\", \"open\": true"));
  EXPECT_THAT(r.out, HasSubstr("\"questions\": [{\"text\": \"Is the device with display?\", "
                               "\"answer\": \"No\"}]"));
  EXPECT_THAT(r.out, HasSubstr("{\"label\": \"Output filter active\", \"kind\": \"check\", "
                               "\"value\": true, \"enabled\": true, \"visible\": true}"));
  EXPECT_THAT(r.out, HasSubstr("{\"label\": \"Set\", \"kind\": \"button\", \"value\": \"\""));
  EXPECT_THAT(r.out, HasSubstr("\"files\": []}\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("\n{")));
}

TEST(HeadlessSession, UnknownLabelsAndButtonsNameTheValidOnes) {
  const HeadlessDialog& settings = *FindHeadlessDialog("settings");
  const auto button = HeadlessSession::CheckSteps(settings, {{HeadlessStep::Kind::kPress, "OK"}});
  ASSERT_TRUE(button.has_value());
  EXPECT_THAT(*button, HasSubstr("no button \"OK\"; buttons: \"Set\", \"Exit\""));
  const auto label =
      HeadlessSession::CheckSteps(settings, {{HeadlessStep::Kind::kSet, "Grade", "1"}});
  ASSERT_TRUE(label.has_value());
  EXPECT_THAT(*label, HasSubstr("\"Filter grade:\""));
  EXPECT_FALSE(HeadlessSession::CheckSteps(settings, {{HeadlessStep::Kind::kSet, "Set", "1"}})
                   .value_or("")
                   .empty());
  EXPECT_EQ(HeadlessSession::CheckSteps(settings, {{HeadlessStep::Kind::kPress, "Exit"},
                                                   {HeadlessStep::Kind::kWait, "", "", 1.0}}),
            std::nullopt);
  EXPECT_EQ(FindHeadlessDialog("nope"), nullptr);
}

// A dialog behind another one, with a timer and an input dialog: the path through the entry
// dialog, --wait ticking the target's timer, --input answering, and a child of the target only
// opening and closing.
class Child final : public TaskDialog {
 public:
  enum : size_t { kCount, kAsk, kOk };
  static const DialogScreen& Screen() {
    static const DialogScreen screen = [] {
      DialogScreen s("Child");
      s.Group({"g", ""});
      s.Add(kCount, {.label = "Ticks:", .group = "g"});
      s.Add(kAsk, {.label = "Ask", .kind = ControlKind::kButton, .group = "g"});
      s.Add(kOk, {.label = "OK", .kind = ControlKind::kButton, .group = "g"});
      return s;
    }();
    return screen;
  }
  Child() : TaskDialog(Screen()) {}
  void Open() override { host().StartTimer(7, 1000); }
  void OnTimer(int id) override {
    if (id == 7) form().SetText(kCount, std::to_string(++ticks));
  }
  void Press(size_t control) override {
    if (control == kAsk) {
      const auto text = host().Input({"Input value", "mA", false});
      Say("got " + text.value_or("nothing"));
    } else {
      End(DialogEnd::kAccepted);
    }
  }
  int ticks = 0;
};

class Entry final : public TaskDialog {
 public:
  static const DialogScreen& Screen() {
    static const DialogScreen screen = [] {
      DialogScreen s("Entry");
      s.Group({"g", ""});
      s.Add(0, {.label = "Open child", .kind = ControlKind::kButton, .group = "g"});
      return s;
    }();
    return screen;
  }
  Entry() : TaskDialog(Screen()) {}
  void Open() override {}
  void Press(size_t) override {
    Child child;
    host().RunChild(child);
    childTicks = child.ticks;
  }
  int childTicks = -1;
};

TEST(HeadlessSession, ReachesADialogBehindAnotherAndTicksItsTimers) {
  static const HeadlessDialog kChild{"child", MainTask::kCalibration, "Open child", &Child::Screen};
  VirtualClock clock;
  HeadlessSession::Options options;
  options.dialog = &kChild;
  options.steps = {{HeadlessStep::Kind::kWait, "", "", 3.5},
                   {HeadlessStep::Kind::kPress, "Ask"},
                   {HeadlessStep::Kind::kPress, "OK"}};
  options.answers.inputs = {"", "12.5"};
  std::ostringstream out;
  std::ostringstream err;
  HeadlessSession session(std::move(options), clock, {}, out, err);
  Entry entry;
  EXPECT_EQ(session.Run(entry), 0) << err.str();
  EXPECT_EQ(entry.childTicks, 3);
  EXPECT_EQ(clock.NowUs(), 3'500'000);
  EXPECT_EQ(err.str(), "? Input value -> \n! Invalid valie!\n? Input value -> 12.5\n! got 12.5\n");
  EXPECT_EQ(out.str(), "Ticks: 3\n[Ask]\n[OK]\n");
}

}  // namespace
}  // namespace korvin
