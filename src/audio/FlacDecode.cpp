// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FlacDecode.h"

#include "audio/CRC32Unit.h"
#include "audio/FlacMetadata.h"
#include "common/FileUnit.h"

#include <FLAC/stream_decoder.h>
#include <algorithm>
#include <memory>

namespace {
// What the decoder's callbacks share for one file.
struct TDecoding {
  TReadOnlyFile* File = nullptr;
  std::int64_t Offset = 0;
  const TFlacDecodeHooks* Hooks = nullptr;
  TFlacDecodeResult Result;
};

FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                   void* client) {
  auto& d = *static_cast<TDecoding*>(client);
  if (d.Hooks->Cancelled && d.Hooks->Cancelled->load()) {
    d.Result.Stopped = true;
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  }
  const auto got = d.File->ReadAt(d.Offset, std::span(buffer, *bytes));
  if (!got)
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  *bytes = *got;
  d.Offset += static_cast<std::int64_t>(*got);
  if (d.Hooks->BytesRead)
    d.Hooks->BytesRead(*got);
  return *got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                   : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                     const FLAC__int32* const channels[], void* client) {
  auto& d = *static_cast<TDecoding*>(client);
  if (!d.Result.Info)
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT; // no stream information that makes sense
  d.Result.Samples += frame->header.blocksize;
  // A frame whose layout is not the stream's (a damaged stream) is counted, not heard.
  if (d.Hooks->Frame && frame->header.channels == d.Result.Stream.Channels)
    d.Hooks->Frame(d.Result.Stream, channels, frame->header.blocksize);
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
  auto& d = *static_cast<TDecoding*>(client);
  if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
    return;
  const auto& info = block->data.stream_info;
  d.Result.Info = SensibleFlacStream(info.sample_rate, info.channels);
  d.Result.Stream = {info.sample_rate, info.channels, info.bits_per_sample, info.total_samples,
                     std::any_of(std::begin(info.md5sum), std::end(info.md5sum),
                                 [](FLAC__byte b) { return b != 0; })};
}

void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
  static_cast<TDecoding*>(client)->Result.FrameErrors = true;
}

struct TDecoderDeleter {
  void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};
} // namespace

TFlacDecodeResult DecodeFlacFile(const std::string& path, const TFlacDecodeHooks& hooks) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return {};
  const TCrcOfWhatIsRead crc(*file, hooks.FileCrc, hooks.Cancelled);
  const std::unique_ptr<FLAC__StreamDecoder, TDecoderDeleter> decoder(FLAC__stream_decoder_new());
  TDecoding d{&*file, 0, &hooks, {}};
  if (!decoder)
    return {};
  FLAC__stream_decoder_set_md5_checking(decoder.get(), hooks.CheckMd5);
  if (FLAC__stream_decoder_init_stream(decoder.get(), Read, nullptr, nullptr, nullptr, nullptr,
                                       Write, Metadata, Error,
                                       &d) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    return {};
  d.Result.Opened = true;
  d.Result.Decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder.get()) != 0;
  d.Result.Md5Matches = FLAC__stream_decoder_finish(decoder.get()) != 0;
  return d.Result;
}
