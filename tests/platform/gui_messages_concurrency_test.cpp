// Other threads posting to, invalidating and changing the controls of a window whose thread
// runs the message loop; nothing may block across threads.
#include "gui_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using guitest::recorder;
using guitest::WindowGuard;

constexpr UINT kData = WM_APP + 1;
constexpr UINT kDone = WM_APP + 2;

// Runs the message loop until kDone arrives; returns the kData payloads in arrival order.
std::vector<WPARAM> loopUntilDone() {
  std::vector<WPARAM> data;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == kData) data.push_back(msg.wParam);
    DispatchMessageW(&msg);
    if (msg.message == kDone) break;
  }
  return data;
}

TEST(GuiConcurrency, MessagesPostedFromAnotherThreadArriveInOrder) {
  WindowGuard w(guitest::makeMainWindow());
  constexpr WPARAM kCount = 2000;
  std::thread poster([&] {
    for (WPARAM i = 0; i < kCount; ++i) PostMessageW(w.get(), kData, i, 0);
    PostMessageW(w.get(), kDone, 0, 0);
  });
  const std::vector<WPARAM> data = loopUntilDone();
  poster.join();
  ASSERT_EQ(data.size(), kCount);
  for (WPARAM i = 0; i < kCount; ++i) ASSERT_EQ(data[i], i);
  EXPECT_EQ(recorder().of(kData).size(), kCount);  // each reached the window procedure
}

TEST(GuiConcurrency, InvalidationFromAnotherThreadWakesABlockedLoop) {
  WindowGuard w(guitest::makeMainWindow());
  std::thread invalidator([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the loop block first
    const RECT r{0, 448, 880, 476};
    InvalidateRect(w.get(), &r, TRUE);
  });
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageW(&msg);
  invalidator.join();
  const auto paints = recorder().of(WM_PAINT);
  ASSERT_EQ(paints.size(), 1u);
  EXPECT_EQ(paints[0].paintRect.top, 448);
}

TEST(GuiConcurrency, ControlStateChangesFromAWorkerNeverWaitForTheGuiThread) {
  WindowGuard w(guitest::makeMainWindow());
  HWND box = CreateWindowExW(0, u"button", u"", 0x50000002, 5, 149, 12, 12, w.get(),
                             reinterpret_cast<HMENU>(32797), nullptr, nullptr);
  HWND edit = CreateWindowExW(0, u"Edit", u"", 0x50800000, 217, 231, 34, 16, w.get(),
                              reinterpret_cast<HMENU>(32818), nullptr, nullptr);
  platform::gf_pumpMessages();
  std::atomic<bool> workerDone{false};
  std::u16string seenText;
  UINT seenCheck = 99;
  std::thread worker([&] {
    SetWindowTextW(edit, u"100");
    EnableWindow(edit, FALSE);
    CheckDlgButton(w.get(), 32797, BST_CHECKED);
    SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    seenCheck = static_cast<UINT>(SendMessageW(box, BM_GETCHECK, 0, 0));
    WCHAR buffer[16];
    GetWindowTextW(edit, buffer, 16);
    seenText = buffer;
    // Any other message sent from here is handed to the window's thread, not waited for.
    EXPECT_EQ(SendMessageW(w.get(), kData, 7, 0), 0);
    SetWindowPos(w.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // Only the owner thread may destroy its window.
    EXPECT_FALSE(DestroyWindow(edit));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    workerDone = true;
    PostMessageW(w.get(), kDone, 0, 0);
  });
  const std::vector<WPARAM> data = loopUntilDone();
  worker.join();
  EXPECT_TRUE(workerDone);
  EXPECT_EQ(seenText, u"100");
  EXPECT_EQ(seenCheck, BST_CHECKED);
  EXPECT_EQ(data, std::vector<WPARAM>{7});
  EXPECT_EQ(IsDlgButtonChecked(w.get(), 32797), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(edit));
  EXPECT_TRUE(platform::gf_isTopmost(w.get()));
  // The changes were painted on the GUI thread.
  platform::gf_clearPaintRecord(w.get());
  SetWindowTextW(edit, u"101");
  platform::gf_pumpMessages();
  bool painted = false;
  for (const auto& op : platform::gf_paintRecord(w.get())) {
    painted = painted || (op.kind == platform::PaintOp::Kind::text && op.text == u"101");
  }
  EXPECT_TRUE(painted);
}

TEST(GuiConcurrency, ManyThreadsInvalidatingWhileTheGuiThreadPaints) {
  WindowGuard w(guitest::makeMainWindow());
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<int> finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const RECT r{t * 100, i % 400, t * 100 + 50, i % 400 + 10};
        InvalidateRect(w.get(), &r, TRUE);
      }
      if (++finished == kThreads) PostMessageW(w.get(), kDone, 0, 0);
    });
  }
  loopUntilDone();
  for (auto& t : threads) t.join();
  platform::gf_pumpMessages();
  EXPECT_GE(recorder().of(WM_PAINT).size(), 1u);
  // Everything invalidated was painted: nothing is left for another WM_PAINT.
  EXPECT_EQ(platform::gf_pumpMessages(), 0);
}

}  // namespace
