// JPEG by libjpeg-turbo, decoded straight into the picture's rows. libjpeg
// reports errors by calling error_exit, which would end the process; ours
// jumps back to the decoder instead, so corrupt data is just a failure.
// jpeglib.h uses FILE without including its header.
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "pictures/exif.h"
#include "pictures/jpeg_structure.h"
#include "pictures/picture_sink.h"
#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

constexpr int kBatchRows = 16;
// libjpeg's own working memory is capped: a progressive picture keeps all
// its coefficients until the last scan (see jpeg_structure.h).
constexpr long kMaxDecoderMemory = static_cast<long>(kMaxJpegDecoderMemory);

enum class Stop { None, Error, Truncated, TooManyScans };

struct JpegJob {
  // The error manager comes first so that libjpeg's pointer to it is also a
  // pointer to the job.
  jpeg_error_mgr errors{};
  jpeg_decompress_struct cinfo{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  Stop stop = Stop::None;
  char message[JMSG_LENGTH_MAX] = {};
  bool reading_rows = false;  // in the scanline loop (else headers or scans)
  struct {
    bool seen = false;
    bool while_reading_rows = false;
    int scan = 0;
    JDIMENSION row = 0;
  } eof;
  std::string failure;  // a reason found outside libjpeg (size, colour space)
  int orientation = 1;
  PictureView view;  // what the caller will look at
  PictureSink picture;
  std::vector<unsigned char> cmyk;  // rows of a CMYK picture before conversion
  std::string colour_profile;       // the ICC profile of APP2 segments, if any
};

JpegJob& job_of(j_common_ptr cinfo) {
  return *reinterpret_cast<JpegJob*>(cinfo->err);
}

[[noreturn]] void on_error(j_common_ptr cinfo) {
  JpegJob& job = job_of(cinfo);
  job.stop = Stop::Error;
  (*cinfo->err->format_message)(cinfo, job.message);
  std::longjmp(job.jump, 1);
}

// Warnings about damaged data are survived as libjpeg does. The end of the
// data is noted: libjpeg goes on with made-up grey, which is fine for a file
// that lost only its end marker but not for one cut in the middle.
void on_message(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  JpegJob& job = job_of(cinfo);
  if (cinfo->err->msg_code == JWRN_JPEG_EOF && !job.eof.seen) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    job.eof = {true, job.reading_rows, d->input_scan_number, d->output_scanline};
  }
  cinfo->err->num_warnings++;
}

void on_progress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxJpegScans) {
    JpegJob& job = job_of(cinfo);
    job.stop = Stop::TooManyScans;
    std::longjmp(job.jump, 1);
  }
}

// Huffman-coded sequential data needs at least two bits per 8 x 8 block (a DC
// code and an end of block), so a file shorter than that is cut off, and its
// picture need not be allocated.
bool may_hold_all_blocks(const jpeg_decompress_struct& c, size_t file_bytes) {
  if (c.progressive_mode || c.arith_code) return true;
  uint64_t blocks = 0;
  for (int i = 0; i < c.num_components; ++i) {
    blocks += uint64_t{c.comp_info[i].width_in_blocks} * c.comp_info[i].height_in_blocks;
  }
  return blocks * 2 <= uint64_t{file_bytes} * 8;
}

// The profile a colour picture's APP2 segments hold together. A CMYK
// picture's describes inks, which convert_cmyk_row turns into RGB by a plain
// formula: it no longer applies, and is left out.
void read_colour_profile(JpegJob& job) {
  JOCTET* profile = nullptr;
  unsigned int length = 0;
  if (!jpeg_read_icc_profile(&job.cinfo, &profile, &length) || profile == nullptr) return;
  std::unique_ptr<JOCTET, decltype(&std::free)> owned(profile, &std::free);
  job.colour_profile.assign(reinterpret_cast<const char*>(profile), length);
}

void read_orientation(JpegJob& job) {
  for (jpeg_saved_marker_ptr m = job.cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1) continue;
    int o = exif_orientation({reinterpret_cast<const char*>(m->data), m->data_length});
    if (o != 1) {
      job.orientation = o;
      return;
    }
  }
}

