// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ServerUnit.h"

#include "common/Host.h"
#include "common/PreferencesUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {
constexpr TTlsMode TlsModes[] = {TTlsMode::Implicit, TTlsMode::StartTls, TTlsMode::None};
constexpr TServerRole Roles[] = {TServerRole::Post, TServerRole::Check, TServerRole::Both};

template <typename T> T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}
} // namespace

std::string ConnectionTestText(const TServerProfile& profile) {
  TNntpClient client(profile);
  if (const auto fault = client.Open())
    return "The test failed: " + fault->Message;
  const std::string greeting = client.Greeting();
  client.Close();
  // 200 greets a poster; 201 a reader that may not post.
  const bool posting = greeting.starts_with("200");
  return "Connected" + std::string(profile.User.empty() ? "" : " and signed in") +
         (posting ? "; posting is allowed" : "; the server does not allow posting") +
         ". The server said: " + greeting;
}

std::string PasswordName(const TServerProfile& server) {
  return "news server " + server.User + "@" + server.Endpoint.Name();
}

TFormServer::TFormServer(const TPostSetup& setup, const std::string& password, bool storeRuns,
                         QWidget* parent)
    : QDialog(parent), Base(setup) {
  setObjectName(QStringLiteral("FormServer"));
  setWindowTitle(QStringLiteral("News Server"));
  Entries = setup.Servers;
  if (Entries.empty())
    Entries.push_back({setup.Settings.Server, setup.Settings.Connections});
  Entries.front().Profile.Password = password;
  QLayout* serverRow = BuildServerRow();
  BuildEntryControls(setup);
  ShowEntry(Entries.front());
  ConnectControls(BuildForm(serverRow, storeRuns));
}

// The list's servers to choose among, and the chosen one's role.
QLayout* TFormServer::BuildServerRow() {
  ComboBoxServers = Named(new QComboBox(this), "ComboBoxServers");
  for (std::size_t i = 0; i < Entries.size(); ++i)
    ComboBoxServers->addItem(QStringLiteral("Server %1").arg(i + 1));
  if (Entries.size() < static_cast<std::size_t>(MostServers))
    ComboBoxServers->addItem(QStringLiteral("+ Add"));
  ComboBoxServers->setToolTip(QStringLiteral("Posting is spread over every server that posts; a "
                                             "server whose host is emptied leaves the list"));
  ComboBoxRole = Named(new QComboBox(this), "ComboBoxRole");
  ComboBoxRole->addItems(
      {QStringLiteral("Post"), QStringLiteral("Check"), QStringLiteral("Post and check")});
  ComboBoxRole->setToolTip(QStringLiteral("Check: the articles are looked up there after the "
                                          "post, to see that they reached its network"));
  auto* serverRow = new QHBoxLayout;
  serverRow->addWidget(ComboBoxServers, 1);
  serverRow->addWidget(new QLabel(QStringLiteral("Role:"), this));
  serverRow->addWidget(ComboBoxRole, 1);
  return serverRow;
}

