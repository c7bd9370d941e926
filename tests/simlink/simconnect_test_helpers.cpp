// Test scaffolding for the SimConnect client tests.
#include "simlink/simconnect_test_helpers.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "platform/win32.h"
#include "simlink/sim_internal.h"

namespace simtest {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr LPCWSTR kSimulatorKey = WIDE("SOFTWARE\\Lockheed Martin\\Prepar3D v5");

// One registry port of the current user: written, or removed when the text is empty.
void lf_writePort(LPCWSTR name, const std::string& port) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSimulatorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot write the simulator's registry key";
    return;
  }
  if (port.empty()) {
    RegDeleteValueW(key, name);
  } else {
    const WString text = gf_toUtf16(port);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  }
  RegCloseKey(key);
}
#else
const char* const kEnvNames[] = {"PUBLIC", "USERPROFILE", "XDG_DOCUMENTS_DIR", "ZENDRIK_REGISTRY",
                                 "ZENDRIK_RUNTIME_DIR"};
#endif

}  // namespace

SimConnectEnvironment::SimConnectEnvironment() {
  std::random_device rd;
  m_root = fs::temp_directory_path() / ("zsc-" + std::to_string(rd() % 1000000000));
  fs::create_directories(publicDocuments());
  fs::create_directories(userDocuments());
  fs::create_directories(currentFolder());
  fs::create_directories(m_root / "run");
#ifndef _WIN32
  for (const char* name : kEnvNames) {
    const char* old = std::getenv(name);
    m_savedEnv.emplace_back(name, old != nullptr ? old : std::string("\x01"));
  }
  ::setenv("PUBLIC", (m_root / "public").c_str(), 1);
  ::setenv("USERPROFILE", (m_root / "user").c_str(), 1);
  ::unsetenv("XDG_DOCUMENTS_DIR");
  ::setenv("ZENDRIK_REGISTRY", (m_root / "registry.txt").c_str(), 1);
  ::setenv("ZENDRIK_RUNTIME_DIR", (m_root / "run").c_str(), 1);
  writeRegistryPorts("", "");
#endif
  m_previousCwd = fs::current_path();
  fs::current_path(currentFolder());
}

SimConnectEnvironment::~SimConnectEnvironment() {
  std::error_code ec;
  fs::current_path(m_previousCwd, ec);
  for (const auto& [name, value] : m_savedEnv) {
    if (value == "\x01") {
      ::unsetenv(name.c_str());
    } else {
      ::setenv(name.c_str(), value.c_str(), 1);
    }
  }
  if (m_wroteRegistry) writeRegistryPorts("", "");
  fs::remove_all(m_root, ec);
}

void SimConnectEnvironment::writeCfg(const fs::path& folder, const std::string& text) const {
  std::ofstream(folder / "SimConnect.cfg") << text;
}

void SimConnectEnvironment::writeRegistryPorts(const std::string& ipv4, const std::string& ipv6) {
#ifdef _WIN32
  m_wroteRegistry = true;
  lf_writePort(WIDE("SimConnect_Port_IPv4"), ipv4);
  lf_writePort(WIDE("SimConnect_Port_IPv6"), ipv6);
#else
  std::ofstream out(m_root / "registry.txt");
  out << "[HKEY_CURRENT_USER\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n";
  if (!ipv4.empty()) out << "\"SimConnect_Port_IPv4\"=\"" << ipv4 << "\"\n";
  if (!ipv6.empty()) out << "\"SimConnect_Port_IPv6\"=\"" << ipv6 << "\"\n";
#endif
}

std::string SimConnectEnvironment::pipeSocket(const std::string& name) const {
  const std::string pipe = name.empty()
                               ? std::string("\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect")
                               : "\\\\.\\pipe\\" + name;
#ifdef _WIN32
  return pipe;
#else
  return gf_pipeSocketPath(pipe).string();
#endif
}

RawPeer::RawPeer() {
  m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(m_listen, reinterpret_cast<sockaddr*>(&addr), len);
  listen(m_listen, 4);
  getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
  m_port = ntohs(addr.sin_port);
}

RawPeer::~RawPeer() {
  closeClient();
  p3d::gf_closeSocket(m_listen);
}

bool RawPeer::accept(double seconds) {
  if (p3d::gf_waitReadable({m_listen}, static_cast<int>(seconds * 1000)).empty()) return false;
  m_client = ::accept(m_listen, nullptr, nullptr);
  return m_client != INVALID_SOCKET;
}

