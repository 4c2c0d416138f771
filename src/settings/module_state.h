// The state shared by the forms for the whole life of the process: the
// settings record, the picture catalogue, the play order, the cursor counter,
// the dialog's animation point and the renderer's pixel grid. One object per
// process; tests build a fresh one per case.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/surface.h"

namespace vs {

struct Varnoscape_B {
  // Settings record. Everything starts at zero / empty until loaded.
  int16_t Set_Change = 0;             // 0 sequential, otherwise random
  int16_t Set_Size = 0;               // 0 own size, otherwise full screen
  std::array<int16_t, 4> Set_Kind{};  // bitmap, GIF, JPEG, metafile; 1 = enabled
  std::string Set_Folder;             // UTF-8; empty = none
  int16_t Set_Way = 0;                // 0 dots, 1 lines

  // Picture catalogue: entries in slots 1..File_Count (slot 0 unused).
  int16_t File_Count = 0;
  std::vector<std::string> File_List = std::vector<std::string>(1);
  int16_t File_Attr = 0;  // attribute value of the listing pass under way

  // Play order: slots 1..File_Count hold a permutation of 1..File_Count.
  std::vector<int16_t> Play_Order;

  // The cursor display counter last returned by the system; unset until the
  // first call.
  std::optional<int32_t> Cursor_Count;

  // Pointer position when the settings dialog was loaded.
  int16_t Anim_X = 0;
  int16_t Anim_Y = 0;

  // The renderer's copy of the fitted picture: one BGRX value per pixel.
  Surface Pixel_Grid;
  // The renderer's current pixel, carried into Get_Lightness.
  int16_t Col_R = 0;
  int16_t Col_G = 0;
  int16_t Col_B = 0;
  double Lightness = 0;
};

}  // namespace vs
