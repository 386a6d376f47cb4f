// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/NzbDocument.h"

#include "common/TextUnit.h"

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
                    " <head>\n  <meta type=\"title\">" +
                    Xml(release.Title) + "</meta>\n </head>\n";
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
