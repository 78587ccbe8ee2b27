// korvin-cli modbus: reached through the fieldbus chooser, as the main window reaches it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/headless_session.h"
#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::HasSubstr;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunModbus(DialogRig& rig, std::vector<HeadlessStep> steps, bool json = false) {
  HeadlessSession::Options options;
  options.dialog = FindHeadlessDialog("modbus");
  options.steps = std::move(steps);
  options.json = json;
  std::ostringstream out;
  std::ostringstream err;
  HeadlessSession session(std::move(options), rig.sim.clock, {}, out, err);
  const int status = session.Run(rig.environment);
  return {status, out.str(), err.str()};
}

TEST(ModbusSession, SetsAndWritesThroughTheChooser) {
  DialogRig rig(0x1030);
  const Outcome r = RunModbus(rig, {{HeadlessStep::Kind::kSet, "Device Address", "12"},
                                    {HeadlessStep::Kind::kSet, "Baudrate", "9600"},
                                    {HeadlessStep::Kind::kPress, "OK"}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "Device Address: 12\n"
            "Baudrate: 9600\n"
            "Parity/Frame: 8, N, 1\n"
            "Response Timeout (0.1s): 10\n"
            "Response Delay (ms): 5\n"
            "Interface Space (us): 2005\n"
            "Interface Space (char): 7\n"
            "Transmission Mode: RTU\n"
            "[OK]\n"
            "[Cancel]\n");
  EXPECT_EQ(GetU16(rig.state().modbusSettings.data() + sim::modbus::kAddress), 12);
  EXPECT_EQ(GetU32(rig.state().modbusSettings.data() + sim::modbus::kBaud), 9600u);
  EXPECT_EQ(rig.sim.port.Baud(), 19200);
}

TEST(ModbusSession, FailuresExitWithOne) {
  {
    // A value out of range: the message, nothing written, the dialog still open.
    DialogRig rig(0x1400);
    const Outcome r = RunModbus(rig,
                                {{HeadlessStep::Kind::kSet, "Response Delay (ms)", "256"},
                                 {HeadlessStep::Kind::kPress, "OK"}},
                                true);
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("! Response delay is out of range!\n"));
    EXPECT_THAT(r.out, HasSubstr("{\"dialog\": \"Modbus settings\", \"open\": true"));
    EXPECT_EQ(rig.sim.model.CountOf("WriteModbusSettings"), 0u);
  }
  {
    // A sensor without Modbus: the chooser has nothing to offer.
    DialogRig rig(0x1032);
    const Outcome r = RunModbus(rig, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "korvin-cli: \"Modbus setting\" is not available for this sensor in \"Select "
              "communication type\"\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(rig.sim.model.CountOf("ReadModbusSettings"), 0u);
  }
  {
    // An entry that is not in the list is refused as the screen would.
    DialogRig rig(0x1030);
    const Outcome r = RunModbus(
        rig, {{HeadlessStep::Kind::kSet, "Baudrate", "14400"}, {HeadlessStep::Kind::kPress, "OK"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("14400"));
    EXPECT_EQ(rig.sim.model.CountOf("WriteModbusSettings"), 0u);
  }
}

}  // namespace
}  // namespace korvin
