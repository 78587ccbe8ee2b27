#pragma once

#include <functional>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "protocol/service_link.h"
#include "sim/sensor_model.h"
#include "sim/sim_serial_port.h"
#include "support/scripted_ui.h"

namespace korvin::test {

// One virtual sensor on an in-memory line, on virtual time, with a service link to it.
struct SimRig {
  explicit SimRig(uint16_t type = 0x1030, sim::LinkKind kind = sim::LinkKind::kProfileF)
      : model(type, kind, clock), port(model, clock) {}

  VirtualClock clock;
  sim::SensorModel model;
  sim::SimSerialPort port;
  std::function<bool()> onPump;
  CallbackEventPump pump{[this] { return onPump ? onPump() : false; }};
  ServiceLink link{port, clock, pump};
  ScriptedUi ui;
};

}  // namespace korvin::test
