#include "gui/shell/LoginDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/shell/AppGlobals.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "core/store/LocalStore.h"

CLoginDlg::CLoginDlg(CLocalStore* store, QWidget* parent) : QDialog(parent), m_store(store) {
    setWindowTitle(QStringLiteral("登录"));
    auto* userLabel = new QLabel(QStringLiteral("用户名:"), this);
    m_user = new QLineEdit(QStringLiteral("admin"), this);
    m_user->setObjectName(QStringLiteral("1001"));
    m_user->setEnabled(false);
    auto* pwdLabel = new QLabel(QStringLiteral("密码:"), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("1002"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("2"));
    connect(ok, &QPushButton::clicked, this, &CLoginDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(userLabel, 0, 0);
    grid->addWidget(m_user, 0, 1);
    grid->addWidget(pwdLabel, 1, 0);
    grid->addWidget(m_password, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    m_password->setMinimumWidth(200);
    m_password->setFocus();
    TranslateWindow(this);
}

void CLoginDlg::OnOK() {
    const QString user = m_user->text();
    const QString password = m_password->text();
    // The length rule is checked before the database is asked.
    const bool fits = password.size() >= kMinPassword && password.size() <= kMaxPassword;
    if (!fits || !m_store || m_store->CheckLogin(user.toStdString(), password.toStdString()) != 1) {
        KyMessage(this, "密码错误!");
        return;
    }
    CurrentToolUser().Set(user, password);
    accept();
}

void CLoginDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
