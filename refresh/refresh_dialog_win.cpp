#include "refresh/refresh_dialog_win.h"

namespace tachy {

// Placeholder until the dialog is built.
void RunRefreshRateDialog() {}

}  // namespace tachy
