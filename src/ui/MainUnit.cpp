// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's start, preferences and remembered lists.
#include "ui/MainUnit.h"

#include "audio/ID3GenresUnit.h"
#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "generate/AlbumFieldTable.h"
#include "generate/NFOUnit.h"
#include "generate/PostingPolicyUnit.h"
#include "platform/WindowPlace.h"
#include "ui/LivePreviewUnit.h"
#include "ui/NewsGroupUnit.h"
#include "ui/PostUnit.h"
#include "ui/QtDates.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

void ShowList(QComboBox* box, const std::vector<std::string>& entries) {
  const QString text = box->currentText();
  box->clear();
  for (const std::string& entry : entries)
    box->addItem(ToQt(entry));
  box->setCurrentIndex(-1);
  box->setEditText(text);
}

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
  BuildControls();
  ConnectCommands();
  ListBox1->setAcceptDrops(true);
  ListBox1->viewport()->setAcceptDrops(true);
  ListBox1->viewport()->installEventFilter(this);

  ConnectBoxes();
  ConnectOptions();

  StatusTimer = new QTimer(this);
  StatusTimer->setSingleShot(true);
  connect(StatusTimer, &QTimer::timeout, this, [this] { ShowStatus({}); });
  // A track that will not play says why in the strip; the design shows no box for it.
  CurrentHost().SetMediaProblemListener(
      [this](const std::string& reason) { ShowStatus("Can't play the track: " + reason); });

  FormCreate();
}

