#pragma once
// The application object: start-up, the main window's run, and shut-down.
#include <memory>
#include <optional>
#include <string>

class QApplication;
class CLocalStore;
class CKyCamToolDlg;

class CKyCamToolApp {
public:
    CKyCamToolApp();
    ~CKyCamToolApp();
    CKyCamToolApp(const CKyCamToolApp&) = delete;
    CKyCamToolApp& operator=(const CKyCamToolApp&) = delete;

    // The whole run: the QApplication, start-up, the main window until it
    // closes, shut-down. Returns the exit code.
    int Run(int& argc, char** argv);

    // Start-up; needs a QApplication. True when the main window is up; false
    // when the program is to end (the user has been told why).
    bool InitInstance();
    // Shut-down; safe to call more than once.
    int ExitInstance();

    // Runs from this folder instead of the program's (tests).
    void SetAppDir(std::string dir) { m_appDir = std::move(dir); }

    CKyCamToolDlg* MainWindow() const { return m_mainWnd.get(); }
    CLocalStore* Store() const { return m_store.get(); }

private:
    std::optional<std::string> m_appDir;
    std::unique_ptr<CLocalStore> m_store;
    std::unique_ptr<CKyCamToolDlg> m_mainWnd;
    bool m_started = false;
};
