// The client's end of the simulator's named pipe on Windows: a write goes through while the
// reader thread waits for the simulator, a shutdown ends a wait nothing else would end, and the
// simulator closing its end is the end of the stream. (On Linux the pipe is the platform layer's
// socket emulation, tested with the transports.)
#include <gtest/gtest.h>

#ifdef _WIN32
#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "simlink/simconnect/simconnect_endpoints.h"

namespace {

using namespace std::chrono_literals;
using simconnect::StreamEndpoint;

// The simulator's end: one byte-mode duplex instance of a pipe named for this process.
class PipeServer {
 public:
  PipeServer() {
    static std::atomic<int> s_count{0};
    m_name = "\\\\.\\pipe\\zendrik-pipe-test-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(s_count++);
    const std::wstring wide(m_name.begin(), m_name.end());
    m_pipe = CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_DUPLEX,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0,
                              nullptr);
  }
  ~PipeServer() { close(); }
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  const std::string& name() const { return m_name; }
  bool accept() {
    return ConnectNamedPipe(m_pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
  }
  bool write(const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(m_pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
  }
  std::string read(std::size_t size) {
    std::string bytes(size, '\0');
    DWORD got = 0;
    if (!ReadFile(m_pipe, bytes.data(), static_cast<DWORD>(size), &got, nullptr)) return {};
    bytes.resize(got);
    return bytes;
  }
  void close() {
    if (m_pipe != INVALID_HANDLE_VALUE) CloseHandle(m_pipe);
    m_pipe = INVALID_HANDLE_VALUE;
  }

 private:
  std::string m_name;
  HANDLE m_pipe = INVALID_HANDLE_VALUE;
};

struct ReadResult {
  std::string bytes;
  long count = 0;
  DWORD error = 0;
};

std::future<ReadResult> lf_readAsync(StreamEndpoint& end) {
  return std::async(std::launch::async, [&end] {
    ReadResult r;
    std::uint8_t buffer[64];
    r.count = end.readSome(buffer, sizeof buffer, r.error);
    if (r.count > 0) r.bytes.assign(reinterpret_cast<char*>(buffer), r.count);
    return r;
  });
}

// A pipe client connected to a fresh server instance.
struct Connected {
  PipeServer server;
  std::unique_ptr<StreamEndpoint> client = simconnect::gf_connectPipe(server.name());
};

TEST(PipeEnds, WritesGoThroughWhileTheReaderWaitsAndTheServerClosingEndsTheStream) {
  Connected c;
  ASSERT_NE(c.client, nullptr);
  ASSERT_TRUE(c.server.accept());
  auto reading = lf_readAsync(*c.client);

  auto writing = std::async(std::launch::async, [&] {
    DWORD error = 0;
    return c.client->writeAll(reinterpret_cast<const std::uint8_t*>("open"), 4, error);
  });
  if (writing.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "the write waited for the reader";
    c.server.close();  // ends both calls, so the test can end
  }
  EXPECT_TRUE(writing.get());
  EXPECT_EQ(c.server.read(4), "open");

  ASSERT_TRUE(c.server.write("reply"));
  ASSERT_EQ(reading.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(reading.get().bytes, "reply");

  c.server.close();
  const ReadResult end = lf_readAsync(*c.client).get();
  EXPECT_EQ(end.count, -1);
  EXPECT_EQ(end.error, c.client->endOfStreamError());
  c.client->closeHandle();
}

TEST(PipeEnds, ShutdownEndsAWaitingReadAndEveryLaterCall) {
  Connected c;
  ASSERT_NE(c.client, nullptr);
  ASSERT_TRUE(c.server.accept());
  auto reading = lf_readAsync(*c.client);
  EXPECT_EQ(reading.wait_for(200ms), std::future_status::timeout) << "nothing was sent";

  c.client->shutdownBoth();
  if (reading.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "the shutdown left the read waiting";
    c.server.close();
  }
  const ReadResult woken = reading.get();
  EXPECT_EQ(woken.count, -1);
  EXPECT_EQ(woken.error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));

  EXPECT_EQ(lf_readAsync(*c.client).get().count, -1);
  DWORD error = 0;
  EXPECT_FALSE(c.client->writeAll(reinterpret_cast<const std::uint8_t*>("x"), 1, error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  c.client->closeHandle();
}

}  // namespace
#endif
