// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's work on tracks: choosing, listing, reordering and the album fields.
#include "ui/MainUnit.h"

#include "audio/MP3Unit.h"
#include "audio/TrackReaderUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "ui/QtDates.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

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
  request.Filters = {{"MP3 Files (*.mp3)", "*.mp3"}, {"All Files (*.*)", "*"}};
  request.Folder = TrackFolder;
  ChooseTracks(CurrentHost().OpenFilesDialog(request));
}

void TFormMain::ChooseTracks(std::vector<std::string> paths) {
  if (ReadingTracks || paths.empty())
    return;
  TrackFolder = FolderPart(paths.front());

  // Whatever happens while reading, the window comes back to a consistent state.
  ReadingTracks = true;
  SetTrackCommandsEnabled(false);
  ShowStatus({});
  struct TFinish {
    TFormMain* Form;
    std::size_t Chosen;
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
      Form->ShowReadingOutcome(Chosen); // what was read outweighs the player's note
    }
  } finish{this, paths.size()};
  TBusyCursor busy;
  ClearTracks();
  if (SortFilesonSelection1->isChecked())
    SortIgnoringCase(paths);
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
  // Checksums are read with the tracks when a chosen document lists them.
  bool withChecksum = false;
  for (std::size_t i = 0; i < Companions.size(); ++i)
    withChecksum = withChecksum || (Companions[i].ReadsChecksums && CompanionItems[i]->isChecked());
  Session.ChooseTracks(paths, withChecksum, observer);
}

void TFormMain::ShowReadingOutcome(std::size_t chosen) {
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
  ShowStatus(text);
}

void TFormMain::AddTrackLine(std::size_t position) {
  ListBox1->addItem(
      ToQt(TrackLine(position, Session.Album().Tracks[position], UseID3TagInfo->isChecked(),
                     HidePathNamesInTrackListing->isChecked())));
}

void TFormMain::RefreshTrackListing() {
  setWindowTitle(ToQt("Tamberlon - " + FileNamePart(Session.Album().FileName)));
  ListBox1->clear();
  for (std::size_t position = 0; position < Session.Album().Tracks.size(); ++position)
    AddTrackLine(position);
  LabelTrackCount->setText(ToQt(TrackCountText(Session.Album().Tracks.size())));
}

void TFormMain::ClearTracks() {
  Session.ClearTracks();
  CurrentHost().CloseMedia();
  ListBox1->clear();
  ShowTrackLists();
  for (QComboBox* box : {ComboBoxArtist, ComboBoxAlbumTitle, ComboBoxYear})
    box->setEditText(QString());
  for (QComboBox* box : {ComboBoxGenre, ComboBoxBitRate, ComboBoxSampleRate, ComboBoxID3Tag}) {
    box->setCurrentIndex(-1);
    box->setEditText(QString());
  }
  StereoModeButtons->button(0)->setChecked(true);
  EditPlayingTime->clear();
  EditSize->clear();
  RefreshTrackListing();
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
  if (!album.Tracks.empty() && !CurrentHost().OpenMedia(album.Tracks.front().Path))
    ShowError(ecOpenMedia, album.Tracks.front().Path);
}

void TFormMain::ShowBoxes(const TAlbumFieldTexts& t) {
  ComboBoxArtist->setEditText(ToQt(t.Artist));
  ComboBoxAlbumTitle->setEditText(ToQt(t.AlbumTitle));
  ComboBoxYear->setEditText(ToQt(t.Year));
  ComboBoxGenre->setEditText(ToQt(t.Genre));
  ComboBoxSource->setEditText(ToQt(t.Source));
  ComboBoxRecordLabel->setEditText(ToQt(t.RecordLabel));
  ComboBoxEncoder->setEditText(ToQt(t.Encoder));
  ComboBoxCodec->setEditText(ToQt(t.Codec));
  ComboBoxBitRate->setEditText(ToQt(t.BitRate));
  CheckBoxVBR->setChecked(t.VBR);
  ComboBoxSampleRate->setEditText(ToQt(t.SampleRate));
  StereoModeButtons->button(t.StereoMode)->setChecked(true);
  ComboBoxID3Tag->setEditText(ToQt(t.ID3Version));
  DateTimePickerRipDate->setDate(ToQDate(t.RipDate));
  // A long text shows its beginning, not its tail.
  for (QComboBox* box : {ComboBoxArtist, ComboBoxAlbumTitle, ComboBoxYear, ComboBoxGenre,
                         ComboBoxSource, ComboBoxRecordLabel, ComboBoxEncoder, ComboBoxCodec,
                         ComboBoxBitRate, ComboBoxSampleRate, ComboBoxID3Tag})
    if (box->lineEdit())
      box->lineEdit()->setCursorPosition(0);
}

int TFormMain::SelectedRow() const {
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  return selected.isEmpty() ? -1 : ListBox1->row(selected.front());
}

void TFormMain::ButtonMoveUpClick() {
  const int p = SelectedRow();
  if (ReadingTracks || p < 0 || !Session.MoveTrack(static_cast<std::size_t>(p), true))
    return;
  RefreshTrackListing();
  ListBox1->setCurrentRow(p - 1);
}

void TFormMain::ButtonMoveDownClick() {
  const int p = SelectedRow();
  if (ReadingTracks || p < 0 || !Session.MoveTrack(static_cast<std::size_t>(p), false))
    return;
  RefreshTrackListing();
  ListBox1->setCurrentRow(p + 1);
}

TAlbumFieldTexts TFormMain::CollectBoxes() {
  TAlbumFieldTexts t;
  t.Artist = FromQt(ComboBoxArtist->currentText());
  t.AlbumTitle = FromQt(ComboBoxAlbumTitle->currentText());
  t.Year = FromQt(ComboBoxYear->currentText());
  t.Genre = FromQt(ComboBoxGenre->currentText());
  t.Source = FromQt(ComboBoxSource->currentText());
  t.RecordLabel = FromQt(ComboBoxRecordLabel->currentText());
  t.Encoder = FromQt(ComboBoxEncoder->currentText());
  t.Codec = FromQt(ComboBoxCodec->currentText());
  t.BitRate = FromQt(ComboBoxBitRate->currentText());
  t.VBR = CheckBoxVBR->isChecked();
  t.SampleRate = FromQt(ComboBoxSampleRate->currentText());
  t.StereoMode = StereoModeButtons->checkedId();
  t.ID3Version = FromQt(ComboBoxID3Tag->currentText());
  t.PostedBy = FromQt(ComboBoxPostedBy->currentText());
  t.PostDate = FromQDate(DateTimePickerPostDate->date());
  t.RippedBy = FromQt(ComboBoxRippedBy->currentText());
  t.RipDate = FromQDate(DateTimePickerRipDate->date());
  return t;
}

void TFormMain::StoreAlbumFields() {
  Session.SetTexts(CollectBoxes());
  Session.StoreFields();
}
