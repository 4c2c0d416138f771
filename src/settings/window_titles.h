// The titles of the program's two main windows: each shows what it is, and
// a new copy of the program finds the running one by them.
#pragma once

namespace vs {

// The saver screen.
inline constexpr const char* kSaverTitle = "Varnoscape_Main";
// The settings dialog.
inline constexpr const char* kDialogTitle = "Varnoscapeの設定";

}  // namespace vs
