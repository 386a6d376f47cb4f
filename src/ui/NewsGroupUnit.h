// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Select Newsgroups" window: shows the selection state of TNewsGroupSelection and
// forwards its events there.
#include "newsgroups/NewsGroupSelectionUnit.h"

#include <QAbstractListModel>
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QTimer;

// The rows of the available list: a row count and the text of the rows it draws.
class TAvailableGroupsModel : public QAbstractListModel {
  Q_OBJECT
public:
  explicit TAvailableGroupsModel(const std::vector<TFileItem>& items, QObject* parent)
      : QAbstractListModel(parent), Items(items) {}
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  void Reset();

private:
  const std::vector<TFileItem>& Items;
};

class TFormNewsGroups : public QDialog {
  Q_OBJECT
public:
  // Creates the window and runs FormCreate: the known list is loaded.
  explicit TFormNewsGroups(QWidget* parent = nullptr);
  // Runs FormDestroy: the known list is saved when it changed.
  ~TFormNewsGroups() override;

  static constexpr int HelpTopic = 2000;

  TNewsGroupSelection& Selection() { return FSelection; }

  // Operations for the main window and the commands.
  void FilterSelected(const std::vector<std::string>& groups);
  void RefreshAvailable();
  void AddGroup(const std::string& name);
  void LoadNewsGroupFile(const std::string& path);
  std::vector<std::string> SelectedGroups() const { return FSelection.SelectedGroups; }
  QString FilterText() const;
  void SetFilterText(const QString& text);

  // Event handlers.
  void FormCreate();
  void FormDestroy();
  void Timer1Timer();
  QString ListViewAvailableGroupsData(int row) const;
  void ListViewAvailableGroupsDblClick();
  void ListBoxSelectedGroupsDblClick();
  void ButtonClearClick();
  void ButtonHelpClick();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void FormKeyPress(QKeyEvent* event);
  void BuildControls();
  void BuildAvailableBox();
  void BuildSelectedBox();
  void BuildButtons();
  void ConnectControls();
  void ShowSelection();

  TNewsGroupSelection FSelection;
  TAvailableGroupsModel* AvailableModel = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QListView* ListViewAvailableGroups = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* EditGroupFilter = nullptr;
  QListWidget* ListBoxSelectedGroups = nullptr;
  QPushButton* ButtonClear = nullptr;
  QPushButton* ButtonHelp = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QTimer* Timer1 = nullptr;
};
