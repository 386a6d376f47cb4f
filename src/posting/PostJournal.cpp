// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/PostJournal.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "posting/PostPlan.h"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr std::string_view Magic = "tamberlon-post-journal 1 ";
constexpr std::size_t MaximumJournal = std::size_t{64} << 20;
constexpr std::string_view SendingWord = "sending";

std::string Checked(const std::string& line) {
  return line + " " +
         CRC32Text(UpdateCRC32(
             0, std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
}

// The line without its checksum, when the checksum holds.
std::optional<std::string> Believed(const std::string& line) {
  const std::size_t blank = line.rfind(' ');
  if (blank == std::string::npos)
    return std::nullopt;
  std::string body = line.substr(0, blank);
  if (Checked(body) != line)
    return std::nullopt;
  return body;
}

// A Message-ID as a server takes it (RFC 5536): in angle brackets, printable, at most 250.
bool WellFormedId(const std::string& id) {
  return id.size() >= 3 && id.size() <= 250 && id.front() == '<' && id.back() == '>' &&
         std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 127; });
}

template <typename TNumber> bool Number(const std::string& text, TNumber& value, int base) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}
} // namespace

TPostJournal::~TPostJournal() {
  if (Descriptor >= 0)
    close(Descriptor);
}

void TPostJournal::ReadLines(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line); // the header, already judged
  while (std::getline(lines, line)) {
    const auto body = Believed(line);
    if (!body)
      continue;
    // "index sending <id>", or "index bytes crc <id>" for an accepted article.
    std::istringstream fields(*body);
    std::size_t article = 0;
    std::string kind, crc;
    TAccepted accepted;
    if (!(fields >> article >> kind) || article >= Articles)
      continue;
    if (kind == SendingWord) {
      if (fields >> accepted.MessageId && WellFormedId(accepted.MessageId)) {
        Records.erase(article);
        SendingIds[article] = accepted.MessageId;
      }
    } else if (fields >> crc >> accepted.MessageId && WellFormedId(accepted.MessageId) &&
               Number(kind, accepted.Bytes, 10) && Number(crc, accepted.PartCrc, 16)) {
      SendingIds.erase(article);
      Records[article] = accepted;
    }
  }
}

std::optional<TProblem> TPostJournal::Open(const std::string& path, const std::string& key,
                                           std::size_t articles) {
  JournalPath = path;
  Articles = articles;
  if (FileExists(path)) {
    const auto text = ReadFileBytes(path);
    const std::size_t end = text ? text->find('\n') : std::string::npos;
    const auto header = end == std::string::npos ? std::nullopt : Believed(text->substr(0, end));
    if (!text || text->size() > MaximumJournal || !header || !header->starts_with(Magic))
      return TProblem{"This post journal cannot be read; remove it to post anew", path};
    std::istringstream fields(header->substr(Magic.size()));
    std::string journalKey;
    fields >> journalKey >> PostSeed;
    if (journalKey != key)
      return TProblem{"This post journal belongs to a post of other files or other settings (the "
                      "article size, the newsgroups, obfuscation): post with those to continue "
                      "it; removed, every article is posted again",
                      path};
    ReadLines(*text);
    WasThere = true;
    Descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    // Two runs posting one release would each put its articles on the server.
    if (Descriptor >= 0 && flock(Descriptor, LOCK_EX | LOCK_NB) != 0) {
      close(Descriptor);
      Descriptor = -1;
      return TProblem{"This release is being posted by another run now; nothing was posted", path};
    }
  } else {
    PostSeed = RandomToken(32);
    Descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (Descriptor >= 0 &&
        (flock(Descriptor, LOCK_EX | LOCK_NB) != 0 ||
         !WriteToDescriptor(Descriptor,
                            Checked(std::string(Magic) + key + " " + PostSeed) + "\n") ||
         fsync(Descriptor) != 0)) {
      close(Descriptor);
      Descriptor = -1;
      unlink(path.c_str());
    }
  }
  if (Descriptor < 0)
    return TProblem{"The post journal could not be written, so the post could not be resumed "
                    "if it stopped; nothing was posted",
                    path};
  return std::nullopt;
}

bool TPostJournal::Record(std::size_t article, const TAccepted& accepted) {
  SendingIds.erase(article);
  Records[article] = accepted;
  const std::string line = Checked(std::to_string(article) + " " + std::to_string(accepted.Bytes) +
                                   " " + CRC32Text(accepted.PartCrc) + " " + accepted.MessageId);
  return WriteToDescriptor(Descriptor, line + "\n");
}

bool TPostJournal::RecordSending(std::size_t article, const std::string& messageId) {
  Records.erase(article);
  SendingIds[article] = messageId;
  // On disk before the article goes: a power cut must not forget an ID the server may hold.
  return WriteToDescriptor(Descriptor, Checked(std::to_string(article) + " " +
                                               std::string(SendingWord) + " " + messageId) +
                                           "\n") &&
         fdatasync(Descriptor) == 0;
}

void TPostJournal::Remove() {
  if (Descriptor >= 0)
    close(Descriptor);
  Descriptor = -1;
  unlink(JournalPath.c_str());
}
