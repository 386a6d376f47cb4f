// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/NzbDocument.h"
#include "generate/DocumentKinds.h"
#include "generate/SaveDocumentsUnit.h"

#include "common/GzipUnit.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {
// Text as XML character data or an attribute value: valid UTF-8, markup characters as
// references, and the control characters XML 1.0 cannot carry dropped.
std::string Xml(const std::string& text) {
  std::string out;
  for (const char c : SanitizeUtf8(text)) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
        out += c;
    }
  }
  return out;
}

// A Message-ID without its angle brackets, as NZB segments hold it.
std::string Bare(const std::string& messageId) {
  if (messageId.size() >= 2 && messageId.front() == '<' && messageId.back() == '>')
    return messageId.substr(1, messageId.size() - 2);
  return messageId;
}
} // namespace

std::string NzbText(const TNzbRelease& release) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" "
                    "\"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
                    "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n"
                    " <head>\n";
  const std::pair<const char*, const std::string*> meta[] = {{"title", &release.Title},
                                                             {"tag", &release.Meta.Tag},
                                                             {"category", &release.Meta.Category},
                                                             {"password", &release.Meta.Password}};
  for (const auto& [type, value] : meta)
    if (!value->empty() || value == &release.Title)
      out += "  <meta type=\"" + std::string(type) + "\">" + Xml(*value) + "</meta>\n";
  out += " </head>\n";
  std::string groups = "  <groups>\n";
  for (const std::string& group : release.Groups)
    groups += "   <group>" + Xml(group) + "</group>\n";
  groups += "  </groups>\n";
  for (const TNzbFile& file : release.Files) {
    if (file.Segments.empty())
      continue;
    out += " <file poster=\"" + Xml(release.Poster) + "\" date=\"" + std::to_string(release.Date) +
           "\" subject=\"" + Xml(file.Subject) + "\">\n" + groups + "  <segments>\n";
    for (const TNzbSegment& segment : file.Segments)
      out += "   <segment bytes=\"" + std::to_string(segment.Bytes) + "\" number=\"" +
             std::to_string(segment.Number) + "\">" + Xml(Bare(segment.MessageId)) + "</segment>\n";
    out += "  </segments>\n </file>\n";
  }
  return out + "</nzb>\n";
}

namespace {
// XML's five entities and numeric references; anything else kept as it stands.
std::string Unescape(std::string_view text) {
  static constexpr std::pair<std::string_view, char> Named[] = {
      {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const std::string_view rest = text.substr(i + 1);
    bool replaced = false;
    for (const auto& [name, c] : Named)
      if (rest.starts_with(name)) {
        out += c;
        i += name.size();
        replaced = true;
        break;
      }
    if (!replaced && rest.starts_with('#')) {
      const std::size_t end = rest.find(';');
      const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
      const std::string_view digits = end == std::string_view::npos
                                          ? std::string_view{}
                                          : rest.substr(hex ? 2 : 1, end - (hex ? 2 : 1));
      char32_t code = 0;
      bool valid = !digits.empty() && digits.size() <= 8;
      for (const char d : digits) {
        const int value = d >= '0' && d <= '9'          ? d - '0'
                          : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                          : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                        : -1;
        valid = valid && value >= 0;
        code = code * (hex ? 16 : 10) + static_cast<char32_t>(value < 0 ? 0 : value);
      }
      if (valid && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
        AppendUtf8(out, code);
        i += end + 1;
        replaced = true;
      }
    }
    if (!replaced)
      out += '&';
  }
  return out;
}

// The value of name="..." (or '...') among a start tag's attributes.
std::string Attribute(std::string_view tag, std::string_view name) {
  for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    const bool starts = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                   tag[at - 1] == '\n' || tag[at - 1] == '\r');
    std::size_t i = at + name.size();
    while (i < tag.size() && tag[i] == ' ')
      ++i;
    if (!starts || i >= tag.size() || tag[i] != '=')
      continue;
    ++i;
    while (i < tag.size() && tag[i] == ' ')
      ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\''))
      continue;
    const std::size_t end = tag.find(tag[i], i + 1);
    if (end != std::string_view::npos)
      return Unescape(tag.substr(i + 1, end - i - 1));
  }
  return {};
}

// One element found by name from a position: its start tag's attributes and its content.
struct TElement {
  std::string_view Tag, Content;
  std::size_t End = std::string_view::npos; // past the closing tag
};

std::optional<TElement> NextElement(std::string_view text, std::string_view name,
                                    std::size_t from) {
  const std::string open = "<" + std::string(name);
  for (std::size_t at = text.find(open, from); at != std::string_view::npos;
       at = text.find(open, at + 1)) {
    const std::size_t after = at + open.size();
    if (after >= text.size() || (text[after] != '>' && text[after] != ' ' && text[after] != '\t' &&
                                 text[after] != '\n' && text[after] != '\r' && text[after] != '/'))
      continue;
    const std::size_t tagEnd = text.find('>', after);
    if (tagEnd == std::string_view::npos)
      return std::nullopt;
    TElement element;
    element.Tag = text.substr(after, tagEnd - after);
    if (text[tagEnd - 1] == '/') { // empty element
      element.End = tagEnd + 1;
      return element;
    }
    const std::string close = "</" + std::string(name) + ">";
    const std::size_t closeAt = text.find(close, tagEnd + 1);
    if (closeAt == std::string_view::npos)
      return std::nullopt;
    element.Content = text.substr(tagEnd + 1, closeAt - tagEnd - 1);
    element.End = closeAt + close.size();
    return element;
  }
  return std::nullopt;
}

