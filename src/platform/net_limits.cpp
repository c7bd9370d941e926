// What the system allows a socket beyond what Winsock can be asked. Any thread.
#include <climits>
#include <fstream>

#include "platform/win32_net.h"

int gf_socketReceiveBufferLimit() {
  std::ifstream in("/proc/sys/net/core/rmem_max");
  long limit = 0;
  if (!(in >> limit) || limit <= 0 || limit > INT_MAX) return 0;
  return static_cast<int>(limit);
}
