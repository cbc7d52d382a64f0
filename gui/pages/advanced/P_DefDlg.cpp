#include "gui/pages/advanced/P_DefDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/shell/AppGlobals.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "core/services/Settings.h"
#include "core/store/LocalStore.h"

namespace {

// Shows a folder (it may not exist yet: creating it is the reader's job).
void SetFolderText(QLineEdit* edit, const std::string& dir) { edit->setText(QString::fromStdString(dir)); }

}   // namespace

CP_DefDlg::CP_DefDlg(QWidget* parent, CLocalStore* store) : CSettingsPage(parent), m_store(store) {
    m_chooseFolder = [](QWidget* owner, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    };

    auto* login = new QGroupBox(this);
    auto* heading = new QLabel(QStringLiteral("Preview video, device default login information"), login);
    auto* userLabel = new QLabel(QStringLiteral("User name:"), login);
    m_user = new QLineEdit(login);
    m_user->setObjectName(QStringLiteral("1001"));
    m_user->setReadOnly(true);
    auto* pwdLabel = new QLabel(QStringLiteral("Password:"), login);
    m_password = new QLineEdit(login);
    m_password->setObjectName(QStringLiteral("1002"));
    m_password->setEchoMode(QLineEdit::Password);
    // The stored field holds 63 bytes; longer texts are cut there anyway.
    m_password->setMaxLength(63);
    auto* streamLabel = new QLabel(QStringLiteral("Stream:"), login);
    m_stream = new QComboBox(login);
    m_stream->setObjectName(QStringLiteral("1009"));

    auto* files = new QGroupBox(QStringLiteral("File save settings"), this);
    auto* snapLabel = new QLabel(QStringLiteral("Save location of snapshot file"), files);
    m_snapDir = new QLineEdit(files);
    m_snapDir->setObjectName(QStringLiteral("1132"));
    m_snapDir->setReadOnly(true);
    auto* snapButton = new QPushButton(QStringLiteral("..."), files);
    snapButton->setObjectName(QStringLiteral("1170"));
    auto* recLabel = new QLabel(QStringLiteral("Video file storage location"), files);
    m_recDir = new QLineEdit(files);
    m_recDir->setObjectName(QStringLiteral("1133"));
    m_recDir->setReadOnly(true);
    auto* recButton = new QPushButton(QStringLiteral("..."), files);
    recButton->setObjectName(QStringLiteral("1171"));

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("1"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));

    auto* loginGrid = new QGridLayout(login);
    loginGrid->addWidget(heading, 0, 0, 1, 2);
    loginGrid->addWidget(userLabel, 1, 0);
    loginGrid->addWidget(m_user, 1, 1);
    loginGrid->addWidget(pwdLabel, 2, 0);
    loginGrid->addWidget(m_password, 2, 1);
    loginGrid->addWidget(streamLabel, 3, 0);
    loginGrid->addWidget(m_stream, 3, 1);
    loginGrid->setColumnStretch(1, 1);

    auto* filesGrid = new QGridLayout(files);
    filesGrid->addWidget(snapLabel, 0, 0, 1, 2);
    filesGrid->addWidget(m_snapDir, 1, 0);
    filesGrid->addWidget(snapButton, 1, 1);
    filesGrid->addWidget(recLabel, 2, 0, 1, 2);
    filesGrid->addWidget(m_recDir, 3, 0);
    filesGrid->addWidget(recButton, 3, 1);
    filesGrid->setColumnStretch(0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto* column = new QVBoxLayout;
    column->addWidget(login);
    column->addWidget(files);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column, 0);
    outer->addStretch(1);
    login->setMinimumWidth(460);
    files->setMinimumWidth(460);

    // The controls sit inside the two frames, so those are translated too.
    TranslateWindowEx(kSection, this);
    TranslateWindowEx(kSection, login);
    TranslateWindowEx(kSection, files);

    m_user->setText(QStringLiteral("admin"));
    m_stream->addItem(LangTextEx(kSection, QStringLiteral("First stream")));
    m_stream->addItem(LangTextEx(kSection, QStringLiteral("Second stream")));
    m_stream->setCurrentIndex(0);

    connect(apply, &QPushButton::clicked, this, &CP_DefDlg::OnApply);
    connect(snapButton, &QPushButton::clicked, this, &CP_DefDlg::OnChooseSnapDir);
    connect(recButton, &QPushButton::clicked, this, &CP_DefDlg::OnChooseRecDir);
    ShowFolders();
}

CLocalStore* CP_DefDlg::Store() const { return m_store ? m_store : g_pLocalStore; }

void CP_DefDlg::ShowFolders() {
    SetFolderText(m_snapDir, GetSnapDir());
    SetFolderText(m_recDir, GetRecDir());
}

void CP_DefDlg::RefreshFromDevice() {
    if (CLocalStore* store = Store()) {
        const DeviceDefaults& defaults = store->GetDefaults();
        m_user->setText(QString::fromStdString(defaults.strUser));
        m_password->setText(QString::fromStdString(defaults.strPassword));
        // A stored stream outside the list selects nothing.
        m_stream->setCurrentIndex(defaults.stream >= 0 && defaults.stream < m_stream->count() ? defaults.stream : -1);
    }
    ShowFolders();
}

bool CP_DefDlg::HasChinese(const QString& text) {
    for (char32_t c : text.toUcs4())
        if (c >= 0x4E00 && c <= 0x9FCF) return true;
    return false;
}

void CP_DefDlg::Message(const char* key) { KyMessageEx(this, kSection, key); }

void CP_DefDlg::OnApply() {
    const QString user = m_user->text();
    const QString password = m_password->text();
    if (password.isEmpty()) return Message("Password cannot be empty!");
    if (HasChinese(user)) return Message("User name cannot be Chinese!");
    if (HasChinese(password)) return Message("Password cannot be Chinese!");

    CLocalStore* store = Store();
    if (!store) return Message("Setting failed!");
    DeviceDefaults& defaults = store->GetDefaults();
    // With nothing selected the stream stays what it was (never -1).
    if (m_stream->currentIndex() >= 0) defaults.stream = m_stream->currentIndex();
    defaults.SetUser(user.toStdString());
    defaults.SetPassword(password.toStdString());
    // In use from here on even when saving fails.
    Message(store->SaveDefaults() == 1 ? "Set successfully!" : "Setting failed!");
}

void CP_DefDlg::OnChooseSnapDir() {
    const QString chosen =
        m_chooseFolder(this, LangTextEx(kSection, QString::fromUtf8(kChooserTitle)), m_snapDir->text());
    if (chosen.isEmpty()) {
        // Cancelled: the current folder (the default when none) is kept and stored again.
        const std::string current = GetSnapDir();
        SetSnapDir(current);
        SetFolderText(m_snapDir, current);
        return;
    }
    QDir().mkpath(chosen);
    SetSnapDir(chosen.toStdString());
    SetFolderText(m_snapDir, chosen.toStdString());
}

void CP_DefDlg::OnChooseRecDir() {
    const QString chosen =
        m_chooseFolder(this, LangTextEx(kSection, QString::fromUtf8(kChooserTitle)), m_recDir->text());
    if (chosen.isEmpty()) {
        const std::string current = GetRecDir();
        SetRecDir(current);
        SetFolderText(m_recDir, current);
        return;
    }
    QDir().mkpath(chosen);
    SetRecDir(chosen.toStdString());
    SetFolderText(m_recDir, chosen.toStdString());
}