// The chosen server's own settings, and the post's.
void TFormServer::BuildEntryControls(const TPostSetup& setup) {
  EditHost = Named(new QLineEdit(this), "EditHost");
  SpinPort = Named(new QSpinBox(this), "SpinPort");
  SpinPort->setRange(1, 65535);
  ComboBoxTls = Named(new QComboBox(this), "ComboBoxTls");
  ComboBoxTls->addItems({QStringLiteral("Implicit TLS"), QStringLiteral("STARTTLS"),
                         QStringLiteral("None (not encrypted)")});
  EditCaFile = Named(new QLineEdit(this), "EditCaFile");
  EditCaFile->setPlaceholderText(QStringLiteral("the system's certificates"));
  EditCaFile->setToolTip(QStringLiteral("A server with a certificate of its own (self-signed): "
                                        "the certificate file (.pem) to trust"));
  ButtonBrowseCaFile =
      Named(new QPushButton(QStringLiteral("&Browse..."), this), "ButtonBrowseCaFile");
  LabelTlsWarning = Named(new QLabel(this), "LabelTlsWarning");
  LabelTlsWarning->setWordWrap(true);
  EditUser = Named(new QLineEdit(this), "EditUser");
  EditPassword = Named(new QLineEdit(this), "EditPassword");
  EditPassword->setEchoMode(QLineEdit::Password);
  SpinConnections = Named(new QSpinBox(this), "SpinConnections");
  SpinConnections->setRange(1, 64);
  SpinArticleSize = Named(new QSpinBox(this), "SpinArticleSize");
  SpinArticleSize->setRange(1024, 16 << 20);
  SpinArticleSize->setSingleStep(1024);
  SpinArticleSize->setSuffix(QStringLiteral(" bytes"));
  SpinArticleSize->setValue(static_cast<int>(setup.ArticleSize));
  ButtonTestConnection =
      Named(new QPushButton(QStringLiteral("&Test connection"), this), "ButtonTestConnection");
  LabelTestResult = Named(new QLabel(this), "LabelTestResult");
  LabelTestResult->setWordWrap(true);
  LabelTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

QDialogButtonBox* TFormServer::BuildForm(QLayout* serverRow, bool storeRuns) {
  auto* passwordNote =
      Named(new QLabel(storeRuns ? QStringLiteral("The password is kept in the desktop's secret "
                                                  "store, never in tamberlon.INI.")
                                 : QStringLiteral("No secret store runs here: the password is kept "
                                                  "in memory for this session only, never in "
                                                  "tamberlon.INI."),
                       this),
            "LabelPasswordNote");
  passwordNote->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* form = new QFormLayout(this);
  auto* serverLabel = new QLabel(QStringLiteral("&Server:"), this);
  serverLabel->setBuddy(ComboBoxServers);
  form->addRow(serverLabel, serverRow);
  form->addRow(QStringLiteral("&Host:"), EditHost);
  form->addRow(QStringLiteral("&Port:"), SpinPort);
  form->addRow(QStringLiteral("T&LS:"), ComboBoxTls);
  form->addRow(QString(), LabelTlsWarning);
  auto* caFileRow = new QHBoxLayout;
  caFileRow->addWidget(EditCaFile, 1);
  caFileRow->addWidget(ButtonBrowseCaFile);
  auto* caFileLabel = new QLabel(QStringLiteral("Ce&rtificate to trust:"), this);
  caFileLabel->setBuddy(EditCaFile); // a row of two has no buddy of its own
  form->addRow(caFileLabel, caFileRow);
  form->addRow(QStringLiteral("&User name:"), EditUser);
  form->addRow(QStringLiteral("Pass&word:"), EditPassword);
  form->addRow(QString(), passwordNote);
  form->addRow(QStringLiteral("&Connections:"), SpinConnections);
  form->addRow(QStringLiteral("&Article size:"), SpinArticleSize);
  form->addRow(ButtonTestConnection, LabelTestResult);
  form->addRow(buttons);
  return buttons;
}

void TFormServer::ConnectControls(QDialogButtonBox* buttons) {
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    TPostSetup setup = Setup();
    if (const auto problem = UseServerList(setup)) {
      LabelTestResult->setText(ToQt("The list cannot post: " + *problem));
      return;
    }
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ButtonTestConnection, &QPushButton::clicked, this,
          &TFormServer::ButtonTestConnectionClick);
  connect(ButtonBrowseCaFile, &QPushButton::clicked, this, &TFormServer::ButtonBrowseCaFileClick);
  connect(ComboBoxServers, &QComboBox::activated, this, &TFormServer::ServerChosen);
  setMinimumWidth(480); // wrapped notes keep a readable width
  TlsChanged();
  // A mode chosen here brings its usual port along, over the other mode's usual one only:
  // a port of the server's own stays, and so does what the settings hold at the start.
  connect(ComboBoxTls, &QComboBox::currentIndexChanged, this, [this] {
    if (SpinPort->value() == 563 || SpinPort->value() == 119)
      SpinPort->setValue(TlsModes[ComboBoxTls->currentIndex()] == TTlsMode::Implicit ? 563 : 119);
    TlsChanged();
  });
}

TFormServer::~TFormServer() {
  Closing = true; // the test ends within its timeouts; its answer goes nowhere
}

void TFormServer::TlsChanged() {
  const bool plain = TlsModes[ComboBoxTls->currentIndex()] == TTlsMode::None;
  LabelTlsWarning->setText(plain ? QStringLiteral("Without TLS the password and the post "
                                                  "cross the network readable by anyone "
                                                  "between you and the server.")
                                 : QString());
  LabelTlsWarning->setVisible(plain);
  EditCaFile->setEnabled(!plain); // nothing is trusted or checked without TLS
  ButtonBrowseCaFile->setEnabled(!plain);
  adjustSize();
}

