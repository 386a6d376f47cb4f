// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's posting commands: the saved release posted from its own window, and
// the news server's settings.
#include "common/FileUnit.h"
#include "common/Host.h"
#include "platform/WindowPlace.h"
#include "ui/MainUnit.h"
#include "ui/PostUnit.h"
#include "ui/ServerUnit.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

TPostSetup TFormMain::PostSetupNow() const {
  const auto lookup = [](const auto& keys) {
    return [&keys](std::string_view, std::string_view key) -> const std::string* {
      const auto found = key.empty() ? keys.end() : keys.find(key);
      return found == keys.end() ? nullptr : &found->second;
    };
  };
  TPostSetup setup;
  // Values the window wrote itself are in range; a hand-edited one out of range leaves
  // the rest read and the dialog shows what was kept. The check server is [CheckServer]'s.
  ReadPostSetup(lookup(Session.Preferences.Server), setup, lookup(Session.Preferences.CheckServer),
                Session.Preferences.MoreServers);
  return setup;
}

namespace {
// The list's further servers' passwords, each from the secret store under its own name.
void FindListPasswords(TPostSetup& setup) {
  for (std::size_t i = 1; i < setup.Servers.size(); ++i)
    if (TServerProfile& server = setup.Servers[i].Profile; !server.User.empty())
      if (const TSecretResult kept = CurrentHost().ReadSecret(PasswordName(server));
          kept.Outcome == TSecretOutcome::Done)
        server.Password = kept.Value;
  UseServerList(setup);
}
} // namespace

// The settings a queued album posts with, read when it starts: every server's password
// from the secret store, as the post window finds them.
TPostSetup TFormMain::QueueSettingsNow() {
  TPostSetup setup = PostSetupNow();
  if (!setup.Servers.empty())
    setup.Servers.front().Profile.Password = PasswordFor(setup.Servers.front().Profile);
  FindListPasswords(setup);
  if (auto& check = setup.Settings.CheckServer; check && !check->User.empty())
    if (const TSecretResult kept = CurrentHost().ReadSecret(PasswordName(*check));
        kept.Outcome == TSecretOutcome::Done)
      check->Password = kept.Value;
  return setup;
}

std::string TFormMain::PasswordFor(const TServerProfile& server) {
  // Asked once without a user too, so the server settings can say where a password goes.
  if (!ServerPassword.empty() || (server.User.empty() && SecretStoreRuns.has_value()))
    return ServerPassword;
  const TSecretResult kept = CurrentHost().ReadSecret(PasswordName(server));
  SecretStoreRuns = kept.Outcome != TSecretOutcome::NoStore;
  if (kept.Outcome == TSecretOutcome::Done && !server.User.empty())
    ServerPassword = kept.Value;
  return ServerPassword;
}

void TFormMain::KeepServer(const TPostSetup& setup, const std::string& password) {
  for (auto& [key, value] : ServerKeys(setup))
    Session.Preferences.Server[key] = value;
  Session.Preferences.MoreServers.clear();
  for (std::size_t i = 1; i < setup.Servers.size(); ++i) {
    const TServerProfile& server = setup.Servers[i].Profile;
    Session.Preferences.MoreServers.push_back(ListedServerKeys(setup.Servers[i]));
    if (!server.User.empty() && !server.Password.empty() && SecretStoreRuns.value_or(false))
      CurrentHost().WriteSecret(PasswordName(server), server.Password);
  }
  PreferencesChanged();
  const bool unchanged = password == ServerPassword && SecretStoreRuns.has_value();
  ServerPassword = password;
  if (unchanged || password.empty() || setup.Settings.Server.User.empty())
    return;
  const TSecretResult kept =
      CurrentHost().WriteSecret(PasswordName(setup.Settings.Server), password);
  SecretStoreRuns = kept.Outcome == TSecretOutcome::Done;
  if (!*SecretStoreRuns)
    ShowStatus("No secret store runs here: the password is kept for this session only" +
               (kept.Reason.empty() ? std::string() : " (" + kept.Reason + ")"));
}

void TFormMain::Server1Click() {
  TPostSetup setup = PostSetupNow();
  const std::string password = PasswordFor(setup.Servers.front().Profile);
  FindListPasswords(setup);
  TFormServer dialog(setup, password, SecretStoreRuns.value_or(false), this);
  CentreOver(&dialog, this);
  if (dialog.exec() == QDialog::Accepted)
    KeepServer(dialog.Setup(), dialog.Password());
}

void TFormMain::PostToUsenet1Click() {
  const bool posting = FormPost && FormPost->Posting();
  if (!posting && (SavedNfoPath.empty() || !FileExists(SavedNfoPath))) {
    ShowStatus("Save the .NFO first: Post to Usenet posts the saved release");
    return;
  }
  if (!FormPost) {
    FormPost = new TFormPost(this);
    connect(FormPost, &TFormPost::ServerChanged, this, &TFormMain::KeepServer);
    connect(FormPost, &TFormPost::NewsGroupsWanted, this, [this] {
      ButtonEditNGListClick();
      FormPost->SetGroups(NewsGroupEntries());
    });
    connect(FormPost, &TFormPost::QueueWanted, this, &TFormMain::AddToQueue);
    connect(FormPost, &TFormPost::ProgressAway, this,
            [this](const QString& text) { ShowStatus(FromQt(text)); });
    connect(FormPost, &TFormPost::Finished, this, [this] {
      const TPostSummary& summary = FormPost->Summary();
      const std::string result = PostResultText(summary);
      ShowStatus(summary.Complete() ? "Posted: every article is on the server"
                                    : result.substr(0, result.find('\n')));
    });
  }
  if (!FormPost->Posting()) {
    StoreAlbumFields();
    TPostOrder order;
    order.NfoPath = SavedNfoPath;
    order.Groups = NewsGroupEntries();
    order.From = PosterFrom(FromQt(ComboBoxPostedBy->currentText()), Session.Preferences.Server);
    order.Setup = PostSetupNow();
    order.Password = PasswordFor(order.Setup.Servers.front().Profile);
    FindListPasswords(order.Setup);
    if (auto& check = order.Setup.Settings.CheckServer; check && !check->User.empty())
      if (const TSecretResult kept = CurrentHost().ReadSecret(PasswordName(*check));
          kept.Outcome == TSecretOutcome::Done)
        check->Password = kept.Value; // kept there as the post server's is
    order.StoreRuns = SecretStoreRuns.value_or(false);
    FormPost->Prepare(std::move(order));
  }
  FormPost->show();
  FormPost->raise();
  FormPost->activateWindow();
}
