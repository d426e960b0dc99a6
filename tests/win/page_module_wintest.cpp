// The page module as a COM server: registration, the class factory, the extension object's
// interfaces, AddPages and when the module may unload. All is created here with COM, so the
// object counts are exact (Wine's shell would keep a reference).
#include "page_harness.h"

#include <oaidl.h>

#include "page/page_win.h"

namespace pagetest {
namespace {

const IID kClassDispatch = {0x5C8E13B7, 0x2D46, 0x11d0,
                            {0x9F, 0x3A, 0x00, 0x80, 0xC7, 0xA2, 0xB4, 0xD1}};
const std::string kClsidKey = std::string("CLSID\\") + kClsid;
const char kProgId[] = "PROPERTY.PROPERTYINTERFACE";

std::string ClassesText(const std::string& key) { return Text(HKEY_CLASSES_ROOT, key, ""); }

int RunRegsvr32() { return RunProcess("regsvr32.exe /s \"" + ModulePath(PageModule()) + "\""); }

std::string ShortModulePath() {
  char path[MAX_PATH];
  const std::string full = ModulePath(PageModule());
  return GetShortPathNameA(full.c_str(), path, sizeof path) ? path : full;
}

template <typename I>
I* Make(REFIID iid) {
  I* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, iid,
                             reinterpret_cast<void**>(&object)), S_OK);
  return object;
}

class Module : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    ASSERT_EQ(CanUnloadNow(), S_OK);
  }
  void TearDown() override {
    PageTest::TearDown();
    EXPECT_EQ(CanUnloadNow(), S_OK);
  }
};

TEST_F(Module, Regsvr32WritesTheFiveRows) {
  DeleteTree(HKEY_CLASSES_ROOT, kProgId);
  DeleteTree(HKEY_CLASSES_ROOT, kClsidKey);
  ASSERT_EQ(RunRegsvr32(), 0);
  // Each row: a key below HKEY_CLASSES_ROOT and its default value.
  const std::string rows[5][2] = {{kProgId, kProgId},
                                  {kClsidKey, kProgId},
                                  {std::string(kProgId) + "\\CLSID", kClsid},
                                  {kClsidKey + "\\ProgID", kProgId},
                                  {kClsidKey + "\\InProcServer32", ShortModulePath()}};
  for (const auto& row : rows) EXPECT_EQ(ClassesText(row[0]), row[1]) << row[0];
  // Nothing else: no threading model, no shell keys.
  EXPECT_EQ(Text(HKEY_CLASSES_ROOT, kClsidKey + "\\InProcServer32", "ThreadingModel"), "<absent>");

  // A second run keeps rows 1 and 2 as somebody left them and rewrites 3 to 5.
  const char* const junk[5] = {"Somebody else", "Another name", "junk", "junk", "junk"};
  for (int i = 0; i < 5; ++i) PutText(HKEY_CLASSES_ROOT, rows[i][0], "", junk[i]);
  ASSERT_EQ(RunRegsvr32(), 0);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ClassesText(rows[i][0]), i < 2 ? junk[i] : rows[i][1]) << rows[i][0];
}

TEST_F(Module, FailedRegistryWriteIsReported) {
  ASSERT_EQ(RunRegsvr32(), 0);
  PutText(HKEY_CLASSES_ROOT, kClsidKey + "\\InProcServer32", "", "old");
  const std::string progIdKey = std::string("Software\\Classes\\") + kClsidKey + "\\ProgID";
  DenyWrites(progIdKey, true);
  auto reg = PageExport<HRESULT(WINAPI*)()>("DllRegisterServer");
  EXPECT_EQ(reg(), static_cast<HRESULT>(0x80040201));  // SELFREG_E_CLASS
  EXPECT_NE(RunRegsvr32(), 0);
  // The rows after the failing one are not written.
  EXPECT_EQ(ClassesText(kClsidKey + "\\InProcServer32"), "old");
  DenyWrites(progIdKey, false);
  EXPECT_EQ(reg(), S_OK);
  EXPECT_EQ(ClassesText(kClsidKey + "\\InProcServer32"), ShortModulePath());
}

