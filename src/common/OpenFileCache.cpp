// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/OpenFileCache.h"

#include <cerrno>

TReadOnlyFile* TOpenFileCache::Get(const std::string& name) {
  for (auto it = Held.begin(); it != Held.end(); ++it)
    if (it->first == name) {
      Held.splice(Held.begin(), Held, it);
      return &Held.front().second;
    }
  // A descriptor is freed before the next is asked for.
  if (Held.size() >= Capacity)
    Held.pop_back();
  auto file = Opener(name);
  if (!file)
    return nullptr;
  Held.emplace_front(name, std::move(*file));
  return &Held.front().second;
}
