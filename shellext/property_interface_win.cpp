// CPropertyInterface: the shell's property-sheet extension object. The
// shell creates it through the class factory, initialises it and asks it
// for its pages; every AddPages hands out a page object of its own.
#include "shellext/property_interface_win.h"

#include <shlobj.h>

#include "page/page_win.h"
#include "settings/nocrt/may_fail_new.h"
#include "shellext/module_win.h"

namespace tachy {

const GUID kClsidPropertyInterface = {
    0x7A41C3E2, 0x5B19, 0x11d2, {0xA4, 0xC7, 0x00, 0x60, 0xB0, 0xD4, 0xE9, 0x1F}};

namespace {

// Interface ids, defined here so that no uuid library is linked.
const GUID kIidIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidIClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidIDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidIShellExtInit = {
    0x000214E8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidIShellPropSheetExt = {
    0x000214E9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// The class's own (empty) automation interface.
const GUID kIidPropertyInterfaceDispatch = {
    0x5C8E13B7, 0x2D46, 0x11d0, {0x9F, 0x3A, 0x00, 0x80, 0xC7, 0xA2, 0xB4, 0xD1}};

constexpr char kAddPagesCaption[] = "XShellPropSheetExt::AddPages";

class CPropertyInterface final : public IShellExtInit,
                           public IShellPropSheetExt,
                           public IDispatch {
 public:
  CPropertyInterface() { LockModule(); }
  ~CPropertyInterface() { UnlockModule(); }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (SameGuid(riid, kIidIUnknown) || SameGuid(riid, kIidIShellExtInit)) {
      *object = static_cast<IShellExtInit*>(this);
    } else if (SameGuid(riid, kIidIShellPropSheetExt)) {
      *object = static_cast<IShellPropSheetExt*>(this);
    } else if (SameGuid(riid, kIidIDispatch) ||
               SameGuid(riid, kIidPropertyInterfaceDispatch)) {
      *object = static_cast<IDispatch*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IShellExtInit
  STDMETHODIMP Initialize(LPCITEMIDLIST, IDataObject*, HKEY) override {
    return S_OK;
  }

  // IShellPropSheetExt
  STDMETHODIMP AddPages(LPFNADDPROPSHEETPAGE addPage, LPARAM lParam) override {
    // The sheet's trackbar class must be registered before the page's
    // window is created.
    InitCommonControls();
    CVDPropPage* page = new (kMayFail) CVDPropPage();
    if (!page) return E_OUTOFMEMORY;
    LoadStringA(ModuleInstance(), 1, page->Title(), kTabTitleBytes);
    PROPSHEETPAGEA* description = page->Description();
    description->dwFlags |= PSP_USETITLE | PSP_USEREFPARENT;
    description->pszTitle = page->Title();
    description->pcRefParent = ModuleObjectCount();
    HPROPSHEETPAGE handle = CreatePropertySheetPageA(description);
    if (!handle) {
      MessageBoxA(GetFocus(), "CreatePropertySheetPage() FAILED: hPSP is NULL",
                  kAddPagesCaption, MB_OK);
      delete page;
      return E_OUTOFMEMORY;
    }
    if (!addPage || !addPage(handle, lParam)) {
      MessageBoxA(GetFocus(), "lpfnAddPage() FAILED", kAddPagesCaption, MB_OK);
      // Its release callback deletes the page object.
      DestroyPropertySheetPage(handle);
    }
    return S_OK;
  }
  STDMETHODIMP ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) override {
    return E_NOTIMPL;
  }

  // IDispatch: no methods and no properties.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                             DISPID* ids) override {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                      EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  LONG references_ = 1;
};

// References to the class factory beyond the module's own.
LONG g_factoryHolds;

class PropertyInterfaceFactory : public IClassFactory {
 public:
  constexpr PropertyInterfaceFactory() {}

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (SameGuid(riid, kIidIUnknown) || SameGuid(riid, kIidIClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static data: its count only tells DllCanUnloadNow
  // whether somebody holds it. The count lives apart from the object (see
  // g_factory below) and leaves out the module's own hold.
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&g_factoryHolds));
  }
  STDMETHODIMP_(ULONG) Release() override {
    return static_cast<ULONG>(InterlockedDecrement(&g_factoryHolds));
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid,
                              void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CPropertyInterface* instance = new (kMayFail) CPropertyInterface();
    if (!instance) return E_OUTOFMEMORY;
    const HRESULT result = instance->QueryInterface(riid, object);
    instance->Release();
    return result;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) LockModule(); else UnlockModule();
    return S_OK;
  }
};

// The factory has no state of its own, so it is a constant: with its count
// kept apart (zero-initialised), the module needs no initialised writable
// data at all, which saves a whole file section of TACHPAGE.DLL. Its methods
// never write to the object.
const PropertyInterfaceFactory g_factory;

}  // namespace

bool SameGuid(const GUID& a, const GUID& b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(&a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(&b);
  for (unsigned i = 0; i < sizeof(GUID); ++i)
    if (x[i] != y[i]) return false;
  return true;
}

HRESULT QueryPropertyInterfaceFactory(REFIID riid, void** object) {
  return const_cast<PropertyInterfaceFactory&>(g_factory).QueryInterface(
      riid, object);
}

LONG PropertyInterfaceFactoryReferences() { return 1 + g_factoryHolds; }

}  // namespace tachy
