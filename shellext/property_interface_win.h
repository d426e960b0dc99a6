// The COM class CPropertyInterface and its class factory.
#pragma once

#include <windows.h>

namespace tachy {

// {7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}
extern const GUID kClsidPropertyInterface;

bool SameGuid(const GUID& a, const GUID& b);

// QueryInterface on the module's one class factory.
HRESULT QueryPropertyInterfaceFactory(REFIID riid, void** object);
// The factory's reference count (1 while nobody holds it).
LONG PropertyInterfaceFactoryReferences();

}  // namespace tachy
