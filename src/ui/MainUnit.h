// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the track listing, the album, technical and posting fields, and the
// commands. Decisions live in the core; this class shows them and forwards events.
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumFieldTable.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumSession.h"
#include "generate/DocumentKinds.h"
#include "ui/QtText.h"

#include <QMainWindow>
#include <QProgressDialog>
#include <array>
#include <atomic>
#include <memory>
#include <thread>

class QAction;
class QFileSystemWatcher;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLayout;
class QMenu;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;
class TFormLivePreview;
class TFormVerify;
class TFormNewsGroups;
class TFormPost;
class TFormQueue;
struct TAlbumField;
struct TPostSetup;
struct TServerProfile;

class TFormMain : public QMainWindow {
  Q_OBJECT
public:
  static constexpr int HelpContents = 100;

  // Builds the window and runs FormCreate.
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // The newsgroup window, created right after this one.
  void SetNewsGroupsForm(TFormNewsGroups* form) { FormNewsGroups = form; }
  TAlbumInfo& Album() { return Session.Album(); }
  // The album this window shows: its controls show and edit the session's texts.
  TAlbumSession& AlbumSession() { return Session; }

  // Start-up, preferences and remembered lists.
  void FormCreate();
  void FormShow();
  void FormClose();

  // Track listing and album fields.
  void ButtonChooseTracksClick();
  // Replaces the tracks with these files, as Choose Tracks does with the dialog's choice.
  // leftOut: what a drop left out, told in the strip with what was read.
  void ChooseTracks(std::vector<std::string> paths, const std::string& leftOut = {});
  void ButtonMoveUpClick();
  void ButtonMoveDownClick();
  void ButtonClearTracksClick() { ClearTracks(); }
  void ButtonCancelReadingClick() { CancelReading = true; }
  void HidePathNamesInTrackListingClick() { RefreshTrackListing(); }
  void ClearTracks();
  void RefreshTrackListing();
  void AddTrackLine(std::size_t position);
  void FillAlbumFields();
  // The boxes' texts into the session, and from there into the album record.
  void StoreAlbumFields();

  // Output and auxiliary commands.
  void ButtonMakeNFOClick();
  void ButtonPreviewNFOClick();
  void ButtonEditNGListClick();
  void ComboBoxNewsgroupsChange();
  void AddaNewsgroup1Click();
  void EditNewsgroupList1Click();
  void Fromatextfile1Click();
  void FromAgent1Click();
  void SingleArtistTemplate1Click();
  void VariousArtistTemplate1Click();
  void EditSFVtemplate1Click();
  void EditPostingPolicy1Click();
  void VerifySFVFile1Click();
  void AnalyzeAudio1Click();
  // The saved release posted from its own window; the server's settings asked for.
  void PostToUsenet1Click();
  void Server1Click();
  // The post queue's window; the album of the post window added to it; the queue a
  // program closed while posting left, taken up.
  void PostQueue1Click();
  void AddToQueue();
  void RestorePostQueue();
  void StopPostQueue();
  TPostSetup QueueSettingsNow();
  // The post's settings: [Server]'s keys.
  TPostSetup PostSetupNow() const;
  void KeepServer(const TPostSetup& setup, const std::string& password);
  // Opens a verify window on the .sfv; nullptr when it cannot be read.
  TFormVerify* VerifySfvFile(const std::string& path);
  void Contents2Click();
  void About1Click();
  void MediaPlayer1Click(bool play);
  void LivePreview1Click(bool checked);
  void Par2Redundancy1Click();
  void IncludeExtras1Click(bool checked);
  void Par2CoverLargestFile1Click(bool checked);
  void ExtraPatterns1Click();
  void ListBox1DblClick();
  void PlaySelectedTrack();

