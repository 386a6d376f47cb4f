// SPDX-License-Identifier: GPL-3.0-or-later
// tamberlon-cli repair: the files of a .par2's set made whole again.
#include "cli/DocumentCommands.h"

#include "common/TextUnit.h"
#include "par2/RecoveryRepairUnit.h"
#include "platform/ConsoleHost.h"

namespace {
int RunRepair(const TCliArguments& arguments, TCliContext& context) {
  const std::string& path = arguments.Operands.front();
  TRepairSettings settings;
  if (context.ShowProgress)
    settings.Progress = [&context, shown = -1, last = TRepairPhase::Checking](
                            TRepairPhase phase, std::uint64_t done, std::uint64_t total) mutable {
      const int percent = total ? static_cast<int>(done * 100 / total) : 100;
      if (percent != shown || phase != last)
        context.Err << "\r" << (phase == TRepairPhase::Checking ? "Checking " : "Repairing ")
                    << (shown = percent) << "%" << std::flush;
      last = phase;
      return true;
    };
  const TRepairResult result = RepairRecoverySet(path, settings);
  if (context.ShowProgress)
    context.Err << "\r\x1b[K" << std::flush;
  for (const TRecoveryFileCheck& file : result.Before.Files)
    context.Out << RecoveryFileLine(file) << "\n";
  for (const TRepairedFile& file : result.Repaired) {
    context.Out << PrintableName(file.Name) << " ";
    if (!file.FoundAs.empty())
      context.Out << "renamed back from " << PrintableName(file.FoundAs) << "\n";
    else
      context.Out << "REPAIRED (" << file.RebuiltSlices
                  << (file.RebuiltSlices == 1 ? " block rebuilt)\n" : " blocks rebuilt)\n");
  }
  const bool clean = result.Outcome == TRepairOutcome::Repaired ||
                     result.Outcome == TRepairOutcome::NothingToRepair;
  if (clean)
    context.Out << RepairSummary(result) << "\n";
  else
    context.Err << ConsoleLine("", RepairSummary(result));
  return clean ? 0 : 1;
}
} // namespace

TCliCommand RepairCommand() {
  return {.Name = "repair",
          .Summary = "rebuild the damaged and missing files of a .par2's set",
          .Operands = "FILE.par2",
          .Description =
              "Checks the files of the set (as check does), then rebuilds each damaged or "
              "missing file from its intact blocks and the recovery blocks in the set's files "
              "beside it, and renames back a file found under another name (the same length "
              "and MD5). The rebuilt files are put in place together, only when every block "
              "rebuilt matches the set's checksums and every file, read back before it is put "
              "in place, matches the set whole; else the file that does not is named and "
              "nothing is changed. When the set holds too few recovery blocks, it says how many "
              "more are needed and changes nothing. Only regular files inside the set's folder "
              "are read, written or renamed: a file to repair that is a link, lies behind a "
              "linked folder or outside the folder, is no regular file (a folder, pipe or "
              "device) or has no file's name is named and nothing is changed. Exit status 0 "
              "when every file is intact at the end.",
          .MinimumOperands = 1,
          .MaximumOperands = 1,
          .Run = RunRepair};
}
