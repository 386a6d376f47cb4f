// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's post queue: albums added from the post window, posted in the
// background by the queue's own window, which a restart of the program takes up again.
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "platform/WindowPlace.h"
#include "posting/PostShelf.h"
#include "ui/MainUnit.h"
#include "ui/PostUnit.h"
#include "ui/QueueUnit.h"
#include "ui/ServerUnit.h"

namespace {
std::string QueuePath() {
  return GetProgramFolder() + PostQueueFileName;
}
} // namespace

void TFormMain::PostQueue1Click() {
  if (!FormQueue) {
    FormQueue = new TFormQueue(
        QueuePath(), [this] { return QueueSettingsNow(); }, this);
    FormQueue->Restore();
    CentreOver(FormQueue, this);
  }
  FormQueue->show();
  FormQueue->raise();
  FormQueue->activateWindow();
}

void TFormMain::AddToQueue() {
  const TPostOrder& order = FormPost->PostOrder();
  if (AlbumPostStateOf(DefaultNzbPath({order.NfoPath}, order.Setup.NzbCompressed)) ==
      TAlbumPostState::Posted) {
    ShowStatus(FileNamePart(order.NfoPath) +
               " was posted before (its NZB is there): Post posts it again");
    return;
  }
  PostQueue1Click();
  FormQueue->Add({order.NfoPath, order.Groups, order.From, TQueueState::Waiting, ""});
  FormPost->close();
}

void TFormMain::RestorePostQueue() {
  if (FileExists(QueuePath()) && !ReadPostQueue(QueuePath()).Albums.empty())
    PostQueue1Click();
}

void TFormMain::StopPostQueue() {
  if (FormQueue)
    FormQueue->StopForExit();
}
