// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's queue of albums to post, kept in a file of the program's folder so that it
// outlives the program: each album's .nfo, its newsgroups and poster, where it stands and
// what its last post said, and whether the queue is paused. The file is written whole; a
// file damaged or written by hand is read as far as its lines make sense.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* PostQueueFileName = "postqueue.txt";

enum class TQueueState {
  Waiting, // to be posted, or to go on from its journal
  Posting, // under way (read back as Waiting: the program ended meanwhile)
  Posted,
  Failed
};

struct TQueuedAlbum {
  std::string NfoPath;
  std::vector<std::string> Groups;
  std::string From;
  TQueueState State = TQueueState::Waiting;
  std::string Note; // the last post's result, or why it failed
  bool operator==(const TQueuedAlbum&) const = default;
};

struct TPostQueue {
  std::vector<TQueuedAlbum> Albums;
  bool Paused = false;
  std::size_t Dropped = 0; // lines of the file that were not understood
  bool operator==(const TPostQueue&) const = default;
};

// The queue's state word, as the file and the window say it.
std::string_view QueueStateWord(TQueueState state);

std::string PostQueueText(const TPostQueue& queue);
// Lines that make no sense are dropped and counted; at most MaxQueuedAlbums are read.
TPostQueue ReadPostQueueText(std::string_view text);
inline constexpr std::size_t MaxQueuedAlbums = 10000;

// A missing file is an empty queue.
TPostQueue ReadPostQueue(const std::string& path);
bool WritePostQueue(const std::string& path, const TPostQueue& queue);
