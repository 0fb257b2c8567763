// Threads within the limits of the process: the processors it may run on, and thread
// creation that goes on with the threads it could create when the system refuses
// more (a thread-count or address-space limit), instead of aborting.
#pragma once

#include <functional>
#include <thread>
#include <vector>

namespace glebix {

// The processors the process may run on (its affinity mask), at least 1.
int AvailableProcessors();

// Starts up to `count` threads, thread k (from 1) running fn(k). Stops at the first
// thread the system refuses (or that memory cannot be found for) and returns those
// that run, in order.
std::vector<std::thread> StartThreads(int count, const std::function<void(int)> &fn);

// Threads refused since the program started; tells a caller to warn once.
int ThreadsRefused();

// Asked before each thread is created; false makes the creation fail as the system
// would. Always true, except in tests.
extern bool (*ThreadCreationAllowed)();

}  // namespace glebix
