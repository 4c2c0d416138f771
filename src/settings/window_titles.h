// The titles of the program's two main windows: each shows what it is, and
// a new copy of the program finds the running one by them.
#pragma once

#include <array>

#include "core/texts.h"

namespace vs {

// The saver screen.
inline constexpr const char* kSaverTitle = "Varnoscape_Main";
// The settings dialog, in each language it speaks: a copy started in one
// language finds the dialog another opened in the other.
inline std::array<const char*, 2> dialog_titles() {
  return {texts_for(Language::Japanese).dialog_title, texts_for(Language::English).dialog_title};
}

}  // namespace vs
