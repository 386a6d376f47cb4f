// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The track record: everything the program knows of one track file, filled by the reader
// of the file's format (see TrackFormatReader.h).
#include "common/DateTimeUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* NoTagTitle = "No ID3 Tag Available";
inline constexpr const char* NoChecksum = "Chksum N/A";
// Between the values of a field a tag holds several of (two ARTIST comments, an ID3v2.4
// list), in every format's record.
inline constexpr std::string_view TagValueSeparator = "; ";

class TTrackInfo {
public:
  std::string TagVersion = "None";
  bool HasTag = false;
  std::string Title = NoTagTitle;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Comment;
  std::string Track;
  std::string Genre;
  std::string EncodedBy;
  std::string Publisher;
  std::string MediaType;
  std::string AlbumArtist;
  bool Compilation = false;
  std::string Disc;
  // The picture the tags hold (the first, or the front cover): "600x600 JPEG"; "" without.
  std::string EmbeddedCover;
  double Duration = 0;
  std::string DurationText;
  std::int64_t FileSize = 0;
  std::int32_t BitRate = 0;
  bool IsVBR = false;
  std::int32_t SampleRate = 0;
  std::int32_t ChannelMode = 0; // MPEG's mode; -1 for a stream that has none
  std::string Checksum = NoChecksum;
  // The file as it was when Checksum was taken: a save refuses a checksum the file has
  // outgrown.
  std::optional<TFileStamp> ChecksumStamp;
  std::string Codec;
  // How the encoder was set, as its own header tells ("-V2" of LAME); "" where it does not.
  std::string EncoderSetting;
  TDateTime FileDate = 0;
  std::string Format;             // the kind's word ("MP3", "FLAC"); empty until it is read
  std::int32_t BitsPerSample = 0; // 0 where the format has none (MP3, Vorbis, AAC)
  std::int32_t Channels = 0;
  // The codec keeps every sample as it was (FLAC, ALAC); not a question of the format
  // alone (M4A holds AAC or ALAC).
  bool Lossless = false;
  // The audio stream was read: the technical fields hold the file's values.
  bool Analysed = false;

  // Reads the file into the record; failures are reported and keep what was filled.
  void Fill(const std::string& path, const std::function<void(TErrorCode)>& report);
};

// How a record is made away from the window's thread.
struct TTrackReading {
  // Failures are collected here, in order; none: not told.
  std::vector<TErrorCode>* Errors = nullptr;
  // Hears of the bytes the checksum reads.
  std::function<void(std::uint64_t)> BytesRead;
  const std::atomic<bool>* Cancelled = nullptr;
};

// A complete record for the path, with its checksum when asked; never fails.
std::unique_ptr<TTrackInfo> MakeTrackInfo(const std::string& path, bool withChecksum,
                                          const TTrackReading& reading = {});
// A file's playing time as read, quietly (a file that does not read is the caller's
// finding, not a message); nothing when it does not read.
std::optional<double> TrackSeconds(const std::string& path);

// The file's checksum text; nothing when the file cannot be read.
std::optional<std::string> FileChecksumText(const std::string& path,
                                            const TTrackReading& reading = {});
