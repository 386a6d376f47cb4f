// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kinds of track file the program reads, listed once: the names a file of each kind
// has and the words a dialog's filter and the record use for it. The open dialog, the
// drop, the folder walk and the readers all walk this table.
#include "common/Host.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TTrackKind { MP3, FLAC, OggVorbis, Opus, M4A };

struct TTrackKindRow {
  TTrackKind Kind;
  std::string_view Format;                    // the record's word for it
  std::string_view FilterName;                // the open dialog's filter, before its patterns
  std::array<std::string_view, 2> Extensions; // lower case with the dot; "" ends the list
};

inline constexpr auto TrackKinds = std::to_array<TTrackKindRow>({
    {TTrackKind::MP3, "MP3", "MP3 Files", {".mp3", ""}},
    {TTrackKind::FLAC, "FLAC", "FLAC Files", {".flac", ""}},
    {TTrackKind::OggVorbis, "Ogg Vorbis", "Ogg Vorbis Files", {".ogg", ".oga"}},
    {TTrackKind::Opus, "Opus", "Opus Files", {".opus", ""}},
    // AAC or ALAC: only the stream tells which.
    {TTrackKind::M4A, "M4A", "M4A Files", {".m4a", ""}},
});

const TTrackKindRow& TrackKindRow(TTrackKind kind);
// The kind a file's name says, by its extension in any case; nothing for another name.
std::optional<TTrackKind> TrackKindOfName(std::string_view name);
// A record's format word is MP3's, or empty (nothing was read).
bool IsMp3Format(std::string_view format);
// "MP3, FLAC, Ogg Vorbis, Opus, M4A": every kind's word, for the faces' texts.
std::string TrackKindList();
// The open dialog's filters: every kind at once ("Audio files"), then each kind, MP3 first,
// then all files.
std::vector<TFileFilter> TrackFileFilters();
