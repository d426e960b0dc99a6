// Placing the mouse cursor for the hidden gestures. Under Wine, SetCursorPos
// warps the X pointer and GetCursorPos may report the old place for a few
// milliseconds, while the gesture handlers read the cursor with GetCursorPos:
// wait until the new place is reported.
#pragma once

#include <windows.h>

namespace tachy {

inline bool MoveCursorTo(int x, int y) {
  if (!SetCursorPos(x, y)) return false;
  for (int tries = 0; tries < 200; ++tries) {
    POINT now;
    if (GetCursorPos(&now) && now.x == x && now.y == y) return true;
    Sleep(5);
  }
  return false;
}

}  // namespace tachy
