// Allocation that may fail, the only `new` the deliverables have:
// `new (tachy::kMayFail) T(...)` is null when the process heap refuses, and
// T's constructor then does not run.
//
// A plain operator new is never declared non-throwing, so after a plain
// `new T` the compiler constructs T without looking at the result and drops
// any later null test; without exceptions a failed allocation would then
// write to address 0. This one is declared noexcept, which makes the
// compiler test the result first. tachy_nocrt defines it on HeapAlloc and
// defines no plain operator new, so a plain `new` in a deliverable does not
// link. (The test programs, which link the C++ runtime instead, take it
// from tests/win/may_fail_new_runtime.cpp.)
#pragma once

#include <stddef.h>

namespace tachy {

struct MayFail {};
constexpr MayFail kMayFail{};

}  // namespace tachy

void* operator new(size_t size, tachy::MayFail) noexcept;
