#pragma once
#include <cstddef>
#include <functional>

// Several units' work at once: job(0) to job(count - 1), each on a thread of its own, so that
// nothing of one unit waits on another. The threads are Qt's, so that what Qt keeps per thread
// (a regular expression's stack) is let go of as Qt expects when each ends, where a thread of the
// C++ library's crashes on Windows.
namespace cli {

// Returns once every job has ended.
void AtOnce(size_t count, const std::function<void(size_t index)>& job);

} // namespace cli
