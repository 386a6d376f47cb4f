// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls and menu, arranged as designed.
#include "ui/MainUnit.h"

#include "common/Host.h"
#include "generate/EncodingUnit.h"
#include "generate/NFOUnit.h"
#include "platform/WindowPlace.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>
#include <type_traits>
#include <variant>
#include <vector>

namespace {
constexpr int ControlHelp = 140;

template <typename T> T* Named(T* object, const char* name, int helpContext = ControlHelp) {
  object->setObjectName(QString::fromLatin1(name));
  object->setProperty("helpContext", helpContext);
  return object;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items = {}) {
  auto* box = Named(new QComboBox(parent), name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(items);
  box->setCurrentIndex(-1);
  return box;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* button = Named(new QPushButton(QString::fromUtf8(caption), parent), name);
  button->setToolTip(QString::fromUtf8(hint));
  return button;
}

// A label that ends with one blank, in front of its control.
void AddLabelled(QGridLayout* grid, int row, int column, const char* label, QWidget* control,
                 int span = 1, int labelHelp = ControlHelp) {
  auto* text = new QLabel(QString::fromUtf8(label), control->parentWidget());
  text->setProperty("helpContext", labelHelp);
  text->setBuddy(control);
  grid->addWidget(text, row, column);
  grid->addWidget(control, row, column + 1, 1, span);
}

void Compact(QGridLayout* grid) {
  grid->setContentsMargins(8, 4, 8, 4);
  grid->setVerticalSpacing(3);
  grid->setHorizontalSpacing(4);
}

QAction* MenuItem(QMenu* menu, const char* name, const char* caption, int help = 0) {
  return Named(menu->addAction(QString::fromUtf8(caption)), name, help);
}

QAction* CheckableItem(QMenu* menu, const char* name, const char* caption) {
  QAction* item = MenuItem(menu, name, caption);
  item->setCheckable(true);
  return item;
}

QDateEdit* DatePicker(QWidget* parent, const char* name) {
  auto* picker = Named(new QDateEdit(parent), name);
  picker->setCalendarPopup(true);
  return picker;
}
// The fields whose boxes sit in a group, row by row: the order the boxes are made in, and
// so their tab order.
std::vector<const TAlbumField*> FieldsIn(TBoxGroup group) {
  std::vector<const TAlbumField*> fields;
  for (const TAlbumField& field : AlbumFields)
    if (field.Place.Group == group)
      fields.push_back(&field);
  std::stable_sort(fields.begin(), fields.end(), [](const TAlbumField* a, const TAlbumField* b) {
    return std::tie(a->Place.Row, a->Place.Column) < std::tie(b->Place.Row, b->Place.Column);
  });
  return fields;
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList Items(const TBoxPlace& place) {
  QStringList items;
  for (const std::string_view item : place.Items)
    items.push_back(Text(item));
  return items;
}

QGroupBox* RadioButtons(QWidget* parent, const std::string& name, const TBoxPlace& place) {
  auto* group = Named(new QGroupBox(Text(place.Label), parent), name.c_str());
  auto* buttons = new QButtonGroup(group);
  auto* columns = new QHBoxLayout(group);
  for (int index = 0; index < static_cast<int>(place.Items.size()); ++index) {
    auto* radio = new QRadioButton(Text(place.Items[static_cast<std::size_t>(index)]), group);
    radio->setObjectName(Text(name) + QString::number(index));
    buttons->addButton(radio, index);
    columns->addWidget(radio);
  }
  if (buttons->button(0))
    buttons->button(0)->setChecked(true);
  columns->setContentsMargins(6, 2, 6, 2);
  return group;
}

// A field's box as its value's kind asks: a text's combo box, a check mark's check box, a
// choice's radio buttons, a date's picker.
QWidget* FieldBox(QWidget* parent, const TAlbumField& field) {
  const std::string name(field.Box);
  const TBoxPlace& place = field.Place;
  QWidget* box = nullptr;
  if (std::holds_alternative<bool TAlbumFieldTexts::*>(field.Text))
    box = Named(new QCheckBox(Text(place.Label), parent), name.c_str(),
                place.Help ? place.Help : ControlHelp);
  else if (std::holds_alternative<int TAlbumFieldTexts::*>(field.Text))
    box = RadioButtons(parent, name, place);
  else if (std::holds_alternative<TDateTime TAlbumFieldTexts::*>(field.Text))
    box = DatePicker(parent, name.c_str());
  else {
    auto* combo = Combo(parent, name.c_str(), Items(place));
    if (place.Characters > 0) {
      combo->setMinimumContentsLength(place.Characters);
      combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    box = combo;
  }
  if (!place.Hint.empty())
    box->setToolTip(Text(place.Hint));
  return box;
}

// Each of the group's fields' boxes in its cell, labelled where its row says.
void AddFieldBoxes(QGroupBox* group, QGridLayout* grid, TBoxGroup which) {
  for (const TAlbumField* field : FieldsIn(which)) {
    const TBoxPlace& place = field->Place;
    QWidget* box = FieldBox(group, *field);
    const bool captioned = !std::holds_alternative<std::string TAlbumFieldTexts::*>(field->Text) &&
                           !std::holds_alternative<TDateTime TAlbumFieldTexts::*>(field->Text);
    if (place.Label.empty() || captioned)
      grid->addWidget(box, place.Row, place.Column, 1, place.Span);
    else
      AddLabelled(grid, place.Row, place.Column, std::string(place.Label).c_str(), box, place.Span,
                  place.Help ? place.Help : ControlHelp);
  }
}
} // namespace

void TFormMain::BuildControls() {
  setObjectName(QStringLiteral("FormMain"));
  setProperty("helpContext", HelpContents);

  // The window was designed for an 8-point dialog font; larger default fonts would not
  // fit its fields into its size.
  QFont designFont = font();
  designFont.setPointSize(8);
  setFont(designFont);

  auto* central = new QWidget(this);
  auto* window = new QVBoxLayout(central);
  window->setContentsMargins(8, 2, 8, 2);
  window->setSpacing(4);
  window->addWidget(BuildTrackListing(), 1);

  auto* middle = new QHBoxLayout;
  middle->addWidget(BuildAlbumInformation(), 1);
  middle->addSpacing(14);
  middle->addWidget(BuildTechnicalInformation());
  window->addLayout(middle);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(BuildPostingInformation());
  FindFieldBoxes();
  bottom->addStretch(1);
  bottom->addLayout(BuildOutputButtons(central));
  bottom->addSpacing(13);
  window->addLayout(bottom);

  window->addLayout(BuildStatusStrip(central));
  // On a screen too small for the window (a laptop's, or any at twice the scale) the
  // content scrolls instead of running off the screen, its buttons out of reach.
  auto* scroll = Named(new QScrollArea(this), "ScrollMain");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setFocusPolicy(Qt::NoFocus); // the keys go to the boxes it holds
  scroll->setWidget(central);
  setCentralWidget(scroll);
  FitToScreen(central);
  BuildMenu();
  SetTabOrder();
}

// Preview above Save and Post, in the window's corner.
QLayout* TFormMain::BuildOutputButtons(QWidget* central) {
  ButtonPreviewNFO = Button(central, "ButtonPreviewNFO", "&Preview .NFO", "Preview the .NFO file");
  ButtonMakeNFO = Button(central, "ButtonMakeNFO", "&Save .NFO", "Save the .NFO to a file");
  ButtonPostToUsenet = Button(central, "ButtonPostToUsenet", "Post to Us&enet...",
                              "Post the saved release to a news server (Ctrl+U)");
  ButtonPostToUsenet->setEnabled(false);
  for (QPushButton* button : {ButtonPreviewNFO, ButtonMakeNFO, ButtonPostToUsenet})
    button->setMinimumSize(81, 33);
  auto* outputButtons = new QVBoxLayout;
  outputButtons->addStretch();
  outputButtons->addWidget(ButtonPreviewNFO, 0, Qt::AlignRight);
  outputButtons->addSpacing(15);
  auto* saveAndPost = new QHBoxLayout; // beside Save: the window keeps its height
  saveAndPost->addWidget(ButtonPostToUsenet);
  saveAndPost->addWidget(ButtonMakeNFO);
  outputButtons->addLayout(saveAndPost);
  return outputButtons;
}

// The strip under the window: the reading's progress and its Cancel, or a note.
QLayout* TFormMain::BuildStatusStrip(QWidget* central) {
  ProgressBar1 = Named(new QProgressBar(central), "ProgressBar1");
  ProgressBar1->setMaximumHeight(17);
  ProgressBar1->setTextVisible(false);
  ButtonCancelReading =
      Named(new QPushButton(QStringLiteral("Cancel"), central), "ButtonCancelReading");
  ButtonCancelReading->setToolTip(QStringLiteral("Stop reading the tracks (Esc)"));
  ButtonCancelReading->setMaximumHeight(19);
  ButtonCancelReading->hide();
  LabelStatus = Named(new QLabel(central), "LabelStatus");
  // The strip keeps one height whether it shows the bar or a note, so nothing jumps; a
  // long note is cut with "..." and shown whole in its tooltip.
  LabelStatus->setFixedHeight(17);
  ProgressBar1->setFixedHeight(17);
  LabelStatus->setMinimumWidth(1);
  LabelStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LabelStatus->hide();
  auto* progress = new QHBoxLayout;
  progress->addWidget(ProgressBar1, 1);
  progress->addWidget(LabelStatus, 1);
  progress->addWidget(ButtonCancelReading);
  return progress;
}

void TFormMain::FitToScreen(const QWidget* central) {
  // The design's size, or wider where the boxes' content needs it, within the screen.
  const QSize content(
      std::max(640, central->minimumSizeHint().width()),
      std::max(561 - menuBar()->sizeHint().height(), central->minimumSizeHint().height()));
  // The frame's title and borders come on top (their size is known only once shown).
  const QSize fits =
      screen() ? screen()->availableGeometry().size() - WindowFrameAllowance : content;
  setMinimumSize(320, 240);
  resize(std::min(content.width(), fits.width()),
         std::min(content.height() + menuBar()->sizeHint().height(), fits.height()));
}

// Tab follows the screen: top to bottom, left to right within each group.
void TFormMain::SetTabOrder() {
  std::vector<QWidget*> order = {ListBox1,         ButtonChooseTracks, ButtonMoveUp,
                                 ButtonMoveDown,   MediaPlayer1Play,   MediaPlayer1Stop,
                                 ButtonClearTracks};
  // The field boxes group by group, as the table placed them; a radio group by its buttons.
  for (const TBoxGroup group : {TBoxGroup::Album, TBoxGroup::Technical, TBoxGroup::Posting})
    for (const TAlbumField* field : FieldsIn(group)) {
      if (QButtonGroup* choices = FieldChoices(*field))
        for (QAbstractButton* button : choices->buttons())
          order.push_back(button);
      else if (auto* box = FieldControl<QWidget>(*field))
        order.push_back(box);
    }
  order.insert(order.end(), {ComboBoxNewsgroups, ButtonEditNGList, ButtonPreviewNFO,
                             ButtonPostToUsenet, ButtonMakeNFO});
  QWidget* previous = nullptr;
  for (QWidget* widget : order) {
    if (previous)
      setTabOrder(previous, widget);
    previous = widget;
  }
}

QWidget* TFormMain::BuildTrackListing() {
  GroupBox1 = Named(new QGroupBox(QStringLiteral("Track Listing")), "GroupBox1", 290);
  GroupBox1->setMinimumHeight(178);
  ListBox1 = Named(new QListWidget(GroupBox1), "ListBox1");
  ListBox1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  LabelTrackCount = Named(new QLabel(GroupBox1), "LabelTrackCount");
  ButtonChooseTracks =
      Button(GroupBox1, "ButtonChooseTracks", "&Choose Tracks", "Select the tracks to be included");
  ButtonMoveUp =
      Button(GroupBox1, "ButtonMoveUp", "Move &Up", "Move selected track Up one position");
  ButtonMoveDown =
      Button(GroupBox1, "ButtonMoveDown", "Move &Down", "Move selected track down one position");
  ButtonClearTracks =
      Button(GroupBox1, "ButtonClearTracks", "Clear Tracks", "Clear the track listing");

  // The player bar: Play and Stop only, always enabled.
  MediaPlayer1 = Named(new QWidget(GroupBox1), "MediaPlayer1");
  MediaPlayer1Play = Named(new QToolButton(MediaPlayer1), "MediaPlayer1Play");
  MediaPlayer1Play->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  MediaPlayer1Play->setToolTip(QStringLiteral("Play"));
  MediaPlayer1Stop = Named(new QToolButton(MediaPlayer1), "MediaPlayer1Stop");
  MediaPlayer1Stop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
  MediaPlayer1Stop->setToolTip(QStringLiteral("Stop"));
  auto* player = new QHBoxLayout(MediaPlayer1);
  player->setContentsMargins(0, 0, 0, 0);
  player->addWidget(MediaPlayer1Play);
  player->addWidget(MediaPlayer1Stop);
  player->addStretch();

  auto* listing = new QVBoxLayout;
  listing->addWidget(ListBox1, 1);
  listing->addWidget(LabelTrackCount);
  auto* commands = new QVBoxLayout;
  for (QWidget* widget : std::initializer_list<QWidget*>{
           ButtonChooseTracks, ButtonMoveUp, ButtonMoveDown, MediaPlayer1, ButtonClearTracks})
    commands->addWidget(widget);
  commands->addStretch();
  auto* group = new QHBoxLayout(GroupBox1);
  group->addLayout(listing, 1);
  group->addLayout(commands);
  return GroupBox1;
}

QWidget* TFormMain::BuildAlbumInformation() {
  GroupBox2 = Named(new QGroupBox(QStringLiteral("Album Information")), "GroupBox2", 500);
  GroupBox2->setToolTip(QString()); // its hint is not shown
  auto* grid = new QGridLayout(GroupBox2);
  AddFieldBoxes(GroupBox2, grid, TBoxGroup::Album);
  EditPlayingTime = Named(new QLineEdit(GroupBox2), "EditPlayingTime");
  EditSize = Named(new QLineEdit(GroupBox2), "EditSize");
  for (QLineEdit* edit : {EditPlayingTime, EditSize})
    edit->setEnabled(false);
  const int below = grid->rowCount();
  AddLabelled(grid, below, 0, "Playing Time ", EditPlayingTime);
  AddLabelled(grid, below, 2, "Total Size ", EditSize);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  Compact(grid);
  return GroupBox2;
}

QWidget* TFormMain::BuildTechnicalInformation() {
  GroupBox3 = Named(new QGroupBox(QStringLiteral("Technical Information")), "GroupBox3", 600);
  // As wide as its content ("Joint Stereo" in the mode row), and no wider.
  GroupBox3->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  // The labels' mnemonics are the program's own: where every letter of a caption belongs
  // to a menu or a button (Alt+D moves a track down, Alt+E posts), the label goes
  // without one.
  auto* grid = new QGridLayout(GroupBox3);
  AddFieldBoxes(GroupBox3, grid, TBoxGroup::Technical);
  grid->setColumnStretch(1, 1);
  Compact(grid);
  return GroupBox3;
}

QWidget* TFormMain::BuildPostingInformation() {
  GroupBox4 = Named(new QGroupBox(QStringLiteral("Posting Information")), "GroupBox4", 700);
  GroupBox4->setFixedWidth(497);
  // Alt+P, Alt+S and Alt+N are Preview, Save and Select Newsgroups: these labels have no
  // letter of their own left.
  auto* grid = new QGridLayout(GroupBox4);
  AddFieldBoxes(GroupBox4, grid, TBoxGroup::Posting);
  ComboBoxNewsgroups = Combo(GroupBox4, "ComboBoxNewsgroups");
  ComboBoxNewsgroups->setCompleter(nullptr); // no auto-completion
  ButtonEditNGList = Button(GroupBox4, "ButtonEditNGList", "Select &Newsgroups",
                            "Click to select the Newsgroups you plan on posting to");
  const int below = grid->rowCount();
  AddLabelled(grid, below, 0, "Posting to ", ComboBoxNewsgroups);
  grid->addWidget(ButtonEditNGList, below, 2, 1, 2);
  grid->setColumnStretch(1, 1);
  Compact(grid);
  return GroupBox4;
}

// The boxes the program's own code reaches by name, found where the field table made them.
void TFormMain::FindFieldBoxes() {
  // The groups are not yet the window's children: each is searched.
  const auto find = [this](auto*& control, const char* name) {
    using TControl = std::remove_reference_t<decltype(*control)>;
    for (QGroupBox* group : {GroupBox2, GroupBox3, GroupBox4})
      if (auto* found = group->findChild<TControl*>(QString::fromLatin1(name)))
        control = found;
  };
  find(ComboBoxArtist, "ComboBoxArtist");
  find(ComboBoxAlbumTitle, "ComboBoxAlbumTitle");
  find(ComboBoxYear, "ComboBoxYear");
  find(ComboBoxSource, "ComboBoxSource");
  find(ComboBoxGenre, "ComboBoxGenre");
  find(ComboBoxRecordLabel, "ComboBoxRecordLabel");
  find(ComboBoxEncoder, "ComboBoxEncoder");
  find(ComboBoxCodec, "ComboBoxCodec");
  find(ComboBoxBitRate, "ComboBoxBitRate");
  find(CheckBoxVBR, "CheckBoxVBR");
  find(ComboBoxSampleRate, "ComboBoxSampleRate");
  find(ComboBoxBitsPerSample, "ComboBoxBitsPerSample");
  find(ComboBoxID3Tag, "ComboBoxID3Tag");
  find(RadioGroupStereoMode, "RadioGroupStereoMode");
  find(ComboBoxRippedBy, "ComboBoxRippedBy");
  find(DateTimePickerRipDate, "DateTimePickerRipDate");
  find(ComboBoxPostedBy, "ComboBoxPostedBy");
  find(DateTimePickerPostDate, "DateTimePickerPostDate");
  StereoModeButtons = RadioGroupStereoMode->findChild<QButtonGroup*>();
}

void TFormMain::BuildMenu() {
  QMenu* file = Named(menuBar()->addMenu(QStringLiteral("&File")), "File1", 0);
  Open1 = MenuItem(file, "Open1", "&Open...", 100);
  Open1->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  SaveAs1 = MenuItem(file, "SaveAs1", "Save &As...", 100);
  SaveAs1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  PostToUsenet1 = MenuItem(file, "PostToUsenet1", "&Post to Usenet...", 0);
  PostToUsenet1->setShortcut(QKeySequence(QStringLiteral("Ctrl+U")));
  PostToUsenet1->setEnabled(false);
  PostQueue1 = MenuItem(file, "PostQueue1", "Post &Queue...", 0);
  file->addSeparator();
  Exit1 = MenuItem(file, "Exit1", "E&xit", 100);
  BuildOptionsMenu(Named(menuBar()->addMenu(QStringLiteral("&Options")), "Options1", 0));
  BuildToolsMenu(Named(menuBar()->addMenu(QStringLiteral("&Tools")), "Tools1", 0));
  QMenu* help = Named(menuBar()->addMenu(QStringLiteral("&Help")), "Help1", 0);
  Contents2 = MenuItem(help, "Contents2", "&Help Contents", 100);
  Contents2->setShortcut(QKeySequence(Qt::Key_F1));
  About1 = MenuItem(help, "About1", "&About", 9000);
}

void TFormMain::BuildOptionsMenu(QMenu* options) {
  UseID3TagInfo = CheckableItem(options, "UseID3TagInfo", "Use &ID3 Tag info in Track Listing");
  HidePathNamesInTrackListing =
      CheckableItem(options, "HidePathNamesInTrackListing", "Hide &Path Names in Track Listing");
  SortFilesonSelection1 =
      CheckableItem(options, "SortFilesonSelection1", "Sort Files on Selection");
  for (const TDocumentKind& kind : DocumentKinds)
    if (!kind.MenuName.empty())
      DocumentItems[static_cast<std::size_t>(kind.Role)] = CheckableItem(
          options, std::string(kind.MenuName).c_str(), std::string(kind.MenuText).c_str());
  IncludeExtras1 = CheckableItem(options, "IncludeExtras1", "Include the album's other files");
  ExtraPatterns1 = MenuItem(options, "ExtraPatterns1", "Other Files' Patter&ns...", 0);
  Par2Redundancy1 = MenuItem(options, "Par2Redundancy1", "PAR2 &Redundancy...", 0);
  Par2CoverLargestFile1 =
      CheckableItem(options, "Par2CoverLargestFile1", "PAR2 Rebuilds at Least the Largest File");
  Server1 = MenuItem(options, "Server1", "&Server...", 0);
  QMenu* encodings = Named(options->addMenu(QStringLiteral("NFO Encoding")), "NfoEncoding1", 0);
  auto* encodingGroup = new QActionGroup(this);
  for (const TNfoEncoding encoding :
       {TNfoEncoding::Utf8, TNfoEncoding::Cp437, TNfoEncoding::Windows1252}) {
    const std::string name = "NfoEncoding_" + std::string(EncodingName(encoding));
    QAction* item =
        CheckableItem(encodings, name.c_str(), std::string(EncodingCaption(encoding)).c_str());
    encodingGroup->addAction(item);
    NfoEncodingItems[static_cast<std::size_t>(encoding)] = item;
  }
  NfoEncodingItems[0]->setChecked(true);
  LivePreview1 = CheckableItem(options, "LivePreview", "Live Preview");
  LivePreview1->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
  for (QAction* item : {UseID3TagInfo, HidePathNamesInTrackListing, SortFilesonSelection1})
    item->setChecked(true);
}

void TFormMain::BuildToolsMenu(QMenu* tools) {
  AddaNewsgroup1 = MenuItem(tools, "AddaNewsgroup1", "&Add a Newsgroup", 1300);
  EditNewsgroupList1 = MenuItem(tools, "EditNewsgroupList1", "&Edit Newsgroup List", 1200);
  QMenu* load =
      Named(tools->addMenu(QStringLiteral("&Load Newsgroup List")), "LoadNewsgroupList1", 1400);
  Fromatextfile1 = MenuItem(load, "Fromatextfile1", "From a &Text File", 1400);
  FromAgent1 = MenuItem(load, "FromAgent1", "From &Forte Agent", 1400);
  tools->addSeparator();
  QMenu* templates =
      Named(tools->addMenu(QStringLiteral("Edit .&NFO template")), "EditNFOtemplate1", 1100);
  SingleArtistTemplate1 =
      MenuItem(templates, "SingleArtistTemplate1", "&Single Artist Template", 1100);
  VariousArtistTemplate1 =
      MenuItem(templates, "VariousArtistTemplate1", "&Various Artist Template", 1100);
  templates->addSeparator();
  // The other pairs need no handler of their own: each opens its file.
  for (const TNfoTemplateFile& file : NfoTemplateFiles)
    if (!file.MenuName.empty())
      connect(MenuItem(templates, std::string(file.MenuName).c_str(),
                       std::string(file.MenuText).c_str(), 1100),
              &QAction::triggered, this,
              [name = std::string(file.Name)] { ShowAnyProblem(EditTemplate(name)); });
  EditSFVtemplate1 = MenuItem(tools, "EditSFVtemplate1", "Edit .&SFV Template", 1100);
  EditPostingPolicy1 = MenuItem(tools, "EditPostingPolicy1", "Edit &Posting Policy", 1130);
  tools->addSeparator();
  VerifySFVFile1 = MenuItem(tools, "VerifySFVFile1", "&Verify Files...", 1130);
  AnalyzeAudio1 = MenuItem(tools, "AnalyzeAudio1", "Anal&yze the Album's Audio...", 1130);
}
