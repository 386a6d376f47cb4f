// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/NewsGroupUnit.h"

#include "common/Host.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int AvailableBoxHelpTopic = 2090;
constexpr int FilterLabelHelpTopic = 2091;

template <typename T>
T* Named(T* widget, const char* name, int helpTopic = TFormNewsGroups::HelpTopic) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setProperty("helpContext", helpTopic);
  return widget;
}
} // namespace

int TAvailableGroupsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Items.size());
}

QVariant TAvailableGroupsModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid())
    return {};
  const auto* form = qobject_cast<const TFormNewsGroups*>(QObject::parent());
  return form ? QVariant(form->ListViewAvailableGroupsData(index.row())) : QVariant();
}

void TAvailableGroupsModel::Reset() {
  beginResetModel();
  endResetModel();
}

TFormNewsGroups::TFormNewsGroups(QWidget* parent) : QDialog(parent) {
  BuildControls();
  FSelection.Changed = [this] {
    ShowSelection();
  };
  FormCreate();
}

TFormNewsGroups::~TFormNewsGroups() {
  FormDestroy();
}

void TFormNewsGroups::BuildControls() {
  setObjectName(QStringLiteral("FormNewsGroups"));
  setProperty("helpContext", HelpTopic);
  setWindowTitle(QStringLiteral("Select Newsgroups"));
  resize(558, 432);
  setMinimumSize(400, 240);

  BuildAvailableBox();
  BuildSelectedBox();
  BuildButtons();
  auto* boxes = new QHBoxLayout;
  boxes->addWidget(GroupBox1, 1);
  boxes->addSpacing(29);
  boxes->addWidget(GroupBox2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ButtonHelp);
  buttons->addWidget(Label3, 1);
  buttons->addWidget(Button2);
  buttons->addSpacing(23);
  buttons->addWidget(Button1);
  auto* window = new QVBoxLayout(this);
  window->addLayout(boxes, 1);
  window->addLayout(buttons);

  setTabOrder(Button2, Button1);
  setTabOrder(Button1, ListViewAvailableGroups);
  setTabOrder(ListViewAvailableGroups, EditGroupFilter);
  setTabOrder(EditGroupFilter, ListBoxSelectedGroups);
  setTabOrder(ListBoxSelectedGroups, ButtonClear);
  setTabOrder(ButtonClear, ButtonHelp);
  Button2->setFocus();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);

  ConnectControls();
}

// The known groups, shown as the filter lets them through.
void TFormNewsGroups::BuildAvailableBox() {
  GroupBox1 = Named(new QGroupBox(QStringLiteral("Available Newsgroups"), this), "GroupBox1",
                    AvailableBoxHelpTopic);
  AvailableModel = new TAvailableGroupsModel(FSelection.AvailableItems, this);
  ListViewAvailableGroups = Named(new QListView(GroupBox1), "ListViewAvailableGroups");
  ListViewAvailableGroups->setModel(AvailableModel);
  ListViewAvailableGroups->setUniformItemSizes(true); // rows are drawn on demand only
  ListViewAvailableGroups->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewAvailableGroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewAvailableGroups->setMinimumWidth(237);
  Label2 = Named(new QLabel(QStringLiteral("&FILTER:"), GroupBox1), "Label2", FilterLabelHelpTopic);
  Label1 = Named(new QLabel(QStringLiteral("Newsgroup must contain ..."), GroupBox1), "Label1");
  EditGroupFilter = Named(new QLineEdit(GroupBox1), "EditGroupFilter");
  EditGroupFilter->setToolTip(QStringLiteral("Enter words to search for"));
  Label2->setBuddy(EditGroupFilter);
  auto* filterLabels = new QHBoxLayout;
  filterLabels->addWidget(Label2);
  filterLabels->addWidget(Label1);
  filterLabels->addStretch();
  auto* available = new QVBoxLayout(GroupBox1);
  available->addWidget(ListViewAvailableGroups, 1);
  available->addLayout(filterLabels);
  available->addWidget(EditGroupFilter);
}

void TFormNewsGroups::BuildSelectedBox() {
  GroupBox2 = Named(new QGroupBox(QStringLiteral("Selected Newsgroups"), this), "GroupBox2");
  GroupBox2->setFixedWidth(250);
  ListBoxSelectedGroups = Named(new QListWidget(GroupBox2), "ListBoxSelectedGroups");
  ButtonClear =
      Named(new QPushButton(QStringLiteral("C&lear Selections"), GroupBox2), "ButtonClear");
  auto* clearRow = new QHBoxLayout;
  clearRow->addSpacing(64);
  clearRow->addWidget(ButtonClear, 1);
  clearRow->addSpacing(56);
  auto* selected = new QVBoxLayout(GroupBox2);
  selected->addWidget(ListBoxSelectedGroups, 1);
  selected->addLayout(clearRow);
}

void TFormNewsGroups::BuildButtons() {
  ButtonHelp = Named(new QPushButton(QStringLiteral("&Help"), this), "ButtonHelp");
  Label3 = Named(
      new QLabel(QStringLiteral("Double click the newsgroups in the left panel to select them. "
                                "Space moves the highlighted group to the other list."),
                 this),
      "Label3");
  Label3->setWordWrap(true);
  Button2 = Named(new QPushButton(QStringLiteral("&Okay"), this), "Button2");
  Button1 = Named(new QPushButton(QStringLiteral("&Cancel"), this), "Button1");
  for (QPushButton* button : {ButtonHelp, Button2, Button1})
    button->setMinimumSize(81, 33);
  Button2->setDefault(true);
}

