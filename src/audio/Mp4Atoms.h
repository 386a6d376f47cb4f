// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A look at an MP4 file's atom tree before TagLib reads it: TagLib builds the tree by
// recursion, one call per level of nesting the file claims, so a file nesting its boxes
// 100,000 deep exhausts the stack. The walk here follows TagLib's rules for which atoms
// hold others (with the same steps over "meta" and "stsd" headers) without recursing,
// and refuses a tree deeper or larger than any audio file has.
#include "common/FileUnit.h"

// No album track nests its atoms more than about ten deep (moov, trak, mdia, minf, stbl,
// stsd, ...; moov, udta, meta, ilst, item, data), nor holds more than a few thousand
// (fragmented files: a handful per fragment).
inline constexpr int MaximumAtomDepth = 32;
inline constexpr int MaximumAtoms = 100000;

// True when TagLib may build the file's atom tree: no deeper and no larger than the limits.
bool Mp4AtomTreeWithinLimits(TReadOnlyFile& file);
