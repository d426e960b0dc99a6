// Self-registration of the page module's COM class.
#include "shellext/registration.h"

#include "settings/text.h"

namespace tachy {

const char kProgId[] = "PROPERTY.PROPERTYINTERFACE";

bool RegisterServerRows(ClassRegistry& reg, const char* clsidText,
                        const char* modulePath) {
  char clsidKey[128];
  FormatText(clsidKey, sizeof clsidKey, "CLSID\\%s", clsidText);
  char key[192];

  // Rows 1 and 2 keep whatever somebody already put there.
  if (!reg.HasDefaultValue(kProgId) && !reg.SetDefaultValue(kProgId, kProgId))
    return false;
  if (!reg.HasDefaultValue(clsidKey) && !reg.SetDefaultValue(clsidKey, kProgId))
    return false;

  FormatText(key, sizeof key, "%s\\CLSID", kProgId);
  if (!reg.SetDefaultValue(key, clsidText)) return false;
  FormatText(key, sizeof key, "%s\\ProgID", clsidKey);
  if (!reg.SetDefaultValue(key, kProgId)) return false;
  FormatText(key, sizeof key, "%s\\InProcServer32", clsidKey);
  return reg.SetDefaultValue(key, modulePath);
}

}  // namespace tachy
