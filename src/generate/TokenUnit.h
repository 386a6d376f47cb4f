// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every token and marker of the template language, defined once.
#include <array>
#include <string_view>

namespace token {
// Album tokens, in the order in which they are replaced.
inline constexpr std::string_view Artist = "$ARTIST";
inline constexpr std::string_view Album = "$ALBUM";
inline constexpr std::string_view Source = "$SOURCE";
inline constexpr std::string_view Year = "$YEAR";
inline constexpr std::string_view Genre = "$GENRE";
inline constexpr std::string_view Label = "$LABEL";
inline constexpr std::string_view Encoder = "$ENCODER";
inline constexpr std::string_view Codec = "$CODEC";
inline constexpr std::string_view BitRate = "$BIT_RATE";
inline constexpr std::string_view SampleRate = "$SAMPLE_RATE";
inline constexpr std::string_view BitsPerSample = "$BITS_PER_SAMPLE";
inline constexpr std::string_view Stereo = "$STEREO";
inline constexpr std::string_view Quality = "$QUALITY";
inline constexpr std::string_view ID3Version = "$ID3_VERSION";
inline constexpr std::string_view PostedBy = "$POSTED_BY";
inline constexpr std::string_view PostDate = "$POST_DATE";
inline constexpr std::string_view RippedBy = "$RIPPED_BY";
inline constexpr std::string_view RipDate = "$RIP_DATE";
inline constexpr std::string_view Cover = "$COVER";
inline constexpr std::string_view LogScore = "$LOG_SCORE";
inline constexpr std::string_view LogSummary = "$LOG_SUMMARY";
inline constexpr std::string_view RipperDrive = "$RIPPER_DRIVE";
inline constexpr std::string_view AccurateRip = "$ACCURATERIP";
inline constexpr std::string_view LogMatch = "$LOG_MATCH";
inline constexpr std::string_view DiscCount = "$DISC_COUNT";
inline constexpr std::string_view Dr = "$DR";
inline constexpr std::string_view Loudness = "$LOUDNESS";
inline constexpr std::string_view AlbumGain = "$ALBUM_GAIN";
inline constexpr std::string_view TrackCount = "$TRACK_COUNT";
inline constexpr std::string_view PlayingTime = "$PLAYING_TIME";
inline constexpr std::string_view TotalSize = "$TOTAL_SIZE";
inline constexpr std::string_view TotalBytes = "$TOTAL_BYTES";
inline constexpr std::string_view NfoName = "$NFO_NAME";
inline constexpr std::string_view NfoVersion = "$NFO_VERSION";
inline constexpr std::string_view NfoDate = "$NFO_DATE";
inline constexpr std::string_view NfoTime = "$NFO_TIME";
inline constexpr std::string_view NfoUrl = "$NFO_URL";
inline constexpr std::string_view PostingPolicy = "$POSTING_POLICY";

// Track block tokens, in their replacement order.
inline constexpr std::string_view TrackNumber = "$TRACK_NUMBER";
inline constexpr std::string_view TrackTitle = "$TRACK_TITLE";
inline constexpr std::string_view TrackArtist = "$TRACK_ARTIST";
inline constexpr std::string_view TrackFileName = "$TRACK_FILENAME";
inline constexpr std::string_view TrackFileSize = "$TRACK_FILESIZE";
inline constexpr std::string_view TrackFileBytes = "$TRACK_FILEBYTES";
inline constexpr std::string_view TrackDuration = "$TRACK_DURATION";
inline constexpr std::string_view TrackChecksum = "$TRACK_CHECKSUM";
inline constexpr std::string_view DiscNumber = "$DISC_NUMBER";
inline constexpr std::string_view TrackDr = "$TRACK_DR";
inline constexpr std::string_view TrackGain = "$TRACK_GAIN";
inline constexpr std::string_view TrackCutoff = "$TRACK_CUTOFF";
inline constexpr std::string_view TrackQuality = "$TRACK_QUALITY";
inline constexpr std::array<std::string_view, 13> TrackTokens = {
    TrackNumber,    TrackTitle,    TrackArtist,   TrackFileName, TrackFileSize,
    TrackFileBytes, TrackDuration, TrackChecksum, DiscNumber,    TrackDr,
    TrackGain,      TrackCutoff,   TrackQuality};

// The album's other files' block tokens, in their replacement order.
inline constexpr std::string_view ExtraFileName = "$EXTRA_FILENAME";
inline constexpr std::string_view ExtraFileSize = "$EXTRA_FILESIZE";
inline constexpr std::string_view ExtraFileBytes = "$EXTRA_FILEBYTES";
inline constexpr std::string_view ExtraChecksum = "$EXTRA_CHECKSUM";
inline constexpr std::array<std::string_view, 4> ExtraTokens = {ExtraFileName, ExtraFileSize,
                                                                ExtraFileBytes, ExtraChecksum};

// Newsgroup block tokens, in their replacement order.
inline constexpr std::string_view GroupNumber = "$GROUP_NUMBER";
inline constexpr std::string_view GroupName = "$GROUP_NAME";
inline constexpr std::array<std::string_view, 2> GroupTokens = {GroupNumber, GroupName};

// Markers.
inline constexpr std::string_view ForEachTrack = "@FOR_EACH_TRACK";
inline constexpr std::string_view EndTrack = "@END_TRACK";
inline constexpr std::string_view ForEachExtra = "@FOR_EACH_EXTRA";
inline constexpr std::string_view EndExtra = "@END_EXTRA";
inline constexpr std::string_view ForEachNewsgroup = "@FOR_EACH_NEWSGROUP";
inline constexpr std::string_view EndNewsgroup = "@END_NEWSGROUP";
inline constexpr std::string_view Right = "@RIGHT";
// Lines written only when an album token among them has a value.
inline constexpr std::string_view IfValue = "@IF_VALUE";
inline constexpr std::string_view EndIf = "@END_IF";
} // namespace token
