// The child's side of the picture decoder process: waits for the picture's
// handle on its pipe, reads the picture from it, decodes it with the
// system's decoders (WIC, with COM set up on this thread, and GDI for
// metafiles), and writes the answer into the section the saver hands it
// for it. The saver ends it then.
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "pictures/decoder_answer.h"
#include "pictures/picture_reasons.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/picture_decoder_process.h"
#include "platform/win32/wic_frame.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

namespace {

// The next blank-separated word of the arguments, moving past it.
std::string_view next_word(std::string_view& text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const size_t end = std::min(text.find(' '), text.size());
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

HANDLE handle_named(std::string_view word) {
  const std::string digits(word);
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits.c_str(), &end, 10);
  if (digits.empty() || *end != '\0' || value == 0) return nullptr;
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

// WIC and GDI loaded while the child waits for its picture, started ahead
// of it: not while the saver waits for the picture.
void load_decoders_ahead() {
  Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&factory)))) {
    for (const GUID& kind : {GUID_ContainerFormatJpeg, GUID_ContainerFormatPng,
                             GUID_ContainerFormatGif, GUID_ContainerFormatTiff}) {
      Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder;
      factory->CreateDecoder(kind, nullptr, &decoder);
    }
  }
  if (HDC dc = CreateCompatibleDC(nullptr)) DeleteDC(dc);
}

PictureResult decode_handed_file(HANDLE file, const PictureView& view) {
  return without_exceptions([&] {
    WholeFile whole = read_opened_handle(file, static_cast<size_t>(kMaxPictureFileBytes));
    if (whole.status != WholeFile::Status::Ok) {
      return PictureResult::failure(unreadable_file_reason(whole));
    }
    CloseHandle(file);  // nothing more is read from it
    return decode_picture(windows_decoders(), whole.bytes, view);
  });
}

bool exchange(HANDLE pipe, DecoderMessage& message, bool sending) {
  DWORD moved = 0;
  const bool done = sending ? WriteFile(pipe, &message, sizeof message, &moved, nullptr)
                            : ReadFile(pipe, &message, sizeof message, &moved, nullptr);
  return done && moved == sizeof message;
}

// The answer put in the section the saver hands over for it; false when
// the exchange broke off.
bool send_answer(HANDLE pipe, const PictureResult& result) {
  const std::string head = decoder_answer_head(result);
  const std::string_view pixels = decoder_answer_pixels(result);
  DecoderMessage message{DecoderMessage::kAnswerBytes, 0, head.size() + pixels.size()};
  if (!exchange(pipe, message, true) || !exchange(pipe, message, false) ||
      message.kind != DecoderMessage::kSection) {
    return false;
  }
  const win32::OwnedHandle section(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(message.value)));
  char* to = static_cast<char*>(
      MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, head.size() + pixels.size()));
  if (!to) return false;
  std::memcpy(to, head.data(), head.size());
  std::memcpy(to + head.size(), pixels.data(), pixels.size());
  UnmapViewOfFile(to);
  message = {DecoderMessage::kAnswered, 0, 0};
  return exchange(pipe, message, true);
}

}  // namespace

int run_picture_decoder(std::string_view arguments) {
  // A crash ends this process at once, with its exception as its status:
  // no dialog waits for a user, and no debugger is started (Wine starts
  // one whatever the error mode says, unless a filter ends the process).
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* crash) -> LONG {
    TerminateProcess(GetCurrentProcess(), crash->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
  });
  if (next_word(arguments) != kDecodePictureSwitch) return 2;
  const HANDLE pipe = handle_named(next_word(arguments));
  if (!pipe) return 2;
  const ComScope com;
  load_decoders_ahead();
  DecoderMessage picture;
  if (!exchange(pipe, picture, false) || picture.kind != DecoderMessage::kPicture) return 2;
  const HANDLE file = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(picture.value));
  const PictureView view = parse_view_argument(
      std::string_view(picture.view, strnlen(picture.view, sizeof picture.view)));
  const PictureResult result = decode_handed_file(file, view);
  return send_answer(pipe, result) ? 0 : 3;
}

}  // namespace vs