void TFormServer::ShowEntry(const TListedServer& entry) {
  const TServerProfile& server = entry.Profile;
  const QSignalBlocker quiet(ComboBoxTls); // the port shown is the entry's own
  EditHost->setText(ToQt(server.Endpoint.Host));
  SpinPort->setValue(server.Endpoint.Port);
  for (int i = 0; i < 3; ++i) {
    if (TlsModes[i] == server.Endpoint.Tls)
      ComboBoxTls->setCurrentIndex(i);
    if (Roles[i] == entry.Role)
      ComboBoxRole->setCurrentIndex(i);
  }
  EditCaFile->setText(ToQt(server.Endpoint.CaFile));
  EditUser->setText(ToQt(server.User));
  EditPassword->setText(ToQt(server.Password));
  SpinConnections->setValue(entry.Connections);
}

TListedServer TFormServer::EntryShown() const {
  TListedServer entry = Entries[static_cast<std::size_t>(Current)];
  TServerProfile& server = entry.Profile;
  server.Endpoint.Host = FromQt(EditHost->text().trimmed());
  server.Endpoint.Port = SpinPort->value();
  server.Endpoint.Tls = TlsModes[ComboBoxTls->currentIndex()];
  server.Endpoint.CaFile = FromQt(EditCaFile->text().trimmed());
  server.User = FromQt(EditUser->text().trimmed());
  server.Password = FromQt(EditPassword->text());
  entry.Connections = SpinConnections->value();
  entry.Role = Roles[ComboBoxRole->currentIndex()];
  return entry;
}

void TFormServer::ServerChosen(int index) {
  Entries[static_cast<std::size_t>(Current)] = EntryShown();
  if (index == static_cast<int>(Entries.size())) { // + Add: a server of its own, to fill in
    TListedServer added;
    added.Profile.ConnectTimeout = Entries.front().Profile.ConnectTimeout;
    added.Profile.ReplyTimeout = Entries.front().Profile.ReplyTimeout;
    Entries.push_back(added);
    ComboBoxServers->insertItem(index, QStringLiteral("Server %1").arg(index + 1));
    ComboBoxServers->setCurrentIndex(index);
    if (Entries.size() >= static_cast<std::size_t>(MostServers)) // the list reads no more
      ComboBoxServers->removeItem(index + 1);
  }
  Current = index;
  ShowEntry(Entries[static_cast<std::size_t>(index)]);
  TlsChanged();
  LabelTestResult->clear();
}

std::vector<TListedServer> TFormServer::EntriesNow() const {
  std::vector<TListedServer> entries = Entries;
  entries[static_cast<std::size_t>(Current)] = EntryShown();
  // The first stays, as [Server] holds the post's own settings too.
  std::erase_if(entries, [&entries](const TListedServer& entry) {
    return &entry != &entries.front() && entry.Profile.Endpoint.Host.empty();
  });
  return entries;
}

TPostSetup TFormServer::Setup() const {
  TPostSetup setup = Base;
  setup.Servers = EntriesNow();
  setup.ArticleSize = static_cast<std::size_t>(SpinArticleSize->value());
  UseServerList(setup); // a list that posts nowhere is not accepted
  return setup;
}

void TFormServer::ButtonBrowseCaFileClick() {
  const std::string current = FromQt(EditCaFile->text().trimmed());
  TOpenDialogRequest request;
  request.Title = "Certificate to Trust";
  request.Filters = {{"Certificates (*.pem *.crt)", "*.pem *.crt"}, {"All files (*.*)", "*"}};
  request.FileName = FileNamePart(current);
  request.Folder = current.empty() ? std::string() : FolderPart(current);
  if (const auto path = CurrentHost().OpenFileDialog(request))
    EditCaFile->setText(ToQt(*path));
}

std::string TFormServer::Password() const {
  return EntriesNow().front().Profile.Password;
}

void TFormServer::ButtonTestConnectionClick() {
  if (EditHost->text().trimmed().isEmpty()) {
    LabelTestResult->setText(QStringLiteral("Name the server first."));
    return;
  }
  TServerProfile profile = EntryShown().Profile;
  profile.ConnectTimeout = profile.ReplyTimeout = std::chrono::seconds(15);
  ButtonTestConnection->setEnabled(false);
  LabelTestResult->setText(QStringLiteral("Connecting..."));
  Tester = std::jthread([this, profile] {
    const std::string text = ConnectionTestText(profile);
    if (Closing)
      return;
    QMetaObject::invokeMethod(
        this,
        [this, text] {
          LabelTestResult->setText(ToQt(text));
          ButtonTestConnection->setEnabled(true);
          adjustSize(); // the answer's lines get their room
          emit Tested();
        },
        Qt::QueuedConnection);
  });
}
