// The refresh-rate dialog, run modally by the page's Refresh Rates button.
#pragma once

namespace tachy {

// Constructs the dialog on template 502 with no parent window, runs it
// modally and destroys it. The result is not reported.
void RunRefreshRateDialog();

}  // namespace tachy
