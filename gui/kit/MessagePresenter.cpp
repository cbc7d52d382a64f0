#include "gui/kit/MessagePresenter.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QMessageBox>

#include <utility>

#include "gui/kit/Translate.h"

namespace {

IMessagePresenter* g_installed = nullptr;

QString BoxTitle() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("KyCameraTool") : name;
}

QString Tr(const std::string& section, const std::string& key) {
    return LangTextEx(section, QString::fromStdString(key));
}

}   // namespace

namespace {

// Qt's own button texts follow Qt's translations, which the tool does not
// load; the language file names them so a box speaks one language.
bool ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, BoxTitle(), text, buttons, parent);
    for (const auto& [button, key] :
         {std::pair{QMessageBox::Ok, "OK"}, {QMessageBox::Yes, "Yes"}, {QMessageBox::No, "No"}})
        if (QAbstractButton* b = box.button(button)) b->setText(Tr("CONFIG", key));
    if (buttons & QMessageBox::No) box.setDefaultButton(QMessageBox::No);   // erasing is never the default
    return box.exec() == QMessageBox::Yes;
}

}   // namespace

void CMessageBoxPresenter::Info(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

void CMessageBoxPresenter::Error(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Warning, text, QMessageBox::Ok);
}

bool CMessageBoxPresenter::Question(QWidget* parent, const QString& text) {
    return ShowBox(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No);
}

IMessagePresenter& Presenter() {
    static CMessageBoxPresenter boxes;
    return g_installed ? *g_installed : boxes;
}

IMessagePresenter* InstallPresenter(IMessagePresenter* p) {
    IMessagePresenter* before = g_installed;
    g_installed = p;
    return before;
}

void KyMessage(QWidget* parent, const std::string& key) { Presenter().Info(parent, Tr("CONFIG", key)); }

void KyMessageEx(QWidget* parent, const std::string& section, const std::string& key) {
    Presenter().Info(parent, Tr(section, key));
}

void KyError(QWidget* parent, const std::string& key) { Presenter().Error(parent, Tr("CONFIG", key)); }

bool KyQuestion(QWidget* parent, const std::string& key) { return Presenter().Question(parent, Tr("CONFIG", key)); }

bool KyQuestionEx(QWidget* parent, const std::string& section, const std::string& key) {
    return Presenter().Question(parent, Tr(section, key));
}

void KyLoginFailed(QWidget* parent, int reason, const QString& address) {
    QString text = Tr("CONFIG", "Login device failed!");
    switch (reason) {
        case 1: text += u'\n' + Tr("CONFIG", "No answer from %1.").arg(address); break;
        case 2: text += u'\n' + Tr("CONFIG", "Wrong user name or password."); break;
        case 3: text += u'\n' + Tr("CONFIG", "%1 is not a camera of this kind.").arg(address); break;
        default: break;
    }
    Presenter().Error(parent, text);
}
