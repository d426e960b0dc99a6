// The test programs link the C++ runtime instead of tachy_nocrt: the
// deliverables' allocation that may fail (settings/nocrt/may_fail_new.h)
// here comes from the runtime's nothrow operator new, which pairs with the
// runtime's operator delete.
#include <new>

#include "settings/nocrt/may_fail_new.h"

void* operator new(size_t size, tachy::MayFail) noexcept {
  return ::operator new(size, std::nothrow);
}
