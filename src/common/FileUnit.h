// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File access for the readers: positioned reads of an open file, with a small cache so
// that the many short reads of a tag cost one system call.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TReadOnlyFile {
public:
  // Opens a readable regular file at once; nothing for a folder, device or pipe (whose
  // open or reading may never end).
  static std::optional<TReadOnlyFile> Open(const std::string& path);
  // The same of a file already open (a name opened below a folder): the descriptor is the
  // file's now, closed with it or at once when it is no regular file.
  static std::optional<TReadOnlyFile> OfDescriptor(int descriptor);

  TReadOnlyFile(TReadOnlyFile&& other) noexcept;
  TReadOnlyFile& operator=(TReadOnlyFile&& other) noexcept;
  TReadOnlyFile(const TReadOnlyFile&) = delete;
  TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;
  ~TReadOnlyFile();

  std::int64_t Size() const { return Length; }
  // The last modification, in seconds since 1970 (UTC), as the open found it.
  std::int64_t ModifiedSeconds() const { return Modified; }

  // Reads up to destination.size() bytes at offset; the count read (short at the end of
  // the file), or nothing when the read fails or the offset is negative.
  std::optional<std::size_t> ReadAt(std::int64_t offset, std::span<std::uint8_t> destination);
  // True only when every byte asked for was read.
  bool ReadExactly(std::int64_t offset, std::span<std::uint8_t> destination);

  // Reads sequentially from the start, bypassing the cache (for whole-file checksums).
  std::optional<std::size_t> ReadNext(std::span<std::uint8_t> destination);

  // Hears every stretch ReadAt takes from the file (a window's fill included), so that a
  // checksum can follow another reader; an empty function stops it.
  using TWatcher = std::function<void(std::int64_t offset, std::span<const std::uint8_t> bytes)>;
  void Watch(TWatcher watcher) { Watcher = std::move(watcher); }

private:
  TReadOnlyFile(int descriptor, std::int64_t length, std::int64_t modified);

  // A track is read at its head (tags, first frames) and at its tail (ID3v1 tag, the
  // encoder's name): two windows serve both with one system call each, whatever the
  // file's size.
  static constexpr std::size_t WindowSize = 4096;
  struct TWindow {
    std::int64_t Offset = 0;
    std::size_t Filled = 0;
    bool Valid = false;
  };
  std::optional<std::size_t> ReadHeard(std::int64_t offset, std::span<std::uint8_t> destination);
  std::optional<std::size_t> CopyFromWindow(std::size_t index, std::int64_t offset,
                                            std::span<std::uint8_t> destination);

  int Descriptor = -1;
  std::int64_t Length = 0;
  std::int64_t Modified = 0;
  std::array<TWindow, 2> Windows{};
  std::size_t LastUsed = 0;
  std::unique_ptr<std::uint8_t[]> Cache; // both windows, made on the first cached read
  TWatcher Watcher;
};

// The part after the last "/".
std::string FileNamePart(const std::string& path);
// The folder of a path, with its trailing "/".
std::string FolderPart(const std::string& path);

// A regular file (not a folder) exists at the path.
bool FileExists(const std::string& path);
// A regular file itself, not a symbolic link to one: what a walk may post of a folder
// (a link planted there could name any file of the machine).
bool IsPlainFile(const std::string& path);

// A key that two paths share exactly when they name one file: the device and inode of an
// existing file (links followed), else the real path of its folder and its name.
std::string FileIdentity(const std::string& path);
// What tells a file's content changed without reading it: its identity, size and last
// modification to the nanosecond; nothing when it is not there.
struct TFileStamp {
  std::uint64_t Device = 0, Inode = 0;
  std::int64_t Size = 0, ModifiedNanoseconds = 0;
  // The inode's change time, which no program sets back (a tag editor that keeps the
  // modified time does not hide its write).
  std::int64_t ChangedNanoseconds = 0;
  bool operator==(const TFileStamp&) const = default;
};
std::optional<TFileStamp> FileStampOf(const std::string& path);
// A file given a second name, or moved to another, never over a file that is there (the
// system decides in one step); false (errno set) when the name is taken or the system
// refuses. Each name is relative to its folder's descriptor (AT_FDCWD: a path); no link
// is followed, and a second name is given only to a regular file.
bool LinkWithoutReplacing(int fromFolder, const std::string& from, int toFolder,
                          const std::string& to);
