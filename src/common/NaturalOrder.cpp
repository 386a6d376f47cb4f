// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/NaturalOrder.h"

#include "common/Host.h"

#include <algorithm>

namespace {
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The run that starts at `at`: all digits or no digit.
std::string_view RunAt(std::string_view text, std::size_t at) {
  const bool digits = IsDigit(text[at]);
  std::size_t end = at;
  while (end < text.size() && IsDigit(text[end]) == digits)
    ++end;
  return text.substr(at, end - at);
}

// Numbers of any length: without their leading zeros, the longer is the larger.
int CompareNumbers(std::string_view a, std::string_view b) {
  const auto significant = [](std::string_view n) {
    const std::size_t first = n.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : n.substr(first);
  };
  const std::string_view x = significant(a), y = significant(b);
  if (x.size() != y.size())
    return x.size() < y.size() ? -1 : 1;
  return x.compare(y);
}

int CompareNaturally(std::string_view a, std::string_view b) {
  THost& host = CurrentHost();
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const std::string_view x = RunAt(a, i), y = RunAt(b, j);
    const int order =
        IsDigit(x[0]) && IsDigit(y[0]) ? CompareNumbers(x, y) : host.CompareIgnoringCase(x, y);
    if (order != 0)
      return order;
    i += x.size();
    j += y.size();
  }
  if ((i < a.size()) != (j < b.size()))
    return i < a.size() ? 1 : -1;
  return a.compare(b); // "01" and "1", "a" and "A": still one order, the same every time
}
} // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  return CompareNaturally(a, b) < 0;
}

void SortNaturally(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
}