void TFormMain::ConnectCommands() {
  connect(ButtonChooseTracks, &QPushButton::clicked, this, &TFormMain::ButtonChooseTracksClick);
  connect(Open1, &QAction::triggered, this, &TFormMain::ButtonChooseTracksClick);
  connect(ButtonMoveUp, &QPushButton::clicked, this, &TFormMain::ButtonMoveUpClick);
  connect(ButtonMoveDown, &QPushButton::clicked, this, &TFormMain::ButtonMoveDownClick);
  connect(ButtonClearTracks, &QPushButton::clicked, this, &TFormMain::ButtonClearTracksClick);
  connect(ButtonCancelReading, &QPushButton::clicked, this, &TFormMain::ButtonCancelReadingClick);
  connect(UseID3TagInfo, &QAction::triggered, this, &TFormMain::HidePathNamesInTrackListingClick);
  connect(HidePathNamesInTrackListing, &QAction::triggered, this,
          &TFormMain::HidePathNamesInTrackListingClick);
  connect(Exit1, &QAction::triggered, this, &QWidget::close);

  connect(ButtonMakeNFO, &QPushButton::clicked, this, &TFormMain::ButtonMakeNFOClick);
  connect(SaveAs1, &QAction::triggered, this, &TFormMain::ButtonMakeNFOClick);
  connect(PostToUsenet1, &QAction::triggered, this, &TFormMain::PostToUsenet1Click);
  connect(ButtonPostToUsenet, &QPushButton::clicked, this, &TFormMain::PostToUsenet1Click);
  connect(Server1, &QAction::triggered, this, &TFormMain::Server1Click);
  connect(PostQueue1, &QAction::triggered, this, &TFormMain::PostQueue1Click);
  connect(ButtonPreviewNFO, &QPushButton::clicked, this, &TFormMain::ButtonPreviewNFOClick);
  connect(ButtonEditNGList, &QPushButton::clicked, this, &TFormMain::ButtonEditNGListClick);
  connect(ComboBoxNewsgroups, &QComboBox::currentIndexChanged, this,
          &TFormMain::ComboBoxNewsgroupsChange);
  connect(ComboBoxNewsgroups, &QComboBox::editTextChanged, this,
          &TFormMain::ComboBoxNewsgroupsChange);
  connect(AddaNewsgroup1, &QAction::triggered, this, &TFormMain::AddaNewsgroup1Click);
  connect(EditNewsgroupList1, &QAction::triggered, this, &TFormMain::EditNewsgroupList1Click);
  connect(Fromatextfile1, &QAction::triggered, this, &TFormMain::Fromatextfile1Click);
  connect(FromAgent1, &QAction::triggered, this, &TFormMain::FromAgent1Click);
  connect(SingleArtistTemplate1, &QAction::triggered, this, &TFormMain::SingleArtistTemplate1Click);
  connect(VariousArtistTemplate1, &QAction::triggered, this,
          &TFormMain::VariousArtistTemplate1Click);
  connect(EditSFVtemplate1, &QAction::triggered, this, &TFormMain::EditSFVtemplate1Click);
  connect(EditPostingPolicy1, &QAction::triggered, this, &TFormMain::EditPostingPolicy1Click);
  connect(VerifySFVFile1, &QAction::triggered, this, &TFormMain::VerifySFVFile1Click);
  connect(AnalyzeAudio1, &QAction::triggered, this, &TFormMain::AnalyzeAudio1Click);
  connect(Contents2, &QAction::triggered, this, &TFormMain::Contents2Click);
  connect(About1, &QAction::triggered, this, &TFormMain::About1Click);
  connect(MediaPlayer1Play, &QToolButton::clicked, this, [this] { MediaPlayer1Click(true); });
  connect(MediaPlayer1Stop, &QToolButton::clicked, this, [this] { MediaPlayer1Click(false); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TFormMain::ListBox1DblClick);
}

void TFormMain::ConnectBoxes() {
  // The boxes are read back once the code that fills them is done, so a half-filled
  // window never reaches the session.
  BoxSyncTimer = new QTimer(this);
  BoxSyncTimer->setSingleShot(true);
  connect(BoxSyncTimer, &QTimer::timeout, this, [this] { Session.SetTexts(CollectBoxes()); });
  for (const TAlbumField& field : AlbumFields) {
    if (auto* combo = FieldControl<QComboBox>(field))
      connect(combo, &QComboBox::editTextChanged, this, &TFormMain::BoxesEdited);
    else if (auto* picker = FieldControl<QDateEdit>(field))
      connect(picker, &QDateEdit::dateChanged, this, &TFormMain::BoxesEdited);
    else if (auto* check = FieldControl<QCheckBox>(field))
      connect(check, &QCheckBox::toggled, this, &TFormMain::BoxesEdited);
    else if (QButtonGroup* choices = FieldChoices(field))
      connect(choices, &QButtonGroup::idToggled, this, &TFormMain::BoxesEdited);
  }
}

void TFormMain::ConnectOptions() {
  LivePreviewTimer = new QTimer(this);
  LivePreviewTimer->setSingleShot(true);
  connect(LivePreviewTimer, &QTimer::timeout, this, &TFormMain::RefreshLivePreview);
  Session.Listen([this](TAlbumSession::TChange) { ScheduleLivePreview(); });
  connect(LivePreview1, &QAction::toggled, this, &TFormMain::LivePreview1Click);
  connect(Par2Redundancy1, &QAction::triggered, this, &TFormMain::Par2Redundancy1Click);
  connect(IncludeExtras1, &QAction::triggered, this, &TFormMain::IncludeExtras1Click);
  connect(Par2CoverLargestFile1, &QAction::triggered, this, &TFormMain::Par2CoverLargestFile1Click);
  connect(ExtraPatterns1, &QAction::triggered, this, &TFormMain::ExtraPatterns1Click);
  for (std::size_t i = 0; i < NfoEncodingItems.size(); ++i)
    connect(NfoEncodingItems[i], &QAction::triggered, this, [this, i] {
      Session.SetEncoding(static_cast<TNfoEncoding>(i));
      PreferencesChanged();
    });
  for (QAction* option :
       {UseID3TagInfo, HidePathNamesInTrackListing, SortFilesonSelection1, LivePreview1})
    connect(option, &QAction::toggled, this, &TFormMain::PreferencesChanged);
  for (QAction* item : DocumentItems)
    if (item)
      connect(item, &QAction::toggled, this, &TFormMain::PreferencesChanged);
}

QAction* TFormMain::DocumentItem(TDocumentRole role) const {
  return DocumentItems[static_cast<std::size_t>(role)];
}

TDocumentChoice TFormMain::ChosenDocuments() const {
  TDocumentChoice chosen{};
  for (std::size_t i = 0; i < DocumentKindCount; ++i)
    chosen[i] = DocumentItems[i]
                    ? DocumentItems[i]->isChecked()
                    : KindOf(static_cast<TDocumentRole>(i)).MadeBy == TDocumentKind::Save;
  return chosen;
}

void TFormMain::ShowStatus(const std::string& text) {
  // The strip shows a note in place of the idle progress bar for a while.
  StatusText = ToQt(text);
  LabelStatus->setToolTip(StatusText);
  ElideStatus();
  LabelStatus->setVisible(!text.empty());
  ProgressBar1->setVisible(text.empty());
  if (!text.empty())
    StatusTimer->start(StatusMilliseconds);
}

void TFormMain::ElideStatus() {
  // Cut to the strip's width once it has one (a window not yet shown has none).
  const int width = std::max(LabelStatus->width(), ProgressBar1->width());
  LabelStatus->setText(
      isVisible() ? LabelStatus->fontMetrics().elidedText(StatusText, Qt::ElideRight, width)
                  : StatusText);
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ElideStatus();
}

void TFormMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && ReadingTracks) {
    CancelReading = true;
    return;
  }
  QMainWindow::keyPressEvent(event);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched != ListBox1->viewport())
    return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
  case QEvent::DragEnter:
  case QEvent::DragMove: {
    auto* drag = static_cast<QDropEvent*>(event);
    if (drag->mimeData()->hasUrls() && !ReadingTracks)
      drag->acceptProposedAction();
    return true;
  }
  case QEvent::Drop: {
    auto* drop = static_cast<QDropEvent*>(event);
    std::vector<std::string> paths;
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile())
        paths.push_back(FromQt(url.toLocalFile()));
    drop->acceptProposedAction();
    // After the drop has finished, so the dragging program is not kept waiting.
    QTimer::singleShot(0, this, [this, paths] {
      const TDroppedFiles dropped = SelectDroppedTracks(paths);
      if (dropped.Tracks.empty())
        ShowStatus(DroppedFilesNote(dropped));
      ChooseTracks(dropped.Tracks, DroppedFilesNote(dropped));
    });
    return true;
  }
  default:
    return QMainWindow::eventFilter(watched, event);
  }
}

