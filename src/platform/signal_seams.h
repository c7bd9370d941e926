// Seams of the Linux process around the program, for scripts and tests: SIGTERM and SIGINT
// close the main window as its close box does, SIGUSR1 writes the window's client area to the
// PNG file named by ZENDRIK_WINDOW_PNG once it has been painted again.
#pragma once

namespace platform {

// Blocks SIGTERM, SIGINT, SIGUSR1 and SIGUSR2 in the calling thread, so that every thread
// started later has them blocked too, and starts the thread that waits for them. Call before
// any other thread starts (the process entry does).
void gf_startSignalSeams();
// Ends and joins that thread.
void gf_stopSignalSeams();

// What SIGTERM and SIGINT do: WM_CLOSE is posted to every visible top-level window.
void gf_postCloseToTopLevels();
// What SIGUSR1 does: the visible top-level windows are invalidated; when their owner thread has
// painted them, the first of them is written to ZENDRIK_WINDOW_PNG (nothing when it is unset).
void gf_requestWindowPng();

}  // namespace platform
