#include "protocol/result_codes.h"

namespace korvin {

const char* ResultName(ResultCode code) {
  switch (code) {
    case kOk:
      return "OK";
    case ERR_DEVICE_REFUSED:
      return "ERR_DEVICE_REFUSED";
    case ERR_LINK_TIMEOUT:
      return "ERR_LINK_TIMEOUT";
    case ERR_LINK_IO:
      return "ERR_LINK_IO";
    case ERR_LINK_QUIT:
      return "ERR_LINK_QUIT";
    case ERR_PORT_CLOSED:
      return "ERR_PORT_CLOSED";
    case ERR_FRAME_SHORT:
      return "ERR_FRAME_SHORT";
    case ERR_FRAME_LENGTH:
      return "ERR_FRAME_LENGTH";
    case ERR_FRAME_CHECKSUM:
      return "ERR_FRAME_CHECKSUM";
    case ERR_FRAME_ADDRESS:
      return "ERR_FRAME_ADDRESS";
    case ERR_FRAME_TERMINATOR:
      return "ERR_FRAME_TERMINATOR";
    case ERR_REPLY_TIMEOUT:
      return "ERR_REPLY_TIMEOUT";
    default:
      return "unknown result";
  }
}

}  // namespace korvin
