// Blocked calls woken from another thread: recvfrom by shutdown or closesocket, recv by
// shutdown, accept by closesocket, a pipe's ReadFile by CloseHandle and CancelIo; and the named
// mutex taken by many threads at once.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "files_test_support.h"
#include "net_test_support.h"
#include "platform/win32.h"

using nettest::boundUdp;
using platform_test::EnvGuard;
using platform_test::TempDir;

namespace {

// Generous: only guards against a hang, never measures speed.
constexpr auto kHangGuard = std::chrono::seconds(20);

// Runs `work` on a detached thread: a call that is never woken fails the test by the guard
// below instead of hanging it in a future's destructor.
template <typename Work>
auto runDetached(Work work) {
  std::packaged_task<decltype(work())()> task(std::move(work));
  auto result = task.get_future();
  std::thread(std::move(task)).detach();
  return result;
}

// Waits until the thread is (very likely) inside its blocking call.
void letItBlock() {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

TEST(WakeBlocked, RecvfromReturnsAfterShutdown) {
  const SOCKET s = boundUdp();
  std::atomic<bool> stop{false};
  auto reader = runDetached([&] {
    char buffer[16384];
    int n = 0;
    do {  // the traffic reader's loop: 0 with the stop flag set ends it
      n = recvfrom(s, buffer, 16384, 0, nullptr, nullptr);
    } while (n > 0 || (n == 0 && !stop.load()));
    return n;
  });
  letItBlock();
  stop.store(true);
  shutdown(s, SD_BOTH);
  ASSERT_EQ(reader.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_LE(reader.get(), 0);
  closesocket(s);
}

TEST(WakeBlocked, AReaderThatReceivesAgainEndsOnceClosed) {
  const SOCKET s = boundUdp();
  auto reader = runDetached([&] {
    char buffer[64];
    int n = 0;
    do {  // without a stop flag: only an error ends this loop
      n = recvfrom(s, buffer, 64, 0, nullptr, nullptr);
    } while (n != SOCKET_ERROR);
    return WSAGetLastError();
  });
  letItBlock();
  EXPECT_EQ(closesocket(s), 0);
  ASSERT_EQ(reader.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_EQ(reader.get(), WSAENOTSOCK);
}

TEST(WakeBlocked, AcceptAndRecvReturnAfterClose) {
  nettest::Connection c;  // a connected pair first, whose receive is woken by shutdown
  ASSERT_NE(c.accepted, INVALID_SOCKET);
  auto receiver = runDetached([&] {
    char buffer[16];
    return recv(c.accepted, buffer, 16, 0);
  });
  letItBlock();
  shutdown(c.accepted, SD_BOTH);
  ASSERT_EQ(receiver.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_LE(receiver.get(), 0);

  auto waiter = runDetached([&] { return accept(c.server, nullptr, nullptr); });
  letItBlock();
  closesocket(c.server);
  ASSERT_EQ(waiter.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_EQ(static_cast<SOCKET>(waiter.get()), INVALID_SOCKET);
  c.server = INVALID_SOCKET;
}

class PipeWake : public ::testing::Test {
 protected:
  void SetUp() override {
    env.set("ZENDRIK_RUNTIME_DIR", dir.path().string());
    server = nettest::listenAtPipe("\\\\.\\pipe\\wake");
    pipe = CreateFileW(u"\\\\.\\pipe\\wake", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    peer = ::accept(server, nullptr, nullptr);
  }
  void TearDown() override {
    ::close(peer);
    ::close(server);
  }
  std::future<std::pair<BOOL, DWORD>> blockedRead() {
    return runDetached([this] {
      char buffer[32];
      DWORD read = 0;
      const BOOL ok = ReadFile(pipe, buffer, sizeof buffer, &read, nullptr);
      return std::make_pair(ok, GetLastError());
    });
  }
  TempDir dir;
  EnvGuard env;
  int server = -1;
  int peer = -1;
  HANDLE pipe = INVALID_HANDLE_VALUE;
};

TEST_F(PipeWake, CloseHandleEndsABlockedRead) {
  auto reader = blockedRead();
  letItBlock();
  EXPECT_TRUE(CloseHandle(pipe));
  ASSERT_EQ(reader.wait_for(kHangGuard), std::future_status::ready);
  const auto [ok, error] = reader.get();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, ERROR_OPERATION_ABORTED);
}

TEST_F(PipeWake, CancelIoEndsABlockedRead) {
  auto reader = blockedRead();
  letItBlock();
  EXPECT_TRUE(CancelIo(pipe));
  ASSERT_EQ(reader.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_EQ(reader.get().second, ERROR_OPERATION_ABORTED);
  CloseHandle(pipe);
}

TEST_F(PipeWake, WriterAndReaderRunTogether) {
  constexpr int kMessages = 200;
  auto echo = runDetached([this] {
    char buffer[256];
    for (;;) {
      const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      ::send(peer, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
    }
  });
  auto reader = runDetached([this] {
    std::size_t total = 0;
    char buffer[256];
    DWORD read = 0;
    while (total < kMessages * 8 && ReadFile(pipe, buffer, sizeof buffer, &read, nullptr))
      total += read;
    return total;
  });
  for (int i = 0; i < kMessages; ++i) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(pipe, "message!", 8, &written, nullptr));
  }
  ASSERT_EQ(reader.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_EQ(reader.get(), static_cast<std::size_t>(kMessages * 8));
  CloseHandle(pipe);
  ::shutdown(peer, SHUT_RDWR);
  echo.wait();
}

TEST(NamedMutexRace, ExactlyOneThreadTakesTheName) {
  TempDir dir;
  EnvGuard env;
  env.set("ZENDRIK_RUNTIME_DIR", dir.path().string());
  constexpr int kThreads = 8;
  std::atomic<int> holders{0};
  std::atomic<int> already{0};
  std::vector<HANDLE> handles(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      handles[i] = CreateMutexA(nullptr, FALSE, "Local\\$Zendrik_P3D$");
      (GetLastError() == ERROR_ALREADY_EXISTS ? already : holders).fetch_add(1);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(holders.load(), 1);
  EXPECT_EQ(already.load(), kThreads - 1);
  for (HANDLE handle : handles) CloseHandle(handle);
}

}  // namespace
