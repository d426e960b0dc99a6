#include "settings/product_key.h"

namespace tachy {

const char kProductKeyPath[] = "Software\\Tachymark";

const char kValueLowerLimit[] = "LowerLimit";
const char kValueUpperLimit[] = "UpperLimit";
const char kValueModel[] = "Model";
const char kValueDefaultClock[] = "DefaultClock";
const char kValueEnableClock[] = "EnableClock";
const char kValueColorDepth[] = "ColorDepth";
const char kValueLinkAllColorDepths[] = "LinkAllColorDepths";
const char kValueForce95[] = "Force95";
const char kValueForce98[] = "Force98";
const char kValueForceNT4[] = "ForceNT4";
const char kValueForceNT5[] = "ForceNT5";

const char kDefaultModel[] = "Voodoo3 2000";

}  // namespace tachy
