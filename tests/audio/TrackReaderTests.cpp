// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TrackReaderUnit.h"
#include "support/Mp3Builder.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

namespace {
struct TrackReader : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;

  // Good files, a missing one, an empty one and text, in a mixed order.
  std::vector<std::string> Files() {
    std::vector<std::string> paths;
    for (int i = 0; i < 24; ++i) {
      const std::string name = "f" + std::to_string(i) + ".mp3";
      switch (i % 6) {
      case 1:
        paths.push_back(Host.ProgramDir.Path() + "missing" + name);
        break;
      case 3:
        paths.push_back(Host.ProgramDir.Write(name, ""));
        break;
      case 4:
        paths.push_back(Host.ProgramDir.Write(name, std::string(5000 + i, 'x')));
        break;
      default:
        paths.push_back(Host.ProgramDir.Write(
            name, Id3v2Tag(3, Id3v2Frame(3, "TIT2", TextData(0, "T" + std::to_string(i)))) +
                      Frames({.BitRateIndex = 1 + i % 13}, 20 + i)));
      }
    }
    return paths;
  }
};

std::string Summary(const TTrackInfo& t) {
  return t.Title + "|" + std::to_string(t.BitRate) + "|" + std::to_string(t.FileSize) + "|" +
         t.Checksum + "|" + t.DurationText + "|" + t.TagVersion;
}
} // namespace

TEST_F(TrackReader, SameRecordsAndMessagesAsOneThreadInOrder) {
  const std::vector<std::string> paths = Files();
  Host.RecordOnly = true;
  std::vector<std::string> sequential;
  for (const std::string& path : paths)
    sequential.push_back(Summary(*MakeTrackInfo(path, true)));
  const std::vector<std::string> sequentialCalls = Host.Calls;
  Host.Calls.clear();

  // With an idle callback the calling thread waits for the workers; without, it reads too.
  for (const bool idle : {false, true})
    for (unsigned threads : {1u, 2u, 5u}) {
      SCOPED_TRACE(testing::Message() << threads << " threads, idle callback " << idle);
      std::vector<std::string> parallel;
      std::vector<std::size_t> order;
      TTrackReaderCallbacks callbacks;
      callbacks.Deliver = [&](std::size_t index, std::unique_ptr<TTrackInfo> record) {
        order.push_back(index);
        parallel.push_back(Summary(*record));
      };
      if (idle)
        callbacks.Idle = [](const TReadProgress&) {
          return true;
        };
      EXPECT_EQ(ReadTracks(paths, true, callbacks, threads), paths.size());
      EXPECT_EQ(parallel, sequential);
      EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
      EXPECT_EQ(Host.Calls, sequentialCalls);
      Host.Calls.clear();
    }
}

TEST_F(TrackReader, CancelKeepsWhatWasDelivered) {
  const std::vector<std::string> paths = Files();
  std::size_t delivered = 0;
  TTrackReaderCallbacks callbacks;
  callbacks.Deliver = [&](std::size_t, std::unique_ptr<TTrackInfo>) {
    ++delivered;
  };
  callbacks.Idle = [&](const TReadProgress& progress) {
    return progress.FilesDone < 3;
  };
  Host.RecordOnly = true;
  EXPECT_EQ(ReadTracks(paths, false, callbacks), 3u);
  EXPECT_EQ(delivered, 3u);
}

TEST_F(TrackReader, ProgressCountsTheBytesChecksummed) {
  const std::string big = Host.ProgramDir.Write("big.bin", std::string(3 << 20, 'x'));
  const std::string small = Host.ProgramDir.Write("small.bin", std::string(1 << 20, 'y'));
  TReadProgress last;
  TTrackReaderCallbacks callbacks;
  callbacks.Idle = [&](const TReadProgress& progress) {
    EXPECT_GE(progress.BytesDone, last.BytesDone);
    last = progress;
    return true;
  };
  ReadTracks({big, small}, true, callbacks);
  EXPECT_EQ(last.BytesTotal, 4u << 20);
  EXPECT_EQ(last.BytesDone, 4u << 20);
  EXPECT_DOUBLE_EQ(last.Fraction(), 1.0);
  EXPECT_EQ(ReadTracks({}, true, callbacks), 0u);
}
