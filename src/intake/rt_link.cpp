// The TCP link with RealTraffic (worker thread).
#include "intake/rt_link.h"

#include <fmt/format.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "foundation/day_slots.h"
#include "foundation/geometry.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/strings.h"
#include "intake/intake.h"
#include "intake/socket_wait.h"

SOCKET g_rtListenSocket = INVALID_SOCKET;
SOCKET g_rtClientSocket = INVALID_SOCKET;
std::atomic<bool> g_rtConnected{false};
std::atomic<bool> g_rtNotConnectedYet{true};

namespace {

constexpr int kWaitSliceMs = 100;  // longest wait before looking at stop and exit again
constexpr int kVersionReplyWaitMs = 2000;
constexpr int kProfessionalLevel = 2;
constexpr double kAttitudeScale = 100000.0;  // radians x this in "Qs121="
constexpr double kThousand = 1000.0;         // altitude and ground speed x this
constexpr double kParkedStartMaxLatitude = 0.0009;
constexpr double kParkedStartMaxLongitude = 0.05;

RtLinkHooks g_hooks;  // worker thread only
bool g_rtWsaStarted = false;

bool lf_stopOrExit() {
  return g_stopRequested.load() || g_exitRequested.load();
}

void lf_closeSocket(SOCKET& s) {
  if (s != INVALID_SOCKET) {
    closesocket(s);
    s = INVALID_SOCKET;
  }
}

void lf_setRtLamp(bool on) {
  g_rtLamp = on ? 1 : 0;
  g_mainWindowState.invalidate(kLampsArea);
}

bool lf_atParkedStart(const RtUserState& user) {
  return user.latitude >= 0.0 && user.latitude <= kParkedStartMaxLatitude &&
         user.longitude >= 0.0 && user.longitude <= kParkedStartMaxLongitude;
}

}  // namespace

std::string lf_receiveVersionReply() {
  std::string reply;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kVersionReplyWaitMs);
  while (!lf_stopOrExit()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    const auto ready = gf_waitReadable(g_rtClientSocket,
                                       static_cast<int>(std::min<long long>(left, kWaitSliceMs)));
    if (ready == Readiness::kError) break;
    if (ready == Readiness::kTimeout) continue;
    std::string part = receiveDataPacket();
    if (part.empty()) break;  // closed, failed or a full buffer
    reply += part;
    if (reply.size() >= kRtReceiveBufferSize) {
      gf_logIfActive(fmt::format("receive: buffer overrun: {}", reply.size()));
      return {};
    }
    if (nlohmann::json::accept(reply)) break;
  }
  return reply;
}


void gf_setRtLinkHooks(RtLinkHooks hooks) {
  g_hooks = std::move(hooks);
}

bool gf_realTrafficLinkWanted() {
  return g_rtOnThisPc.load() && !g_paramAerowinx.value();
}

void startServer(const std::string& port) {
  WSADATA wsaData{};
  const int started = WSAStartup(MAKEWORD(2, 2), &wsaData);
  if (started != 0)
    throw std::runtime_error(fmt::format("WSAStartup failed with error {}", started));
  g_rtWsaStarted = true;

  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* result = nullptr;
  const int resolved = getaddrinfo(nullptr, port.c_str(), &hints, &result);
  auto fail = [&](const std::string& text) {
    if (result != nullptr) freeaddrinfo(result);
    lf_closeSocket(g_rtListenSocket);
    WSACleanup();
    g_rtWsaStarted = false;
    throw std::runtime_error(text);
  };
  if (resolved != 0) {
    result = nullptr;
    fail(fmt::format("getaddrinfo failed with error {}", resolved));
  }
  g_rtListenSocket = socket(result->ai_family, result->ai_socktype, result->ai_protocol);
  if (g_rtListenSocket == INVALID_SOCKET)
    fail("socket failed with error " + gf_wsaErrorText(WSAGetLastError()));
  u_long blocking = 0;
  if (ioctlsocket(g_rtListenSocket, FIONBIO, &blocking) == SOCKET_ERROR)
    fail("ioctlsocket failed with error " + gf_wsaErrorText(WSAGetLastError()));
  const int reuse = 1;
  if (setsockopt(g_rtListenSocket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                 sizeof(reuse)) == SOCKET_ERROR)
    fail("setsockopt(SO_REUSEADDR) failed");
  if (bind(static_cast<int>(g_rtListenSocket), result->ai_addr, result->ai_addrlen) == SOCKET_ERROR)
    fail("Bind failed at port " + port + " with error " + gf_wsaErrorText(WSAGetLastError()));
  freeaddrinfo(result);
  result = nullptr;
  if (listen(static_cast<int>(g_rtListenSocket), SOMAXCONN) == SOCKET_ERROR)
    fail("listen failed with error " + gf_wsaErrorText(WSAGetLastError()));
}

