// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files read by name again and again, a few held open at once: a set of thousands of files
// is read within the process's descriptor limit, each opened again when it is needed again.
#include "common/FileUnit.h"

#include <cstddef>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <utility>

class TOpenFileCache {
public:
  using TOpener = std::function<std::optional<TReadOnlyFile>(const std::string& name)>;
  TOpenFileCache(std::size_t capacity, TOpener opener)
      : Capacity(capacity ? capacity : 1), Opener(std::move(opener)) {}

  // The file by its name, opened now if it is not held (the least recently read closed
  // first when too many are); nothing, with errno, when it cannot be opened.
  TReadOnlyFile* Get(const std::string& name);

private:
  std::size_t Capacity;
  TOpener Opener;
  std::list<std::pair<std::string, TReadOnlyFile>> Held; // the most recently read first
};