std::uint64_t Digits(const std::string& text) {
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10)
      return 0;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

// Far above any release's index (a 50 GB release in 700 KB articles has 75,000), far below
// what a small hostile file could make.
constexpr std::size_t MostNzbSegments = 1'000'000;

// A file's entry; none when the NZB holds more segments than any release has.
std::optional<TNzbFile> ReadFile(const TElement& element, TNzbRelease& release,
                                 std::size_t& segments) {
  TNzbFile file;
  file.Subject = OnOneLine(Attribute(element.Tag, "subject"));
  if (release.Poster.empty())
    release.Poster = OnOneLine(Attribute(element.Tag, "poster"));
  if (release.Date == 0)
    release.Date = static_cast<std::int64_t>(Digits(Attribute(element.Tag, "date")) & INT64_MAX);
  if (release.Groups.empty())
    if (const auto groups = NextElement(element.Content, "groups", 0))
      for (auto group = NextElement(groups->Content, "group", 0); group;
           group = NextElement(groups->Content, "group", group->End))
        release.Groups.push_back(OnOneLine(Unescape(TrimControl(group->Content))));
  for (auto segment = NextElement(element.Content, "segment", 0); segment;
       segment = NextElement(element.Content, "segment", segment->End)) {
    const std::string id = Unescape(TrimControl(segment->Content));
    const bool printable = std::all_of(
        id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7F && c != '<' && c != '>'; });
    if (id.empty() || !printable)
      continue; // not a Message-ID a command can carry
    if (++segments > MostNzbSegments)
      return std::nullopt;
    TNzbSegment read;
    read.Bytes = Digits(Attribute(segment->Tag, "bytes"));
    read.Number = static_cast<int>(
        std::min<std::uint64_t>(Digits(Attribute(segment->Tag, "number")), 1000000000));
    read.MessageId = "<" + id + ">";
    file.Segments.push_back(std::move(read));
  }
  return file;
}
} // namespace

std::optional<TNzbRelease> ReadNzb(std::string_view text) {
  const auto nzb = NextElement(text, "nzb", 0);
  if (!nzb)
    return std::nullopt;
  TNzbRelease release;
  std::size_t segments = 0;
  const std::pair<const char*, std::string*> fields[] = {{"title", &release.Title},
                                                         {"tag", &release.Meta.Tag},
                                                         {"category", &release.Meta.Category},
                                                         {"password", &release.Meta.Password}};
  for (auto meta = NextElement(nzb->Content, "meta", 0); meta;
       meta = NextElement(nzb->Content, "meta", meta->End))
    for (const auto& [type, field] : fields)
      if (field->empty() && Attribute(meta->Tag, "type") == type)
        *field = OnOneLine(Unescape(TrimControl(meta->Content))); // the first of each
  for (auto file = NextElement(nzb->Content, "file", 0); file;
       file = NextElement(nzb->Content, "file", file->End)) {
    std::optional<TNzbFile> read = ReadFile(*file, release, segments);
    if (!read)
      return std::nullopt;
    if (!read->Segments.empty()) // nothing of it to look up
      release.Files.push_back(std::move(*read));
  }
  if (release.Files.empty())
    return std::nullopt;
  return release;
}

std::optional<TNzbRelease> ReadNzbFileBytes(std::string_view bytes) {
  if (bytes.size() > LargestNzbBytes)
    return std::nullopt;
  if (!IsGzip(bytes))
    return ReadNzb(bytes);
  const auto text = GunzipBytes(bytes, LargestNzbBytes);
  return text ? ReadNzb(*text) : std::nullopt;
}

bool IsCompressedNzbPath(std::string_view path) {
  return path.size() > 3 && path.substr(path.size() - 3) == ".gz";
}

namespace {
TMade MakeNzb(const TMakeJob& job) {
  if (!job.Request.Posted) {
    TMade made;
    made.Result = SaveFailure("An .nzb is made only by posting the release", job.Path);
    return made;
  }
  if (!IsCompressedNzbPath(job.Path))
    return StagedDocument(job, NzbText(*job.Request.Posted));
  const auto compressed = GzipBytes(NzbText(*job.Request.Posted));
  if (!compressed) {
    TMade made;
    made.Result = SaveFailure("The .nzb could not be compressed; nothing was saved", job.Path);
    return made;
  }
  return StagedDocument(job, *compressed);
}
} // namespace

const TDocumentKind document::NzbKind{.Role = TDocumentRole::Nzb,
                                      .Name = ".nzb",
                                      .Extension = ".nzb",
                                      .Exists = ::FileExists,
                                      .Make = MakeNzb,
                                      .MadeBy = TDocumentKind::Post,
                                      .Posted = TDocumentKind::NotPosted};
