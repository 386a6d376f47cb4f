// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AvcodecLibrary.h"

#include <dlfcn.h>
#include <optional>

namespace {
const std::string Major = std::to_string(LIBAVCODEC_VERSION_MAJOR);

template <typename TFunction> bool Bind(void* library, const char* name, TFunction& function) {
  function = reinterpret_cast<TFunction>(dlsym(library, name));
  return function != nullptr;
}

// libavutil's functions come through libavcodec's handle, which loads it as a dependency.
bool BindAll(void* library, TAvcodec& f) {
  return Bind(library, "avcodec_find_decoder", f.FindDecoder) &&
         Bind(library, "avcodec_alloc_context3", f.AllocContext) &&
         Bind(library, "avcodec_free_context", f.FreeContext) &&
         Bind(library, "avcodec_open2", f.Open) &&
         Bind(library, "avcodec_send_packet", f.SendPacket) &&
         Bind(library, "avcodec_receive_frame", f.ReceiveFrame) &&
         Bind(library, "av_packet_alloc", f.PacketAlloc) &&
         Bind(library, "av_packet_free", f.PacketFree) &&
         Bind(library, "av_new_packet", f.NewPacket) &&
         Bind(library, "av_packet_unref", f.PacketUnref) &&
         Bind(library, "av_frame_alloc", f.FrameAlloc) &&
         Bind(library, "av_frame_free", f.FrameFree) && Bind(library, "av_mallocz", f.Mallocz) &&
         Bind(library, "av_sample_fmt_is_planar", f.SampleFormatIsPlanar) &&
         Bind(library, "av_get_packed_sample_fmt", f.PackedSampleFormat);
}

std::optional<TAvcodec> Load() {
  // Kept open for the program's life: the decoders may run again on any thread.
  void* library = dlopen(("libavcodec.so." + Major).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library)
    return std::nullopt;
  TAvcodec functions{};
  decltype(&av_log_set_level) setLogLevel = nullptr;
  if (!BindAll(library, functions) || !Bind(library, "av_log_set_level", setLogLevel)) {
    dlclose(library); // another build of the same major version, lacking one
    return std::nullopt;
  }
  setLogLevel(AV_LOG_QUIET);
  return functions;
}
} // namespace

const TAvcodec* LoadAvcodec() {
  static const std::optional<TAvcodec> loaded = Load();
  return loaded ? &*loaded : nullptr;
}

std::string AvcodecMissing(std::string_view codec) {
  return std::string(codec) + " decoding needs libavcodec (package libavcodec" + Major + ")";
}
