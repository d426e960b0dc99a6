// Moving controls by a layout table, and the Windows side of the language.
#include "page/layout_win.h"

#include "shellext/module_win.h"

namespace tachy {

void ApplyLayout(HWND owner, const ControlLayoutRow* table, int rows) {
  for (int i = 0; i < rows; ++i) {
    const ControlLayoutRow& row = table[i];
    RECT rect;
    SetRect(&rect, row.x, row.y, row.x + row.width, row.y + row.height);
    MapDialogRect(owner, &rect);
    MoveWindow(GetDlgItem(owner, row.id), rect.left, rect.top,
               rect.right - rect.left, rect.bottom - rect.top, TRUE);
  }
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
