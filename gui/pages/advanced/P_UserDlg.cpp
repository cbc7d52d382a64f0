#include "gui/pages/advanced/P_UserDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "core/cgi/rules/UserRules.h"
#include "core/discovery/SearchProto.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/FieldQText.h"

CP_UserDlg::CP_UserDlg(QWidget* parent) : CCameraPage(parent, "CONFIG") {
    setWindowTitle(QStringLiteral("Modify the device login password"));

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("userName"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("userPassword"));
    m_retype = new QLineEdit(this);
    m_retype->setObjectName(QStringLiteral("userRetype"));
    for (QLineEdit* e : {m_password, m_retype}) e->setEchoMode(QLineEdit::Password);
    for (QLineEdit* e : {m_name, m_password, m_retype}) e->setMinimumWidth(240);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("User name:"), this), 0, 0);
    grid->addWidget(m_name, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Password:"), this), 1, 0);
    grid->addWidget(m_password, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Re-type password:"), this), 2, 0);
    grid->addWidget(m_retype, 2, 1);
    auto* hint = new QLabel(QStringLiteral("At least three combinations of upper and lower case letters, numbers and "
                                           "special characters, with a length range of 8~63 digits"),
                            this);
    hint->setWordWrap(true);
    hint->setMaximumWidth(520);
    grid->addWidget(hint, 3, 0, 1, 2);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(apply);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    column->addSpacing(12);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate();
    AddApplyButton(apply);
}

void CP_UserDlg::Load() {
    const DeviceRecord& device = CurrentCamera().GetDevice();
    m_name->setText(FieldQText(device.user));
    m_password->setText(FieldQText(device.password));
    m_retype->setText(m_password->text());
}

void CP_UserDlg::ClearControls() {
    for (QLineEdit* e : {m_name, m_password, m_retype}) e->clear();
}

void CP_UserDlg::Apply() {
    const std::string name = m_name->text().toStdString();
    const std::string password = m_password->text().toStdString();
    if (const char* refused = ky::cgi::CheckUserInput(name, password, m_retype->text().toStdString()))
        return Refuse(refused);

    UserAttr rec{};
    ky::search::SetText(rec.username, ky::FieldText(CurrentCamera().GetDevice().user));
    ky::search::SetText(rec.newname, name);
    ky::search::SetText(rec.password, password);
    Start([this, rec](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetUserAttr, &rec) == 0;
        return [this, ok] {
            if (!ok) return Message("Failed to modify password!");
            // The old login no longer works: the user logs in again.
            CurrentCamera().Disconnect();
            Message("Password changed successfully, please login again!");
        };
    });
}