TEST_F(Module, ClassObjectOnlyForItsOwnClass) {
  auto get = PageExport<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  ASSERT_NE(get, nullptr);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(get(kClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // somebody holds the factory
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // locked
  ASSERT_EQ(get(kClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  factory->LockServer(FALSE);
  IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
  void* instance = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &instance), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(instance, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &instance), E_NOINTERFACE);
  factory->Release();
}

TEST_F(Module, ExtensionObjectInterfaces) {
  IShellExtInit* init = Make<IShellExtInit>(IID_IShellExtInit);
  ASSERT_NE(init, nullptr);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
  IShellPropSheetExt* ext = nullptr;
  ASSERT_EQ(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&ext)), S_OK);
  EXPECT_EQ(ext->ReplacePage(0, nullptr, 0), E_NOTIMPL);
  IDispatch *dispatch = nullptr, *classDispatch = nullptr;
  ASSERT_EQ(init->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  ASSERT_EQ(init->QueryInterface(kClassDispatch, reinterpret_cast<void**>(&classDispatch)), S_OK);
  EXPECT_EQ(dispatch, classDispatch);
  UINT count = 7;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  // Every name is unknown; nothing is written past the caller's three ids.
  wchar_t first[] = L"Anything", second[] = L"Apply", third[] = L"Refresh";
  LPOLESTR names[] = {first, second, third};
  DISPID ids[5] = {7, 7, 7, 7, 7};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(std::vector<DISPID>(ids, ids + 5),
            (std::vector<DISPID>{DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN, 7, 7}));
  DISPPARAMS none = {};
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  // One identity for IUnknown through every interface.
  IUnknown *a = nullptr, *b = nullptr;
  ext->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  EXPECT_EQ(a, b);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(init->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  for (IUnknown* u : std::initializer_list<IUnknown*>{a, b, classDispatch, dispatch, ext})
    u->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  EXPECT_EQ(init->Release(), 0u);
}

BOOL CALLBACK Refuse(HPROPSHEETPAGE, LPARAM) { return FALSE; }

TEST_F(Module, RefusedPageIsDestroyed) {
  IShellPropSheetExt* ext = Make<IShellPropSheetExt>(IID_IShellPropSheetExt);
  ASSERT_NE(ext, nullptr);
  EXPECT_EQ(ext->AddPages(&Refuse, 0), S_OK);
  ExpectBoxes({{"XShellPropSheetExt::AddPages", "lpfnAddPage() FAILED", nullptr}});
  ext->Release();  // the refused page object goes with its handle
}

TEST_F(Module, EveryAddPagesGetsItsOwnPage) {
  IShellPropSheetExt* ext = Make<IShellPropSheetExt>(IID_IShellPropSheetExt);
  ASSERT_NE(ext, nullptr);
  std::vector<HPROPSHEETPAGE> pages;
  EXPECT_EQ(ext->AddPages(&KeepPage, reinterpret_cast<LPARAM>(&pages)), S_OK);
  EXPECT_EQ(ext->AddPages(&KeepPage, reinterpret_cast<LPARAM>(&pages)), S_OK);
  ASSERT_EQ(pages.size(), 2u);
  ext->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // the pages still exist
  // Both pages in one sheet, each shown once: a click on the first page's
  // switch changes that page only, as each page has an object of its own.
  HWND sheet = ModelessSheet(&pages, 0);
  ASSERT_NE(sheet, nullptr);
  auto show = [&](int index) {
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    Pump();
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  };
  HWND second = show(1), first = show(0);
  ASSERT_NE(first, second);
  gui::Click(GetDlgItem(first, 1006));
  Settle(first);
  EXPECT_EQ(SendDlgItemMessageA(first, 1006, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendDlgItemMessageA(show(1), 1006, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  DestroyWindow(sheet);
  Pump();
  EXPECT_EQ(CanUnloadNow(), S_OK);  // both pages and their objects are gone
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Module, UnloadableOnlyAfterTheSheetClosedAndTheObjectWasReleased) {
  ASSERT_EQ(s.Open(false), 1u);
  ASSERT_NE(s.page, nullptr);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  s.Steps({"click 1006", "press ok", "finished"});  // TearDown closes the sheet, then checks
}

TEST_F(Module, VersionLine) {
  HWND label = CreateWindowA("STATIC", "placeholder", 0, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(label, nullptr);
  const struct {
    HINSTANCE module;
    const char *prefix, *suffix, *line;
  } cases[] = {
      {PageModule(), "Version ", " English", "Version 3.2 English"},
      {PageModule(), "Version ", " Fran\xe7" "ais", "Version 3.2 Fran\xe7" "ais"},
      {PageModule(), nullptr, nullptr, "3.2"},
      {PageModule(), "Version ", nullptr, "Version 3.2"},
      // This program carries no version resource.
      {GetModuleHandleA(nullptr), "Version ", " Deutsch", "Version 0.0 Deutsch"},
      // No module file at all: an empty line.
      {reinterpret_cast<HINSTANCE>(0x12340000), "Version ", " English", ""},
  };
  for (const auto& c : cases) {
    tachy::SetVersionLine(c.module, label, c.prefix, c.suffix);
    EXPECT_EQ(TextA(label), c.line);
  }
  DestroyWindow(label);

  DWORD ms = 1, ls = 1;
  ASSERT_TRUE(tachy::ReadModuleVersion(ModulePath(PageModule()).c_str(), &ms, &ls));
  EXPECT_EQ(ms, 0x00030002u);
  EXPECT_EQ(ls, 0u);
  ms = ls = 7;
  EXPECT_FALSE(tachy::ReadModuleVersion("Z:\\nowhere\\missing.dll", &ms, &ls));
  EXPECT_EQ(ms, 7u);
}

// --- Allocation failure: TACHPAGE.DLL's own HeapAlloc and HeapFree imports
// are pointed at counting stand-ins, and HeapAlloc fails on demand.

bool gFailHeapAlloc = false;
LONG gHeapAllocs = 0;      // calls of the module's HeapAlloc
LONG gHeapBlocksLive = 0;  // blocks it got and has not freed

LPVOID WINAPI CountingHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  ++gHeapAllocs;
  if (gFailHeapAlloc) return nullptr;
  LPVOID block = HeapAlloc(heap, flags, size);
  if (block) ++gHeapBlocksLive;
  return block;
}

BOOL WINAPI CountingHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  if (block) --gHeapBlocksLive;
  return HeapFree(heap, flags, block);
}

// Replaces the page module's import `name` from KERNEL32 with `with`; returns
// the entry's old value (null when the module does not import it).
void* PatchKernelImport(const char* name, void* with) {
  BYTE* base = reinterpret_cast<BYTE*>(PageModule());
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), "KERNEL32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      void* previous = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(with);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return previous;
    }
  }
  return nullptr;
}

TEST_F(Module, FailedAllocationAnswersOutOfMemory) {
  void* realAlloc = PatchKernelImport("HeapAlloc", reinterpret_cast<void*>(&CountingHeapAlloc));
  void* realFree = PatchKernelImport("HeapFree", reinterpret_cast<void*>(&CountingHeapFree));
  ASSERT_NE(realAlloc, nullptr);
  ASSERT_NE(realFree, nullptr);
  auto get = PageExport<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  IClassFactory* factory = nullptr;
  ASSERT_EQ(get(kClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);

  // The extension object cannot be had.
  gFailHeapAlloc = true;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellPropSheetExt, &object), E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(gHeapAllocs, 1);
  gFailHeapAlloc = false;

  // The object exists, but its page cannot.
  IShellPropSheetExt* ext = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellPropSheetExt,
                                    reinterpret_cast<void**>(&ext)), S_OK);
  std::vector<HPROPSHEETPAGE> pages;
  gFailHeapAlloc = true;
  EXPECT_EQ(ext->AddPages(&KeepPage, reinterpret_cast<LPARAM>(&pages)), E_OUTOFMEMORY);
  gFailHeapAlloc = false;
  EXPECT_EQ(gHeapAllocs, 3);
  EXPECT_TRUE(pages.empty());
  EXPECT_TRUE(boxes.boxes.empty());
  // Once memory is back the same object adds its page.
  EXPECT_EQ(ext->AddPages(&KeepPage, reinterpret_cast<LPARAM>(&pages)), S_OK);
  ASSERT_EQ(pages.size(), 1u);
  DestroyPropertySheetPage(pages[0]);
  ext->Release();
  factory->Release();
  // Every block the module got is freed; TearDown checks DllCanUnloadNow.
  EXPECT_EQ(gHeapBlocksLive, 0);
  PatchKernelImport("HeapAlloc", realAlloc);
  PatchKernelImport("HeapFree", realFree);
}

}  // namespace
}  // namespace pagetest

// Once more as a child, only for Wine to draw the frames (the version stays).
int main(int argc, char** argv) { return pagetest::Main(argc, argv, {{nullptr, ""}}); }
