// Which thread is the worker: the thread that runs the start-up, the runs and the whole engine.
// Functions bound to the worker check it in debug builds (assert(gf_onWorkerThread())).
#pragma once

// Marks the calling thread as the worker. The shell's worker calls it first thing; tests and
// benchmarks that drive the engine from their own thread call it there.
void gf_markWorkerThread();
// True on the thread marked last.
bool gf_onWorkerThread();
