// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/PostingPolicyUnit.h"

#include "common/ErrorsUnit.h"
#include "common/ShellOpenUnit.h"
#include "common/TextListUnit.h"

#include <vector>

std::optional<TProblem> WriteDefaultPostingPolicy(const std::string& path) {
  if (WriteTextList(
          path, std::vector<std::string>(DefaultPostingPolicy.begin(), DefaultPostingPolicy.end())))
    return std::nullopt;
  return TProblem{std::string(ErrorMessage(ecCreatePostingPolicy)), path};
}

std::optional<TProblem> EditPostingPolicy() {
  return OpenProgramFile(PostingPolicyFileName, WriteDefaultPostingPolicy);
}
