// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzFile.h"
#include "audio/MPEGaudio.h"
#include "audio/TrackInfo.h"
#include "common/Host.h"

namespace {
// Messages are expected (damaged files); they are dropped, not printed.
class TQuietHost : public TPlainHost {
public:
  TMessageResult ShowMessage(TMessageKind, const std::string&) override {
    return TMessageResult::Ok;
  }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TQuietHost host;
  static TInstalledHost installed(host);
  const TFuzzFile file(data, size);
  TMPEGaudio audio;
  audio.Analyze(file.Path());
  (void)audio.Duration();
  (void)audio.BitRate();
  (void)audio.EncoderText();
  MakeTrackInfo(file.Path(), true);
  return 0;
}
