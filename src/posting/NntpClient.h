// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One NNTP connection for posting and checking (RFC 3977, 4642, 4643): greeting, STARTTLS,
// MODE READER for a server that greets in transit mode, AUTHINFO USER/PASS, then POST,
// STAT and BODY. Every failure comes back as a fault that says whether a fresh connection
// may cure it, in the server's own words.
#include "posting/NntpReply.h"

#include <memory>
#include <optional>
#include <string>

struct TServerProfile {
  TEndpoint Endpoint;
  std::string User;
  std::string Password; // never written anywhere
  std::chrono::milliseconds ConnectTimeout{30000};
  std::chrono::milliseconds ReplyTimeout{60000};
  std::chrono::milliseconds ArticleTimeout{300000}; // sending one article and its answer
};

enum class TFaultKind {
  Transient, // a fresh connection may cure it: a drop, a timeout, "try later"
  Article,   // the server refused this article (441): a new attempt may pass
  Duplicate, // the server says it has an article of this Message-ID already
  Lasting    // nothing will cure it by trying again: refused credentials, no posting
};

// What lies behind a fault, so that a face can say what to do about it.
enum class TFaultCause {
  Other,
  Unreachable,    // no connection: the host, port or TLS mode
  Certificate,    // the server's certificate was refused
  Credentials,    // the user name or password (or a password without TLS)
  NoPosting,      // the account may not post
  ArticleRefused, // the server refused an article, again and again
  File            // a file of ours could not be read or written
};

struct TNntpFault {
  TFaultKind Kind = TFaultKind::Transient;
  std::string Message;
  std::string Path = {}; // the file it concerns, if any
  TFaultCause Cause = TFaultCause::Other;
};

enum class TLookup { Present, Missing };

class TNntpClient {
public:
  explicit TNntpClient(const TServerProfile& profile) : Profile(profile) {}
  // Connects and makes the connection ready to post.
  std::optional<TNntpFault> Open();
  const std::string& Greeting() const { return GreetingLine; }
  bool Opened() const { return Connection != nullptr; }
  void Close(); // QUIT, when the connection still stands

  // Posts one article: its headers and body with CR LF lines, not yet dot-stuffed (yEnc
  // lines need none) and without the final ".". A refusal as a duplicate comes back as
  // such, for the caller to look the ID up: the server may hold it, or only remember it.
  std::optional<TNntpFault> Post(std::string_view article);
  // STAT by Message-ID (with its angle brackets).
  std::optional<TNntpFault> Stat(const std::string& messageId, TLookup& found);
  // BODY by Message-ID, at most maxBytes; Missing when the server has none.
  std::optional<TNntpFault> Body(const std::string& messageId, std::size_t maxBytes,
                                 std::string& body, TLookup& found);

private:
  std::optional<TNntpFault> Command(const std::string& line, TReply& reply);
  std::optional<TNntpFault> Read(TReply& reply, TDeadline deadline);
  std::optional<TNntpFault> Lost(TReadStatus status);
  std::optional<TNntpFault> Refused(TFaultKind kind, const std::string& what, const TReply& reply,
                                    TFaultCause cause = TFaultCause::Other);
  std::optional<TNntpFault> Authenticate();
  std::optional<TNntpFault> SwitchToReader();
  TDeadline ReplyDeadline() const { return TClock::now() + Profile.ReplyTimeout; }
  std::string Where() const;

  const TServerProfile& Profile;
  std::unique_ptr<TTransport> Connection;
  std::unique_ptr<TReplyReader> Reader;
  std::string GreetingLine;
};
