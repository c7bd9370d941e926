// Named pipes as Unix-domain sockets: a server listening at the pipe's socket path, the
// client's CreateFileW / ReadFile / WriteFile, busy and missing pipes, a server that goes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "files_test_support.h"
#include "net_test_support.h"
#include "platform/win32.h"

using platform_test::EnvGuard;
using platform_test::TempDir;

namespace {

constexpr const char16_t* kPipe = u"\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect";

using nettest::listenAtPipe;

HANDLE openPipe(const char16_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, nullptr);
}

class PipeTest : public ::testing::Test {
 protected:
  void SetUp() override { env.set("ZENDRIK_RUNTIME_DIR", dir.path().string()); }
  TempDir dir;
  EnvGuard env;
};

TEST_F(PipeTest, NamesMapToOneSocketPathIgnoringCase) {
  const auto path = gf_pipeSocketPath("\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect");
  EXPECT_EQ(path, dir.path() / "pipes" / "lockheed martin prepar3d v5_simconnect");
  EXPECT_EQ(gf_pipeSocketPath("//./PIPE/lockheed martin prepar3d v5/SIMCONNECT"), path);
  EXPECT_EQ(gf_pipeSocketPath("Lockheed Martin Prepar3D v5\\SimConnect"), path);
  EXPECT_TRUE(gf_pipeSocketPath("\\\\simpc\\pipe\\SimConnect").empty());
  EXPECT_TRUE(gf_pipeSocketPath("\\\\.\\notpipe\\x").empty());
  EXPECT_TRUE(gf_pipeSocketPath("\\\\.\\pipe\\").empty());
  EXPECT_TRUE(gf_pipeSocketPath(std::string(200, 'p')).empty());
}

TEST_F(PipeTest, ClientTalksToTheServerBothWays) {
  const int server = listenAtPipe(gf_toUtf8(kPipe));
  const HANDLE pipe = openPipe(kPipe);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
  const int peer = ::accept(server, nullptr, nullptr);
  ASSERT_GE(peer, 0);

  const char request[] = "\x10\0\0\0open";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(pipe, request, 8, &written, nullptr));
  EXPECT_EQ(written, 8u);
  char received[8] = {};
  ASSERT_EQ(::recv(peer, received, 8, MSG_WAITALL), 8);
  EXPECT_EQ(std::memcmp(received, request, 8), 0);

  ASSERT_EQ(::send(peer, "reply", 5, 0), 5);
  char buffer[64];
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(pipe, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "reply");

  // The server goes: reads report a broken pipe, writes fail; no signal ends the process.
  ::close(peer);
  EXPECT_FALSE(ReadFile(pipe, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  BOOL ok = TRUE;
  for (int i = 0; i < 100 && ok; ++i) ok = WriteFile(pipe, request, 8, &written, nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
  EXPECT_TRUE(CloseHandle(pipe));
  ::close(server);
}

TEST_F(PipeTest, MissingStaleAndRemotePipes) {
  EXPECT_EQ(openPipe(kPipe), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(WaitNamedPipeW(kPipe, 5000));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // A server that died leaves its socket file behind: still no pipe.
  ::close(listenAtPipe(gf_toUtf8(kPipe)));
  EXPECT_EQ(openPipe(kPipe), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(openPipe(u"\\\\simpc\\pipe\\SimConnect"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  EXPECT_FALSE(WaitNamedPipeW(u"\\\\simpc\\pipe\\SimConnect", 10));
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
}

TEST_F(PipeTest, FullBacklogIsBusyAndWaitingRetries) {
  const int server = listenAtPipe(gf_toUtf8(kPipe), 0);
  std::vector<HANDLE> clients;
  DWORD error = ERROR_SUCCESS;
  for (int i = 0; i < 16 && error == ERROR_SUCCESS; ++i) {
    const HANDLE pipe = openPipe(kPipe);
    if (pipe == INVALID_HANDLE_VALUE) {
      error = GetLastError();
    } else {
      clients.push_back(pipe);
    }
  }
  EXPECT_EQ(error, ERROR_PIPE_BUSY);
  EXPECT_TRUE(WaitNamedPipeW(kPipe, 5000));
  // Once the server takes the waiting connections, the open succeeds.
  for (std::size_t i = 0; i < clients.size(); ++i) ::close(::accept(server, nullptr, nullptr));
  const HANDLE pipe = openPipe(kPipe);
  EXPECT_NE(pipe, INVALID_HANDLE_VALUE);
  CloseHandle(pipe);
  for (HANDLE client : clients) CloseHandle(client);
  ::close(server);
}

}  // namespace
