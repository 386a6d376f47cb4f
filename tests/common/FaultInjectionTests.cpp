// Every file the program writes, written into a full disk, a read-only folder and over a
// folder of its name: the message the program owes, the previous file byte for byte,
// and no temporary file left behind. The disk is a small tmpfs mounted in a private
// mount namespace of this test's own process (each test runs as a process of its own).
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/NFOUnit.h"
#include "generate/PostingPolicyUnit.h"
#include "generate/SFVUnit.h"
#include "newsgroups/NewsGroupListUnit.h"
#include "support/ScriptedHost.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
enum class TFault { FullDisk, ReadOnlyFolder, FolderInThePlace };

struct TWrite {
  const char* Name;                  // the file in the program folder
  std::optional<TErrorCode> Message; // shown by the operation itself
  std::function<bool()> Run;         // false: the failure reaches the caller
};

struct FaultInjection : ::testing::TestWithParam<TFault> {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::string Folder = Host.ProgramDir.Path();

  void SetUp() override {
    if (GetParam() == TFault::FolderInThePlace)
      return;
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", "", MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", Folder.c_str(), "tmpfs", 0, "size=256k") != 0)
      GTEST_SKIP() << "mounting a small disk needs a mount namespace";
  }

  // The fault, after the previous file has been written.
  void Inject(const std::string& name) {
    switch (GetParam()) {
    case TFault::FullDisk: {
      const int filler = ::open((Folder + "filler").c_str(), O_WRONLY | O_CREAT, 0644);
      const std::string block(4096, 'f');
      while (::write(filler, block.data(), block.size()) > 0) {
      }
      ::close(filler);
      break;
    }
    case TFault::ReadOnlyFolder:
      ASSERT_EQ(::mount("none", Folder.c_str(), "", MS_REMOUNT | MS_RDONLY, nullptr), 0);
      break;
    case TFault::FolderInThePlace:
      fs::remove(Folder + name);
      fs::create_directory(Folder + name);
      break;
    }
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

std::vector<TWrite> Writes(TGenerate& document, TRememberedLists& lists) {
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
         TNFO::WriteDefaultTemplate(folder + "template.txt", false);
         return true;
       }},
      {"template-va.txt", ecCreateNfoTemplate,
       [folder] {
         TNFO::WriteDefaultTemplate(folder + "template-va.txt", true);
         return true;
       }},
      {"template-sfv.txt", ecCreateSfvTemplate,
       [folder] {
         TSFV::WriteDefaultTemplate(folder + "template-sfv.txt");
         return true;
       }},
      {"postingpolicy.txt", ecCreatePostingPolicy,
       [folder] {
         WriteDefaultPostingPolicy(folder + "postingpolicy.txt");
         return true;
       }},
      {"groups.txt", ecSaveNewsgroupList,
       [] {
         TNewsGroups groups;
         groups.Add("alt.binaries.new");
         groups.SaveList();
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
  };
}
} // namespace

TEST_P(FaultInjection, FailedWritesLeaveThePreviousFile) {
  TGenerate document;
  document.Output = std::string(8000, 'd'); // larger than what a full disk has left
  TRememberedLists lists;
  for (const TWrite& write : Writes(document, lists)) {
    SCOPED_TRACE(write.Name);
    const std::string previous = std::string("previous ") + write.Name;
    Host.ProgramDir.Write(write.Name, previous);
    const std::vector<std::string> before = Entries();
    Inject(write.Name);
    if (write.Message)
      Host.ExpectError(*write.Message);
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
    // Undo the fault for the next file.
    if (GetParam() == TFault::ReadOnlyFolder) {
      ASSERT_EQ(::mount("none", Folder.c_str(), "", MS_REMOUNT, nullptr), 0);
    }
    fs::remove(Folder + "filler");
    fs::remove_all(Folder + write.Name);
  }
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