void TFormNewsGroups::ConnectControls() {
  ListViewAvailableGroups->installEventFilter(this);
  ListBoxSelectedGroups->installEventFilter(this);
  connect(Timer1, &QTimer::timeout, this, &TFormNewsGroups::Timer1Timer);
  connect(EditGroupFilter, &QLineEdit::textChanged, this,
          [this](const QString& text) { FSelection.FilterText = text.toStdString(); });
  connect(ListViewAvailableGroups, &QListView::doubleClicked, this,
          &TFormNewsGroups::ListViewAvailableGroupsDblClick);
  connect(ListBoxSelectedGroups, &QListWidget::itemDoubleClicked, this,
          &TFormNewsGroups::ListBoxSelectedGroupsDblClick);
  connect(ButtonClear, &QPushButton::clicked, this, &TFormNewsGroups::ButtonClearClick);
  connect(ButtonHelp, &QPushButton::clicked, this, &TFormNewsGroups::ButtonHelpClick);
  connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormNewsGroups::FormCreate() {
  if (const auto problem = FSelection.Create())
    ShowProblem(*problem);
  Timer1->start();
}

void TFormNewsGroups::FormDestroy() {
  Timer1->stop();
  if (const auto problem = FSelection.Destroy())
    ShowProblem(*problem);
}

void TFormNewsGroups::ShowSelection() {
  AvailableModel->Reset();
  ListBoxSelectedGroups->clear();
  for (const std::string& name : FSelection.SelectedGroups)
    ListBoxSelectedGroups->addItem(QString::fromStdString(name));
}

void TFormNewsGroups::FilterSelected(const std::vector<std::string>& groups) {
  FSelection.FilterSelected(groups);
}

void TFormNewsGroups::RefreshAvailable() {
  FSelection.RefreshAvailable();
}

void TFormNewsGroups::AddGroup(const std::string& name) {
  FSelection.AddGroup(name);
}

void TFormNewsGroups::LoadNewsGroupFile(const std::string& path) {
  if (const auto problem = FSelection.LoadNewsGroupFile(path))
    ShowProblem(*problem);
}

QString TFormNewsGroups::FilterText() const {
  return EditGroupFilter->text();
}

void TFormNewsGroups::SetFilterText(const QString& text) {
  EditGroupFilter->setText(text);
}

void TFormNewsGroups::Timer1Timer() {
  FSelection.TimerTick();
}

QString TFormNewsGroups::ListViewAvailableGroupsData(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= FSelection.AvailableItems.size())
    return {};
  return QString::fromStdString(FSelection.AvailableItems[static_cast<std::size_t>(row)].Name);
}

void TFormNewsGroups::ListViewAvailableGroupsDblClick() {
  const QModelIndexList rows = ListViewAvailableGroups->selectionModel()->selectedRows();
  if (rows.isEmpty())
    return;
  const int row = rows.front().row();
  FSelection.SelectAvailable(static_cast<std::size_t>(row));
  const int remaining = AvailableModel->rowCount();
  if (remaining > 0)
    ListViewAvailableGroups->setCurrentIndex(AvailableModel->index(std::min(row, remaining - 1)));
}

void TFormNewsGroups::ListBoxSelectedGroupsDblClick() {
  const int row = ListBoxSelectedGroups->currentRow();
  if (row < 0)
    return;
  const auto next = FSelection.UnselectAt(static_cast<std::size_t>(row));
  QApplication::processEvents();
  if (next)
    ListBoxSelectedGroups->setCurrentRow(static_cast<int>(*next));
}

void TFormNewsGroups::ButtonClearClick() {
  FSelection.ClearSelected();
}

void TFormNewsGroups::ButtonHelpClick() {
  CurrentHost().ShowHelp(HelpTopic);
}

// Space, or Ctrl with the arrow that points to the other list, moves the highlighted
// group across, as a double click does: the window works without the mouse.
bool TFormNewsGroups::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool ctrl = key->modifiers() == Qt::ControlModifier;
  if (watched == ListViewAvailableGroups &&
      (key->key() == Qt::Key_Space || (ctrl && key->key() == Qt::Key_Right))) {
    const QModelIndex current = ListViewAvailableGroups->currentIndex();
    if (current.isValid())
      ListViewAvailableGroups->setCurrentIndex(current); // selects it too
    ListViewAvailableGroupsDblClick();
    return true;
  }
  if (watched == ListBoxSelectedGroups &&
      (key->key() == Qt::Key_Space || (ctrl && key->key() == Qt::Key_Left))) {
    ListBoxSelectedGroupsDblClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TFormNewsGroups::keyPressEvent(QKeyEvent* event) {
  FormKeyPress(event);
}

void TFormNewsGroups::FormKeyPress(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  if (event->key() == Qt::Key_F1) {
    CurrentHost().ShowHelp(HelpTopic);
    return;
  }
  QDialog::keyPressEvent(event);
}