  // The preference values without a control of their own.
  std::string TrackFolder;
  std::string NewsGroupFilter = "mp3";
  std::string LastGroupAdded;

protected:
  void showEvent(QShowEvent* event) override;
  // Files and folders dropped on the track listing.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildControls();
  QWidget* BuildTrackListing();
  QWidget* BuildAlbumInformation();
  QWidget* BuildTechnicalInformation();
  QWidget* BuildPostingInformation();
  void FindFieldBoxes();
  void ConnectCommands();
  QLayout* BuildOutputButtons(QWidget* central);
  QLayout* BuildStatusStrip(QWidget* central);
  void FitToScreen(const QWidget* central);
  void BuildOptionsMenu(QMenu* options);
  void BuildToolsMenu(QMenu* tools);
  void ConnectBoxes();
  void ConnectOptions();
  void BuildMenu();
  void SetTabOrder();
  void SetTrackCommandsEnabled(bool enabled);
  // The live preview follows the album: a change schedules one regeneration.
  void BoxesEdited();
  void ScheduleLivePreview();
  void RefreshLivePreview();
  void WatchTemplates();
  // What a command did, in the bottom strip for a while; an empty text clears it.
  void ShowStatus(const std::string& text);
  void ElideStatus();
  void ShowReadingOutcome(std::size_t chosen, const std::string& leftOut = {});
  // Asks the compilation question when it is open, and remembers the answer for the live
  // preview; nothing when it is not.
  std::optional<bool> AskCompilationQuestion(bool open);
  std::optional<TSaveAnswers> AskSaveQuestions(const TSavePlan& plan);
  // The progress bar while a save or preview computes the checksums tracks lack.
  std::function<void(std::size_t, std::size_t)> ChecksumProgress();
  // The recovery files' progress in a box with Cancel, shown once the work starts.
  std::function<bool(std::uint64_t, std::uint64_t)>
  RecoveryProgress(std::unique_ptr<QProgressDialog>& box,
                   const char* label = "Making the PAR2 recovery files...",
                   const char* title = "Save .NFO file");
  static constexpr int StatusMilliseconds = 10000;
  // The selected track's position, or -1: Qt gives the list a current row on focus alone.
  // A position, not a row: discs' headings and other files sit between the tracks.
  int SelectedRow() const;
  void SelectTrack(int position);
  void ShowTrackLists();
  void ShowTotals();
  TAlbumFieldTexts CollectBoxes() const;
  void ShowBoxes(const TAlbumFieldTexts& boxes);
  void ShowInBox(const TAlbumField& field, const TAlbumFieldTexts& texts);
  void ClearBox(const TAlbumField& field);
  void ShowRememberedLists();
  TPreferences CurrentPreferences() const;
  void ApplyPreferences(const TPreferences& preferences);
  // Where the user left the window, kept on a screen that is still there; the first time,
  // centred on the screen.
  void PlaceOnScreen(const std::optional<TWindowPlace>& place);
  TWindowPlace PlaceNow() const;
  std::vector<std::string> NewsGroupEntries() const;
  void SetNewsGroupEntries(std::vector<std::string> entries);

