// The main window's work on tracks: choosing, listing, reordering and the album fields.
#include "ui/MainUnit.h"

#include "audio/MP3Unit.h"
#include "common/ErrorsUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "platform/Host.h"
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

namespace {
std::vector<std::string> Entries(const QComboBox* box) {
  std::vector<std::string> entries;
  for (int i = 0; i < box->count(); ++i)
    entries.push_back(FromQt(box->itemText(i)));
  return entries;
}

// A sorted box gains the text in its alphabetical place unless it holds it, ignoring case.
void AddLacking(QComboBox* box, const std::string& text) {
  std::vector<std::string> entries = Entries(box);
  if (text.empty() || !LacksIgnoringCase(entries, text))
    return;
  InsertSortedIgnoringCase(entries, text);
  const auto at = std::find(entries.begin(), entries.end(), text) - entries.begin();
  const QString edit = box->currentText();
  box->insertItem(static_cast<int>(at), ToQt(text));
  box->setEditText(edit);
}

void ClearBox(QComboBox* box) {
  box->clear();
  box->setEditText(QString());
}

// The box's text, or its first entry when the text is empty.
void ShowTextOrFirst(QComboBox* box, const std::string& text) {
  if (!text.empty())
    box->setEditText(ToQt(text));
  else if (box->count() > 0)
    box->setCurrentIndex(0);
}
} // namespace

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
  std::vector<std::string> paths = CurrentHost().OpenFilesDialog(request);
  if (paths.empty())
    return;
  TrackFolder = FolderPart(paths.front());

  // Whatever happens while reading, the window comes back to a consistent state.
  ReadingTracks = true;
  SetTrackCommandsEnabled(false);
  struct TFinish {
    TFormMain* Form;
    ~TFinish() {
      Form->RefreshTrackListing();
      Form->FillAlbumFields();
      Form->ProgressBar1->setValue(0);
      Form->SetTrackCommandsEnabled(true);
      Form->ReadingTracks = false;
    }
  } finish{this};
  TBusyCursor busy;
  ClearTracks();
  if (SortFilesonSelection1->isChecked())
    SortIgnoringCase(paths);
  ProgressBar1->setRange(0, static_cast<int>(paths.size()) - 1);
  const bool withChecksum = GenerateSFVfile1->isChecked();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    QApplication::processEvents();
    auto track = MakeTrackInfo(paths[i], withChecksum);
    if (track->HasTag)
      AddLacking(ComboBoxArtist, track->Artist);
    AddLacking(ComboBoxAlbumTitle, track->Album);
    AddLacking(ComboBoxYear, track->Year);
    FAlbum->PlayingSeconds += track->Duration;
    FAlbum->TotalBytes += track->FileSize;
    FAlbum->Tracks.push_back({paths[i], std::move(track)});
    AddTrackLine(i);
    ProgressBar1->setValue(static_cast<int>(i));
  }
}

void TFormMain::AddTrackLine(std::size_t position) {
  ListBox1->addItem(ToQt(TrackLine(position, FAlbum->Tracks[position], UseID3TagInfo->isChecked(),
                                   HidePathNamesInTrackListing->isChecked())));
}

void TFormMain::RefreshTrackListing() {
  setWindowTitle(ToQt("Tamberlon - " + FileNamePart(FAlbum->FileName)));
  ListBox1->clear();
  for (std::size_t position = 0; position < FAlbum->Tracks.size(); ++position)
    AddTrackLine(position);
  LabelTrackCount->setText(ToQt(TrackCountText(FAlbum->Tracks.size())));
}

void TFormMain::ClearTracks() {
  FAlbum->FileName = "Untitled";
  FAlbum->Tracks.clear();
  FAlbum->TotalBytes = 0;
  FAlbum->PlayingSeconds = 0;
  CurrentHost().CloseMedia();
  ListBox1->clear();
  for (QComboBox* box : {ComboBoxArtist, ComboBoxAlbumTitle, ComboBoxYear})
    ClearBox(box);
  for (QComboBox* box : {ComboBoxGenre, ComboBoxBitRate, ComboBoxSampleRate, ComboBoxID3Tag}) {
    box->setCurrentIndex(-1);
    box->setEditText(QString());
  }
  StereoModeButtons->button(0)->setChecked(true);
  EditPlayingTime->clear();
  EditSize->clear();
  RefreshTrackListing();
}

void TFormMain::FillAlbumFields() {
  const TAlbumFieldChoices c =
      DecideAlbumFields(*FAlbum, static_cast<std::size_t>(ComboBoxArtist->count()));
  FAlbum->PlayingTime = c.PlayingTime;
  EditPlayingTime->setText(ToQt(c.PlayingTime));
  FAlbum->TotalSize = c.TotalSize;
  EditSize->setText(ToQt(c.TotalSize));
  ShowTextOrFirst(ComboBoxAlbumTitle, c.Album);
  FAlbum->VariousArtists = c.VariousArtists;
  ShowTextOrFirst(ComboBoxArtist, c.Artist);
  const int year = ComboBoxYear->findText(QString::number(c.Year), Qt::MatchExactly);
  if (year >= 0)
    ComboBoxYear->setCurrentIndex(year);
  else if (ComboBoxYear->count() > 0)
    ComboBoxYear->setCurrentIndex(0);
  if (!c.Source.empty())
    ComboBoxSource->setEditText(ToQt(c.Source));
  if (!c.RecordLabel.empty())
    ComboBoxRecordLabel->setEditText(ToQt(c.RecordLabel));
  ComboBoxGenre->setEditText(ToQt(c.Genre));
  ComboBoxEncoder->setEditText(ToQt(c.Encoder));
  ComboBoxCodec->setEditText(ToQt(c.Codec));
  ComboBoxBitRate->setEditText(ToQt(c.BitRate));
  CheckBoxVBR->setChecked(c.VBR);
  ComboBoxSampleRate->setEditText(ToQt(c.SampleRate));
  StereoModeButtons->button(c.StereoMode)->setChecked(true);
  ComboBoxID3Tag->setEditText(ToQt(c.TagVersion));
  DateTimePickerRipDate->setDate(ToQDate(c.RipDate));
  if (!FAlbum->Tracks.empty() && !CurrentHost().OpenMedia(FAlbum->Tracks.front().Path))
    ShowError(ecOpenMedia);
}

void TFormMain::ButtonMoveUpClick() {
  const int p = ListBox1->currentRow();
  if (ReadingTracks || p <= 0)
    return;
  std::swap(FAlbum->Tracks[static_cast<std::size_t>(p)],
            FAlbum->Tracks[static_cast<std::size_t>(p - 1)]);
  RefreshTrackListing();
  ListBox1->setCurrentRow(p - 1);
}

void TFormMain::ButtonMoveDownClick() {
  const int p = ListBox1->currentRow();
  if (ReadingTracks || p < 0 || p + 1 >= ListBox1->count())
    return;
  std::swap(FAlbum->Tracks[static_cast<std::size_t>(p)],
            FAlbum->Tracks[static_cast<std::size_t>(p + 1)]);
  RefreshTrackListing();
  ListBox1->setCurrentRow(p + 1);
}

void TFormMain::StoreAlbumFields() {
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
  t.NewsGroups = &ChosenNewsGroups;
  ::StoreAlbumFields(*FAlbum, t);
}