namespace {

// Accepts the connection that is waiting on the listening socket.
bool lf_acceptClient() {
  const int accepted = accept(static_cast<int>(g_rtListenSocket), nullptr, nullptr);
  if (accepted < 0) return false;
  g_rtClientSocket = static_cast<SOCKET>(accepted);
  const int noDelay = 1;
  if (setsockopt(g_rtClientSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof(noDelay)) ==
      SOCKET_ERROR) {
    gf_logIfActive(fmt::format("waitForClient interrupted: {}",
                               fmt::format("{} setsockopt failed with error {}", gf_timeNow(),
                                           gf_wsaErrorText(WSAGetLastError()))));
    // Do not leave a connection open that RealTraffic believes in and nobody serves.
    lf_closeSocket(g_rtClientSocket);
    return false;
  }
  g_rtConnected = true;
  return true;
}

// Accepts a connection when one is waiting, without waiting for one: the engine step asks this
// while RealTraffic is away, and the tick must keep its pace meanwhile.
bool lf_acceptWaitingClient() {
  if (g_rtConnected.load() || g_rtListenSocket == INVALID_SOCKET) return false;
  const auto ready = gf_waitReadable(g_rtListenSocket, 0);
  if (ready == Readiness::kError) {
    gf_logIfActive(fmt::format("waitForClient: {}", gf_wsaErrorText(WSAGetLastError())));
    return false;
  }
  return ready == Readiness::kReady && lf_acceptClient();
}

}  // namespace

bool waitForClient() {
  if (g_rtConnected.load()) return false;
  if (g_rtListenSocket == INVALID_SOCKET) return false;
  // accept blocks without end; waiting for readability in slices lets a close end the wait.
  for (;;) {
    const auto ready = gf_waitReadable(g_rtListenSocket, kWaitSliceMs);
    if (ready == Readiness::kReady) break;
    if (ready == Readiness::kError) {
      gf_logIfActive(fmt::format("waitForClient: {}", gf_wsaErrorText(WSAGetLastError())));
      return false;
    }
    if (lf_stopOrExit()) return false;
  }
  return lf_acceptClient();
}

