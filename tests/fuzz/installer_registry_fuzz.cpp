// The installer's registry work over a registry built from the input: start-up,
// DetectInstalledKeys, then an install, a removal or a reinstall, now and then
// with a failing call. Nothing may be written or deleted outside the
// installer's keys and the driver values removal resets.
#include "fuzz_support.h"
#include "installer/actions.h"
#include "installer/startup.h"
#include "installer/state.h"

using namespace tachy;
using fuzz::Require;
using fuzz::RequireEmpty;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  MemoryRegistry reg;
  const bool faults = fuzz::BuildRegistry(fdp, reg);
  fuzz::FuzzSystem sys(fdp);
  static const char* const kLines[] = {
      "", "FORCE95", "FORCE98", "FORCENT4", "FORCENT5", "forcent5 force95",
      "LOWERLIMIT(90) UPPERLIMIT(250)", "LOWERLIMIT UPPERLIMIT(230)", "FORCELANG(GERMAN)"};
  const std::string line =
      fdp.ConsumeBool() ? std::string(fdp.PickValueInArray(kLines)) : fuzz::Text(fdp, 300);

  InstallerState st;
  InitInstallerState(&st);
  PrepareInstallerState(reg, sys, line.c_str(), &st);
  Require(st.PlatformKind >= 1 && st.PlatformKind <= 3, "platform kind");
  Require(st.Force95 + st.Force98 + st.ForceNT4 + st.ForceNT5 <= 1, "more than one force flag");
  Require(st.LowerLimit >= 100 && st.LowerLimit <= 140, "LowerLimit out of range");
  Require(st.UpperLimit >= 200 && st.UpperLimit <= 240, "UpperLimit out of range");
  fuzz::RequireValidList(st.AdapterList);
  if (st.PlatformKind != 1) Require(st.AdapterList.count == 0, "adapters found on NT");
  else if (!faults)
    Require(fault::Instances(st.AdapterList) == fuzz::ReferenceAdapters(reg, 256),
            "adapter list differs from the stored descriptions");
  fuzz::RequireClean(reg, "start-up");

  reg.ResetCalls();
  const uint32_t keySet = DetectInstalledKeys(reg);
  Require((keySet & ~127u) == 0 && (keySet & 2u) == 0, "unknown bits in the key set");
  if (!faults)
    for (const fault::RegistrationKey& k : fault::kRegistrationKeys)
      Require(((keySet & k.bit) != 0) == reg.KeyExists(k.path),
              std::string("key set differs: ") + k.path);
  fuzz::RequireClean(reg, "DetectInstalledKeys");

  // The Select Model dialog's answers.
  st.AdvancedPanelOption = fdp.PickValueInArray({0, 1, 1, 2});
  st.SelectedModel = fdp.PickValueInArray({1, 2, 3, 0, 9});
  CopyText(st.PageModulePath, sizeof st.PageModulePath,
           fdp.ConsumeBool() ? "C:\\WINDOWS\\DESKTOP\\TACHPAGE.DLL" : fuzz::Text(fdp, 300).c_str());
  CopyText(st.InstallerPath, sizeof st.InstallerPath,
           fdp.ConsumeBool() ? "C:\\Program Files\\TACHINST.EXE" : fuzz::Text(fdp, 300).c_str());
  st.FileVersionMS = fdp.ConsumeIntegral<uint32_t>();
  if (fdp.ConsumeBool())
    reg.FailCallNumber(fdp.ConsumeIntegralInRange<size_t>(1, 80),
                       fdp.ConsumeBool() ? kErrorAccessDenied : kErrorFileNotFound);

  const int action = fdp.ConsumeIntegralInRange<int>(0, 2);
  const std::string danglingBefore = fault::CheckNoDanglingHandler(reg);
  reg.ResetCalls();
  bool removed = true, installed = true;
  if (action != 0) removed = RemoveExtension(reg, st, keySet);
  if (action != 1)
    installed = InstallExtension(reg, st, st.PageModulePath, st.LowerLimit, st.UpperLimit,
                                 st.SelectedModel);
  const bool ok = removed && installed;

  fuzz::RequireClean(reg, "install/remove",
                     fault::InstallerPolicy(st.PlatformKind, st.AdapterList, st.PageModulePath,
                                            st.InstallerPath));
  std::string which;
  const bool failed = fault::AnyWriteFailed(reg, &which);
  Require(ok == !failed, ok ? "success reported although a write failed: " + which
                            : std::string("failure reported although every write succeeded"));
  // A removal never leaves a handler without its class (when start-up saw
  // every key as it is, and there was none before).
  if (action == 1 && !faults && danglingBefore.empty())
    RequireEmpty(fault::CheckNoDanglingHandler(reg), "RemoveExtension");
  if (action == 1 && removed)
    RequireEmpty(fault::CheckRemoved(reg, st.PlatformKind, st.AdapterList, keySet),
                 "RemoveExtension");
  if (action != 1 && installed) {
    RequireEmpty(fault::CheckInstalled(reg, st.PlatformKind, st.AdvancedPanelOption,
                                       st.PageModulePath, st.InstallerPath),
                 "InstallExtension");
    Require(reg.Text(fault::kProductPath, "LowerLimit") == std::to_string(st.LowerLimit) &&
                reg.Text(fault::kProductPath, "UpperLimit") == std::to_string(st.UpperLimit),
            "limits not stored as installed");
  }
  return 0;
}