TFormMain::~TFormMain() {
  StopMeasuring();
  CurrentHost().SetMediaProblemListener({});
}

void TFormMain::FormCreate() {
  const std::string folder = GetProgramFolder();
  Contents2->setEnabled(true);

  ComboBoxGenre->clear();
  for (int number = 0;; ++number) {
    const std::string name = ID3GenreName(number);
    if (name.empty())
      break;
    ComboBoxGenre->addItem(ToQt(name));
  }
  ComboBoxGenre->setCurrentIndex(-1);

  if (const auto problem = Session.LoadRemembered(folder))
    ShowProblem(*problem);
  ShowRememberedLists();

  for (const TProblem& problem : Session.Open(folder))
    CurrentHost().ShowFileMessage(TMessageKind::Information, problem.Message, problem.Path);
  ApplyPreferences(Session.Preferences);
  PlaceOnScreen(Session.Preferences.MainWindow);
  ShowBoxes(Session.Texts()); // the texts the preferences give, both dates today
  PreferencesApplied = true;
}

void TFormMain::PreferencesChanged() {
  if (!PreferencesApplied)
    return;
  const bool written = WritePreferences(GetPreferencesPath(), CurrentPreferences());
  if (!written && !PreferencesWriteFailed)
    ShowError(ecOpenForWriting, GetPreferencesPath());
  PreferencesWriteFailed = !written;
}

