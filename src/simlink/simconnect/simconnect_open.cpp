// SimConnect_Open (configuration, the transport fallback chain, the Open packet),
// SimConnect_CallDispatch and SimConnect_Close.
#include <algorithm>
#include <chrono>
#include <thread>

#include "simlink/simconnect/simconnect_config.h"
#include "simlink/simconnect/simconnect_connection.h"
#include "simlink/simconnect/simconnect_endpoints.h"

namespace simconnect {

namespace {

constexpr DWORD kCloseWaitBeforeMs = 100;   // lets writes in flight finish
constexpr DWORD kCloseWaitAfterMs = 250;
constexpr int kTransportDrainRounds = 20;   // times kCloseWaitAfterMs
constexpr const char* kIpv6Loopback = "::1";
constexpr const char* kIpv4Loopback = "127.0.0.1";

enum class Step { Pipe, IPv6, IPv4, PipeAgain, Failed };

std::string lf_lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

struct Connected {
  std::unique_ptr<StreamEndpoint> endpoint;
  TransportKind kind = TransportKind::Socket;
};

// Walks the fallback chain: pipe, IPv6 loopback, IPv4 loopback, the local pipe once more.
Connected lf_connect(const SimConnectConfig& cfg) {
  const std::string protocol = lf_lower(cfg.protocol);
  const bool ipv6Usable = gf_ipv6LoopbackAvailable();
  Step step = protocol == "ipv6" ? Step::IPv6 : protocol == "ipv4" ? Step::IPv4 : Step::Pipe;
  const bool explicitTcp = step != Step::Pipe;
  std::string address = cfg.address;
  std::string port = cfg.port;
  if (step == Step::IPv6 && address.empty()) address = kIpv6Loopback;
  if (step == Step::IPv4 && address.empty()) address = kIpv4Loopback;
  if (explicitTcp && port.empty()) {
    port = gf_registryPort(step == Step::IPv6 ? "SimConnect_Port_IPv6" : "SimConnect_Port_IPv4");
  }
  Connected c;
  while (step != Step::Failed) {
    switch (step) {
      case Step::Pipe:
        c.endpoint = gf_connectPipe(gf_simConnectPipeName(address, port));
        c.kind = TransportKind::Pipe;
        if (c.endpoint) return c;
        if (!address.empty() && address != ".") return {};
        address = kIpv6Loopback;
        port = gf_registryPort("SimConnect_Port_IPv6");
        step = Step::IPv6;
        break;
      case Step::IPv6:
        if (ipv6Usable) c.endpoint = gf_connectTcp(AF_INET6, address, port);
        c.kind = TransportKind::Socket;
        if (c.endpoint) return c;
        if (address != kIpv6Loopback) return {};
        address = kIpv4Loopback;
        port = gf_registryPort("SimConnect_Port_IPv4");
        step = Step::IPv4;
        break;
      case Step::IPv4:
        c.endpoint = gf_connectTcp(AF_INET, address, port);
        c.kind = TransportKind::Socket;
        if (c.endpoint) return c;
        if (address != kIpv4Loopback) return {};
        step = Step::PipeAgain;
        break;
      case Step::PipeAgain:
        c.endpoint = gf_connectPipe(gf_simConnectPipeName(".", ""));
        c.kind = TransportKind::Pipe;
        if (c.endpoint) return c;
        step = Step::Failed;
        break;
      case Step::Failed:
        break;
    }
  }
  return {};
}

void lf_unlink(SimConnectConnection* c) {
  std::lock_guard lock(g_simConnectPacketMutex);
  std::erase(g_simConnectConnections, c);
}

bool lf_noConnectionLeft() {
  std::lock_guard lock(g_simConnectPacketMutex);
  return g_simConnectConnections.empty();
}

}  // namespace

}  // namespace simconnect

using namespace simconnect;

HRESULT SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex) {
  if (phSimConnect == nullptr || szName == nullptr) return kSimConnectInvalidArg;
  SimConnectConfig cfg;
  if (!gf_readSimConnectConfig(ConfigIndex, cfg)) return kSimConnectInvalidArg;
  Connected connected = lf_connect(cfg);
  if (!connected.endpoint) return E_FAIL;

  auto* c = new SimConnectConnection(hWnd, UserEventWin32, hEventHandle);
  c->setup(std::move(connected.endpoint), connected.kind, cfg.maxReceiveSize, cfg.disableNagle);
  if (!c->open()) {
    delete c;
    return E_FAIL;
  }
  {
    std::lock_guard lock(g_simConnectPacketMutex);
    g_simConnectConnections.push_back(c);
  }
  const HRESULT sent = gf_sendOpenPacket(c, szName);
  if (sent != S_OK) {
    lf_unlink(c);
    c->close(false, S_OK);
    delete c;
    return E_FAIL;
  }
  // The in-process registration with the simulator's own main window does not apply: this
  // program always runs in a process of its own (FindWindowW finds no "FS98MAIN" here).
  *phSimConnect = c;
  return S_OK;
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
  SimConnectConnection* c = nullptr;
  {
    std::lock_guard lock(g_simConnectPacketMutex);
    c = gf_findConnection(hSimConnect);
  }
  if (c == nullptr) return E_FAIL;
  c->callback = pfcnDispatch;
  c->callbackContext = pContext;
  while (IoBufferPtr message = c->popMessage()) {
    const auto size = static_cast<DWORD>(message->data.size());
    if (size < sizeof(SIMCONNECT_RECV) || pfcnDispatch == nullptr) continue;
    // The message has left the queue: nobody else reads it while the callback runs.
    auto* data = const_cast<std::uint8_t*>(message->data.data());
    pfcnDispatch(reinterpret_cast<SIMCONNECT_RECV*>(data), size, pContext);
  }
  if (c->hasFailed()) {
    const HRESULT stored = c->storedResult();
    return stored < 0 ? stored : E_FAIL;
  }
  return S_OK;
}

HRESULT gf_simConnectFailedResult(HANDLE hSimConnect) {
  std::lock_guard lock(g_simConnectPacketMutex);
  const SimConnectConnection* c = gf_findConnection(hSimConnect);
  if (c == nullptr || !c->hasFailed()) return S_OK;
  const HRESULT stored = c->storedResult();
  return stored < 0 ? stored : E_FAIL;
}

HRESULT SimConnect_Close(HANDLE hSimConnect) {
  if (hSimConnect == nullptr) return E_FAIL;
  Sleep(kCloseWaitBeforeMs);
  SimConnectConnection* c = nullptr;
  {
    std::lock_guard lock(g_simConnectPacketMutex);
    c = gf_findConnection(hSimConnect);
  }
  if (c == nullptr) return E_FAIL;
  c->drainMessages();
  lf_unlink(c);
  c->close(true, S_OK);
  delete c;
  Sleep(kCloseWaitAfterMs);
  if (lf_noConnectionLeft()) {
    for (int i = 0; i < kTransportDrainRounds && SimConnectTransport::liveCount() > 0; ++i) {
      Sleep(kCloseWaitAfterMs);
    }
    gf_stopWinsock();
  }
  return S_OK;
}
