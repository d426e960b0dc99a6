// The C++ support the deliverables need without a C++ runtime: pure virtual
// calls and the allocation operators (on the process heap).
#include <windows.h>

#include <stddef.h>

#include "settings/nocrt/may_fail_new.h"

extern "C" void __cxa_pure_virtual() {
  // Reached only through a broken object; a fault is the honest result.
  ExitProcess(3);
}

// Null when the heap refuses (see may_fail_new.h); there is deliberately no
// plain operator new.
void* operator new(size_t size, tachy::MayFail) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}

void operator delete(void* block) noexcept {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete[](void* block) noexcept {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, size_t) noexcept {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete[](void* block, size_t) noexcept {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}