void TFormMain::ShowRememberedLists() {
  for (const TAlbumField& field : AlbumFields)
    if (field.Remembered)
      if (auto* combo = FieldControl<QComboBox>(field))
        ShowList(combo, Session.Remembered[*field.Remembered]);
}

void TFormMain::ApplyPreferences(const TPreferences& p) {
  HidePathNamesInTrackListing->setChecked(p.HidePaths);
  UseID3TagInfo->setChecked(p.UsedID3Tags);
  SortFilesonSelection1->setChecked(p.SortSelections);
  LivePreview1->setChecked(p.LivePreview);
  IncludeExtras1->setChecked(p.IncludeExtras);
  Par2CoverLargestFile1->setChecked(p.Par2CoverLargestFile);
  const TDocumentChoice documents = Session.PreferredDocuments();
  for (std::size_t i = 0; i < DocumentKindCount; ++i)
    if (DocumentItems[i])
      DocumentItems[i]->setChecked(documents[i]);
  const TNfoEncoding encoding = EncodingNamed(p.NfoEncoding).value_or(TNfoEncoding::Utf8);
  NfoEncodingItems[static_cast<std::size_t>(encoding)]->setChecked(true);
  Session.SetEncoding(encoding);
  TrackFolder = p.InitialDir;
  NewsGroupFilter = p.NewsGroupFilter;
  LastGroupAdded = p.LastGroupAdded;
  SetNewsGroupEntries(p.NGPostedTo);
}

TPreferences TFormMain::CurrentPreferences() const {
  TPreferences p;
  p.HidePaths = HidePathNamesInTrackListing->isChecked();
  p.UsedID3Tags = UseID3TagInfo->isChecked();
  p.SortSelections = SortFilesonSelection1->isChecked();
  p.LivePreview = LivePreview1->isChecked();
  p.Switches = Session.Preferences.Switches;
  for (const TDocumentKind& kind : DocumentKinds)
    if (!kind.PreferenceKey.empty())
      p.Switches[std::string(kind.PreferenceKey)] = DocumentItem(kind.Role)->isChecked();
  p.NfoEncoding = std::string(EncodingName(Session.Encoding()));
  p.Par2Redundancy = Session.Preferences.Par2Redundancy;
  p.Par2CoverLargestFile = Par2CoverLargestFile1->isChecked();
  p.IncludeExtras = IncludeExtras1->isChecked();
  p.ExtraPatterns = Session.Preferences.ExtraPatterns;
  p.InitialDir = TrackFolder;
  p.NewsGroupFilter = NewsGroupFilter;
  p.LastGroupAdded = LastGroupAdded;
  const TAlbumFieldTexts texts = CollectBoxes();
  for (const TAlbumField& field : AlbumFields)
    if (const auto* text = std::get_if<std::string TAlbumFieldTexts::*>(&field.Text);
        text && field.Preference)
      p.*field.Preference = texts.**text;
  p.NGPostedTo = NewsGroupEntries();
  p.Server = Session.Preferences.Server;
  p.MoreServers = Session.Preferences.MoreServers;
  // Until it is shown the window is nowhere the user put it.
  p.MainWindow = Shown ? PlaceNow() : Session.Preferences.MainWindow;
  return p;
}

void TFormMain::PlaceOnScreen(const std::optional<TWindowPlace>& place) {
  const QList<QRect> areas = AvailableScreenAreas();
  if (areas.isEmpty())
    return;
  // Its own frame is not known before it is shown: the usual one is allowed for.
  QRect frame(QPoint(), size() + WindowFrameAllowance);
  if (place)
    frame = QRect(place->Left, place->Top, place->Width + WindowFrameAllowance.width(),
                  place->Height + WindowFrameAllowance.height());
  else
    frame.moveCenter(areas.front().center());
  frame = KeptOnAreas(frame, areas);
  resize(frame.size() - WindowFrameAllowance);
  move(frame.topLeft());
}

