// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands: save, preview, newsgroups, templates, help, about, playback.
#include "ui/MainUnit.h"

#include "posting/PostSetup.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/HelpFileUnit.h"
#include "common/Host.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AnalysisTexts.h"
#include "generate/NFOUnit.h"
#include "generate/PostingPolicyUnit.h"
#include "generate/SFVUnit.h"
#include "generate/SaveDocumentsUnit.h"
#include "platform/WindowPlace.h"
#include "ui/AboutUnit.h"
#include "ui/NewsGroupCommands.h"
#include "ui/NewsGroupUnit.h"
#include "ui/VerifyUnit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>

namespace {
// "Saved album.nfo, .sfv and .par2; ...": the .nfo by its name, its companions as their kind
// names them (the recovery files once; the DR log was ".txt"), then what was kept or skipped.
std::string SavedStatus(const std::string& path, const TSaveResult& outcome,
                        const TAlbumInfo& album) {
  std::vector<std::string> written = {FileNamePart(path)};
  for (std::size_t i = 1; i < outcome.Written.size(); ++i) {
    const auto kind =
        std::find_if(DocumentKinds.begin(), DocumentKinds.end(), [&](const TDocumentKind& kind) {
          return kind.Role != TDocumentRole::Nfo && outcome.Written[i].ends_with(kind.Extension);
        });
    const std::string name = kind != DocumentKinds.end()
                                 ? std::string(kind->get().Name)
                                 : outcome.Written[i].substr(outcome.Written[i].rfind('.'));
    if (std::find(written.begin(), written.end(), name) == written.end())
      written.push_back(name);
  }
  std::string text = "Saved " + written.front();
  for (std::size_t i = 1; i < written.size(); ++i)
    text += (i + 1 == written.size() ? " and " : ", ") + written[i];
  for (const std::string& kept : outcome.Kept)
    text += "; the existing " + FileNamePart(kept) + " was kept";
  for (const TProblem& skipped : outcome.NotWritten)
    text += "; " + skipped.Message;
  if (!outcome.Notes.empty())
    text += "; warning: " + MeasuredWarning(album);
  return text;
}
} // namespace

// The save's questions, asked before anything is written; none when the user stops it.
std::optional<TSaveAnswers> TFormMain::AskSaveQuestions(const TSavePlan& plan) {
  TSaveAnswers answers;
  answers.RememberTexts = true;
  if (plan.Problem)
    return answers; // the save tells it
  THost& host = CurrentHost();
  // The save dialog asked about the .nfo; the files beside it are asked about here,
  // all in one question.
  std::vector<std::string> existing;
  for (const TDocument& document : plan.Documents)
    if (document.Role != TDocumentRole::Nfo && document.Exists)
      existing.push_back(document.Path);
  if (!existing.empty() && host.ShowMessage(TMessageKind::Confirmation,
                                            ReplaceQuestion(existing)) != TMessageResult::Yes)
    answers.Keep = existing;
  answers.UseVariousArtistsTemplate = AskCompilationQuestion(plan.CompilationQuestion);
  const std::string& unmappable = plan.UnmappableWith(answers.UseVariousArtistsTemplate);
  answers.WriteUnmappable =
      unmappable.empty() ||
      host.ShowMessage(TMessageKind::Confirmation,
                       UnmappableQuestion(Session.Encoding(), unmappable)) == TMessageResult::Yes;
  // A kept list of the documents (a .par2 set) would no longer match: said before anything
  // is written.
  const auto stale = StaleDocuments(AnsweredRequest(plan, answers));
  if (!stale.empty() &&
      host.ShowMessage(TMessageKind::Confirmation, StaleNote(stale) + "\nSave anyway?") !=
          TMessageResult::Yes)
    return std::nullopt;
  return answers;
}

