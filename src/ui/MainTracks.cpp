// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's work on tracks: choosing, listing, reordering and the album fields.
#include "ui/MainUnit.h"

#include "analysis/AlbumAnalysis.h"
#include "audio/TrackInfo.h"
#include "audio/TrackReaderUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/NaturalOrder.h"
#include "common/RememberedListsUnit.h"
#include "common/TrackKinds.h"
#include "generate/AlbumCueCheck.h"
#include "generate/AlbumDiscs.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumRipLog.h"
#include "generate/AnalysisTexts.h"
#include "ui/PostUnit.h"
#include "ui/QtDates.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <type_traits>
#include <variant>

void TFormMain::SetTrackCommandsEnabled(bool enabled) {
  for (QWidget* widget : std::initializer_list<QWidget*>{ButtonChooseTracks, ButtonMoveUp,
                                                         ButtonMoveDown, ButtonClearTracks})
    widget->setEnabled(enabled);
  Open1->setEnabled(enabled);
}

void TFormMain::ButtonChooseTracksClick() {
  if (ReadingTracks)
    return;
  TOpenDialogRequest request;
  request.Title = "Select the Tracks to Add";
  request.OkButtonText = "Select Tracks";
  request.Filters = TrackFileFilters();
  request.Folder = TrackFolder;
  ChooseTracks(CurrentHost().OpenFilesDialog(request));
}

void TFormMain::ChooseTracks(std::vector<std::string> paths, const std::string& leftOut) {
  if (ReadingTracks || paths.empty())
    return;
  TrackFolder = AlbumFolderOf(paths);

  // Whatever happens while reading, the window comes back to a consistent state.
  ReadingTracks = true;
  SetTrackCommandsEnabled(false);
  ShowStatus({});
  struct TFinish {
    TFormMain* Form;
    std::size_t Chosen;
    std::string LeftOut;
    ~TFinish() {
      Form->ProgressBar1->setValue(0);
      Form->ButtonCancelReading->hide();
      Form->SetTrackCommandsEnabled(true);
      Form->ReadingTracks = false;
      Form->RefreshTrackListing();
      // Cancelled before the first track: the fields stay as clearing left them. The
      // player's message, if any, comes last, over a window that is done reading.
      if (!Form->Session.Album().Tracks.empty())
        Form->FillAlbumFields();
      Form->ShowReadingOutcome(Chosen, LeftOut); // what was read outweighs the player's note
      Form->MeasureInBackground();
    }
  } finish{this, paths.size(), leftOut};
  TBusyCursor busy;
  ClearTracks();
  if (SortFilesonSelection1->isChecked())
    SortNaturally(paths);
  // Files are read on worker threads; this thread shows each record in listing order.
  constexpr int ProgressSteps = 1000;
  ProgressBar1->setRange(0, ProgressSteps);
  ButtonCancelReading->show();
  CancelReading = false;
  TTrackObserver observer;
  observer.Added = [this](std::size_t index) {
    ShowTrackLists();
    AddTrackLine(index);
    ShowTotals(); // the totals follow the tracks read so far
  };
  observer.Idle = [this](const TReadProgress& progress) {
    ProgressBar1->setValue(static_cast<int>(progress.Fraction() * ProgressSteps));
    QApplication::processEvents();
    return !CancelReading;
  };
  observer.Problem = [&paths](std::size_t index, TErrorCode problem) {
    ShowError(problem, paths[index]);
  };
  // Checksums are read with the tracks when a chosen document lists them.
  bool withChecksum = false;
  const TDocumentChoice chosen = ChosenDocuments();
  for (const TDocumentKind& kind : DocumentKinds)
    withChecksum = withChecksum || (chosen[static_cast<std::size_t>(kind.Role)] &&
                                    kind.Digest == TTrackDigest::Crc32);
  Session.ChooseTracks(paths, withChecksum, observer);
  if (SortFilesonSelection1->isChecked())
    Session.OrderByTrackNumbers();
}