// Everything that may end in a longjmp lives here; it keeps its state in the
// job, never in locals that need destroying.
bool run(JpegJob& job, std::string_view bytes) {
  jpeg_decompress_struct& c = job.cinfo;
  if (setjmp(job.jump)) return false;
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&c, JPEG_APP0 + 1, 0xFFFF);
  jpeg_save_markers(&c, JPEG_APP0 + 2, 0xFFFF);
  if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK) {
    job.failure = "JPEG file holds no picture";
    return false;
  }
  job.failure = picture_size_problem(c.image_width, c.image_height);
  if (!job.failure.empty()) return false;
  if (!may_hold_all_blocks(c, bytes.size())) {
    job.stop = Stop::Truncated;
    return false;
  }
  read_orientation(job);
  // A turned picture is decoded whole and kept in part once it is upright.
  job.picture = PictureSink(job.orientation == 1 ? job.view : PictureView{});
  const bool cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
  if (!cmyk) read_colour_profile(job);
  if (cmyk) {
    c.out_color_space = JCS_CMYK;
  } else if (c.jpeg_color_space == JCS_GRAYSCALE || c.jpeg_color_space == JCS_RGB ||
             c.jpeg_color_space == JCS_YCbCr) {
    c.out_color_space = JCS_EXT_BGRX;
  } else {
    job.failure = "unsupported JPEG colour space";
    return false;
  }
  c.progress = &job.progress;
  c.mem->max_memory_to_use = kMaxDecoderMemory;
  jpeg_start_decompress(&c);
  const int width = static_cast<int>(c.output_width), height = static_cast<int>(c.output_height);
  job.failure = job.picture.begin(width, height);
  if (!job.failure.empty()) return false;
  // Rows go straight into a whole picture; a partly kept one takes them
  // one at a time through the sink's row.
  const int batch = job.picture.keeps_everything() ? kBatchRows : 1;
  if (cmyk) job.cmyk.resize(size_t{4} * c.output_width * kBatchRows);
  JSAMPROW rows[kBatchRows];
  job.reading_rows = true;
  while (c.output_scanline < c.output_height) {
    const int top = static_cast<int>(c.output_scanline);
    const int n = std::min(batch, height - top);
    for (int i = 0; i < n; ++i) {
      rows[i] = cmyk ? job.cmyk.data() + size_t{4} * c.output_width * i
                     : reinterpret_cast<JSAMPROW>(job.picture.row(top + i));
    }
    const int got = static_cast<int>(jpeg_read_scanlines(&c, rows, static_cast<JDIMENSION>(n)));
    if (got <= 0) {
      job.stop = Stop::Truncated;
      return false;
    }
    for (int i = 0; i < got; ++i) {
      uint32_t* row = job.picture.row(top + i);
      if (cmyk) {
        convert_cmyk_row(rows[i], row, width, c.saw_Adobe_marker);
      } else {
        // libjpeg may put anything in the fourth byte; ours is always 0.
        for (int x = 0; x < width; ++x) row[x] &= 0xFFFFFF;
      }
      job.picture.row_done(top + i);
    }
  }
  return true;
}

// Whether the data ran out before the picture was whole. Rows are decoded an
// iMCU row or two ahead of output, so an end met that close to the bottom
// is only the missing end marker; a progressive file is whole enough once
// its first scan is complete.
bool cut_short(const JpegJob& job) {
  if (!job.eof.seen) return false;
  const jpeg_decompress_struct& c = job.cinfo;
  if (!job.eof.while_reading_rows) return job.eof.scan <= 1;
  const JDIMENSION lookahead = 2 * static_cast<JDIMENSION>(c.max_v_samp_factor) * DCTSIZE;
  return job.eof.row + lookahead < c.output_height;
}

}  // namespace

PictureResult decode_jpeg(std::string_view bytes, const PictureView& view) {
  auto job = std::make_unique<JpegJob>();
  job->view = view;
  job->cinfo.err = jpeg_std_error(&job->errors);
  job->errors.error_exit = on_error;
  job->errors.emit_message = on_message;
  job->progress.progress_monitor = on_progress;
  bool ok = false;
  try {
    ok = run(*job, bytes);
  } catch (const std::bad_alloc&) {
    jpeg_destroy_decompress(&job->cinfo);
    return PictureResult::failure("out of memory for the JPEG picture");
  }
  const bool truncated = cut_short(*job);
  jpeg_destroy_decompress(&job->cinfo);
  if (truncated || (!ok && job->eof.seen)) return PictureResult::failure("truncated JPEG data");
  if (ok) {
    return upright_picture(job->picture.finish(), job->orientation, view,
                           std::move(job->colour_profile));
  }
  switch (job->stop) {
    case Stop::Truncated:
      return PictureResult::failure("truncated JPEG data");
    case Stop::TooManyScans:
      return PictureResult::failure("too many JPEG scans");
    case Stop::Error:
      if (job->errors.msg_code == JERR_OUT_OF_MEMORY) {
        return PictureResult::failure("out of memory for the JPEG picture");
      }
      // libjpeg asks for a temporary file once its memory limit is reached.
      if (job->errors.msg_code == JERR_NO_BACKING_STORE) {
        return PictureResult::failure("JPEG picture needs more than " +
                                      std::to_string(kMaxDecoderMemory >> 20) + " MB to decode");
      }
      return PictureResult::failure(std::string("corrupt JPEG data (") + job->message + ")");
    case Stop::None:
      break;
  }
  return PictureResult::failure(job->failure);
}

}  // namespace vs
