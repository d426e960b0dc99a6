// Control positions of the refresh-rate dialog per language, and the string
// indexes it uses.
//
// Portable: no Windows header, no runtime.
#pragma once

#include <stdint.h>

#include "page/language.h"

namespace tachy {

// The fifteen resolution labels and lists and the link check box. The other
// controls of template 502 keep their places in every language. The lists'
// height is that of the closed control (12); the template's 110 is the
// extent of the opened list, which moving keeps.
constexpr int kRefreshLayoutRows = 31;
extern const ControlLayoutRow kRefreshLayoutEnglish[kRefreshLayoutRows];
extern const ControlLayoutRow kRefreshLayoutOther[kRefreshLayoutRows];

// English table for language 9, the other-language table for every other.
const ControlLayoutRow* RefreshLayoutFor(uint16_t language);

// String indexes of the dialog within a language block.
enum RefreshStringIndex : int32_t {
  kStrRefreshCaption = 22,
  kStrRefreshGroup = 23,     // group box 1059
  kStrChoiceAdapter = 24,    // the three choice words
  kStrChoiceDefault = 25,
  kStrChoiceOptimal = 26,
  kStrRefreshFirstControl = 27,  // 27..39: kRefreshTextControls in order
};

// The controls that take indexes 27..39, in that order.
constexpr int kRefreshTextControlCount = 13;
extern const int32_t kRefreshTextControls[kRefreshTextControlCount];

}  // namespace tachy
