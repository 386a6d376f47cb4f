// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/PostingPolicyUnit.h"

#include "common/ErrorsUnit.h"
#include "common/ShellOpenUnit.h"
#include "common/TextListUnit.h"

#include <vector>

void WriteDefaultPostingPolicy(const std::string& path) {
  if (!WriteTextList(
          path, std::vector<std::string>(DefaultPostingPolicy.begin(), DefaultPostingPolicy.end())))
    ShowError(ecCreatePostingPolicy, path);
}

void EditPostingPolicy() {
  OpenProgramFile(PostingPolicyFileName, WriteDefaultPostingPolicy);
}
