#include "platform/ConsoleHost.h"

#include "platform/QtRegionalSettings.h"

TConsoleHost::TConsoleHost() : Settings(SystemRegionalSettings()) {}

TMessageResult TConsoleHost::ShowMessage(TMessageKind kind, const std::string& text) {
  ++Shown;
  return TPlainHost::ShowMessage(kind, text);
}

std::string TConsoleHost::ShortDateText(TDateTime value) {
  return QtShortDateText(value);
}

std::string TConsoleHost::ShortTimeText(TDateTime value) {
  return QtShortTimeText(value);
}