void TFormMain::ButtonMakeNFOClick() {
  StoreAlbumFields();
  TSaveDialogRequest request;
  request.Title = "Save .NFO file";
  request.Filters = {{"NFO Files (*.nfo)", "*.nfo"}, {"All Files (*.*)", "*"}};
  request.DefaultExtension = "nfo";
  request.Folder = TrackFolder;
  request.FileName = Session.Album().DefaultFileName();
  const auto path = CurrentHost().SaveFileDialog(request);
  if (!path) {
    ShowStatus("Nothing saved"); // the user chose it: no box to close
    return;
  }
  TSaveRequest save;
  save.NfoPath = *path;
  save.Chosen = ChosenDocuments();
  save.ChecksumProgress = ChecksumProgress();
  save.Recovery.Redundancy = static_cast<unsigned>(Session.Preferences.Par2Redundancy);
  save.Recovery.CoverLargestFile = Session.Preferences.Par2CoverLargestFile;
  std::unique_ptr<QProgressDialog> recoveryBox, measuringBox;
  save.MakingProgress = RecoveryProgress(recoveryBox);
  save.MeasuringProgress = RecoveryProgress(measuringBox, "Measuring the tracks...");
  const TSavePlan plan = Session.PlanSave(save);
  const std::optional<TSaveAnswers> answers = AskSaveQuestions(plan);
  if (!answers) {
    ShowStatus("Nothing saved");
    return;
  }
  const TSaveResult outcome = Session.Save(plan, *answers);
  recoveryBox.reset();
  measuringBox.reset();
  ProgressBar1->setValue(0);
  RefreshTrackListing();
  ShowRememberedLists();
  ShowProblems(outcome.Warnings);
  if (outcome.Cancelled)
    ShowStatus("Saving cancelled; nothing was saved");
  else if (outcome.Problem)
    ShowProblem(*outcome.Problem);
  if (!outcome.Saved())
    return;
  SavedNfoPath = *path;
  PostToUsenet1->setEnabled(true);
  ButtonPostToUsenet->setEnabled(true);
  if (!outcome.Kept.empty())
    CurrentHost().ShowMessage(TMessageKind::Information, CompanionsKeptNote(outcome.Kept));
  ShowStatus(SavedStatus(*path, outcome, Session.Album()));
}

