// One step of the slide show: the next picture of the play order is loaded
// into Pic_Orgn and fitted into Master, to the screen or at its own size.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "platform/platform.h"
#include "saver/saver_form.h"
#include "settings/module_state.h"
#include "settings/play_order.h"

namespace vs {

using PictureLoader =
    std::function<PictureResult(const std::string& path, const PictureView& view)>;

// Advances Play_Pos, clears Master, loads File_List(Play_Order(Play_Pos))
// into Pic_Orgn and fits it into Master by Set_Size. A file that cannot be
// loaded leaves Pic_Orgn as it was, so the previous picture is fitted again
// (and under the own-size rule for pictures within the screen Master stays
// black). After the last position the play order is rebuilt (when there is
// more than one picture) and Play_Pos goes back to 0.
void Next_Picture(SaverForm& f, Varnoscape_B& m, const PictureLoader& load, RandomSource& rng);
void Next_Picture(SaverForm& f, Varnoscape_B& m, Platform& p, RandomSource& rng);

// The same in two halves, so that the loading between them can run while
// input is answered. The first advances Play_Pos, clears Master and names
// the file to load (nothing when the play order has no such entry); the
// second takes what the load gave and fits it.
std::optional<std::string> begin_next_picture(SaverForm& f, const Varnoscape_B& m);
void finish_next_picture(SaverForm& f, Varnoscape_B& m, PictureResult loaded, RandomSource& rng);

// What the fit will read of the pictures: decoders keep no more of them.
PictureView saver_view(const SaverForm& f, const Varnoscape_B& m);

}  // namespace vs
