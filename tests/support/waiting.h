// Waiting on the event loop for what threads and other processes do.
#pragma once
#include <functional>

namespace qvtest {

// Runs the event loop (deferred deletes too, as tests run outside exec) until cond holds or
// ceilingMs passes; says whether it held.
bool waitUntil(const std::function<bool()>& cond, int ceilingMs = 10000);
// Runs the event loop for ms: long enough for a worker to have reported what it saw.
void settle(int ms);

} // namespace qvtest
