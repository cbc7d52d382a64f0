#include "gui/kit/MessagePresenter.h"

#include <QCoreApplication>
#include <QMessageBox>

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

void CMessageBoxPresenter::Info(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, BoxTitle(), text, QMessageBox::Ok);
}

void CMessageBoxPresenter::Error(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, BoxTitle(), text, QMessageBox::Ok);
}

bool CMessageBoxPresenter::Question(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, BoxTitle(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
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
