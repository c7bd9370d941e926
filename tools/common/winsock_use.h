// Holds the socket layer started while it lives, for the stand-ins and the tests' own sockets:
// Winsock counts its users and closes every socket of the process when the last one leaves.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/win32.h"

namespace standin {

class WinsockUse {
 public:
  // Throws std::runtime_error when the socket layer cannot start.
  WinsockUse() {
    WSADATA data{};
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
      throw std::runtime_error("WSAStartup failed with error " + std::to_string(error));
    }
  }
  ~WinsockUse() { WSACleanup(); }
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
};

}  // namespace standin