std::function<void(std::size_t, std::size_t)> TFormMain::ChecksumProgress() {
  return [this](std::size_t done, std::size_t total) {
    ProgressBar1->setRange(0, static_cast<int>(total));
    ProgressBar1->setValue(static_cast<int>(done));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
}

std::function<bool(std::uint64_t, std::uint64_t)>
TFormMain::RecoveryProgress(std::unique_ptr<QProgressDialog>& box, const char* label,
                            const char* title) {
  return [this, &box, label, title](std::uint64_t done, std::uint64_t total) {
    if (!box) {
      box = std::make_unique<QProgressDialog>(QString::fromUtf8(label), QStringLiteral("Cancel"), 0,
                                              1000, this);
      box->setObjectName(QStringLiteral("RecoveryProgress"));
      box->setWindowTitle(QString::fromUtf8(title));
      box->setWindowModality(Qt::WindowModal);
      box->setMinimumDuration(0);
    }
    const int permille = total == 0 ? 1000 : static_cast<int>(done * 1000 / total);
    box->setValue(permille);
    // The strip's bar follows the box: it sat full from the checksums before.
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setValue(permille);
    QApplication::processEvents();
    return !box->wasCanceled();
  };
}

void TFormMain::Par2Redundancy1Click() {
  THost& host = CurrentHost();
  const std::string range = RedundancyRangeText();
  const auto text = host.InputBox(
      "PAR2 Redundancy", "Recovery data, as a percentage of the album's files (" + range + "):",
      std::to_string(Session.Preferences.Par2Redundancy), 3);
  if (!text)
    return;
  const auto number = ParseRedundancy(*text);
  if (!number) {
    host.ShowMessage(TMessageKind::Error, "The redundancy is a whole number from " + range);
    return;
  }
  Session.Preferences.Par2Redundancy = *number;
  PreferencesChanged();
}

void TFormMain::Par2CoverLargestFile1Click(bool checked) {
  Session.Preferences.Par2CoverLargestFile = checked;
  PreferencesChanged();
}

void TFormMain::IncludeExtras1Click(bool checked) {
  Session.Preferences.IncludeExtras = checked;
  Session.FindExtras();
  RefreshTrackListing();
  PreferencesChanged();
}

void TFormMain::ExtraPatterns1Click() {
  const auto text =
      CurrentHost().InputBox("Other Files' Patterns",
                             "The album's other files, by name (* and ? stand for any characters):",
                             Session.Preferences.ExtraPatterns, 200);
  if (!text)
    return;
  Session.Preferences.ExtraPatterns = *text;
  Session.FindExtras();
  RefreshTrackListing();
  PreferencesChanged();
}

std::optional<bool> TFormMain::AskCompilationQuestion(bool open) {
  if (!open)
    return std::nullopt;
  Session.CompilationAnswer =
      CurrentHost().ShowMessage(TMessageKind::Confirmation, VariousArtistsQuestion) ==
      TMessageResult::Yes;
  ScheduleLivePreview(); // the live preview follows the answer
  return Session.CompilationAnswer;
}

void TFormMain::ButtonPreviewNFOClick() {
  StoreAlbumFields();
  TSaveRequest preview;
  preview.UseVariousArtistsTemplate = AskCompilationQuestion(Session.IsCompilation());
  preview.ChecksumProgress = ChecksumProgress(); // when the template lists checksums
  // When it shows measurements: a cancel previews the document without them.
  std::unique_ptr<QProgressDialog> measuring;
  preview.MakingProgress = RecoveryProgress(measuring, "Measuring the tracks...", "Preview .NFO");
  const TNfoDraft draft = Session.PreviewText(preview);
  measuring.reset();
  ProgressBar1->setValue(0);
  ShowProblems(draft.Problems);
  CurrentHost().ShowPreview(draft.Text);
}

void TFormMain::ButtonEditNGListClick() {
  if (!FormNewsGroups)
    return;
  FormNewsGroups->Selection().ReloadWhenChangedOutside();
  FormNewsGroups->SetFilterText(
      ToQt(NewsGroupFilterFor(NewsGroupFilter, Session.Album().Format, Session.Album().Lossless)));
  FormNewsGroups->FilterSelected(NewsGroupEntries());
  CentreOver(FormNewsGroups, this);
  if (FormNewsGroups->exec() != QDialog::Accepted)
    return;
  NewsGroupFilter = FromQt(FormNewsGroups->FilterText());
  SetNewsGroupEntries(FormNewsGroups->SelectedGroups());
  PreferencesChanged();
}

void TFormMain::ComboBoxNewsgroupsChange() {
  const QSignalBlocker blocker(ComboBoxNewsgroups);
  ComboBoxNewsgroups->setCurrentIndex(ComboBoxNewsgroups->count() > 0 ? 0 : -1);
  if (ComboBoxNewsgroups->count() == 0)
    ComboBoxNewsgroups->setEditText(QString());
}

void TFormMain::AddaNewsgroup1Click() {
  if (!FormNewsGroups)
    return;
  FormNewsGroups->Selection().LastGroupAdded = LastGroupAdded;
  AddNewsGroup(FormNewsGroups->Selection());
  LastGroupAdded = FormNewsGroups->Selection().LastGroupAdded;
  PreferencesChanged();
}

void TFormMain::EditNewsgroupList1Click() {
  EditNewsGroupList();
}

void TFormMain::Fromatextfile1Click() {
  if (FormNewsGroups)
    ImportNewsGroups(FormNewsGroups->Selection(), false);
}

void TFormMain::FromAgent1Click() {
  if (FormNewsGroups)
    ImportNewsGroups(FormNewsGroups->Selection(), true);
}

void TFormMain::SingleArtistTemplate1Click() {
  ShowAnyProblem(EditTemplate(SingleArtistTemplateFileName));
}

void TFormMain::VariousArtistTemplate1Click() {
  ShowAnyProblem(EditTemplate(VariousArtistsTemplateFileName));
}

void TFormMain::EditSFVtemplate1Click() {
  ShowAnyProblem(EditSfvTemplate());
}

void TFormMain::EditPostingPolicy1Click() {
  ShowAnyProblem(EditPostingPolicy());
}

void TFormMain::VerifySFVFile1Click() {
  TOpenDialogRequest request;
  request.Title = "Verify Files";
  // Every kind it checks shown at once, as the item's name says.
  request.Filters = {{"Files to verify (*.sfv *.par2 *.flac *.nzb *.nzb.gz)",
                      "*.sfv *.par2 *.flac *.nzb *.nzb.gz"},
                     {"SFV Files (*.sfv)", "*.sfv"},
                     {"PAR2 Files (*.par2)", "*.par2"},
                     {"FLAC Files (*.flac)", "*.flac"},
                     {"NZB Files (*.nzb *.nzb.gz)", "*.nzb *.nzb.gz"},
                     {"All files (*)", "*"}};
  request.Folder = TrackFolder;
  const std::vector<std::string> paths = CurrentHost().OpenFilesDialog(request);
  // FLAC files are checked together, by their audio; each list in a window of its own.
  std::vector<std::string> flacs;
  for (const std::string& path : paths)
    if (QString::fromStdString(path).endsWith(QStringLiteral(".flac"), Qt::CaseInsensitive))
      flacs.push_back(path);
    else
      VerifySfvFile(path);
  if (!flacs.empty()) {
    auto* window = new TFormVerify(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->VerifyAudio(flacs);
    CentreOver(window, this);
    window->show();
    window->activateWindow();
  }
}

// The album's tracks measured in a window of their own; without tracks, nothing to do.
void TFormMain::AnalyzeAudio1Click() {
  std::vector<std::string> paths;
  for (const TTrackEntry& track : Session.Album().Tracks)
    paths.push_back(track.Path);
  if (paths.empty()) {
    ShowStatus("Choose the album's tracks first: the analysis measures them");
    return;
  }
  auto* window = new TFormVerify(this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->resize(std::max(window->width(), 1000), window->height());
  // Measured once is measured for the documents too, and a transcode said here as well.
  window->AlbumMeasured = [this](std::shared_ptr<const TAlbumAnalysis> analysis) {
    if (KeepAnalysis(Session.Album(), std::move(analysis)))
      ShowMeasuredWarning();
  };
  window->Analyze(paths);
  CentreOver(window, this);
  window->show();
  window->activateWindow();
}

TFormVerify* TFormMain::VerifySfvFile(const std::string& path) {
  // A window of its own for each .sfv, beside the work that goes on here.
  auto* window = new TFormVerify(this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  // An .nzb is checked on the news server, with the post's own settings.
  const QString name = QString::fromStdString(path);
  if (name.endsWith(QStringLiteral(".nzb"), Qt::CaseInsensitive) ||
      name.endsWith(QStringLiteral(".nzb.gz"), Qt::CaseInsensitive)) {
    const TPostSetup setup = PostSetupNow();
    TPostSettings server = setup.Settings;
    server.Server.Password = PasswordFor(server.Server);
    window->SetServer(server, setup.ArticleSize);
  }
  if (!window->Verify(path)) {
    delete window;
    ShowError(ecOpenForReading, path);
    return nullptr;
  }
  CentreOver(window, this);
  window->show();
  window->activateWindow(); // Escape and Return reach it at once
  return window;
}

void TFormMain::Contents2Click() {
  if (!CurrentHost().ShowHelp(Contents2->property("helpContext").toInt()))
    ShowError(ecHelpFile, GetProgramFolder() + HelpFileName);
}

void TFormMain::About1Click() {
  TAboutBox about(this);
  CentreOver(&about, this);
  about.exec();
}

void TFormMain::MediaPlayer1Click(bool play) {
  if (play)
    PlaySelectedTrack();
  else
    CurrentHost().CloseMedia();
}

void TFormMain::ListBox1DblClick() {
  PlaySelectedTrack();
}

void TFormMain::PlaySelectedTrack() {
  const int row = SelectedRow();
  const std::vector<TTrackEntry>& tracks = Session.Album().Tracks;
  if (row < 0 || static_cast<std::size_t>(row) >= tracks.size())
    return;
  THost& host = CurrentHost();
  host.CloseMedia();
  const std::string& path = tracks[static_cast<std::size_t>(row)].Path;
  if (!host.OpenMedia(path)) {
    ShowError(ecOpenMedia, path);
    return;
  }
  host.PlayMedia();
}