bool RenameWithoutReplacing(int fromFolder, const std::string& from, int toFolder,
                            const std::string& to);
// Writes every byte to an open descriptor (again after an interruption); false on failure.
bool WriteToDescriptor(int descriptor, std::string_view bytes);
// A fresh, hidden name in the folder (with its trailing "/"): the prefix and ten random
// letters, short whatever the name beside it, so that it fits where that one fits.
std::string FreshHiddenName(const std::string& folder, std::string_view prefix);

// The whole content of a regular file; nothing when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::string& path);
// A name that stays inside the folder: relative, no ".." step (either slash counts as a
// separator, as lists from Windows write them).
bool IsNameInsideFolder(std::string_view name);
// The real path of the file a name leads to from the folder (with a trailing "/"), when it
// exists and stays inside the folder, symbolic links followed; otherwise nothing, and
// unsafe says whether the name leads outside (or is no safe name) rather than to nothing.
std::optional<std::string> FileInsideFolder(std::string_view name, const std::string& folder,
                                            bool& unsafe);
// The folder and those above it made where missing; false when it is not a folder after.
bool MakeFolders(const std::string& folder);
// A file's first bytes, limit at most (a file that claims to be a small text may not be).
std::optional<std::string> ReadFileHead(const std::string& path, std::int64_t limit);

// One entry of a folder: a link is told as a link, whatever it names.
struct TFolderEntry {
  std::string Name;
  bool IsFolder = false;
  bool IsLink = false;
};
// The entries of a folder, "." and ".." left out; nothing (errno set) when it cannot be
// read. Never throws.
std::optional<std::vector<TFolderEntry>> ReadFolder(const std::string& folder);
// The same of a folder already open, whose descriptor it takes (and closes).
std::optional<std::vector<TFolderEntry>> ReadOpenFolder(int descriptor);
// A folder is at the path (links followed).
bool IsFolder(const std::string& path);
// A name a track file has: an extension of a kind the program reads, any case.
bool HasTrackExtension(std::string_view name);
// The folder's track files among its entries, as paths, sorted by name.
std::vector<std::string> TracksInFolder(const std::string& folder,
                                        const std::vector<TFolderEntry>& entries);

// "CD1", "CD 2", "Disc 3", "disk_4", "Disc 1 - Title": a folder of one disc of an album,
// and its number; nothing for any other name.
std::optional<unsigned> DiscFolderNumber(std::string_view name);
// A folder without tracks of its own whose disc folders (two or more) hold tracks: those
// folders, in the discs' order (empty for any other folder).
std::vector<std::string> DiscFoldersOf(const std::string& folder,
                                       const std::vector<TFolderEntry>& entries);

// Where an album's documents go: its first track's folder, or above it when that is one of
// the album's disc folders (CD1/) and every track lies below. With its trailing "/".
std::string AlbumFolderOf(const std::vector<std::string>& trackPaths);

// Files stand for themselves; a folder stands for its track files, by name, and a folder
// of disc folders (CD1/, CD2/) for theirs, disc by disc.
std::vector<std::string> ExpandTrackFolders(const std::vector<std::string>& paths);

// What a drop on the track listing chooses: the track files the open dialog would offer
// (a folder stands for its own), each file once however often it came; and what it left out.
struct TDroppedFiles {
  std::vector<std::string> Tracks;
  std::size_t NotTracks = 0; // a cover, a log, a playlist
  std::size_t Repeated = 0;  // the same file again (by itself and in its folder, say)
};
TDroppedFiles SelectDroppedTracks(const std::vector<std::string>& paths);
// "2 files left out: 1 not an audio file, 1 dropped twice", or nothing when none was.
std::string DroppedFilesNote(const TDroppedFiles& dropped);

// Why a path given as a track is no file to read: "no such file", "not a regular file" or
// the system's reason; nothing when it is a regular file.
std::optional<std::string> TrackFileProblem(const std::string& path);

// A file's name as a document at documentPath names it, relative to the document's folder
// ("CD1/01.mp3"); nothing for a file outside that folder. Every document that lists
// tracks names them by this.
std::optional<std::string> NameInFolderOf(const std::string& documentPath, const std::string& path);
