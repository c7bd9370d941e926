// The SimConnect client as a user's program on another PC runs it: SimConnect.cfg in the current
// folder names the simulator's address. Opens, asks once for the user aircraft's position,
// prints it and closes. Exit 0 when all of that worked.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "simlink/simconnect/simconnect.h"

namespace {

struct Seen {
  bool open = false;
  bool data = false;
  double latitude = 0;
  double longitude = 0;
};

void lf_dispatch(SIMCONNECT_RECV* message, DWORD bytes, void* context) {
  auto* seen = static_cast<Seen*>(context);
  if (message->dwID == SIMCONNECT_RECV_ID_OPEN) seen->open = true;
  if (message->dwID == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
      bytes >= kSimObjectDataOffset + 2 * sizeof(double)) {
    const auto* record = reinterpret_cast<const unsigned char*>(message) + kSimObjectDataOffset;
    std::memcpy(&seen->latitude, record, sizeof(double));
    std::memcpy(&seen->longitude, record + sizeof(double), sizeof(double));
    seen->data = true;
  }
}

}  // namespace

int main() {
  HANDLE h = nullptr;
  if (SimConnect_Open(&h, "Wine probe", nullptr, 0, nullptr, 0) != S_OK) {
    std::puts("SimConnect_Open failed");
    return 1;
  }
  SimConnect_AddToDataDefinition(h, 1, "PLANE LATITUDE", "degrees", SIMCONNECT_DATATYPE_FLOAT64,
                                 0, 0);
  SimConnect_AddToDataDefinition(h, 1, "PLANE LONGITUDE", "degrees", SIMCONNECT_DATATYPE_FLOAT64,
                                 0, 1);
  SimConnect_RequestDataOnSimObject(h, 1, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE, 0,
                                    0, 0, 0);
  Seen seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(seen.open && seen.data) && std::chrono::steady_clock::now() < deadline) {
    if (SimConnect_CallDispatch(h, lf_dispatch, &seen) != S_OK) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const bool closed = SimConnect_Close(h) == S_OK;
  std::printf("open %d data %d lat %.4f lon %.4f closed %d\n", seen.open, seen.data,
              seen.latitude, seen.longitude, closed);
  return seen.open && seen.data && closed ? 0 : 1;
}