const std::vector<std::uint8_t>& RawPeer::readAtLeast(std::size_t n, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (m_received.size() < n && m_client != INVALID_SOCKET) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (p3d::gf_waitReadable({m_client}, static_cast<int>(left.count())).empty()) break;
    char buf[65536];
    const int got = recv(m_client, buf, sizeof buf, 0);
    if (got <= 0) break;
    m_received.insert(m_received.end(), buf, buf + got);
  }
  return m_received;
}

void RawPeer::closeClient() { p3d::gf_closeSocket(m_client); }

RefusingPort::RefusingPort(int family) {
  m_socket = socket(family, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (family == AF_INET6) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    v6->sin6_family = AF_INET6;
    v6->sin6_addr = in6addr_loopback;
    length = sizeof *v6;
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *v4;
  }
  if (m_socket == INVALID_SOCKET ||
      bind(m_socket, reinterpret_cast<sockaddr*>(&address), static_cast<int>(length)) != 0 ||
      getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "no port to refuse connections on";
    return;
  }
  m_port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

RefusingPort::~RefusingPort() {
  p3d::gf_closeSocket(m_socket);
}

std::unique_ptr<p3d::P3dStandin> gf_startStandin(const nlohmann::json& scenario,
                                                 const std::string& pipePath, double frameHz,
                                                 const std::string& tracePath) {
  p3d::StandinOptions o;
  o.port = 0;
  o.port6 = 0;
  o.pipePath = pipePath;
  o.scenario = scenario;
  o.frameHz = frameHz;
  o.traceFile = tracePath;
  auto s = std::make_unique<p3d::P3dStandin>(o);
  s->start();
  return s;
}

std::string gf_ipv4Cfg(int port) {
  return "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(port) + "\n";
}

HANDLE gf_openClient(const char* name) {
  HANDLE h = nullptr;
  const HRESULT hr = SimConnect_Open(&h, name, nullptr, 0, nullptr, 0);
  EXPECT_EQ(hr, S_OK);
  return hr == S_OK ? h : nullptr;
}

namespace {
thread_local std::vector<Received>* t_sink = nullptr;
void lf_collect(SIMCONNECT_RECV* data, DWORD size, void*) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(data);
  t_sink->push_back({data->dwID, std::vector<std::uint8_t>(p, p + size)});
}
}  // namespace

bool gf_dispatchUntil(HANDLE h, std::vector<Received>& out,
                      const std::function<bool(const std::vector<Received>&)>& pred,
                      double seconds, HRESULT* lastResult) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  t_sink = &out;
  for (;;) {
    const HRESULT hr = SimConnect_CallDispatch(h, lf_collect, nullptr);
    if (lastResult != nullptr) *lastResult = hr;
    if (pred(out)) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

Bytes& Bytes::u32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return *this;
}
Bytes& Bytes::f32(float v) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &v, 4);
  return u32(bits);
}
Bytes& Bytes::f64(double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, 8);
  u32(static_cast<std::uint32_t>(bits));
  return u32(static_cast<std::uint32_t>(bits >> 32));
}
Bytes& Bytes::text(const std::string& s, std::size_t field) {
  m_bytes.insert(m_bytes.end(), s.begin(), s.end());
  m_bytes.insert(m_bytes.end(), field - s.size(), 0);
  return *this;
}
Bytes& Bytes::raw(std::initializer_list<std::uint8_t> b) {
  m_bytes.insert(m_bytes.end(), b);
  return *this;
}

}  // namespace simtest

namespace simtest {

int gf_sendSetupPackets(HANDLE h) {
  // The link's own declarations, sent on this handle; every packet takes one send id.
  DWORD before = 0;
  DWORD after = 0;
  SimConnect_GetLastSentPacketID(h, &before);
  const HANDLE linkHandle = g_hSimConnect.exchange(h);
  lf_setupSimConnect();
  g_hSimConnect.store(linkHandle);
  SimConnect_GetLastSentPacketID(h, &after);
  return static_cast<int>(after - before);
}

std::uint32_t gf_u32At(const std::vector<std::uint8_t>& m, std::size_t offset) {
  std::uint32_t v = 0;
  if (offset + 4 <= m.size()) std::memcpy(&v, m.data() + offset, 4);
  return v;
}

double gf_f64At(const std::vector<std::uint8_t>& m, std::size_t offset) {
  double v = 0;
  if (offset + 8 <= m.size()) std::memcpy(&v, m.data() + offset, 8);
  return v;
}

std::string gf_textAt(const std::vector<std::uint8_t>& m, std::size_t offset, std::size_t field) {
  if (offset >= m.size()) return {};
  const std::size_t n = std::min(field, m.size() - offset);
  const auto* p = reinterpret_cast<const char*>(m.data() + offset);
  return std::string(p, strnlen(p, n));
}

}  // namespace simtest
