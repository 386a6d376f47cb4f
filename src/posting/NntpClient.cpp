// SPDX-License-Identifier: GPL-3.0-or-later
#include "posting/NntpClient.h"

#include <algorithm>
#include <cctype>

namespace {
constexpr std::size_t MaximumCapabilities = 64 * 1024;
} // namespace

std::string TNntpClient::Where() const {
  return Profile.Endpoint.Name();
}

std::optional<TNntpFault> TNntpClient::Lost(TReadStatus status) {
  std::string why;
  switch (status) {
  case TReadStatus::TooLong:
  case TReadStatus::NotNntp:
    why = "the server's reply is not NNTP";
    break;
  case TReadStatus::TimedOut:
    why = "the server stopped answering";
    break;
  default:
    why = Connection ? Connection->Failure() : "the connection failed";
  }
  Reader.reset();
  Connection.reset();
  return TNntpFault{TFaultKind::Transient, Where() + ": " + why};
}

namespace {
// A refusal because the server knows the Message-ID: INN says "441 435 Duplicate"; others
// answer with IHAVE's 435 or 437, or a 441 in their own words.
bool SaysDuplicate(const TReply& reply) {
  if (reply.Code != 435 && reply.Code != 437 && reply.Code != 441)
    return false;
  std::string words = reply.Line;
  std::transform(words.begin(), words.end(), words.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return words.find("duplicate") != std::string::npos || words.find("already") != std::string::npos;
}

// A connection that could not be made: its certificate, or the way to the server.
TFaultCause CauseOf(const std::string& failure) {
  return failure.find("certificate") != std::string::npos ? TFaultCause::Certificate
                                                          : TFaultCause::Unreachable;
}
} // namespace

std::optional<TNntpFault> TNntpClient::Refused(TFaultKind kind, const std::string& what,
                                               const TReply& reply, TFaultCause cause) {
  Close();
  return TNntpFault{
      kind, Where() + ": " + what + " (the server said \"" + reply.Line + "\")", {}, cause};
}

std::optional<TNntpFault> TNntpClient::Read(TReply& reply, TDeadline deadline) {
  if (const TReadStatus status = Reader->ReadReply(reply, deadline); status != TReadStatus::Done)
    return Lost(status);
  return std::nullopt;
}

std::optional<TNntpFault> TNntpClient::Command(const std::string& line, TReply& reply) {
  // An argument (a Message-ID from an NZB) with a line break would send a second command.
  if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    return TNntpFault{TFaultKind::Article,
                      Where() + ": a command held a line break; not sent",
                      {},
                      TFaultCause::ArticleRefused};
  const TDeadline deadline = ReplyDeadline();
  if (Connection->Send(line + "\r\n", deadline) != TIoStatus::Done)
    return Lost(TReadStatus::Failed);
  return Read(reply, deadline);
}

std::optional<TNntpFault> TNntpClient::Open() {
  Close();
  TConnectResult connected =
      ConnectTransport(Profile.Endpoint, TClock::now() + Profile.ConnectTimeout);
  if (!connected.Transport)
    return TNntpFault{connected.Lasting ? TFaultKind::Lasting : TFaultKind::Transient,
                      Where() + ": " + connected.Failure,
                      {},
                      CauseOf(connected.Failure)};
  Connection = std::move(connected.Transport);
  Reader = std::make_unique<TReplyReader>(*Connection);
  TReply reply;
  if (const TReadStatus greeted = Reader->ReadReply(reply, TClock::now() + Profile.ConnectTimeout);
      greeted != TReadStatus::Done) {
    auto fault = Lost(greeted);
    // A plain connection to a port of implicit TLS: the server waits for our TLS greeting
    // as we wait for its NNTP one.
    if (greeted == TReadStatus::TimedOut && Profile.Endpoint.Tls == TTlsMode::None)
      fault->Message = Where() + ": nothing arrived after connecting: is this a port of TLS "
                                 "(implicit TLS, usually 563)? TLS is off";
    return fault;
  }
  if (reply.Code != 200 && reply.Code != 201)
    return Refused(reply.Code == 502 ? TFaultKind::Lasting : TFaultKind::Transient,
                   "the server does not take connections now", reply);
  GreetingLine = reply.Line;
  if (Profile.Endpoint.Tls == TTlsMode::StartTls) {
    if (auto fault = Command("STARTTLS", reply))
      return fault;
    if (reply.Code != 382)
      return Refused(TFaultKind::Lasting, "the server cannot start TLS", reply);
    if (Reader->HasPending() || !Connection->StartTls(ReplyDeadline())) {
      const std::string why =
          Reader->HasPending() ? "the server sent data before TLS began" : Connection->Failure();
      Close();
      return TNntpFault{TFaultKind::Lasting, Where() + ": " + why, {}, CauseOf(why)};
    }
  }
  if (auto fault = SwitchToReader())
    return fault;
  return Authenticate();
}

std::optional<TNntpFault> TNntpClient::SwitchToReader() {
  TReply reply;
  if (auto fault = Command("CAPABILITIES", reply))
    return fault;
  if (reply.Code != 101)
    return std::nullopt; // a server before RFC 3977: posting needs no mode there
  std::string capabilities;
  if (const TReadStatus status =
          Reader->ReadBlock(capabilities, MaximumCapabilities, ReplyDeadline());
      status != TReadStatus::Done)
    return Lost(status);
  if (capabilities.find("\r\nMODE-READER\r\n") == std::string::npos &&
      !capabilities.starts_with("MODE-READER\r\n"))
    return std::nullopt;
  if (auto fault = Command("MODE READER", reply))
    return fault;
  if (reply.Code != 200 && reply.Code != 201)
    return Refused(TFaultKind::Lasting, "the server would not serve a poster", reply);
  return std::nullopt;
}

std::optional<TNntpFault> TNntpClient::Authenticate() {
  if (Profile.User.empty())
    return std::nullopt;
  TReply reply;
  if (auto fault = Command("AUTHINFO USER " + Profile.User, reply))
    return fault;
  if (reply.Code == 381)
    if (auto fault = Command("AUTHINFO PASS " + Profile.Password, reply))
      return fault;
  if (reply.Code == 281)
    return std::nullopt;
  if (reply.Code == 483)
    return Refused(TFaultKind::Lasting,
                   "the server takes a password only over TLS; use --tls implicit or starttls",
                   reply, TFaultCause::Credentials);
  return Refused(TFaultKind::Lasting, "the server refused the user name or password", reply,
                 TFaultCause::Credentials);
}

void TNntpClient::Close() {
  if (Connection) {
    const TDeadline soon = TClock::now() + std::chrono::seconds(2);
    if (Connection->Send("QUIT\r\n", soon) == TIoStatus::Done) {
      TReply reply;
      Reader->ReadReply(reply, soon);
    }
  }
  Reader.reset();
  Connection.reset();
}

std::optional<TNntpFault> TNntpClient::Post(std::string_view article) {
  TReply reply;
  if (auto fault = Command("POST", reply))
    return fault;
  if (reply.Code == 440)
    return Refused(TFaultKind::Lasting, "the server does not allow posting", reply,
                   TFaultCause::NoPosting);
  if (reply.Code != 340)
    return Refused(reply.Code == 480 || reply.Code == 502 ? TFaultKind::Lasting
                                                          : TFaultKind::Transient,
                   "the server would not take an article", reply);
  const TDeadline deadline = TClock::now() + Profile.ArticleTimeout;
  if (Connection->Send(article, deadline) != TIoStatus::Done ||
      Connection->Send(".\r\n", deadline) != TIoStatus::Done)
    return Lost(TReadStatus::Failed);
  if (auto fault = Read(reply, ReplyDeadline()))
    return fault;
  if (reply.Code == 240)
    return std::nullopt;
  if (SaysDuplicate(reply))
    return TNntpFault{TFaultKind::Duplicate,
                      Where() +
                          ": the server refused an article as a duplicate (the server said \"" +
                          reply.Line + "\")",
                      {},
                      TFaultCause::ArticleRefused};
  if (reply.Code == 441)
    return TNntpFault{TFaultKind::Article,
                      Where() + ": the server refused an article (the server said \"" + reply.Line +
                          "\")",
                      {},
                      TFaultCause::ArticleRefused};
  return Refused(TFaultKind::Transient, "the server did not confirm an article", reply);
}

std::optional<TNntpFault> TNntpClient::Stat(const std::string& messageId, TLookup& found) {
  TReply reply;
  if (auto fault = Command("STAT " + messageId, reply))
    return fault;
  if (reply.Code == 223 || reply.Code == 430) {
    found = reply.Code == 223 ? TLookup::Present : TLookup::Missing;
    return std::nullopt;
  }
  return Refused(TFaultKind::Transient, "the server would not look up an article", reply);
}

std::optional<TNntpFault> TNntpClient::Body(const std::string& messageId, std::size_t maxBytes,
                                            std::string& body, TLookup& found) {
  TReply reply;
  if (auto fault = Command("BODY " + messageId, reply))
    return fault;
  if (reply.Code == 430) {
    found = TLookup::Missing;
    return std::nullopt;
  }
  if (reply.Code != 222)
    return Refused(TFaultKind::Transient, "the server would not send an article", reply);
  const TReadStatus status = Reader->ReadBlock(body, maxBytes, ReplyDeadline());
  if (status == TReadStatus::TooLong)
    return Lost(status); // the rest of the block is still on the way: the connection goes
  if (status != TReadStatus::Done)
    return Lost(status);
  found = TLookup::Present;
  return std::nullopt;
}
