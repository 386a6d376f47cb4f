// SPDX-License-Identifier: GPL-3.0-or-later
// The posting core: yEnc both ways, the reply reader against hostile servers, the journal,
// and each fault a server can put in a post's way, against a scripted server.
#include "generate/NzbDocument.h"
#include "posting/NzbRepost.h"
#include "posting/PostJournal.h"
#include "posting/PostQueue.h"
#include "posting/PostSetup.h"
#include "posting/PostShelf.h"
#include "posting/Poster.h"
#include "posting/ScriptedNewsServer.h"
#include "posting/YEnc.h"
#include "support/TempFolder.h"

#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <set>
#include <thread>

namespace {
std::string Encoded(std::span<const std::uint8_t> bytes, int lineLength = YEncLineLength) {
  std::string out(YEncBound(bytes.size(), lineLength), '\0');
  out.resize(YEncEncode(bytes, out.data(), lineLength));
  return out;
}

// Input bytes are the output characters minus 42, so each case names what goes out.
std::vector<std::uint8_t> Minus42(std::string_view out) {
  std::vector<std::uint8_t> bytes;
  for (const char c : out)
    bytes.push_back(static_cast<std::uint8_t>(c - 42));
  return bytes;
}

TEST(YEnc, EscapesWhatWouldBreakAnArticleOrBeMangled) {
  struct TCase {
    const char* Name;
    std::string Out; // the characters before escaping
    int LineLength;
    std::string Expected;
  };
  const std::vector<TCase> cases = {
      {"plain", "abc", 128, "abc\r\n"},
      {"critical characters anywhere", std::string("a\0b\nc\rd=", 8), 128, "a=@b=Jc=Md=}\r\n"},
      {"a dot starting a line", ".a.", 128, "=na.\r\n"},
      {"blanks at a line's start and end", " a\tb ", 128, "=`a\tb=`\r\n"},
      {"a blank that ends a full line", "ab cd", 3, "ab=`\r\ncd\r\n"},
      {"a dot after a line break", "abc.d", 3, "abc\r\n=nd\r\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Encoded(Minus42(c.Out), c.LineLength), c.Expected);
  }
}

TEST(YEnc, EveryMethodWritesTheSameLines) {
  std::vector<std::uint8_t> random(70000), critical(3000);
  std::uint32_t state = 12345;
  for (auto& b : random)
    b = static_cast<std::uint8_t>((state = state * 1103515245 + 12345) >> 16);
  // Output NUL, LF, CR, "=", TAB, space and ".", which every rule escapes somewhere.
  constexpr std::uint8_t Awkward[] = {214, 224, 227, 19, 223, 246, 4, 1};
  for (std::size_t i = 0; i < critical.size(); ++i)
    critical[i] = Awkward[(i * 7 + i / 5) % std::size(Awkward)];
  std::vector<std::uint8_t> allEscaped(300, 214); // every byte a NUL out
  std::vector<std::uint8_t> trailingBlank(33, 'a');
  trailingBlank.back() = 223; // a TAB out, as the data's last character
  // Stretches a line cannot take 64 bytes of at once, between ordinary ones, across the
  // blocks whose escapes are found ahead.
  std::vector<std::uint8_t> mixed = random;
  for (std::size_t at = 1000; at + 300 < mixed.size(); at += 4093)
    std::fill_n(mixed.begin() + static_cast<std::ptrdiff_t>(at), 150 + at % 150, 214);
  // Lines of 127 plain bytes and an escape, which straddles each line's end after a first
  // 64 without escapes.
  std::vector<std::uint8_t> straddling(3000, 'a');
  for (std::size_t at = 127; at < straddling.size(); at += 128)
    straddling[at] = 214;
  for (const TYEncMethod method : {TYEncMethod::ExpandAvx512}) {
    if (!YEncMethodRuns(method))
      continue;
    for (const auto* bytes : {&random, &critical, &trailingBlank, &allEscaped, &mixed, &straddling})
      for (const int line : {3, 64, 100, 128, 200})
        for (const std::size_t size : {std::size_t{0}, std::size_t{31}, std::size_t{33},
                                       std::size_t{34}, std::size_t{1000}, bytes->size()}) {
          if (size > bytes->size())
            continue;
          SCOPED_TRACE(::testing::Message() << "line " << line << ", size " << size);
          const std::span<const std::uint8_t> part(bytes->data(), size);
          std::string fast(YEncBound(size, line), '\0'), plain(YEncBound(size, line), '\0');
          fast.resize(YEncEncodeWith(method, part, fast.data(), line));
          plain.resize(YEncEncodeWith(TYEncMethod::Scalar, part, plain.data(), line));
          ASSERT_EQ(fast, plain);
        }
  }
}

TEST(YEnc, EveryByteComesBackWithItsCrc) {
  std::vector<std::uint8_t> bytes(3000);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  const TYEncPart part{"a b.flac", 10000, 2, 4, 3001, 6000};
  const std::string body = YEncArticleBody(part, bytes, std::nullopt);
  for (std::size_t at = 0, end; (end = body.find("\r\n", at)) != std::string::npos; at = end + 2)
    EXPECT_LE(end - at, 129u) << "a data line is at most one escape longer than 128";
  const auto decoded = YEncDecode(body, bytes.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->Bytes, std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(decoded->Complete);
  EXPECT_EQ(decoded->Crc, UpdateCRC32(0, bytes));
  EXPECT_EQ(decoded->DeclaredPartCrc, decoded->Crc);
  EXPECT_EQ(decoded->Begin, 3001u);
  // Cut short, or given less room than it holds: not complete, never more than the room.
  const auto cut = YEncDecode(body.substr(0, body.size() / 2), bytes.size());
  ASSERT_TRUE(cut);
  EXPECT_FALSE(cut->Complete);
  const auto bounded = YEncDecode(body, 100);
  ASSERT_TRUE(bounded);
  EXPECT_EQ(bounded->Bytes.size(), 100u);
  EXPECT_FALSE(bounded->Complete);
  EXPECT_FALSE(YEncDecode("no yEnc here\r\n", 100));
}

// A transport that hands out scripted chunks, then reports the connection closed.
class TChunkTransport final : public TTransport {
public:
  explicit TChunkTransport(std::vector<std::string> chunks) : Chunks(std::move(chunks)) {}
  TIoStatus Send(std::string_view, TDeadline) override { return TIoStatus::Done; }
  TIoStatus Receive(std::span<char> buffer, std::size_t& got, TDeadline) override {
    while (Next < Chunks.size() && Offset == Chunks[Next].size()) {
      ++Next;
      Offset = 0;
    }
    if (Next == Chunks.size())
      return TIoStatus::Closed;
    got = std::min(buffer.size(), Chunks[Next].size() - Offset);
    std::copy_n(Chunks[Next].data() + Offset, got, buffer.data());
    Offset += got;
    return TIoStatus::Done;
  }
  bool StartTls(TDeadline) override { return false; }
  std::string Failure() const override { return "closed"; }

private:
  std::vector<std::string> Chunks;
  std::size_t Next = 0, Offset = 0;
};

TEST(ReplyReader, HostileRepliesEndInAStatusNotACrash) {
  const TDeadline never = TClock::now() + std::chrono::hours(1);
  struct TCase {
    const char* Name;
    std::vector<std::string> Chunks;
    TReadStatus Expected;
    int Code = 0;
  };
  const std::vector<TCase> cases = {
      {"a reply in pieces", {"2", "00 ready", "\r", "\n"}, TReadStatus::Done, 200},
      {"a bare LF", {"281 ok\n"}, TReadStatus::Done, 281},
      {"a line of 10 MB", {std::string(10 << 20, 'x') + "\r\n"}, TReadStatus::TooLong},
      {"no CR LF before the close", {"200 never ends"}, TReadStatus::Closed},
      {"not a status", {"hello\r\n"}, TReadStatus::NotNntp},
      {"four digits", {"2000 ok\r\n"}, TReadStatus::NotNntp},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TChunkTransport transport(c.Chunks);
    TReplyReader reader(transport);
    TReply reply;
    EXPECT_EQ(reader.ReadReply(reply, never), c.Expected);
    EXPECT_EQ(reply.Code, c.Code);
  }
}

TEST(ReplyReader, BlocksAreUnstuffedAndBounded) {
  const TDeadline never = TClock::now() + std::chrono::hours(1);
  TChunkTransport transport({"..dot\r\n240 in the middle\r\n.\r\n", "x\r\n.\r\n"});
  TReplyReader reader(transport);
  std::string block;
  EXPECT_EQ(reader.ReadBlock(block, 1000, never), TReadStatus::Done);
  EXPECT_EQ(block, ".dot\r\n240 in the middle\r\n"); // a status inside a block is data
  TChunkTransport big({std::string(5000, 'y') + "\r\n.\r\n"});
  TReplyReader bounded(big);
  EXPECT_EQ(bounded.ReadBlock(block, 1000, never), TReadStatus::TooLong);
}

TEST(PostJournal, KeepsEachArticlesIdAndWhatWasAcceptedAndDoesNotBelieveATornLine) {
  TTempFolder folder;
  const std::string path = folder.Path() + "a.nzb.journal";
  std::string seed;
  {
    TPostJournal journal;
    ASSERT_FALSE(journal.Open(path, "key", 5));
    EXPECT_FALSE(journal.Resumed());
    seed = journal.Seed();
    EXPECT_TRUE(journal.RecordSending(0, "<a@b>"));
    EXPECT_TRUE(journal.Record(0, {"<a@b>", 100, 0x1234}));
    EXPECT_TRUE(journal.Record(3, {"<c@d>", 200, 0xABCD}));
    EXPECT_TRUE(journal.RecordSending(3, "<e@f>")); // found damaged: sent again under a new ID
    EXPECT_TRUE(journal.RecordSending(4, "<g@h>")); // killed before its answer
  }
  std::string text = ReadWholeFile(path);
  folder.Write("a.nzb.journal", text + text.substr(text.find('\n') + 1, 20)); // torn at a crash
  TPostJournal again;
  ASSERT_FALSE(again.Open(path, "key", 5));
  EXPECT_TRUE(again.Resumed());
  EXPECT_EQ(again.Seed(), seed);
  ASSERT_EQ(again.Accepted().size(), 1u);
  EXPECT_EQ(again.Accepted().at(0).MessageId, "<a@b>");
  EXPECT_EQ(again.Accepted().at(0).PartCrc, 0x1234u);
  EXPECT_EQ(again.Sending(), (std::map<std::size_t, std::string>{{3, "<e@f>"}, {4, "<g@h>"}}));
  TPostJournal other, twice;
  const auto refused = other.Open(path, "another key", 5);
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->Message.find("other files"), std::string::npos);
  const auto busy = twice.Open(path, "key", 5); // while the run above holds it
  ASSERT_TRUE(busy);
  EXPECT_NE(busy->Message.find("another run"), std::string::npos);

  // An earlier version's journal (acceptances only); a line past the plan is not believed.
  const auto line = [](const std::string& body) {
    return body + " " +
           CRC32Text(UpdateCRC32(
               0, std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()))) +
           "\n";
  };
  folder.Write("old.nzb.journal", line("tamberlon-post-journal 1 key seed") +
                                      line("2 739969 1A2B3C4D <old@tamberlon>") +
                                      line("9 100 00000000 <past@tamberlon>") +
                                      line("1 sending no-brackets"));
  TPostJournal old;
  ASSERT_FALSE(old.Open(folder.Path() + "old.nzb.journal", "key", 5));
  ASSERT_EQ(old.Accepted().size(), 1u);
  EXPECT_EQ(old.Accepted().at(2).Bytes, 739969u);
  EXPECT_EQ(old.Accepted().at(2).PartCrc, 0x1A2B3C4Du);
  EXPECT_TRUE(old.Sending().empty());
}

TEST(PostPlan, TheNewsGroupsAnNfoNamesAreItsOwnAndNothingElse) {
  const struct {
    const char* Name;
    std::string Text;
    std::vector<std::string> Groups;
  } cases[] = {
      {"the default template's block",
       "Posted to  :\r\n  alt.binaries.sounds.flac\r\n  alt.binaries.sounds.lossless\r\n",
       {"alt.binaries.sounds.flac", "alt.binaries.sounds.lossless"}},
      {"in a sentence, twice",
       "Posted to alt.binaries.test, (and alt.binaries.test).",
       {"alt.binaries.test"}},
      {"names that are no groups",
       "01 - Intro.flac  tamberlon.example.org  https://alt.binaries.x/  Alt.Binaries.Big "
       "alt.j misc..x alt.binaries.",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(NewsGroupsNamedIn(c.Text), c.Groups);
  }
}

// A release of three files (one of three articles) posted to a scripted server.
class PostFaults : public ::testing::Test {
protected:
  TTempFolder Folder;
  std::vector<std::string> Files;
  void SetUp() override {
    Files = {Folder.Write("Album.nfo", "an nfo\r\n"),
             Folder.Write("01.mp3", std::string(2500, 'a')),
             Folder.Write("Album.sfv", "01.mp3 00000000\r\n")};
  }
  TPostRequest Request(int port, int connections = 2) {
    TPlanResult planned = PlanPost(PostingOrder(Files), "Album", "Me <me@example.invalid>",
                                   {"alt.binaries.test"}, 1000, false);
    EXPECT_FALSE(planned.Problem);
    TPostRequest request{std::move(planned.Plan),
                         {},
                         Folder.Path() + "Album.nzb.journal",
                         Folder.Path() + "Album.nzb",
                         false,
                         {},
                         nullptr,
                         {},
                         {},
                         {},
                         false};
    TServerProfile& server = request.Settings.Server;
    server.Endpoint = {"127.0.0.1", port, TTlsMode::None, "", false};
    server.ConnectTimeout = server.ReplyTimeout = server.ArticleTimeout =
        std::chrono::milliseconds(500);
    request.Settings.Connections = connections;
    request.Settings.Retries = 2;
    request.Settings.Backoff = std::chrono::milliseconds(5);
    return request;
  }
};

TEST_F(PostFaults, AGoodServerGetsEveryArticleOnceAndTheNzbListsThem) {
  TScriptedNewsServer server([&](TServerConnection& c, int i) { server.Serve(c, i); });
  TPostRequest request = Request(server.Port());
  const TPostSummary summary = PostRelease(request);
  EXPECT_TRUE(summary.Complete()) << (summary.Problem ? summary.Problem->Message : "");
  EXPECT_EQ(summary.Articles, 5u);
  EXPECT_EQ(server.Articles.size(), 5u);
  EXPECT_EQ(summary.Confirmed, 5u);
  EXPECT_FALSE(std::filesystem::exists(request.JournalPath)) << "a finished post ends its journal";
  const std::string nzb = ReadWholeFile(request.NzbPath);
  for (const auto& [id, article] : server.Articles)
    EXPECT_NE(nzb.find(id.substr(1, id.size() - 2)), std::string::npos);
  EXPECT_LT(nzb.find("Album.nfo"), nzb.find("Album.sfv")) << "the .nfo is posted first";
  EXPECT_LT(nzb.find("Album.sfv"), nzb.find("01.mp3"));

  // Posted again under another name, compressed, with a file of its name in the copy's
  // folder already: that file is kept, and the command still runs.
  std::filesystem::create_directory(Folder.Path() + "copies");
  const std::string other = Folder.Write("copies/Again.nzb.gz", "someone else's");
  TPostRequest again = Request(server.Port());
  again.NzbPath = Folder.Path() + "Again.nzb.gz";
  again.JournalPath = JournalPathFor(again.NzbPath);
  again.NzbMeta = {"FLAC", "Audio > Lossless", "open sesame"};
  again.Delivery = {Folder.Path() + "copies", false, "true", std::chrono::seconds(5)};
  const TPostSummary twice = PostRelease(again);
  ASSERT_TRUE(twice.Complete() && twice.Delivery);
  EXPECT_TRUE(twice.Delivery->CopyProblem);
  EXPECT_EQ(ReadWholeFile(other), "someone else's");
  ASSERT_TRUE(twice.Delivery->Command);
  EXPECT_TRUE(twice.Delivery->Command->Succeeded());
  const auto read = ReadNzbFileBytes(ReadWholeFile(again.NzbPath));
  ASSERT_TRUE(read) << "written compressed, read back";
  EXPECT_EQ(read->Meta.Category, "Audio > Lossless");
  EXPECT_EQ(read->Meta.Password, "open sesame");
}

TEST(AfterPost, TheCommandGetsItsWordsAndTheNzbsPathAloneWithinItsTime) {
  struct TCase {
    const char* Name;
    std::string Command;
    std::string Output;
    std::string Told;
    std::chrono::milliseconds Timeout = std::chrono::seconds(10);
  };
  const std::vector<TCase> cases = {
      {"quotes and backslashes keep blanks; the path is one word",
       R"(printf [%s] "a b" c\ d 'e"f' "g\"h")", "[a b][c d][e\"f][g\"h][/x y/A.nzb]",
       "exited with status 0"},
      {"no shell: patterns, variables and redirections are words", "printf [%s] * $HOME >out",
       "[*][$HOME][>out][/x y/A.nzb]", "exited with status 0"},
      {"the server's password is not in its environment",
       "sh -c 'printf %s \"$TAMBERLON_NNTP_PASSWORD\"; exit 3'", "", "exited with status 3"},
      {"no such program", "tamberlon-no-such-program", "", "could not be started"},
      {"past its time", "sh -c 'sleep 30'", "", "did not end within 1 s and was stopped",
       std::chrono::seconds(1)},
  };
  setenv("TAMBERLON_NNTP_PASSWORD", "server-secret", 1);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto started = TClock::now();
    const TDeliveryResult result = DeliverNzb("/x y/A.nzb", {"", false, c.Command, c.Timeout});
    EXPECT_LT(TClock::now() - started, c.Timeout + std::chrono::seconds(2));
    ASSERT_TRUE(result.Command);
    EXPECT_EQ(result.Command->Output, c.Output);
    EXPECT_EQ(CommandRunText(*result.Command), c.Told);
    EXPECT_EQ(result.Succeeded(), c.Told == "exited with status 0");
  }
  unsetenv("TAMBERLON_NNTP_PASSWORD");
}

TEST_F(PostFaults, EachFaultIsToldInTheServersWordsOrRetried) {
  struct TCase {
    const char* Name;
    std::function<std::optional<std::string>(int connection, const std::string&)> Take = {};
    std::function<bool(TServerConnection&, int)> Before = {}; // true: the handler is done
    std::string Told = {};   // in the problem; empty: the post completes
    std::size_t Retries = 0; // at least
    TFaultCause Cause = TFaultCause::Other;
    int LookupLag = 0;
    std::function<void(TScriptedNewsServer&, const TPostRequest&)> Earlier = {}; // a run cut short
    std::size_t Posted = 5; // by this run, when it completes
    // A second post server: its script (the server it is given serves what it leaves), or
    // a port where nothing listens; the articles are spread over both.
    std::function<void(TScriptedNewsServer&, TServerConnection&, int)> Second = {};
    int SecondPort = 0;
    std::string Left = {}; // the word of the one server left, in it or in the problem
  };
  const auto greetGone = [](TServerConnection& c, int) {
    c.Send("400 going away\r\n");
    return true;
  };
  // The first server slowed, so that the second surely gets articles to fail with.
  const auto slowly = [](int, const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    return std::optional<std::string>();
  };
  // The first article is stored, then its connection drops before the 240.
  const auto dropFirst = [] {
    return [dropped = std::make_shared<std::atomic<int>>(0)](int, const std::string&) {
      return (*dropped)++ == 0 ? std::optional<std::string>(TScriptedNewsServer::StoreThenDrop)
                               : std::nullopt;
    };
  };
  const std::vector<TCase> cases = {
      {"an article refused on every try",
       [](int, const std::string& a) {
         return a.find("01.mp3") != std::string::npos ? std::optional<std::string>("441 no")
                                                      : std::nullopt;
       },
       {},
       "refused an article (the server said \"441 no\") (tried 3 times)",
       2,
       TFaultCause::ArticleRefused},
      {"an article refused once",
       [refused = std::make_shared<std::atomic<int>>(0)](int, const std::string&) {
         return (*refused)++ == 0 ? std::optional<std::string>("441 busy") : std::nullopt;
       },
       {},
       "",
       1},
      {"posting not allowed",
       {},
       [](TServerConnection& c, int) {
         c.Send("201 no posting\r\n");
         while (auto line = c.ReadLine())
           c.Send(line->starts_with("POST") ? "440 posting not permitted\r\n" : "500 no\r\n");
         return true;
       },
       "does not allow posting (the server said \"440 posting not permitted\")",
       0,
       TFaultCause::NoPosting},
      {"a drop in the middle of the first article",
       {},
       [](TServerConnection& c, int index) {
         if (index != 0)
           return false;
         c.Send("200 ok\r\n");
         while (auto line = c.ReadLine())
           if (*line == "POST") {
             c.Send("340 go\r\n");
             c.ReadLine();
             return true; // closes with the article half read
           } else {
             c.Send("500 no\r\n");
           }
         return true;
       },
       "",
       1},
      {.Name = "the answer lost after the server stored the article",
       .Take = dropFirst(),
       .Retries = 1},
      {.Name = "a server whose lookups lag behind its posts (a duplicate refusal, then found)",
       .Take = dropFirst(),
       .Retries = 1,
       .LookupLag = 1},
      {.Name = "a run killed after sending two articles, one of them stored",
       .Earlier =
           [](TScriptedNewsServer& server, const TPostRequest& request) {
             TPostJournal journal;
             ASSERT_FALSE(journal.Open(request.JournalPath, request.Plan.Key, 5));
             ASSERT_TRUE(journal.RecordSending(0, "<stored@before>"));
             ASSERT_TRUE(journal.RecordSending(1, "<lost@before>"));
             server.Articles["<stored@before>"] = "an article\r\n\r\n";
             server.Taken.insert("<stored@before>");
           },
       .Posted = 4},
      {"a server that stops answering",
       {},
       [](TServerConnection& c, int) {
         c.Send("200 ok\r\n");
         while (c.ReadLine()) {
         }
         return true;
       },
       "the server stopped answering (tried 3 times)",
       2},
      {"a port of TLS met without it: no greeting comes",
       {},
       [](TServerConnection& c, int) {
         while (c.ReadLine()) {
         }
         return true;
       },
       "nothing arrived after connecting: is this a port of TLS",
       2},
      {.Name = "a second server down from the start: left, the first takes every article",
       .Take = slowly,
       .Retries = 2,
       .SecondPort = 1,
       .Left = "Left 127.0.0.1:1: could not connect"},
      {.Name = "a second server refusing posting: left at once",
       .Take = slowly,
       .Second =
           [greetGone](TScriptedNewsServer&, TServerConnection& c, int) {
             c.Send("200 ok\r\n");
             while (auto line = c.ReadLine())
               c.Send(line->starts_with("POST") ? "440 posting not permitted\r\n" : "500 no\r\n");
           },
       .Left = "does not allow posting (the server said \"440 posting not permitted\")"},
      {.Name = "a second server failing mid-run: what it took stays there, the rest goes on",
       .Take = slowly,
       .Retries = 2,
       .Second =
           [greetGone, gone = std::make_shared<std::atomic<bool>>(false)](
               TScriptedNewsServer& second, TServerConnection& c, int i) {
             if (*gone) {
               greetGone(c, i);
               return;
             }
             second.Serve(c, i, [gone](int, const std::string&) {
               return gone->exchange(true) ? std::optional<std::string>("400 going away")
                                           : std::nullopt;
             });
           },
       .Left = "does not take connections now"},
      {.Name = "every server down: the run fails with the last one's words",
       .Before = greetGone,
       .Told = "does not take connections now (the server said \"400 going away\") (tried 3 times)",
       .Retries = 4,
       .Second = [greetGone](TScriptedNewsServer&, TServerConnection& c,
                             int i) { greetGone(c, i); },
       .Left = "Left 127.0.0.1:"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder folder;
    TScriptedNewsServer* self = nullptr;
    TScriptedNewsServer server([&](TServerConnection& connection, int index) {
      if (c.Before && c.Before(connection, index))
        return;
      self->Serve(connection, index, c.Take);
    });
    self = &server;
    server.LookupLag = c.LookupLag;
    TScriptedNewsServer* otherSelf = nullptr;
    TScriptedNewsServer second([&](TServerConnection& connection, int index) {
      if (c.Second)
        c.Second(*otherSelf, connection, index);
    });
    otherSelf = &second;
    std::filesystem::remove(Folder.Path() + "Album.nzb.journal");
    std::filesystem::remove(Folder.Path() + "Album.nzb");
    TPostRequest request = Request(server.Port(), 1);
    if (c.Second || c.SecondPort) {
      TPostServer more{request.Settings.Server, 1};
      more.Profile.Endpoint.Port = c.SecondPort ? c.SecondPort : second.Port();
      request.Settings.MoreServers.push_back(more);
    }
    if (c.Earlier)
      c.Earlier(server, request);
    // Only a post the server wholly holds is copied and handed to the command.
    const std::string copies = folder.Path(), ran = folder.Path() + "ran";
    request.Delivery = {copies, false, "sh -c 'printf %s \"$1\" >\"$0\"' " + ran,
                        std::chrono::seconds(10)};
    const auto started = TClock::now();
    const TPostSummary summary = PostRelease(request);
    EXPECT_LT(TClock::now() - started, std::chrono::seconds(20)) << "bounded in time";
    EXPECT_GE(summary.Retries, c.Retries);
    std::map<std::string, std::string> held = server.Articles;
    held.insert(second.Articles.begin(), second.Articles.end());
    EXPECT_EQ(held.size(), server.Articles.size() + second.Articles.size())
        << "no article on two servers";
    std::string told = summary.Problem ? summary.Problem->Message : "";
    for (const std::string& left : summary.Left)
      told += "\n" + left;
    EXPECT_EQ(summary.Left.size(), c.Left.empty() ? 0u : 1u) << told;
    EXPECT_NE(told.find(c.Left), std::string::npos) << told;
    if (c.Told.empty()) {
      EXPECT_TRUE(summary.Complete()) << told;
      EXPECT_EQ(held.size(), 5u) << "every article once";
      EXPECT_EQ(summary.Posted, c.Posted);
      const std::string nzb = ReadWholeFile(request.NzbPath);
      for (const auto& [id, article] : held)
        EXPECT_NE(nzb.find(">" + id.substr(1, id.size() - 2) + "<"), std::string::npos)
            << "the NZB names the ID the server holds";
      EXPECT_EQ(ReadWholeFile(copies + "Album.nzb"), nzb);
      EXPECT_EQ(ReadWholeFile(ran), request.NzbPath);
    } else {
      EXPECT_FALSE(summary.Delivery);
      EXPECT_FALSE(std::filesystem::exists(copies + "Album.nzb"));
      EXPECT_FALSE(std::filesystem::exists(ran));
      ASSERT_TRUE(summary.Problem);
      EXPECT_NE(summary.Problem->Message.find(c.Told), std::string::npos)
          << summary.Problem->Message;
      EXPECT_EQ(summary.Cause, c.Cause);
      EXPECT_FALSE(summary.Complete());
      // The NZB holds only what the servers accepted.
      const std::string nzb = ReadWholeFile(request.NzbPath);
      std::size_t segments = 0;
      for (std::size_t at = 0; (at = nzb.find("<segment ", at)) != std::string::npos; ++at)
        ++segments;
      EXPECT_EQ(segments, held.size());
    }
  }
}

TEST_F(PostFaults, RefusedCredentialsAndNoServerStopAtOnce) {
  TScriptedNewsServer server([](TServerConnection& c, int) {
    c.Send("200 ok\r\n");
    while (auto line = c.ReadLine())
      c.Send(line->starts_with("AUTHINFO USER")   ? "381 more\r\n"
             : line->starts_with("AUTHINFO PASS") ? "481 Authentication failed\r\n"
                                                  : "500 no\r\n");
  });
  TPostRequest request = Request(server.Port());
  request.Settings.Server.User = "me";
  request.Settings.Server.Password = "secret-word";
  TPostSummary summary = PostRelease(request);
  ASSERT_TRUE(summary.Problem);
  EXPECT_NE(summary.Problem->Message.find("refused the user name or password"), std::string::npos);
  EXPECT_EQ(summary.Cause, TFaultCause::Credentials);
  EXPECT_EQ(summary.Problem->Message.find("secret-word"), std::string::npos);
  EXPECT_EQ(summary.Retries, 0u) << "refused credentials are not tried again";
  EXPECT_EQ(ReadWholeFile(request.JournalPath).find("secret-word"), std::string::npos);

  std::filesystem::remove(request.JournalPath);
  const int closedPort = server.Port();
  TPostRequest nowhere = Request(closedPort);
  nowhere.Settings.Server.Endpoint.Port = 1; // nothing listens there
  summary = PostRelease(nowhere);
  ASSERT_TRUE(summary.Problem);
  EXPECT_NE(summary.Problem->Message.find("could not connect"), std::string::npos);
}

TEST_F(PostFaults, ACheckThatFindsALostOrDamagedArticlePostsItAgain) {
  std::atomic<int> spoiled{0};
  TScriptedNewsServer server([&](TServerConnection& c, int i) { server.Serve(c, i); });
  TPostRequest request = Request(server.Port());
  request.Settings.CheckBodies = true;
  request.Progress = [&](const TPostProgress& progress) {
    // As the check begins, the server loses one body and damages another.
    if (progress.Phase == TPostProgress::Checking && progress.Articles == 0 && !spoiled++) {
      std::lock_guard guard(server.Lock);
      auto first = server.Articles.begin();
      std::string& article = first->second;
      const std::size_t data = article.find("\r\n", article.find("=ypart")) + 5;
      article[data] = static_cast<char>(article[data] == 'x' ? 'y' : 'x');
      server.Articles.erase(std::next(first));
    }
  };
  const TPostSummary summary = PostRelease(request);
  EXPECT_TRUE(summary.Complete()) << (summary.Problem ? summary.Problem->Message : "");
  EXPECT_EQ(summary.Posted, 7u) << "five, then the two the check found wanting";
  EXPECT_EQ(summary.Confirmed, 5u);
}

TEST_F(PostFaults, TheCheckOnAnotherServerFindsWhatReachedItAndPostsTheRestAgain) {
  struct TCase {
    const char* Name;
    bool Feed; // the post server passes what it takes on to the check server
    bool Lose; // the first article is lost on the way, and by the post server
    std::string Verdict;
    std::size_t Posted;
  };
  const std::vector<TCase> cases = {
      {"every article fed: found there", true, false, "every article found on", 5},
      {"one lost on the way: posted again under its ID, then found", true, true,
       "every article found on", 6},
      {"nothing fed: missing after every round, though the post server holds them", false, false,
       "5 articles never reached", 5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove(Folder.Path() + "Album.nzb");
    TScriptedNewsServer check([&](TServerConnection& con, int i) { check.Serve(con, i); });
    std::mutex lostLock;
    std::string lost;
    TScriptedNewsServer* self = nullptr;
    TScriptedNewsServer post([&](TServerConnection& con, int i) {
      self->Serve(con, i, [&](int, const std::string& article) {
        const std::size_t at = article.find("Message-ID: ") + 12;
        const std::string id = article.substr(at, article.find("\r\n", at) - at);
        {
          std::lock_guard guard(lostLock);
          if (c.Lose && lost.empty()) {
            lost = id;
            return std::optional<std::string>();
          }
        }
        bool held = false;
        {
          std::lock_guard guard(self->Lock);
          held = self->Taken.contains(id);
        }
        if (c.Feed && !held) {
          std::lock_guard guard(check.Lock);
          check.Articles[id] = article;
        }
        return std::optional<std::string>();
      });
    });
    self = &post;
    TPostRequest request = Request(post.Port());
    request.Settings.CheckServer = request.Settings.Server;
    request.Settings.CheckServer->Endpoint.Port = check.Port();
    request.Progress = [&, forgotten = false](const TPostProgress& progress) mutable {
      if (progress.Phase != TPostProgress::Checking || forgotten || lost.empty())
        return;
      forgotten = true; // the post server lost it too, so it takes it again
      std::lock_guard guard(post.Lock);
      post.Articles.erase(lost);
      post.Taken.erase(lost);
    };
    const TPostSummary summary = PostRelease(request);
    const std::string where = "127.0.0.1:" + std::to_string(check.Port());
    EXPECT_NE(CheckVerdict(summary).find(c.Verdict + " " + where), std::string::npos)
        << CheckVerdict(summary);
    EXPECT_EQ(summary.Complete(), c.Feed);
    EXPECT_EQ(summary.Posted, c.Posted);
    EXPECT_EQ(post.Articles.size(), 5u) << "every article once on the post server";
    const auto nzb = ReadNzb(ReadWholeFile(request.NzbPath));
    ASSERT_TRUE(nzb);
    std::size_t segments = 0;
    for (const TNzbFile& file : nzb->Files)
      segments += file.Segments.size();
    EXPECT_EQ(segments, 5u) << "the NZB lists what the post server holds";
    std::filesystem::remove(request.JournalPath);
  }
}

TEST_F(PostFaults, ACancelledPostResumesWithWhatIsMissingOnly) {
  TScriptedNewsServer server([&](TServerConnection& c, int i) { server.Serve(c, i); });
  std::atomic<bool> cancelled{false};
  TPostRequest request = Request(server.Port(), 1);
  request.Cancelled = &cancelled;
  request.Progress = [&](const TPostProgress& progress) {
    if (progress.Articles == 2)
      cancelled = true;
  };
  TPostSummary summary = PostRelease(request);
  EXPECT_TRUE(summary.Cancelled);
  EXPECT_EQ(summary.Posted, 2u);
  EXPECT_TRUE(std::filesystem::exists(request.JournalPath));

  TPostRequest again = Request(server.Port());
  summary = PostRelease(again);
  EXPECT_TRUE(summary.Complete());
  EXPECT_TRUE(summary.Resumed);
  EXPECT_EQ(summary.Posted, 3u);
  EXPECT_EQ(server.Articles.size(), 5u) << "no article twice";
}

TEST_F(PostFaults, ARepostPutsWhatTheCheckFoundMissingBackOnceUnderItsId) {
  struct TCase {
    const char* Name;
    bool Remembered; // the server refuses the lost article's ID as a duplicate
  };
  for (const TCase& c : {TCase{"lost and forgotten: back under its own ID", false},
                         TCase{"lost, its ID remembered: under a fresh one", true}}) {
    SCOPED_TRACE(c.Name);
    TScriptedNewsServer server([&](TServerConnection& con, int i) { server.Serve(con, i); });
    std::filesystem::remove(Folder.Path() + "Album.nzb");
    TPostRequest request = Request(server.Port());
    ASSERT_TRUE(PostRelease(request).Complete());
    std::string lost;
    {
      std::lock_guard guard(server.Lock);
      lost = std::next(server.Articles.begin())->first;
      server.Articles.erase(lost);
      if (!c.Remembered)
        server.Taken.erase(lost);
    }
    for (const std::size_t reposted : {1u, 0u}) { // the second run finds nothing missing
      TNzbCheckRequest check{
          *ReadNzb(ReadWholeFile(request.NzbPath)), request.Settings, {}, {}, nullptr};
      const TNzbCheckResult found = CheckNzbArticles(check);
      ASSERT_EQ(MissingIdsOf(found).size(), reposted);
      const TPostSummary summary = RepostMissing({request.NzbPath,
                                                  check.Release,
                                                  MissingIdsOf(found),
                                                  request.Settings,
                                                  1000,
                                                  {},
                                                  nullptr});
      EXPECT_TRUE(summary.Complete()) << (summary.Problem ? summary.Problem->Message : "");
      EXPECT_EQ(summary.Posted, reposted);
      EXPECT_EQ(server.Articles.size(), 5u);
      EXPECT_EQ(server.Articles.contains(lost), !c.Remembered);
      const std::string nzb = ReadWholeFile(request.NzbPath);
      for (const auto& [id, article] : server.Articles)
        EXPECT_NE(nzb.find(">" + id.substr(1, id.size() - 2) + "<"), std::string::npos);
      EXPECT_FALSE(std::filesystem::exists(request.JournalPath));
    }
    // Files that are not the ones posted are not cut as the NZB lists them.
    const TPostSummary other = RepostMissing({request.NzbPath,
                                              *ReadNzb(ReadWholeFile(request.NzbPath)),
                                              {},
                                              request.Settings,
                                              600,
                                              {},
                                              nullptr});
    ASSERT_TRUE(other.Problem);
    EXPECT_NE(other.Problem->Message.find("another article size"), std::string::npos);
  }
}

// A repost whose check never finds the article (slow propagation, a filter) leaves the
// user's NZB as it was: it was written again without the files it could not confirm.
TEST_F(PostFaults, ARepostNeverFoundKeepsTheUsersNzb) {
  TScriptedNewsServer server([&](TServerConnection& con, int i) { server.Serve(con, i); });
  TPostRequest request = Request(server.Port());
  ASSERT_TRUE(PostRelease(request).Complete());
  const std::string before = ReadWholeFile(request.NzbPath);
  std::string lost;
  {
    std::lock_guard guard(server.Lock);
    lost = std::next(server.Articles.begin())->first;
    server.Articles.erase(lost);
    server.Taken.erase(lost);
    server.LookupLag = 1000; // nothing is found from now on
  }
  TPostSettings settings = request.Settings;
  settings.Retries = 0;
  const TPostSummary summary =
      RepostMissing({request.NzbPath, *ReadNzb(before), {lost}, settings, 1000, {}, nullptr});
  EXPECT_FALSE(summary.Complete());
  EXPECT_EQ(summary.Posted, 1u);
  EXPECT_EQ(ReadWholeFile(request.NzbPath), before);
  EXPECT_TRUE(std::filesystem::exists(request.JournalPath)); // a later run goes on from it
}
} // namespace

// A shelf of three albums (an .nfo and a track of three articles each) cut short in the
// middle of the second, then posted again: every article of every album is on the server
// once, and the albums the first run finished are skipped.
TEST(PostShelf, CutShortInTheMiddleAndRunAgainPostsEveryArticleOnce) {
  struct TCase {
    const char* Name;
    bool Pause;  // the run is paused (as a kill leaves it: the journal) in the second album
    bool Refuse; // the server refuses the second album's track in the first run
    TShelfTotals First, Second;
  };
  const std::vector<TCase> cases = {
      {"paused in the middle",
       true,
       false,
       {.Posted = 1, .Skipped = 1, .Paused = true}, // the linked folder, seen with the shelf's
       {.Posted = 2, .Skipped = 3}},
      {"an album that fails",
       false,
       true,
       {.Posted = 2, .Failed = 1, .Skipped = 2},
       {.Posted = 1, .Skipped = 4}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder shelf;
    for (const char* album : {"Album 2", "Album 10", "Album 1"}) {
      std::filesystem::create_directories(shelf.Path() + album + "/Scans");
      shelf.Write(std::string(album) + "/" + album + ".nfo", std::string(album) + "\r\n");
      shelf.Write(std::string(album) + "/01.mp3", std::string(2500, album[6]));
    }
    // Links planted in the shelf lead out of it: an album's "volume", an .nfo, a folder.
    TTempFolder outside;
    outside.Write("secret", "not the album's");
    outside.Write("Outside.nfo", "elsewhere\r\n");
    std::filesystem::create_symlink(outside.Path() + "secret",
                                    shelf.Path() + "Album 1/Album 1.vol0+1.par2");
    std::filesystem::create_directories(shelf.Path() + "Planted");
    std::filesystem::create_symlink(outside.Path() + "secret", shelf.Path() + "Planted/P.nfo");
    std::filesystem::create_directory_symlink(outside.Path(), shelf.Path() + "Linked");
    std::atomic<bool> refusing{c.Refuse}, cancelled{false}, firstRun{true};
    TScriptedNewsServer* self = nullptr;
    TScriptedNewsServer server([&](TServerConnection& connection, int index) {
      self->Serve(connection, index, [&](int, const std::string& article) {
        return refusing && article.find("Album 2 [2/2]") != std::string::npos
                   ? std::optional<std::string>("441 no")
                   : std::nullopt;
      });
    });
    self = &server;
    std::string current;
    TShelfHooks hooks;
    hooks.NzbPathOf = [](const std::string& nfo) {
      return DefaultNzbPath({nfo});
    };
    hooks.Prepare = [&](const std::string& nfo, TProblem&) -> std::optional<TPostRequest> {
      current = nfo;
      TPlanResult planned = PlanPost(ReleaseFilesBeside(nfo), ReleaseName(nfo), "Me <me@x.invalid>",
                                     {"alt.binaries.test"}, 1000, false);
      TPostRequest request{std::move(planned.Plan),
                           {},
                           "",
                           DefaultNzbPath({nfo}),
                           false,
                           {},
                           nullptr,
                           {},
                           {},
                           {},
                           false};
      request.JournalPath = JournalPathFor(request.NzbPath);
      request.Settings.Server.Endpoint = {"127.0.0.1", server.Port(), TTlsMode::None, "", false};
      request.Settings.Connections = 1;
      request.Settings.Retries = 1;
      request.Settings.Backoff = std::chrono::milliseconds(5);
      return request;
    };
    std::vector<std::string> order;
    hooks.Ended = [&](const std::string& nfo, TShelfOutcome, const TPostSummary*,
                      const std::string& why) {
      if (!why.starts_with("a link"))
        order.push_back(FileNamePart(nfo));
    };
    hooks.Cancelled = &cancelled;
    hooks.Progress = [&](const TPostProgress& progress) {
      if (firstRun && c.Pause && current.ends_with("Album 2.nfo") && progress.Articles == 2)
        cancelled = true;
    };
    const auto same = [](const TShelfTotals& a, const TShelfTotals& b) {
      return a.Posted == b.Posted && a.Failed == b.Failed && a.Skipped == b.Skipped &&
             a.Paused == b.Paused;
    };
    EXPECT_TRUE(same(PostShelf(shelf.Path(), hooks), c.First));
    EXPECT_EQ(order.front(), "Album 1.nfo") << "in natural order";
    EXPECT_TRUE(std::filesystem::exists(shelf.Path() + "Album 2/Album 2.nzb.journal"));
    refusing = firstRun = cancelled = false;
    order.clear();
    EXPECT_TRUE(same(PostShelf(shelf.Path(), hooks), c.Second));
    EXPECT_EQ(order, (std::vector<std::string>{"Album 1.nfo", "Album 2.nfo", "Album 10.nfo"}));
    std::set<std::string> subjects;
    for (const auto& [id, article] : server.Articles) {
      const std::size_t at = article.find("Subject: ");
      subjects.insert(article.substr(at, article.find("\r\n", at) - at));
    }
    EXPECT_EQ(server.Articles.size(), 12u);
    EXPECT_EQ(subjects.size(), 12u) << "no article twice";
    for (const char* album : {"Album 1", "Album 2", "Album 10"})
      EXPECT_EQ(AlbumPostStateOf(shelf.Path() + album + "/" + album + ".nzb"),
                TAlbumPostState::Posted);
  }
}

TEST(PostQueue, ADamagedFileIsReadAsFarAsItsLinesMakeSense) {
  const TPostQueue queue{{{"/music/a\tb%c\r\nd.nfo",
                           {"alt.binaries.one", "alt.binaries.two"},
                           "Me <me@x>",
                           TQueueState::Failed,
                           "441 no\r\nmore"},
                          {"/music/e.nfo", {}, "", TQueueState::Posting, ""}},
                         true,
                         0};
  const std::string text = PostQueueText(queue);
  TPostQueue back = queue;
  back.Albums[1].State = TQueueState::Waiting; // the program ended while it was posting
  EXPECT_EQ(ReadPostQueueText(text), back);
  const std::size_t second = text.find("album", text.find("album") + 1);
  struct TCase {
    const char* Name;
    std::string Text;
    std::size_t Albums, Dropped;
  };
  const std::vector<TCase> cases = {
      {"cut in the middle of a line", text.substr(0, second + 20), 1, 1},
      {"an escape cut short", text.substr(0, second) + "album waiting\t/x%4\t\t\t\r\n", 1, 1},
      {"an unknown state and too few fields",
       text + "album gone\t/x\t\t\t\r\nalbum waiting\t/x\r\n", 2, 2},
      {"no path", text + "album waiting\t\t\t\t\r\n", 2, 1},
      {"another header", "tamberlon-post-queue 2\r\n" + text.substr(text.find('\n') + 1), 0, 4},
      {"a NUL in the middle", text.substr(0, second) + std::string(1, '\0') + text, 1, 0},
      {"noise", std::string(3000, '\x85'), 0, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPostQueue read = ReadPostQueueText(c.Text);
    EXPECT_EQ(read.Albums.size(), c.Albums);
    EXPECT_EQ(read.Dropped, c.Dropped);
  }
}
