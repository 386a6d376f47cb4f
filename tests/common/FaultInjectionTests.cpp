// SPDX-License-Identifier: GPL-3.0-or-later
// Every file the program writes, written into a full disk, a read-only folder and over a
// folder of its name: the message the program owes, the previous file byte for byte,
// and no temporary file left behind. The disk is a small tmpfs mounted in a private
// mount namespace of this test's own process (each test runs as a process of its own).
// Where no mount can be made (a chroot, a user without root), a file-size limit stands
// for the full disk and folder permissions, obeyed even by root once it has set aside
// its power to override them, for the read-only folder.
#include "audio/CRC32Unit.h"
#include "audio/TrackInfo.h"
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "common/TextListUnit.h"
#include "generate/NFOUnit.h"
#include "generate/PostingPolicyUnit.h"
#include "generate/SFVUnit.h"
#include "generate/SfvCheckUnit.h"
#include "newsgroups/NewsGroupListUnit.h"
#include "par2/RecoveryRepairUnit.h"
#include "par2/RecoverySetUnit.h"
#include "support/ScriptedHost.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
enum class TFault { FullDisk, ReadOnlyFolder, FolderInThePlace };

struct TWrite {
  const char* Name;                  // the file in the program folder
  std::optional<TErrorCode> Message; // shown by the operation itself
  std::function<bool()> Run;         // false: the failure reaches the caller
  std::function<void()> Before = {}; // what the write needs, made before the fault
};

struct FaultInjection : ::testing::TestWithParam<TFault> {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::string Folder = Host.ProgramDir.Path();
  bool SmallDisk = false; // else the fallbacks that need no mount
  rlimit FileSizeLimit{};

  void SetUp() override {
    ::getrlimit(RLIMIT_FSIZE, &FileSizeLimit);
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending us
    SmallDisk = GetParam() != TFault::FolderInThePlace && ::unshare(CLONE_NEWNS) == 0 &&
                ::mount("none", "/", "", MS_REC | MS_PRIVATE, nullptr) == 0 &&
                ::mount("tmpfs", Folder.c_str(), "tmpfs", 0, "size=256k") == 0;
  }

  // The small disk goes before the folder it covers is removed.
  void TearDown() override {
    if (SmallDisk)
      ::umount2(Folder.c_str(), MNT_DETACH);
  }

  // The fault, after the previous file has been written.
  void Inject(const std::string& name) {
    switch (GetParam()) {
    case TFault::FullDisk:
      if (SmallDisk) {
        const int filler = ::open((Folder + "filler").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(4096, 'f');
        while (::write(filler, block.data(), block.size()) > 0) {
        }
        ::close(filler);
      } else {
        const rlimit oneByte{1, FileSizeLimit.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &oneByte), 0);
      }
      break;
    case TFault::ReadOnlyFolder:
      if (SmallDisk) {
        ASSERT_EQ(::mount("none", Folder.c_str(), "", MS_REMOUNT | MS_RDONLY, nullptr), 0);
      } else {
        ASSERT_EQ(::chmod(Folder.c_str(), 0555), 0);
        SetPermissionOverride(false); // fails only where there was none to set aside
      }
      break;
    case TFault::FolderInThePlace:
      fs::remove(Folder + name);
      fs::create_directory(Folder + name);
      break;
    }
  }

