// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One album scenario shared by the window's end-to-end test and the command-line tool's:
// the real fixture files in a folder, and the document both must write for them.
#include <string>
#include <vector>

// Copies the fixture MP3s into the folder (dated 1 December 2026, noon) and returns their
// paths in reverse order (a dialog's order means nothing).
std::vector<std::string> PrepareFixtureAlbum(const std::string& folder);

// The lines of the ".nfo" for that album with ripper "Ripper", poster "Poster", the two
// newsgroups below, the various-artists template and the scripted host's clock.
std::vector<std::string> ExpectedFixtureAlbumNfo();
inline const std::vector<std::string> FixtureAlbumGroups = {"alt.binaries.sounds.mp3",
                                                            "alt.binaries.sounds.mp3.full_albums"};