  TAlbumSession Session;
  TFormNewsGroups* FormNewsGroups = nullptr;
  bool Shown = false;
  // The preferences are written as the options change (set once the file's were shown),
  // so a kill or a crash loses none; a failure is told once, and the close tries again.
  void PreferencesChanged();
  bool PreferencesApplied = false;
  bool PreferencesWriteFailed = false;
  bool ReadingTracks = false;
  bool CancelReading = false;
  // An album's tracks measured once they are read, on a thread of their own: a transcode or
  // a lossy track's doubted rate is said before anything is saved, and the save finds the
  // figures measured.
  void MeasureInBackground();
  void StopMeasuring();
  void ShowMp3Fields(bool mp3);
  void ShowMeasuredWarning(); // in the strip, when the measurement doubts a track
  std::shared_ptr<std::atomic<bool>> MeasuringCancelled;
  std::jthread Measuring;
  // The last .nfo saved in this session: what Post to Usenet posts.
  std::string SavedNfoPath;
  // The news server's password, in memory for the session (and in the desktop's secret
  // store where one runs): never in the preferences.
  std::string ServerPassword;
  std::optional<bool> SecretStoreRuns; // known once the store was asked
  // The password from memory, else the secret store.
  std::string PasswordFor(const TServerProfile& server);

public:
  // The field's control when it is of the kind asked for; nullptr for a row without one
  // or one that names another kind.
  template <class TControl> TControl* FieldControl(const TAlbumField& field) const {
    return field.Box.empty()
               ? nullptr
               : findChild<TControl*>(QString::fromLatin1(field.Box.data(), field.Box.size()));
  }
  // The button group of a field whose text is a choice among buttons.
  QButtonGroup* FieldChoices(const TAlbumField& field) const;
  // Controls, named as designed.
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QGroupBox* GroupBox4 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QLabel* LabelTrackCount = nullptr;
  QPushButton* ButtonChooseTracks = nullptr;
  QPushButton* ButtonMoveUp = nullptr;
  QPushButton* ButtonMoveDown = nullptr;
  QWidget* MediaPlayer1 = nullptr;
  QToolButton* MediaPlayer1Play = nullptr;
  QToolButton* MediaPlayer1Stop = nullptr;
  QPushButton* ButtonClearTracks = nullptr;
  QComboBox* ComboBoxArtist = nullptr;
  QComboBox* ComboBoxAlbumTitle = nullptr;
  QComboBox* ComboBoxYear = nullptr;
  QComboBox* ComboBoxSource = nullptr;
  QComboBox* ComboBoxGenre = nullptr;
  QComboBox* ComboBoxRecordLabel = nullptr;
  QLineEdit* EditPlayingTime = nullptr;
  QLineEdit* EditSize = nullptr;
  QComboBox* ComboBoxEncoder = nullptr;
  QComboBox* ComboBoxCodec = nullptr;
  QComboBox* ComboBoxBitRate = nullptr;
  QCheckBox* CheckBoxVBR = nullptr;
  QComboBox* ComboBoxSampleRate = nullptr;
  QComboBox* ComboBoxBitsPerSample = nullptr;
  QComboBox* ComboBoxID3Tag = nullptr;
  QGroupBox* RadioGroupStereoMode = nullptr;
  QButtonGroup* StereoModeButtons = nullptr;
  QComboBox* ComboBoxRippedBy = nullptr;
  QDateEdit* DateTimePickerRipDate = nullptr;
  QComboBox* ComboBoxPostedBy = nullptr;
  QDateEdit* DateTimePickerPostDate = nullptr;
  QComboBox* ComboBoxNewsgroups = nullptr;
  QPushButton* ButtonEditNGList = nullptr;
  QPushButton* ButtonPreviewNFO = nullptr;
  QPushButton* ButtonMakeNFO = nullptr;
  QPushButton* ButtonPostToUsenet = nullptr;
  TFormPost* FormPost = nullptr;
  TFormQueue* FormQueue = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* LabelStatus = nullptr;
  QString StatusText; // whole, as the tooltip shows it
  QTimer* StatusTimer = nullptr;
  TFormLivePreview* FormLivePreview = nullptr;
  QTimer* BoxSyncTimer = nullptr;
  QTimer* LivePreviewTimer = nullptr;
  QFileSystemWatcher* TemplateWatcher = nullptr;
  static constexpr int LivePreviewDelay = 30; // ms: typing coalesces, well within 100
  // Shown while tracks are read; Escape does the same.
  QPushButton* ButtonCancelReading = nullptr;
  QAction* Open1 = nullptr;
  QAction* SaveAs1 = nullptr;
  QAction* PostToUsenet1 = nullptr;
  QAction* PostQueue1 = nullptr;
  QAction* Server1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* UseID3TagInfo = nullptr;
  QAction* HidePathNamesInTrackListing = nullptr;
  QAction* SortFilesonSelection1 = nullptr;
  QAction* LivePreview1 = nullptr;
  QAction* Par2Redundancy1 = nullptr;
  QAction* IncludeExtras1 = nullptr;
  QAction* Par2CoverLargestFile1 = nullptr;
  QAction* ExtraPatterns1 = nullptr;
  // The documents beside the .nfo, one checkable item each, in the companion table's
  // order ("Generate .SFV files also" is GenerateSFVfile1).
  // Each document kind's menu item (none for the .nfo, which Save always writes).
  std::array<QAction*, DocumentKindCount> DocumentItems{};
  QAction* DocumentItem(TDocumentRole role) const;
  TDocumentChoice ChosenDocuments() const;
  // "NFO Encoding": one item an encoding, in the order of TNfoEncoding.
  std::array<QAction*, 3> NfoEncodingItems{};
  QAction* AddaNewsgroup1 = nullptr;
  QAction* EditNewsgroupList1 = nullptr;
  QAction* Fromatextfile1 = nullptr;
  QAction* FromAgent1 = nullptr;
  QAction* SingleArtistTemplate1 = nullptr;
  QAction* VariousArtistTemplate1 = nullptr;
  QAction* EditSFVtemplate1 = nullptr;
  QAction* EditPostingPolicy1 = nullptr;
  QAction* VerifySFVFile1 = nullptr;
  QAction* AnalyzeAudio1 = nullptr;
  QAction* Contents2 = nullptr;
  QAction* About1 = nullptr;
};

// A box's drop-down list replaced by the entries, its edit text kept.
void ShowList(QComboBox* box, const std::vector<std::string>& entries);