  void Undo() {
    if (GetParam() == TFault::ReadOnlyFolder) {
      if (SmallDisk) {
        ASSERT_EQ(::mount("none", Folder.c_str(), "", MS_REMOUNT, nullptr), 0);
      } else {
        SetPermissionOverride(true);
        ASSERT_EQ(::chmod(Folder.c_str(), 0755), 0);
      }
    }
    ::setrlimit(RLIMIT_FSIZE, &FileSizeLimit);
    fs::remove(Folder + "filler");
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// A PAR2 set of "abc.bin" whose first block is what the loop leaves there before the
// fault ("previous abc.bin"): the repair copies that block first, and that write fails.
void MakeRepairableSet(const std::string& folder) {
  const std::string bytes = "previous abc.bin" + std::string(1008, 'r');
  const TRecoveryInput input{"abc.bin", {}, bytes};
  TRecoverySettings settings;
  settings.SliceSize = 16;
  settings.Redundancy = 100;
  TFileSet set;
  ASSERT_EQ(StageRecoverySet(std::span(&input, 1), folder + "abc.par2", settings, set,
                             TWriteMode::CreateOnly)
                .Outcome,
            TRecoveryOutcome::Staged);
  ASSERT_EQ(set.Commit(), TWriteResult::Written);
}

// diskFull: the fault fills a disk (rather than a file-size limit standing for one);
// folderThere: it puts a folder in the file's place, which the repair refuses before it
// stages anything.
std::vector<TWrite> Writes(TGenerate& document, TRememberedLists& lists, bool diskFull,
                           bool folderThere) {
  const std::string folder = GetProgramFolder();
  return {
      {"album.nfo", std::nullopt,
       [&, folder] {
         return document.SaveToFile(folder + "album.nfo");
       }},
      {"album.sfv", std::nullopt,
       [&, folder] {
         return document.SaveToFile(folder + "album.sfv");
       }},
      {"template.txt", ecCreateNfoTemplate,
       [folder] {
         if (const auto problem = TNFO::WriteDefaultTemplate(folder + "template.txt"))
           ShowProblem(*problem);
         return true;
       }},
      {"template-va.txt", ecCreateNfoTemplate,
       [folder] {
         if (const auto problem = TNFO::WriteDefaultTemplate(folder + "template-va.txt"))
           ShowProblem(*problem);
         return true;
       }},
      {"template-sfv.txt", ecCreateSfvTemplate,
       [folder] {
         if (const auto problem = TSFV::WriteDefaultTemplate(folder + "template-sfv.txt"))
           ShowProblem(*problem);
         return true;
       }},
      {"postingpolicy.txt", ecCreatePostingPolicy,
       [folder] {
         if (const auto problem = WriteDefaultPostingPolicy(folder + "postingpolicy.txt"))
           ShowProblem(*problem);
         return true;
       }},
      {"groups.txt", ecSaveNewsgroupList,
       [] {
         TNewsGroups groups;
         groups.Add("alt.binaries.new");
         if (const auto problem = groups.SaveList())
           ShowProblem(*problem);
         return true;
       }},
      {"labels.txt", std::nullopt,
       [&, folder] {
         return SaveRememberedLists(folder, lists, {"New Label", "", "", "", ""});
       }},
      {"tamberlon.INI", std::nullopt,
       [] {
         return WritePreferences(GetPreferencesPath(), TPreferences{});
       }},
      {"abc.bin", std::nullopt,
       [folder, diskFull, folderThere] {
         const TRepairResult result = RepairRecoverySet(folder + "abc.par2");
         const std::string said = RepairSummary(result);
         EXPECT_EQ(result.Outcome,
                   folderThere ? TRepairOutcome::NotAFile : TRepairOutcome::NotWritten)
             << said;
         EXPECT_TRUE(said.starts_with(folderThere ? "Not repaired: abc.bin is not a regular file"
                                      : diskFull  ? "No space left on the disk holding " + folder +
                                                       "abc.bin."
                                                 : "Could not write " + folder + "abc.bin: "))
             << said;
         return false;
       },
       [folder] {
         MakeRepairableSet(folder);
       }},
  };
}
} // namespace

TEST_P(FaultInjection, FailedWritesLeaveThePreviousFile) {
  TGenerate document;
  document.Output = std::string(8000, 'd'); // larger than what a full disk has left
  TRememberedLists lists;
  for (const TWrite& write : Writes(document, lists, SmallDisk && GetParam() == TFault::FullDisk,
                                    GetParam() == TFault::FolderInThePlace)) {
    SCOPED_TRACE(write.Name);
    if (write.Before)
      write.Before();
    const std::string previous = std::string("previous ") + write.Name;
    Host.ProgramDir.Write(write.Name, previous);
    const std::vector<std::string> before = Entries();
    Inject(write.Name);
    if (write.Message)
      Host.ExpectError(*write.Message, Folder + write.Name);
    EXPECT_EQ(write.Run(), write.Message.has_value()); // the caller hears of it otherwise
    Host.VerifyAllShown();
    if (GetParam() != TFault::FolderInThePlace) {
      EXPECT_EQ(ReadWholeFile(Folder + write.Name), previous);
    }
    std::vector<std::string> after = Entries();
    std::erase(after, "filler");
    std::vector<std::string> expected = before;
    std::erase(expected, "filler");
    EXPECT_EQ(after, expected); // nothing half-written, no temporary file
    Undo();                     // for the next file
    fs::remove_all(Folder + write.Name);
  }
}

// An album's files are put in place together: the second one failing leaves the first
// file as it was and nothing new behind.
TEST_P(FaultInjection, ASetIsWrittenWholeOrNotAtAll) {
  Host.ProgramDir.Write("album.nfo", "previous nfo");
  const std::vector<std::string> before = Entries();
  {
    TFileSet set;
    ASSERT_EQ(set.Add(Folder + "album.nfo", std::string(8000, 'n')), TWriteResult::Written);
    // A mount with a file open for writing cannot turn read-only: the permissions can.
    const bool permissions = GetParam() == TFault::ReadOnlyFolder;
    if (permissions) {
      ASSERT_EQ(::chmod(Folder.c_str(), 0555), 0);
      SetPermissionOverride(false);
    } else {
      Inject("album.sfv");
    }
    EXPECT_NE(set.Add(Folder + "album.sfv", std::string(8000, 's')), TWriteResult::Written);
    if (permissions) {
      SetPermissionOverride(true);
      ::chmod(Folder.c_str(), 0755);
    }
  }
  if (GetParam() != TFault::ReadOnlyFolder)
    Undo();
  fs::remove_all(Folder + "album.sfv");
  EXPECT_EQ(ReadWholeFile(Folder + "album.nfo"), "previous nfo");
  EXPECT_EQ(Entries(), before);
}

namespace {
std::string FaultName(const ::testing::TestParamInfo<TFault>& info) {
  switch (info.param) {
  case TFault::FullDisk:
    return "FullDisk";
  case TFault::ReadOnlyFolder:
    return "ReadOnlyFolder";
  case TFault::FolderInThePlace:
    return "FolderInThePlace";
  }
  return "Unknown";
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Faults, FaultInjection,
                         ::testing::Values(TFault::FullDisk, TFault::ReadOnlyFolder,
                                           TFault::FolderInThePlace),
                         FaultName);

// A FIFO (or device) named like a track or list is no file: every reader turns it down at
// once instead of waiting for a writer. A watchdog plays the writer after a few seconds,
// so a reader that blocks fails the test rather than hanging it.
TEST(FifoNamedLikeATrack, EveryReaderRefusesItAtOnce) {
  TWithScriptedHost scripted;
  const std::string fifo = scripted.Host.ProgramDir.Path() + "track.mp3";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const struct {
    const char* Name;
    std::function<bool()> Refused;
  } readers[] = {
      {"track record with checksum",
       [&] {
         TTrackReading reading;
         std::vector<TErrorCode> errors;
         reading.Errors = &errors;
         MakeTrackInfo(fifo, true, reading);
         return errors == std::vector<TErrorCode>{ecOpenForReading};
       }},
      {"checksum",
       [&] {
         return !FileCRC32(fifo);
       }},
      {"text list",
       [&] {
         return !ReadTextList(fifo);
       }},
      {"whole file",
       [&] {
         return !ReadFileBytes(fifo);
       }},
      {"sfv lines",
       [&] {
         return !ForEachSfvLine(fifo, [](std::size_t, const TSfvLine&) {});
       }},
      {"template",
       [&] {
         return TGenerate(TAlbumInfo(), fifo).Template.empty();
       }},
      {"preferences",
       [&] {
         return ReadPreferences(fifo).InitialDir.empty();
       }},
  };
  for (const auto& reader : readers) {
    SCOPED_TRACE(reader.Name);
    std::atomic<bool> finished = false;
    std::atomic<bool> unblocked = false;
    std::thread watchdog([&] {
      for (int tick = 0; tick < 300 && !finished; ++tick)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!finished) {
        unblocked = true;
        ::close(::open(fifo.c_str(), O_WRONLY));
      }
    });
    EXPECT_TRUE(reader.Refused());
    finished = true;
    watchdog.join();
    EXPECT_FALSE(unblocked) << "the reader waited on the FIFO";
  }
}

namespace {
bool IsKind(const std::string& path, mode_t kind) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == kind;
}
} // namespace

