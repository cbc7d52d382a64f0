#pragma once
// Every message box of the tool goes through one app-wide presenter, so tests
// can read what the user would have seen and answer questions. The texts are
// English keys passed through the language file (LangTextEx) by the helpers
// below; only the few texts the tool never translates go to Presenter()
// directly.
#include <QString>
#include <string>

class QWidget;

class IMessagePresenter {
public:
    virtual ~IMessagePresenter() = default;
    virtual void Info(QWidget* parent, const QString& text) = 0;
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // Yes/No box; true for Yes.
    virtual bool Question(QWidget* parent, const QString& text) = 0;
};

// Modal QMessageBox boxes titled with the application's name.
class CMessageBoxPresenter final : public IMessagePresenter {
public:
    void Info(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& text) override;
    bool Question(QWidget* parent, const QString& text) override;
};

// The presenter in use (the QMessageBox one unless another is installed).
IMessagePresenter& Presenter();
// Installs p (nullptr: the QMessageBox presenter again); returns the one that
// was installed before, nullptr when that was the default.
IMessagePresenter* InstallPresenter(IMessagePresenter* p);

// key translated through section "CONFIG" (KyMessage...) or the dialog's own
// section (...Ex).
void KyMessage(QWidget* parent, const std::string& key);
void KyMessageEx(QWidget* parent, const std::string& section, const std::string& key);
void KyError(QWidget* parent, const std::string& key);
bool KyQuestion(QWidget* parent, const std::string& key);
bool KyQuestionEx(QWidget* parent, const std::string& section, const std::string& key);
// "Login device failed!" as an error, with the reason KY_SDK_LoginExt gave
// for the camera at address ("IP:port") on a line of its own.
void KyLoginFailed(QWidget* parent, int reason, const QString& address);