void TFormMain::ShowReadingOutcome(std::size_t chosen, const std::string& leftOut) {
  const std::vector<TTrackEntry>& entries = Session.Album().Tracks;
  const std::size_t read = entries.size();
  const auto unread = std::count_if(entries.begin(), entries.end(), [](const TTrackEntry& t) {
    return !t.Info || !t.Info->Analysed;
  });
  const auto tracks = [](std::size_t n) {
    return std::to_string(n) + (n == 1 ? " track" : " tracks");
  };
  std::string text = read < chosen ? "Reading cancelled: " + std::to_string(read) + " of " +
                                         tracks(chosen) + " read"
                                   : tracks(read) + " read";
  if (unread > 0)
    text += ", " + std::to_string(unread) + " could not be read";
  if (const std::size_t extras = Session.Album().Extras.size(); extras > 0)
    text += ", with " + std::to_string(extras) + (extras == 1 ? " other file" : " other files");
  // Tracks of several kinds: the template and the technical fields follow the most.
  std::vector<std::string> kinds;
  for (const TTrackEntry& entry : entries)
    if (entry.Info && entry.Info->Analysed &&
        std::find(kinds.begin(), kinds.end(), entry.Info->Format) == kinds.end())
      kinds.push_back(entry.Info->Format);
  if (kinds.size() > 1)
    text += "; tracks of " + std::to_string(kinds.size()) + " kinds: the fields follow the " +
            Session.Album().Format + " tracks";
  if (const TAlbumCueNote cue = CheckAlbumCueSheet(Session.Album()); !cue.SheetPath.empty())
    text += "; " + cue.Text;
  if (const std::string score = LogScoreText(Session.Album()); !score.empty())
    text += "; the rip log " + (score == "not scored" ? "is not scored (its language is not known)"
                                                      : "scores " + score + "/100");
  if (!leftOut.empty())
    text += "; " + leftOut;
  ShowStatus(text);
}

void TFormMain::MeasureInBackground() {
  StopMeasuring();
  std::vector<std::string> paths;
  for (const TTrackEntry& track : Session.Album().Tracks)
    paths.push_back(track.Path);
  MeasuringCancelled = std::make_shared<std::atomic<bool>>(false);
  Measuring = std::jthread([this, paths, cancelled = MeasuringCancelled] {
    TAnalysisHooks hooks;
    hooks.Cancelled = cancelled.get();
    hooks.Threads = 1;        // beside the user's work, not in its way
    hooks.WithFileCrc = true; // a save's .sfv takes them from here
    auto analysis = std::make_shared<const TAlbumAnalysis>(AnalyzeAlbum(paths, hooks));
    if (analysis->Cancelled || *cancelled)
      return;
    QMetaObject::invokeMethod(this, [this, analysis, cancelled] {
      // Kept only for the tracks it measured: a listing changed since has its own.
      if (!*cancelled && KeepAnalysis(Session.Album(), analysis))
        ShowMeasuredWarning();
    });
  });
}

void TFormMain::ShowMeasuredWarning() {
  if (const std::string warning = MeasuredWarning(Session.Album()); !warning.empty())
    ShowStatus("Warning: " + warning + " (Tools, Analyze the Album's Audio shows which)");
}

void TFormMain::StopMeasuring() {
  if (MeasuringCancelled)
    *MeasuringCancelled = true;
  if (Measuring.joinable())
    Measuring.join();
}

void TFormMain::AddTrackLine(std::size_t position) {
  auto* item = new QListWidgetItem(
      ToQt(TrackLine(position, Session.Album().Tracks[position], UseID3TagInfo->isChecked(),
                     HidePathNamesInTrackListing->isChecked())));
  item->setData(Qt::UserRole, static_cast<int>(position)); // rows of discs and files between
  ListBox1->addItem(item);
}

// A line of the listing that is no track: a disc's heading, one of the other files.
static void AddNoteLine(QListWidget* list, const std::string& text) {
  auto* item = new QListWidgetItem(ToQt(text));
  item->setFlags(Qt::NoItemFlags); // greyed, and no command works on it
  item->setData(Qt::UserRole, -1);
  list->addItem(item);
}