// What stands at the path decides how a write meets it: a device or a pipe takes the
// bytes and stays what it is, a link writes its target and stays a link, and a read-only
// file, a folder or a name the system refuses is left alone with a failure, never an
// exception. Nothing that is not a regular file is ever renamed over.
TEST(WriteTargets, OnlyRegularFilesAreEverReplaced) {
  TTempFolder temp;
  const std::string folder = temp.Path();
  const std::string fifo = folder + "read.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((folder + "unread.fifo").c_str(), 0644), 0);
  temp.Write("target.txt", "old");
  fs::create_symlink("target.txt", folder + "link.txt");
  fs::create_symlink("missing.txt", folder + "dangling.txt");
  fs::create_symlink("self.txt", folder + "self.txt");
  ::chmod(temp.Write("readonly.txt", "kept").c_str(), 0444);
  fs::create_directory(folder + "folder.nfo");
  const struct {
    const char* Name;
    std::string Path;
    TWriteResult Expected;
    std::function<bool()> After;
  } cases[] = {
      {"/dev/null", "/dev/null", TWriteResult::Written,
       [] {
         return IsKind("/dev/null", S_IFCHR);
       }},
      {"/dev/full", "/dev/full", TWriteResult::Failed,
       [] {
         return IsKind("/dev/full", S_IFCHR);
       }},
      {"a pipe being read", fifo, TWriteResult::Written,
       [&] {
         return IsKind(fifo, S_IFIFO);
       }},
      {"a pipe nobody reads", folder + "unread.fifo", TWriteResult::Failed,
       [&] {
         return IsKind(folder + "unread.fifo", S_IFIFO);
       }},
      {"a link to a file", folder + "link.txt", TWriteResult::Written,
       [&] {
         return IsKind(folder + "link.txt", S_IFLNK) &&
                ReadWholeFile(folder + "target.txt") == "new";
       }},
      {"a dangling link", folder + "dangling.txt", TWriteResult::Written,
       [&] {
         return IsKind(folder + "dangling.txt", S_IFLNK) &&
                ReadWholeFile(folder + "missing.txt") == "new";
       }},
      {"a link to itself", folder + "self.txt", TWriteResult::Failed,
       [&] {
         return IsKind(folder + "self.txt", S_IFLNK);
       }},
      {"a read-only file", folder + "readonly.txt", TWriteResult::ReadOnly,
       [&] {
         return ReadWholeFile(folder + "readonly.txt") == "kept";
       }},
      {"a folder", folder + "folder.nfo", TWriteResult::NotAFile,
       [&] {
         return IsKind(folder + "folder.nfo", S_IFDIR);
       }},
      {"a name longer than the system allows", folder + std::string(300, 'n') + ".sfv",
       TWriteResult::Failed,
       [] {
         return true;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    // The reading end is open before the write: a pipe is never waited on.
    const int reader = c.Path == fifo ? ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    EXPECT_EQ(WriteFile(c.Path, "new"), c.Expected);
    if (reader >= 0) {
      char read[8] = {};
      EXPECT_EQ(::read(reader, read, sizeof read), 3);
      EXPECT_STREQ(read, "new");
      ::close(reader);
    }
    EXPECT_TRUE(c.After());
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().starts_with("."))
      left.push_back(entry.path().string());
  EXPECT_TRUE(left.empty()) << left.front();
}

// A name below a folder, as a downloaded file gives it, is opened and written only where
// it stays below the folder without passing a link, whichever way the kernel resolves it
// (openat2, or step by step without it): a write there is staged and committed through
// the name's folder; anything else is refused, and nothing outside changes.
TEST(WriteTargets, NamesBelowAFolderNeverLeaveItNorPassALink) {
  const struct {
    const char* Name;
    int Opened; // errno of a read's open, 0 when it opens
    TWriteResult Staged;
  } cases[] = {
      {"file.txt", 0, TWriteResult::Written},
      {"./sub//inner.txt", 0, TWriteResult::Written},
      {"new.txt", ENOENT, TWriteResult::Written},
      {"link.txt", ELOOP, TWriteResult::NotAFile},
      {"dangling", ELOOP, TWriteResult::NotAFile},
      {"up", ELOOP, TWriteResult::NotAFile},
      {"linked/inner.txt", ELOOP, TWriteResult::NotAFile},
      {"../outside.txt", EXDEV, TWriteResult::Failed},
      {"sub/../../outside.txt", EXDEV, TWriteResult::Failed},
      {"/etc/hostname", EXDEV, TWriteResult::Failed},
  };
  for (const TBelowMethod method : {TBelowMethod::Openat2, TBelowMethod::StepByStep})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (method == TBelowMethod::Openat2 ? "" : ", step by step"));
      TTempFolder temp;
      const std::string base = temp.Path() + "base/";
      fs::create_directories(base + "sub");
      temp.Write("outside.txt", "outside");
      temp.Write("base/file.txt", "old");
      temp.Write("base/sub/inner.txt", "old");
      fs::create_symlink("file.txt", base + "link.txt");
      fs::create_symlink("../new.txt", base + "dangling");
      fs::create_symlink("../outside.txt", base + "up");
      fs::create_directory_symlink("sub", base + "linked");
      auto folder = TBaseFolder::Open(base);
      ASSERT_TRUE(folder);
      folder->Method = method;
      errno = 0;
      EXPECT_EQ(folder->OpenBelow(c.Name, O_RDONLY) ? 0 : errno, c.Opened);
      TFileSet set;
      set.NamedTemporaries = method == TBelowMethod::StepByStep;
      std::size_t index = 0;
      ASSERT_EQ(set.OpenBelow(*folder, c.Name, TWriteMode::Replace, index), c.Staged);
      if (c.Staged == TWriteResult::Written) {
        ASSERT_TRUE(set.WriteAt(index, 0, "new"));
        ASSERT_EQ(set.Commit(), TWriteResult::Written);
        EXPECT_EQ(ReadWholeFile(base + c.Name), "new");
      }
      EXPECT_EQ(ReadWholeFile(temp.Path() + "outside.txt"), "outside");
      EXPECT_FALSE(fs::exists(temp.Path() + "new.txt"));
      EXPECT_TRUE(fs::is_symlink(base + "link.txt") && fs::is_symlink(base + "linked"));
      EXPECT_EQ(
          ReadWholeFile(base + (std::string(c.Name) == "file.txt" ? "sub/inner.txt" : "file.txt")),
          "old");
    }
}

