// The registry contract against the real registry (advapi32 under Wine),
// through Win32Registry.
#include "contract/registry_contract.h"

#include "settings/win32registry_win.h"

namespace tachy {
namespace contract {

Registry& ContractRegistry() { return SystemRegistry(); }

void ResetContractRegistry() {}

}  // namespace contract
}  // namespace tachy
