// Moving controls by a layout table, and the Windows side of the language.
#include "page/layout_win.h"

#include "shellext/module_win.h"

namespace tachy {

void ApplyLayout(HWND owner, const ControlLayoutRow* table, int rows) {
  for (const ControlLayoutRow* row = table; row < table + rows; ++row) {
    RECT rect;
    SetRect(&rect, row->x, row->y, row->x + row->width, row->y + row->height);
    MapDialogRect(owner, &rect);
    // A control already there stays: under Wine every MoveWindow, even to
    // the same place, costs a repaint and a round of server calls, and many
    // rows of the English tables are their templates' own rectangles.
    HWND control = GetDlgItem(owner, row->id);
    RECT now;
    if (GetWindowRect(control, &now)) {
      MapWindowPoints(HWND_DESKTOP, owner, reinterpret_cast<POINT*>(&now), 2);
      if (EqualRect(&now, &rect)) continue;
    }
    MoveWindow(control, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, TRUE);
  }
}

bool CursorOverControl(HWND owner, int id) {
  RECT rect;
  POINT cursor;
  return GetWindowRect(GetDlgItem(owner, id), &rect) && GetCursorPos(&cursor) &&
         PtInRect(&rect, cursor);
}

uint16_t PickLanguage(LanguageState* state) {
  return PickLanguage(state, static_cast<uint16_t>(GetSystemDefaultLangID()));
}

int LoadLanguageString(const LanguageState& state, int32_t index, char* buffer,
                       int size) {
  return LoadStringA(ModuleInstance(),
                     static_cast<UINT>(state.stringBase + index), buffer, size);
}

}  // namespace tachy
