// What a picture decoder process sends back, on both editions: a header,
// then the reason, or the kept columns and rows and the kept pixels (the
// view's subset, as PictureResult holds it); and the view, as the
// decoder's argument carries it. Every number of an answer is checked
// before what it sizes is allocated: the decoder may be a hostile
// picture's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/picture.h"
#include "core/picture_fit.h"

namespace vs {

// What the decoder writes first; the reason, or the kept columns, rows and
// pixels follow it.
struct DecoderAnswerHeader {
  static constexpr uint32_t kMagic = 0x41445356;  // "VSDA"
  uint32_t magic = kMagic;
  uint32_t ok = 0;
  int32_t width = 0;  // the whole picture's size
  int32_t height = 0;
  uint32_t cols = 0;  // kept columns and rows; both 0 for a whole picture
  uint32_t rows = 0;
  uint32_t reason_bytes = 0;
};

// The answer up to its pixels: the header and the reason, or the header and
// the kept columns and rows.
std::string decoder_answer_head(const PictureResult& r);
// The pixels that follow the head, straight from the picture (none for a
// failure).
std::string_view decoder_answer_pixels(const PictureResult& r);
// The whole answer: the head, then the pixels.
std::string encode_decoder_answer(const PictureResult& r);

// An answer read as it comes, in pieces of any size: room() is where the
// next bytes go (empty once no more are wanted), took(n) says that n bytes
// came there. The pixels go straight into the picture.
class DecoderAnswerReader {
 public:
  explicit DecoderAnswerReader(const PictureView& view) : view_(view) {}

  std::span<char> room() { return part().subspan(got_); }
  void took(size_t bytes);
  // The result, once the answer has ended: "picture decoder sent a damaged
  // answer" when it ended early or was damaged.
  PictureResult finish();

 private:
  enum class Stage { Header, Reason, Lists, Pixels, Done };

  size_t pixel_count() const;
  std::span<char> part();
  void clear_fourth_bytes();
  void damaged();
  void next_stage();
  void read_header();
  void read_lists();
  void start_pixels(int width, int height);

  const PictureView view_;
  Stage stage_ = Stage::Header;
  size_t got_ = 0;  // bytes of the stage's part so far
  size_t cleared_ = 0;
  DecoderAnswerHeader header_;
  std::vector<char> reason_;
  std::vector<int> lists_;
  PictureResult result_;
};

// A whole answer held in memory, read the same way.
PictureResult read_decoder_answer(std::string_view answer, const PictureView& view);
// The most a sound answer for the view can hold: a view's fit never reads
// more pixels than its box has.
size_t largest_decoder_answer(const PictureView& view);

// The view as the decoder's argument ("--view=WxH:full"), and back; a
// whole picture has no argument, and one that does not parse is the whole
// picture.
std::string view_argument(const PictureView& view);
PictureView parse_view_argument(std::string_view text);

}  // namespace vs
