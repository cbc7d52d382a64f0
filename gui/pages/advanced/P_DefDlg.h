#pragma once
// The default-settings page: the device login that the device search gives
// every camera it finds (kept in db.dat) and the snapshot and recording
// folders (settings.ini). The only page that never talks to a camera.
#include <QString>
#include <functional>

#include "gui/kit/SettingsPage.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class CLocalStore;

class CP_DefDlg : public CSettingsPage {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_DEF_DLG";
    static constexpr const char* kChooserTitle = "选择路径";

    // Returns the chosen folder, or an empty text when the user cancels.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

    // store: the local database (nullptr: the application's).
    explicit CP_DefDlg(QWidget* parent = nullptr, CLocalStore* store = nullptr);

    void RefreshFromDevice() override;
    void SetFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QComboBox* StreamList() const { return m_stream; }
    QLineEdit* SnapEdit() const { return m_snapDir; }
    QLineEdit* RecEdit() const { return m_recDir; }

    // True when the text holds a CJK unified ideograph (U+4E00..U+9FCF).
    static bool HasChinese(const QString& text);

public slots:
    void OnApply();
    void OnChooseSnapDir();
    void OnChooseRecDir();

private:
    CLocalStore* Store() const;
    void ShowFolders();
    void Message(const char* key);

    CLocalStore* m_store;
    FolderChooser m_chooseFolder;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_stream = nullptr;
    QLineEdit* m_snapDir = nullptr;
    QLineEdit* m_recDir = nullptr;
};