void TFormMain::RefreshTrackListing() {
  setWindowTitle(ToQt("Tamberlon - " + FileNamePart(Session.Album().FileName)));
  ListBox1->clear();
  // An album of several discs is listed disc by disc, each under its heading.
  const TAlbumInfo& album = Session.Album();
  const bool discs = DiscCount(album) > 1;
  for (std::size_t position = 0; position < album.Tracks.size(); ++position) {
    const unsigned disc = TrackDiscNumber(album.Tracks[position]);
    if (discs && (position == 0 || TrackDiscNumber(album.Tracks[position - 1]) != disc))
      AddNoteLine(ListBox1, "Disc " + std::to_string(disc));
    AddTrackLine(position);
  }
  // The other files go with the tracks into the lists and the post: shown below them.
  for (const TExtraFile& extra : album.Extras)
    AddNoteLine(ListBox1, "    " +
                              (HidePathNamesInTrackListing->isChecked() ? FileNamePart(extra.Path)
                                                                        : extra.Path) +
                              " (" + IntToAbbrStr(static_cast<std::int64_t>(extra.Size)) + ")");
  LabelTrackCount->setText(ToQt(TrackCountText(Session.Album().Tracks.size())));
}

// The stereo mode and the ID3 tag are an MP3's: another album has none to show.
void TFormMain::ShowMp3Fields(bool mp3) {
  RadioGroupStereoMode->setEnabled(mp3);
  ComboBoxID3Tag->setEnabled(mp3);
  if (ComboBoxID3Tag->lineEdit())
    ComboBoxID3Tag->lineEdit()->setPlaceholderText(mp3 ? QString() : QStringLiteral("n/a"));
}

void TFormMain::ClearTracks() {
  StopMeasuring();
  ShowMp3Fields(true);
  Session.ClearTracks();
  CurrentHost().CloseMedia();
  ListBox1->clear();
  ShowTrackLists();
  for (const TAlbumField& field : AlbumFields)
    if (field.ClearedWithTracks)
      ClearBox(field);
  EditPlayingTime->clear();
  EditSize->clear();
  RefreshTrackListing();
  // The saved release was the album cleared: Post to Usenet waits for the next save (it
  // offered the old release with the new album's newsgroups); a post going on stays in reach.
  SavedNfoPath.clear();
  const bool posting = FormPost && FormPost->Posting();
  PostToUsenet1->setEnabled(posting);
  ButtonPostToUsenet->setEnabled(posting);
}

void TFormMain::ShowTotals() {
  EditPlayingTime->setText(ToQt(Session.Album().PlayingTime));
  EditSize->setText(ToQt(Session.Album().TotalSize));
}

void TFormMain::ShowTrackLists() {
  ShowList(ComboBoxArtist, Session.Lists().Artists);
  ShowList(ComboBoxAlbumTitle, Session.Lists().Albums);
  ShowList(ComboBoxYear, Session.Lists().Years);
}

void TFormMain::FillAlbumFields() {
  Session.SetTexts(CollectBoxes());
  Session.FillFields();
  const TAlbumInfo& album = Session.Album();
  ShowTotals();
  ShowBoxes(Session.Texts());
  ShowMp3Fields(album.Tracks.empty() || IsMp3Format(album.Format));
  if (!album.Tracks.empty() && !CurrentHost().OpenMedia(album.Tracks.front().Path))
    ShowError(ecOpenMedia, album.Tracks.front().Path);
}

// The boxes are found through the field table, by the names their controls carry; each
// kind of box is read, shown and cleared in one place.
void TFormMain::ShowBoxes(const TAlbumFieldTexts& texts) {
  for (const TAlbumField& field : AlbumFields)
    if (!field.Box.empty())
      ShowInBox(field, texts);
}

// A row that names no control of its kind is skipped here; the window's tests hold every
// row to its control.
QButtonGroup* TFormMain::FieldChoices(const TAlbumField& field) const {
  const auto* box = FieldControl<QWidget>(field);
  return box ? box->findChild<QButtonGroup*>() : nullptr;
}