// "Do not replace" is the system's one step: a file that appears after the set was
// prepared is kept, and the files already put in place are taken back.
TEST(WriteTargets, CreateOnlyKeepsAFileThatAppearsMeanwhile) {
  TTempFolder temp;
  temp.Write("album.nfo", "old nfo");
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named temporary files" : "unnamed temporary files");
    TFileSet set;
    set.NamedTemporaries = named;
    ASSERT_EQ(set.Add(temp.Path() + "album.nfo", "new nfo"), TWriteResult::Written);
    ASSERT_EQ(set.Add(temp.Path() + "album.m3u", "new m3u", TWriteMode::CreateOnly),
              TWriteResult::Written);
    ASSERT_EQ(set.Add(temp.Path() + "album.sfv", "new sfv", TWriteMode::CreateOnly),
              TWriteResult::Written);
    temp.Write("album.sfv", "the user's");
    std::string failed;
    EXPECT_EQ(set.Commit(&failed), TWriteResult::Exists);
    EXPECT_EQ(failed, temp.Path() + "album.sfv");
    EXPECT_EQ(ReadWholeFile(temp.Path() + "album.sfv"), "the user's");
    EXPECT_EQ(ReadWholeFile(temp.Path() + "album.nfo"), "old nfo");
    EXPECT_FALSE(fs::exists(temp.Path() + "album.m3u"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 2);
    fs::remove(temp.Path() + "album.sfv");
  }
}

