// The registry contract against the in-memory registry the unit tests use.
#include "contract/registry_contract.h"

#include <memory>

#include "settings/memreg.h"

namespace tachy {
namespace contract {

static std::unique_ptr<MemoryRegistry> registry(new MemoryRegistry);

Registry& ContractRegistry() { return *registry; }

void ResetContractRegistry() { registry.reset(new MemoryRegistry); }

}  // namespace contract
}  // namespace tachy
