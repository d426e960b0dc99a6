// Moving a window's controls by a ControlLayoutTable, and the Windows side
// of the language choice.
#pragma once

#include <windows.h>

#include "page/language.h"

namespace tachy {

// For every row in table order: the row's rectangle in dialog units is
// mapped to pixels with MapDialogRect on `owner`, and the control
// GetDlgItem(owner, id) is moved there with MoveWindow(..., TRUE), unless
// it already stands on exactly that rectangle.
void ApplyLayout(HWND owner, const ControlLayoutRow* table, int rows);

// Whether the cursor (GetCursorPos) lies in the screen rectangle
// (GetWindowRect) of the owner's control `id`: where the gestures happen.
bool CursorOverControl(HWND owner, int id);

// PickLanguage with the system's GetSystemDefaultLangID().
uint16_t PickLanguage(LanguageState* state);

// LoadStringA(ModuleInstance(), state.stringBase + index, buffer, size).
int LoadLanguageString(const LanguageState& state, int32_t index,
                       char* buffer, int size);

}  // namespace tachy
