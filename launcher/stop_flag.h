#pragma once
// A workflow's stop request: raised by the dialog on the main thread, polled by
// the workflow's worker between steps. Atomic, so that the worker never reads
// a stale or torn value.
#include <atomic>
#include <cstdint>

using stop_flag = std::atomic<std::int32_t>;
static_assert(stop_flag::is_always_lock_free, "the stop flag must never take a lock");
