// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoverySetUnit.h"

#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "par2/RecoveryPackets.h"

#include <algorithm>
#include <string_view>

namespace {
std::string NumberPadded(std::uint32_t value, std::size_t width) {
  std::string text = std::to_string(value);
  return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}
} // namespace

std::uint64_t ChooseSliceSize(std::span<const std::uint64_t> fileSizes) {
  constexpr std::uint64_t TargetSlices = 2000;
  constexpr std::uint64_t Smallest = 4096;
  std::uint64_t total = 0;
  for (const std::uint64_t size : fileSizes)
    total += size;
  std::uint64_t sliceSize =
      std::max(Smallest, RoundUp((total + TargetSlices - 1) / TargetSlices, 4));
  // Many small files take a slice each however large slices are: grow until they fit.
  for (int i = 0; i < 64; ++i) {
    std::uint64_t slices = 0;
    for (const std::uint64_t size : fileSizes)
      slices += SlicesOf(size, sliceSize);
    if (slices <= par2::MaximumSourceSlices)
      break;
    sliceSize = RoundUp(sliceSize * 2, 4);
  }
  return sliceSize;
}

std::optional<TRecoveryLayout> PlanRecoveryLayout(std::span<const std::uint64_t> fileSizes,
                                                  std::uint64_t sliceSize, unsigned redundancy,
                                                  bool coverLargest) {
  TRecoveryLayout layout;
  layout.SliceSize = sliceSize;
  if (sliceSize == 0)
    return std::nullopt;
  std::uint64_t slices = 0, largest = 0;
  for (const std::uint64_t size : fileSizes) {
    slices += SlicesOf(size, sliceSize);
    largest = std::max(largest, SlicesOf(size, sliceSize));
  }
  if (sliceSize % 4 != 0 || sliceSize > MaximumSliceSize || slices > par2::MaximumSourceSlices)
    return std::nullopt;
  layout.SourceSlices = static_cast<std::uint32_t>(slices);
  // Rounded to the nearest, at least one while there is anything to protect (as par2cmdline).
  std::uint64_t recovery = (slices * redundancy + 50) / 100;
  if (recovery == 0 && slices > 0 && redundancy > 0)
    recovery = 1;
  layout.LargestFileSlices = static_cast<std::uint32_t>(largest); // no more than all
  if (coverLargest)
    recovery = std::max(recovery, largest);
  if (recovery > par2::MaximumRecoverySlices)
    return std::nullopt;
  layout.RecoverySlices = static_cast<std::uint32_t>(recovery);
  // 1, 2, 4, ... slices a volume, the last one taking what is left.
  std::uint32_t first = 0;
  for (std::uint32_t count = 1; 2 * std::uint64_t{count} <= layout.RecoverySlices; count *= 2) {
    layout.Volumes.emplace_back(first, count);
    first += count;
  }
  if (first < layout.RecoverySlices)
    layout.Volumes.emplace_back(first, layout.RecoverySlices - first);
  return layout;
}

std::vector<std::string> RecoveryVolumePaths(const std::string& indexPath,
                                             const TRecoveryLayout& layout) {
  const std::string base = RecoverySetBase(indexPath);
  std::uint32_t highestFirst = 0, highestCount = 0;
  for (const auto& [first, count] : layout.Volumes) {
    highestFirst = std::max(highestFirst, first);
    highestCount = std::max(highestCount, count);
  }
  const std::size_t firstWidth = std::to_string(highestFirst).size();
  const std::size_t countWidth = std::to_string(highestCount).size();
  std::vector<std::string> paths;
  for (const auto& [first, count] : layout.Volumes)
    paths.push_back(base + ".vol" + NumberPadded(first, firstWidth) + "+" +
                    NumberPadded(count, countWidth) + ".par2");
  return paths;
}

namespace {
// ".vol7+8" or ".vol07+08" (first slice, count), or ".vol200-204" (first, end) as ParPar
// names volumes when asked for the standard's naming: a volume's part of its name.
bool IsVolumePart(std::string_view part) {
  if (!part.starts_with(".vol"))
    return false;
  part.remove_prefix(4);
  const std::size_t plus = part.find_first_of("+-");
  const auto digits = [](std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return plus != std::string_view::npos && digits(part.substr(0, plus)) &&
         digits(part.substr(plus + 1));
}
} // namespace

std::string RecoverySetBase(const std::string& par2Path) {
  std::string base = par2Path;
  if (base.ends_with(".par2"))
    base.resize(base.size() - 5);
  if (const std::size_t vol = base.rfind(".vol");
      vol != std::string::npos && IsVolumePart(std::string_view(base).substr(vol)))
    base.resize(vol);
  return base;
}

std::vector<std::string> RecoverySetFiles(const std::string& par2Path) {
  const std::string base = RecoverySetBase(par2Path);
  const std::string folder = FolderPart(base);
  const std::string name = FileNamePart(base);
  std::vector<std::string> files;
  if (const auto entries = ReadFolder(folder.empty() ? "." : folder))
    for (const TFolderEntry& entry : *entries) {
      const std::string_view rest =
          std::string_view(entry.Name).substr(std::min(entry.Name.size(), name.size()));
      // A link is no file of the set: it could name any file of the machine.
      if (!entry.IsFolder && !entry.IsLink && entry.Name.starts_with(name) &&
          rest.ends_with(".par2") &&
          (rest == ".par2" || IsVolumePart(rest.substr(0, rest.size() - 5))))
        files.push_back(folder + entry.Name);
    }
  std::sort(files.begin(), files.end());
  return files;
}

bool RecoveryFilesExist(const std::string& indexPath) {
  return !RecoverySetFiles(indexPath).empty();
}

std::optional<std::string> RecoveryShortfall(const TRecoveryResult& result) {
  const TRecoveryLayout& layout = result.Layout;
  if (layout.RecoverySlices >= layout.LargestFileSlices)
    return std::nullopt;
  return "The recovery files hold " + std::to_string(layout.RecoverySlices) +
         " blocks and the largest file, " + PrintableName(result.LargestFile) + ", takes " +
         std::to_string(layout.LargestFileSlices) +
         ": a reader who loses it cannot rebuild it. A higher redundancy, or recovery files "
         "sized to the largest file (Par2CoverLargestFile=1 in [MenuPrefs] of tamberlon.INI, "
         "the default), can.";
}

std::string RecoveryProblem(const TRecoveryResult& result) {
  switch (result.Outcome) {
  case TRecoveryOutcome::Staged:
    return {};
  case TRecoveryOutcome::Cancelled:
    return "Making the recovery files was cancelled; nothing was saved";
  case TRecoveryOutcome::Unreadable:
    return "This file could not be read for the recovery files; nothing was saved";
  case TRecoveryOutcome::NoMemory:
    return "There is not enough memory to make the recovery files; nothing was saved";
  case TRecoveryOutcome::TooLarge:
    return "The album has more slices than a PAR2 set can hold (32,768); choose a larger block "
           "size; nothing was saved";
  case TRecoveryOutcome::UnsafeName:
    return "The name of this file holds a backslash, a line break or another control character, "
           "which PAR2 clients cannot find; nothing was saved";
  case TRecoveryOutcome::IsInput:
    return "The recovery files would be written over this file they protect; nothing was saved";
  case TRecoveryOutcome::Changed:
    return "This file changed while the recovery files were made from it; nothing was saved";
  case TRecoveryOutcome::NotStaged:
    return result.Write == TWriteResult::Exists
               ? "This recovery file exists already; it was kept, and nothing was saved"
               : "Can't open file for writing";
  }
  return {};
}
