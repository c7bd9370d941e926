// Test scaffolding for the SimConnect client: a private environment (documents folders,
// current folder, registry file, pipe folder), a raw loopback peer that records the bytes a
// client sends, and a stand-in started on free ports.
//
// On Windows the environment is the current folder alone: the documents folders and the
// registry are the system's own there, and the pipe has no server in the stand-in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "p3d-standin/p3d_standin.h"
#include "simlink/simconnect/simconnect.h"

namespace simtest {

// Points the known folders, the registry and the pipe folder into a fresh temporary tree and
// makes its "cwd" folder the current one; everything is restored by the destructor. Winsock is
// started for the test's own sockets while it lives.
class SimConnectEnvironment {
 public:
  SimConnectEnvironment();
  ~SimConnectEnvironment();
  const std::filesystem::path& root() const { return m_root; }
  std::filesystem::path publicDocuments() const { return m_root / "public" / "Documents"; }
  std::filesystem::path userDocuments() const { return m_root / "user" / "Documents"; }
  std::filesystem::path currentFolder() const { return m_root / "cwd"; }
  // Writes SimConnect.cfg into a folder.
  void writeCfg(const std::filesystem::path& folder, const std::string& text) const;
  // Writes the registry ports (empty: the value is absent). On Windows they are the current
  // user's real values, removed again by the destructor.
  void writeRegistryPorts(const std::string& ipv4, const std::string& ipv6);
  // The socket path of the simulator's default pipe, or of "\\.\pipe\<name>" (on Windows the
  // pipe name itself, which the stand-in cannot serve).
  std::string pipeSocket(const std::string& name = "") const;

 private:
  p3d::WinsockUse m_winsock;
  std::filesystem::path m_root;
  std::filesystem::path m_previousCwd;
  std::vector<std::pair<std::string, std::string>> m_savedEnv;
  bool m_wroteRegistry = false;
};

// A TCP listener on 127.0.0.1 that accepts one client and records everything it sends.
class RawPeer {
 public:
  RawPeer();
  ~RawPeer();
  int port() const { return m_port; }
  bool accept(double seconds);
  // Reads until at least n bytes have arrived in all, or the time is up.
  const std::vector<std::uint8_t>& readAtLeast(std::size_t n, double seconds);
  void closeClient();
  const std::vector<std::uint8_t>& received() const { return m_received; }

 private:
  p3d::WinsockUse m_winsock;
  SOCKET m_listen = INVALID_SOCKET;
  SOCKET m_client = INVALID_SOCKET;
  int m_port = 0;
  std::vector<std::uint8_t> m_received;
};

// A port bound on the loopback address of a family (AF_INET or AF_INET6) and never listening:
// every connection to it is refused, and no other process can take the port while it is held,
// as it could take the port of a stand-in that stopped.
class RefusingPort {
 public:
  explicit RefusingPort(int family);
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int port() const { return m_port; }

 private:
  p3d::WinsockUse m_winsock;
  SOCKET m_socket = INVALID_SOCKET;
  int m_port = 0;
};

// Starts a stand-in on free IPv4 and IPv6 ports (and the pipe socket when given).
std::unique_ptr<p3d::P3dStandin> gf_startStandin(const nlohmann::json& scenario,
                                                 const std::string& pipePath = "",
                                                 double frameHz = 60,
                                                 const std::string& tracePath = "");

// A SimConnect.cfg that points the client at 127.0.0.1:port.
std::string gf_ipv4Cfg(int port);

// Opens a client connection; fails the test when it cannot.
HANDLE gf_openClient(const char* name = "Zendrik_P3D");

// Dispatches until pred holds or the time is up; every delivered message is appended.
struct Received {
  std::uint32_t id = 0;
  std::vector<std::uint8_t> bytes;
};
bool gf_dispatchUntil(HANDLE h, std::vector<Received>& out,
                      const std::function<bool(const std::vector<Received>&)>& pred,
                      double seconds, HRESULT* lastResult = nullptr);

// Little-endian byte builder for golden packets.
class Bytes {
 public:
  Bytes& u32(std::uint32_t v);
  Bytes& f32(float v);
  Bytes& f64(double v);
  Bytes& text(const std::string& s, std::size_t field);
  Bytes& raw(std::initializer_list<std::uint8_t> b);
  std::vector<std::uint8_t> take() { return std::move(m_bytes); }

 private:
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace simtest

namespace simtest {

// Sends the declarations the simulator link makes after opening (lf_setupSimConnect) on h:
// 6 subscriptions, 33 definition entries, 17 event mappings, 16 group entries and the group
// priority. Returns the number of send ids they took (73).
int gf_sendSetupPackets(HANDLE h);

// The position record of definition 402.
struct PositionRecord {
  double lat, lon, pitch, bank, heading, alt, verticalSpeed, trueAirspeed;
};
static_assert(sizeof(PositionRecord) == 64);

// A u32 / f64 / text field of a received message.
std::uint32_t gf_u32At(const std::vector<std::uint8_t>& m, std::size_t offset);
double gf_f64At(const std::vector<std::uint8_t>& m, std::size_t offset);
std::string gf_textAt(const std::vector<std::uint8_t>& m, std::size_t offset, std::size_t field);

}  // namespace simtest
