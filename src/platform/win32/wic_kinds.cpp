// PNG and TIFF, which come with Windows, and WebP, HEIF and AVIF, which come
// with the image extensions from the Microsoft Store, all by the Windows
// Imaging Component (wic_frame.h). A system without a kind's decoder is told
// by the reason which extension to install. Our own readers (png_structure.h,
// tiff_structure.h, webp_structure.h, heif_structure.h) look at a file
// before WIC does, as they do before the Linux edition's libraries.
#include <string>

#include "pictures/exif.h"
#include "pictures/heif_structure.h"
#include "pictures/png_structure.h"
#include "pictures/tiff_structure.h"
#include "pictures/webp_structure.h"
#include "platform/win32/wic_frame.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

namespace {

constexpr WicKind kPng{PictureKind::Png, &GUID_ContainerFormatPng, ""};
constexpr WicKind kTiff{PictureKind::Tiff, &GUID_ContainerFormatTiff, ""};
constexpr WicKind kWebp{PictureKind::Webp, &GUID_ContainerFormatWebp,
                        "install \"Webp Image Extensions\" from the Microsoft Store"};
constexpr WicKind kHeif{
    PictureKind::Heif, &GUID_ContainerFormatHeif,
    "install \"HEIF Image Extensions\" and \"HEVC Video Extensions\" from the Microsoft Store"};
// Windows decodes AVIF by its HEIF decoder, with the AV1 codec the
// extension brings.
constexpr WicKind kAvif{PictureKind::Avif, &GUID_ContainerFormatHeif,
                        "install \"AV1 Video Extension\" from the Microsoft Store"};

// Where a TIFF's orientation lies: IFD0's tag 274, as in a photo's EXIF.
constexpr wchar_t kTiffOrientation[] = L"/ifd/{ushort=274}";

// What our own reading of a file found, and what the system's decoder is
// asked for on top.
struct Reading {
  StructureCheck structure{};
  // A HEIF file's size as shown, turned by its irot: the decoder may give
  // the picture as stored (and say how to turn it) or already turned.
  bool size_may_be_turned = false;
  int orientation = 1;                // from our own reading, or:
  bool tiff_orientation = false;      // the decoder's TIFF orientation tag
  bool heif_orientation = false;      // the decoder's HEIF orientation
  std::string_view colour_profile{};  // our reading's; else the decoder's
};

// A file of the kind: the system's decoder is asked for first, so that a
// system without one says so whatever the file holds; then our own reading
// of the file, then the system's decoding.
PictureResult decode_frame(std::string_view bytes, const PictureView& view, const WicKind& kind,
                           const Reading& reading) {
  WicFrame frame;
  if (std::string why = frame.find_decoder(kind); !why.empty()) return PictureResult::failure(why);
  const StructureCheck& structure = reading.structure;
  if (!structure.problem.empty()) return PictureResult::failure(structure.problem);
  if (std::string why =
          frame.open(bytes, structure.width, structure.height, reading.size_may_be_turned);
      !why.empty()) {
    return PictureResult::failure(why);
  }
  int orientation = reading.orientation;
  if (reading.tiff_orientation) orientation = frame.orientation_at(kTiffOrientation);
  if (reading.heif_orientation) orientation = frame.heif_orientation();
  PictureResult result = read_frame_picture(frame, orientation, view);
  if (result.ok && !reading.colour_profile.empty()) {
    result.colour_profile = std::string(reading.colour_profile);
  }
  return result;
}

}  // namespace

PictureResult decode_png(std::string_view bytes, const PictureView& view) {
  const PngStructure png = read_png_structure(bytes);
  return decode_frame(bytes, view, kPng, {.structure = png, .orientation = png.orientation});
}

PictureResult decode_tiff(std::string_view bytes, const PictureView& view) {
  return decode_frame(bytes, view, kTiff,
                      {.structure = read_tiff_structure(bytes), .tiff_orientation = true});
}

PictureResult decode_webp(std::string_view bytes, const PictureView& view) {
  const WebpStructure webp = read_webp_structure(bytes);
  return decode_frame(bytes, view, kWebp,
                      {.structure = webp,
                       .orientation = exif_block_orientation(webp.exif),
                       .colour_profile = webp.icc_profile});
}

PictureResult decode_heif(std::string_view bytes, const PictureView& view) {
  return decode_frame(bytes, view, kHeif,
                      {.structure = read_heif_structure(bytes),
                       .size_may_be_turned = true,
                       .heif_orientation = true});
}

PictureResult decode_avif(std::string_view bytes, const PictureView& view) {
  return decode_frame(bytes, view, kAvif,
                      {.structure = read_heif_structure(bytes),
                       .size_may_be_turned = true,
                       .heif_orientation = true});
}

}  // namespace vs
