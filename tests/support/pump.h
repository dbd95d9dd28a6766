#pragma once
// Bounded waits for tests: run the event loop until a condition holds or a
// deadline passes. No test sleeps.
#include <functional>

// Processes events until condition() is true (returns true) or timeoutMs passed (returns false).
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Processes events for exactly this long (for checking that something does NOT happen).
void PumpFor(int milliseconds);
