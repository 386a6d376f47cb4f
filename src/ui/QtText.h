// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt text from and to the core's UTF-8.
#include <QString>
#include <string>

inline QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

inline std::string FromQt(const QString& text) {
  return text.toStdString();
}
