// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp4Atoms.h"

#include "common/ByteReader.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {
// The atoms TagLib (1.13) reads the children of.
constexpr std::array<std::string_view, 11> Containers = {
    "moov", "udta", "mdia", "meta", "ilst", "stbl", "minf", "moof", "traf", "trak", "stsd"};
// The children that show a "meta" atom without the version and flags of a full atom.
constexpr std::array<std::string_view, 5> BareMetaChildren = {"hdlr", "ilst", "mhdr", "ctry",
                                                              "lang"};

bool IsOneOf(std::string_view name, std::span<const std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

struct TAtom {
  std::int64_t End = 0;       // the first byte after it
  std::int64_t Children = -1; // where its first child starts; -1 for no container
};

// The atom at the offset, or nothing where TagLib would stop reading (it then seeks to the
// file's end, which ends every enclosing level too).
std::optional<TAtom> AtomAt(TReadOnlyFile& file, std::int64_t offset) {
  std::array<std::uint8_t, 16> bytes{};
  const std::size_t got = file.ReadAt(offset, bytes).value_or(0);
  const TByteReader header(std::span(bytes.data(), got));
  if (got < 8)
    return std::nullopt;
  std::int64_t length = header.U32BE(0);
  std::int64_t body = offset + 8;
  if (length == 1) { // a 64-bit length follows the name
    const std::uint64_t wide = (std::uint64_t{header.U32BE(8)} << 32) | header.U32BE(12);
    if (got < 16 || wide > static_cast<std::uint64_t>(INT64_MAX))
      return std::nullopt;
    length = static_cast<std::int64_t>(wide);
    body += 8;
  } else if (length == 0) { // the last atom, to the file's end
    length = file.Size() - offset;
  }
  if (length < 8)
    return std::nullopt;
  // Past the end, a level would read to the file's end: held there, which never takes
  // fewer steps than TagLib takes.
  TAtom atom{offset + std::min(length, file.Size() - offset), -1};
  const std::string name = header.Text(4, 4);
  if (!IsOneOf(name, Containers))
    return atom;
  atom.Children = body;
  if (name == "meta") {
    std::array<std::uint8_t, 8> next{};
    const std::size_t nextGot = file.ReadAt(body, next).value_or(0);
    const TByteReader child(std::span(next.data(), nextGot));
    if (!IsOneOf(child.Text(4, 4), BareMetaChildren))
      atom.Children += 4; // a full atom's version and flags
  } else if (name == "stsd") {
    atom.Children += 8; // version, flags and the entry count
  }
  return atom;
}
} // namespace

bool Mp4AtomTreeWithinLimits(TReadOnlyFile& file) {
  // The open levels, each with where its next child starts and where it ends. A level
  // done leaves its parent where its last child ended, as TagLib's reading position is.
  struct TLevel {
    std::int64_t Next;
    std::int64_t End;
  };
  std::vector<TLevel> levels = {{0, file.Size()}};
  int atoms = 0;
  while (!levels.empty()) {
    TLevel& level = levels.back();
    // The top level reads an atom only while its 8-byte header fits.
    const bool top = levels.size() == 1;
    if (level.Next >= level.End || (top && level.Next + 8 > level.End)) {
      const std::int64_t reached = level.Next;
      levels.pop_back();
      if (!levels.empty())
        levels.back().Next = std::max(levels.back().Next, reached);
      continue;
    }
    const auto atom = AtomAt(file, level.Next);
    if (!atom)
      return true; // TagLib stops reading here
    if (++atoms > MaximumAtoms)
      return false;
    level.Next = atom->End;
    if (atom->Children >= 0) {
      if (static_cast<int>(levels.size()) > MaximumAtomDepth)
        return false;
      levels.push_back({atom->Children, atom->End});
    }
  }
  return true;
}
