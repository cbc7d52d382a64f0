#pragma once
// The tool login: the built-in user name and a password of 8 to 31
// characters, checked against the tool users of db.dat. Its texts are fixed
// (not translated); any number of attempts; Esc does not close it.
#include <QDialog>

class QLineEdit;
class QPushButton;
class CLocalStore;

class CLoginDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinPassword = 8;
    static constexpr int kMaxPassword = 31;

    // store may be null: every attempt then fails.
    explicit CLoginDlg(CLocalStore* store, QWidget* parent = nullptr);

    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }

public slots:
    // The OK button: closes with Accepted on a valid login, otherwise tells
    // the user and stays open.
    void OnOK();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CLocalStore* m_store;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};
