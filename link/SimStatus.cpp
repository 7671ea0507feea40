#include "link/SimStatus.h"

// Everything is inline; the file keeps the record's home in the core library.
static_assert(std::atomic<bool>::is_always_lock_free, "the status flags are read from timer threads");
