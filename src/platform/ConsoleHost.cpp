#include "platform/ConsoleHost.h"

#include "platform/QtRegionalSettings.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstdio>

namespace {
QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

TConsoleHost::TConsoleHost() : Settings(SystemRegionalSettings()) {}

int TConsoleHost::CompareIgnoringCase(std::string_view a, std::string_view b) {
  if (!Collator) {
    Collator = std::make_unique<QCollator>(QLocale::system());
    Collator->setCaseSensitivity(Qt::CaseInsensitive);
  }
  return Collator->compare(ToQString(a), ToQString(b));
}

std::string TConsoleHost::UpperCase(std::string_view text) {
  return QLocale::system().toUpper(ToQString(text)).toStdString();
}

TMessageResult TConsoleHost::ShowMessage(TMessageKind kind, const std::string& text) {
  return ShowFileMessage(kind, text, "");
}

TMessageResult TConsoleHost::ShowFileMessage(TMessageKind kind, const std::string& text,
                                             const std::string& path) {
  // Errors make the run unsuccessful; the tool never asks questions of its own.
  if (kind == TMessageKind::Confirmation)
    return TMessageResult::No;
  Shown += kind == TMessageKind::Error;
  std::string line = MessageLines(text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::fprintf(stderr, "tamberlon-cli: %s%s%s\n", path.c_str(), path.empty() ? "" : ": ",
               line.c_str());
  return TMessageResult::Ok;
}

std::string TConsoleHost::ShortDateText(TDateTime value) {
  return QtShortDateText(value);
}

std::string TConsoleHost::ShortTimeText(TDateTime value) {
  return QtShortTimeText(value);
}