void TFormMain::ShowInBox(const TAlbumField& field, const TAlbumFieldTexts& texts) {
  std::visit(
      [&](auto member) {
        using TMember = decltype(member);
        if constexpr (std::is_same_v<TMember, std::string TAlbumFieldTexts::*>) {
          if (auto* combo = FieldControl<QComboBox>(field)) {
            combo->setEditText(ToQt(texts.*member));
            if (combo->lineEdit()) // a long text shows its beginning, not its tail
              combo->lineEdit()->setCursorPosition(0);
          }
        } else if constexpr (std::is_same_v<TMember, bool TAlbumFieldTexts::*>) {
          if (auto* check = FieldControl<QCheckBox>(field))
            check->setChecked(texts.*member);
        } else if constexpr (std::is_same_v<TMember, int TAlbumFieldTexts::*>) {
          QButtonGroup* choices = FieldChoices(field);
          if (!choices)
            return;
          if (QAbstractButton* button = choices->button(texts.*member)) {
            button->setChecked(true);
          } else if (QAbstractButton* checked = choices->checkedButton()) {
            // None applies (a lossless album has no MPEG mode): an exclusive group
            // lets go of its choice only while it is not exclusive.
            choices->setExclusive(false);
            checked->setChecked(false);
            choices->setExclusive(true);
          }
        } else if constexpr (std::is_same_v<TMember, TDateTime TAlbumFieldTexts::*>) {
          if (auto* picker = FieldControl<QDateEdit>(field))
            picker->setDate(ToQDate(texts.*member));
        }
      },
      field.Text);
}

void TFormMain::ClearBox(const TAlbumField& field) {
  if (auto* combo = FieldControl<QComboBox>(field)) {
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
  } else if (QButtonGroup* choices = FieldChoices(field); choices && choices->button(0)) {
    choices->button(0)->setChecked(true);
  }
}

TAlbumFieldTexts TFormMain::CollectBoxes() const {
  TAlbumFieldTexts texts;
  for (const TAlbumField& field : AlbumFields) {
    if (field.Box.empty())
      continue;
    std::visit(
        [&](auto member) {
          using TMember = decltype(member);
          if constexpr (std::is_same_v<TMember, std::string TAlbumFieldTexts::*>) {
            if (const auto* combo = FieldControl<QComboBox>(field))
              texts.*member = FromQt(combo->currentText());
          } else if constexpr (std::is_same_v<TMember, bool TAlbumFieldTexts::*>) {
            if (const auto* check = FieldControl<QCheckBox>(field))
              texts.*member = check->isChecked();
          } else if constexpr (std::is_same_v<TMember, int TAlbumFieldTexts::*>) {
            if (const QButtonGroup* choices = FieldChoices(field))
              texts.*member = choices->checkedId();
          } else if constexpr (std::is_same_v<TMember, TDateTime TAlbumFieldTexts::*>) {
            if (const auto* picker = FieldControl<QDateEdit>(field))
              texts.*member = FromQDate(picker->date());
          }
        },
        field.Text);
  }
  return texts;
}

int TFormMain::SelectedRow() const {
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  return selected.isEmpty() ? -1 : selected.front()->data(Qt::UserRole).toInt();
}

void TFormMain::SelectTrack(int position) {
  for (int row = 0; row < ListBox1->count(); ++row)
    if (ListBox1->item(row)->data(Qt::UserRole).toInt() == position)
      ListBox1->setCurrentRow(row);
}

void TFormMain::ButtonMoveUpClick() {
  const int p = SelectedRow();
  if (ReadingTracks || p < 0 || !Session.MoveTrack(static_cast<std::size_t>(p), true))
    return;
  RefreshTrackListing();
  SelectTrack(p - 1);
}

void TFormMain::ButtonMoveDownClick() {
  const int p = SelectedRow();
  if (ReadingTracks || p < 0 || !Session.MoveTrack(static_cast<std::size_t>(p), false))
    return;
  RefreshTrackListing();
  SelectTrack(p + 1);
}

void TFormMain::StoreAlbumFields() {
  Session.SetTexts(CollectBoxes());
  Session.StoreFields();
}
