#pragma once

#include <cstdint>

namespace korvin {

// One closed vocabulary of results for the whole protocol stack. The values are fixed: the
// connect sequence tells ERR_PORT_CLOSED and ERR_LINK_IO apart from the rest by value.
using ResultCode = uint32_t;

inline constexpr ResultCode kOk = 0;
inline constexpr ResultCode ERR_DEVICE_REFUSED = 0x00000001;
inline constexpr ResultCode ERR_LINK_TIMEOUT = 0x01000001;
inline constexpr ResultCode ERR_LINK_IO = 0x01000004;
inline constexpr ResultCode ERR_LINK_QUIT = 0x01000008;
inline constexpr ResultCode ERR_PORT_CLOSED = 0x01000010;
inline constexpr ResultCode ERR_FRAME_SHORT = 0x31000002;
inline constexpr ResultCode ERR_FRAME_LENGTH = 0x31000004;
inline constexpr ResultCode ERR_FRAME_CHECKSUM = 0x31000008;
inline constexpr ResultCode ERR_FRAME_ADDRESS = 0x31000010;
inline constexpr ResultCode ERR_FRAME_TERMINATOR = 0x31000020;
inline constexpr ResultCode ERR_REPLY_TIMEOUT = 0x32008000;

// A short name for logs and test failure output; never shown to the user.
const char* ResultName(ResultCode code);

}  // namespace korvin
