#pragma once
// Changes the user name and password of the account the tool is logged in
// with. Nothing is read from the camera: the page shows the current login.
// After a change the live view is closed, so the next login uses the new
// credentials.
#include "gui/pages/CameraPage.h"

class QLineEdit;

class CP_UserDlg : public CCameraPage {
    Q_OBJECT
public:
    explicit CP_UserDlg(QWidget* parent = nullptr);

    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QLineEdit* RetypeEdit() const { return m_retype; }

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_retype = nullptr;
};
