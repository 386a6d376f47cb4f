#include "platform/Host.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {
THost* Installed = nullptr;
} // namespace

const char* MessageCaption(TMessageKind kind) {
  switch (kind) {
  case TMessageKind::Error:
    return "Error";
  case TMessageKind::Information:
    return "Information";
  case TMessageKind::Confirmation:
    return "Confirm";
  }
  return "";
}

TMessageResult TPlainHost::ShowMessage(TMessageKind kind, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", MessageCaption(kind), text.c_str());
  return kind == TMessageKind::Confirmation ? TMessageResult::No : TMessageResult::Ok;
}

TRegionalSettings TPlainHost::RegionalSettings() {
  return {};
}

std::string TPlainHost::ProgramFile() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

THost& CurrentHost() {
  static TPlainHost plain;
  return Installed ? *Installed : plain;
}

TInstalledHost::TInstalledHost(THost& host) : Previous(Installed) {
  Installed = &host;
}

TInstalledHost::~TInstalledHost() {
  Installed = Previous;
}