// An interrupted program leaves no temporary file: the signal removes it, then ends the
// program as the signal does.
TEST(WriteTargets, ASignalDuringAWriteRemovesItsTemporaryFile) {
  TTempFolder temp;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const pid_t child = ::fork();
    if (child == 0) {
      InstallWriteInterruptCleanup();
      TFileSet set;
      set.NamedTemporaries = true;
      if (set.Add(temp.Path() + "album.nfo", "bytes") == TWriteResult::Written)
        ::raise(signal);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 0);
  }
}

// A kill at any step of a commit (each link, rename and removal, and its commit point)
// leaves, once the next start has settled the journal, the old set or the new one, never
// a mix of them, and no hidden file in the album's folder or the program's.
TEST(WriteTargets, AKillAtAnyStepLeavesTheOldSetOrTheNew) {
  TWithScriptedHost scripted;
  TTempFolder album;
  using TState = std::map<std::string, std::string>;
  const TState old = {{"a.nfo", "old nfo"}, {"a.sfv", "old sfv"}, {"a.vol0+1.par2", "old vol"}};
  const TState made = {{"a.nfo", "new nfo"}, {"a.sfv", "new sfv"}, {"a.m3u", "new m3u"}};
  const auto state = [&](std::vector<std::string>& hidden) {
    TState found;
    for (const std::string& folder : {album.Path(), scripted.Host.ProgramDir.Path()})
      for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("."))
          hidden.push_back(name);
        else if (folder == album.Path())
          found[name] = ReadWholeFile(entry.path().string());
      }
    return found;
  };
  for (const bool named : {false, true}) {
    for (int killAt = 0;; ++killAt) {
      SCOPED_TRACE((named ? "named, step " : "unnamed, step ") + std::to_string(killAt));
      for (const auto& entry : fs::directory_iterator(album.Path()))
        fs::remove(entry.path());
      for (const auto& [name, bytes] : old)
        album.Write(name, bytes);
      const pid_t child = ::fork();
      if (child == 0) {
        TFileSet set;
        set.NamedTemporaries = named;
        set.BeforeStep = [step = 0, killAt]() mutable {
          if (step++ == killAt)
            ::raise(SIGKILL);
        };
        for (const auto& [name, bytes] : made)
          set.Add(album.Path() + name, bytes);
        set.Remove(album.Path() + "a.vol0+1.par2");
        ::_exit(set.Commit() == TWriteResult::Written ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      RecoverInterruptedCommits(scripted.Host.ProgramDir.Path());
      std::vector<std::string> hidden;
      const TState now = state(hidden);
      EXPECT_TRUE(now == old || now == made) << now.size();
      EXPECT_TRUE(hidden.empty()) << hidden.front();
      if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(now == made);
        EXPECT_GT(killAt, 6); // every step was reached
        break;
      }
      ASSERT_LT(killAt, 50);
    }
  }
}
