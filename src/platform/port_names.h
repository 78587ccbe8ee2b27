#pragma once

#include <string>

namespace korvin {

// The program speaks of serial ports as "COM1" ... "COM9". On Linux such a name resolves to a
// device path: the environment variable KORVIN_COMn, when set, names the device for COMn;
// otherwise COMn is /dev/ttyUSBn-1 (USB RS-485 adapters enumerate from ttyUSB0). A name that is
// already a path (it contains a '/') is used as it stands.
std::string ResolvePortName(const std::string& name);

// "COM" followed by index + 1, for the zero-based index of the port lists.
std::string ComPortName(int index);

}  // namespace korvin
