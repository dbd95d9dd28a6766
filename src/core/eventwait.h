#pragma once
// One turn of a wait loop on the UI thread: handles the pending events, or
// sleeps until the next one arrives, but at most maxMs milliseconds, so the
// caller can look at its condition again. (processEvents with a time limit
// never sleeps: a loop built on it spins the CPU.) Everything may run from
// inside it, including another wait.
void ProcessEventsOrSleep(int maxMs);
