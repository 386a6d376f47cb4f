// SPDX-License-Identifier: GPL-3.0-or-later
// MP3 tracks decoded with libmpg123, which reads the LAME tag's encoder delay and padding and
// leaves them out (its gapless mode).
#include "audio/AudioBlocks.h"
#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"

#include <array>
#include <memory>
#include <mpg123.h>

namespace {
struct TReading {
  TReadOnlyFile* File = nullptr;
  std::int64_t Offset = 0;
  const TAudioDecodeHooks* Hooks = nullptr;
};

mpg123_ssize_t Read(void* handle, void* buffer, size_t bytes) {
  auto& r = *static_cast<TReading*>(handle);
  const auto got = r.File->ReadAt(r.Offset, std::span(static_cast<std::uint8_t*>(buffer), bytes));
  if (!got)
    return -1;
  r.Offset += static_cast<std::int64_t>(*got);
  if (r.Hooks->BytesRead)
    r.Hooks->BytesRead(*got);
  return static_cast<mpg123_ssize_t>(*got);
}

off_t Seek(void* handle, off_t offset, int whence) {
  auto& r = *static_cast<TReading*>(handle);
  const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? r.Offset : r.File->Size();
  const std::int64_t to = base + offset;
  if (to < 0 || to > r.File->Size())
    return -1;
  r.Offset = to;
  return static_cast<off_t>(to);
}

struct THandleDeleter {
  void operator()(mpg123_handle* handle) const {
    mpg123_close(handle);
    mpg123_delete(handle);
  }
};
} // namespace

TAudioDecodeResult decoder::DecodeMp3(const std::string& path, const TAudioDecodeHooks& hooks) {
  TAudioDecodeResult result;
  auto file = TReadOnlyFile::Open(path);
  if (!file) {
    result.Problem = "the file cannot be read";
    return result;
  }
  const TCrcOfWhatIsRead crc(*file, hooks.FileCrc, hooks.Cancelled);
  TReading reading{&*file, 0, &hooks};
  const std::unique_ptr<mpg123_handle, THandleDeleter> handle(mpg123_new(nullptr, nullptr));
  if (!handle ||
      mpg123_param(handle.get(), MPG123_ADD_FLAGS,
                   MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0) != MPG123_OK ||
      mpg123_replace_reader_handle(handle.get(), Read, Seek, nullptr) != MPG123_OK ||
      mpg123_open_handle(handle.get(), &reading) != MPG123_OK) {
    result.Problem = "the MP3 decoder does not start";
    return result;
  }
  TAudioBlocks blocks(hooks, result);
  std::array<float, 1 << 14> buffer{};
  for (;;) {
    if (blocks.Cancelled())
      return result;
    std::size_t done = 0;
    const int status = mpg123_read(handle.get(), reinterpret_cast<unsigned char*>(buffer.data()),
                                   sizeof buffer, &done);
    if (status == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(handle.get(), &rate, &channels, &encoding);
      if (result.Stream.SampleRate != 0 && result.Stream.Channels != unsigned(channels)) {
        result.Problem = "the MPEG stream changes its channels";
        return result;
      }
      result.Stream = {static_cast<unsigned>(rate), static_cast<unsigned>(channels), 0, "MP3"};
      continue;
    }
    if (done > 0 && result.Stream.Channels > 0)
      blocks.Interleaved(buffer.data(),
                         static_cast<unsigned>(done / sizeof(float) / result.Stream.Channels));
    if (status == MPG123_DONE)
      break;
    if (status != MPG123_OK) {
      result.Problem =
          std::string("the MPEG stream does not decode: ") + mpg123_strerror(handle.get());
      return result;
    }
  }
  if (result.Stream.SampleRate == 0)
    result.Problem = "no MPEG audio frame was found";
  return result;
}