TWindowPlace TFormMain::PlaceNow() const {
  // A maximised window is remembered where it goes back to.
  const QRect inner = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  const QPoint frame = inner.topLeft() - (geometry().topLeft() - pos());
  return {frame.x(), frame.y(), inner.width(), inner.height()};
}

std::vector<std::string> TFormMain::NewsGroupEntries() const {
  return Session.NewsGroups();
}

void TFormMain::SetNewsGroupEntries(std::vector<std::string> entries) {
  Session.SetNewsGroups(std::move(entries));
  const QSignalBlocker blocker(ComboBoxNewsgroups);
  ComboBoxNewsgroups->clear();
  for (const std::string& entry : Session.NewsGroups())
    ComboBoxNewsgroups->addItem(ToQt(entry));
  ComboBoxNewsgroups->setCurrentIndex(Session.NewsGroups().empty() ? -1 : 0);
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!Shown) {
    Shown = true;
    FormShow();
  }
}

void TFormMain::FormShow() {
  ClearTracks();
  RestorePostQueue();
  if (LivePreview1->isChecked())
    LivePreview1Click(true); // remembered open: shown beside the window, now that it is placed
}

void TFormMain::BoxesEdited() {
  BoxSyncTimer->start(0);
}

void TFormMain::ScheduleLivePreview() {
  if (FormLivePreview && FormLivePreview->isVisible())
    LivePreviewTimer->start(LivePreviewDelay);
}

void TFormMain::RefreshLivePreview() {
  if (FormLivePreview && FormLivePreview->isVisible())
    FormLivePreview->SetText(ToQt(Session.LiveNfoText()));
}

void TFormMain::WatchTemplates() {
  // An editor may save by replacing the file: the folder is watched as well as the files.
  const std::string folder = GetProgramFolder();
  TemplateWatcher->addPath(ToQt(folder));
  std::vector<std::string> names = {PostingPolicyFileName};
  for (const TNfoTemplateFile& file : NfoTemplateFiles)
    names.emplace_back(file.Name);
  for (const std::string& name : names)
    if (FileExists(folder + name))
      TemplateWatcher->addPath(ToQt(folder + name));
}

void TFormMain::LivePreview1Click(bool checked) {
  if (!checked || !Shown) {
    if (FormLivePreview)
      FormLivePreview->hide();
    return;
  }
  if (!FormLivePreview) {
    FormLivePreview = new TFormLivePreview(this);
    connect(FormLivePreview, &TFormLivePreview::Closed, this,
            [this] { LivePreview1->setChecked(false); });
    TemplateWatcher = new QFileSystemWatcher(this);
    const auto changed = [this] {
      WatchTemplates();
      ScheduleLivePreview();
    };
    connect(TemplateWatcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(TemplateWatcher, &QFileSystemWatcher::directoryChanged, this, changed);
    FormLivePreview->PlaceBeside(this);
  }
  WatchTemplates();
  FormLivePreview->show();
  Session.SetTexts(CollectBoxes());
  RefreshLivePreview();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (FormPost && !FormPost->PauseToClose()) {
    event->ignore(); // asked, and the answer was to go on posting
    return;
  }
  StopPostQueue();
  FormClose();
  // The preferences are written as the program ends: the windows closed with it (the live
  // preview unchecks its item as it closes) change none of them.
  PreferencesApplied = false;
  event->accept();
  // The program ends with its main window: the help and preview windows go with it.
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window != this && window->isVisible())
      window->close();
}

void TFormMain::FormClose() {
  if (!WritePreferences(GetPreferencesPath(), CurrentPreferences()))
    ShowError(ecOpenForWriting, GetPreferencesPath());
}