std::string receiveDataPacket() {
  std::string buffer(kRtReceiveBufferSize, '\0');
  const int n = recv(static_cast<int>(g_rtClientSocket), buffer.data(), buffer.size(), 0);
  if (n < 0) {
    gf_logIfActive(fmt::format("receive: {}", gf_wsaErrorText(WSAGetLastError())));
    return {};
  }
  if (static_cast<std::size_t>(n) >= kRtReceiveBufferSize) {
    gf_logIfActive(fmt::format("receive: buffer overrun: {}", n));
    return {};
  }
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

bool sendDataPacket(const std::string& text) {
  std::size_t sent = 0;
  // A partial send would leave half a line in the stream: send the rest until all is out.
  while (sent < text.size()) {
    const int n = send(g_rtClientSocket, text.data() + sent, text.size() - sent, 0);
    if (n == SOCKET_ERROR || n == 0) {
      gf_logIfActive(fmt::format("sendDataPacket to RealTraffic failed: {}",
                                 gf_wsaErrorText(WSAGetLastError())));
      g_rtConnected = false;
      lf_closeSocket(g_rtClientSocket);
      gf_logIfActive("RealTraffic client socket closed");
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void lf_readRealTrafficVersion(const std::string& reply) {
  g_rtProfessional = false;
  if (reply.empty()) {
    gf_showMessage("No RealTraffic version received?", true);
    return;
  }
  const auto json = nlohmann::json::parse(reply, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    // A broken reply is RealTraffic's problem, not a reason to end the run.
    gf_logError(
        fmt::format("RealTraffic version reply is no JSON object, standard edition "
                    "assumed: {}",
                    reply));
    g_mainWindowState.storeText(&MainWindowState::rtVersionText, {}, kLampsArea);
    return;
  }
  std::int64_t level = 1;
  if (auto it = json.find("level"); it != json.end()) {
    if (it->is_number_integer())
      level = it->get<std::int64_t>();
    else
      gf_logError(fmt::format("RealTraffic level is no integer: {}", it->dump()));
  }
  std::string version;
  if (auto it = json.find("version"); it != json.end() && it->is_string())
    version = it->get<std::string>();
  const bool professional = level == kProfessionalLevel;
  g_rtProfessional = professional;
  g_mainWindowState.storeText(
      &MainWindowState::rtVersionText,
      fmt::format("RT{} edition: {}", professional ? " prof" : " stnd", version), kLampsArea);
}

void lf_waitForRealTraffic() {
  gf_showMessage("Waiting for RealTraffic to connect to Zendrik_P3D ...", true);
  gf_resetIntake();
  if (waitForClient()) {
    std::string reply;
    if (sendDataPacket("Qs999=version\r\n")) reply = lf_receiveVersionReply();
    lf_readRealTrafficVersion(reply);
    lf_setRtLamp(true);
    g_rtNotConnectedYet = false;
    gf_log("RealTraffic connected");
  }
  gf_clearMessage();
}

std::string gf_userPositionLine(const RtUserState& user) {
  // Fixed notation: "{:.0}" would keep one significant digit (12,345 ft as 1e+07).
  return fmt::format("Qs121={:.0f};{:.0f};{:.6f};{:.0f};{};{:.6f};{:.6f}\r\n",
                     user.pitch * kAttitudeScale, user.bank * kAttitudeScale, user.trueHeading,
                     user.altitudeFt * kThousand, user.groundSpeedKt * kThousand,
                     user.latitude * kDegToRad, user.longitude * kDegToRad);
}

void gf_sendUserPosition() {
  if (!g_rtOnThisPc.load() || !g_hooks.userState) return;
  const RtUserState user = g_hooks.userState();
  if (lf_atParkedStart(user)) return;
  if (g_rtConnected.load()) {
    if (sendDataPacket(gf_userPositionLine(user))) return;
    lf_setRtLamp(false);
    if (!g_exitRequested.load() && g_hooks.removeLiveAircraft) g_hooks.removeLiveAircraft();
    gf_resetIntake();
    gf_showMessage(
        fmt::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_timeNow()),
        true);
    return;
  }
  if (g_exitReason.load() != 0) return;
  if (lf_acceptWaitingClient()) {
    lf_setRtLamp(true);
    gf_showMessage(fmt::format("{} RealTraffic re-connected", gf_timeNow()), true);
    gf_clearMessage();
  }
}

void lf_sendSimTime(std::int64_t seconds) {
  if (!g_rtConnected.load() || seconds <= 0) return;
  sendDataPacket(fmt::format("Qs123={}\r\n", seconds * 1000));
}

void gf_closeRealTrafficLink() {
  if (g_rtConnected.load()) sendDataPacket("exit\r\n");
  g_rtConnected = false;
  lf_closeSocket(g_rtListenSocket);
  lf_closeSocket(g_rtClientSocket);
  if (g_rtWsaStarted) {
    WSACleanup();
    g_rtWsaStarted = false;
  }
}
