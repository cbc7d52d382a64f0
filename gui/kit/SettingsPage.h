#pragma once
// What the page host requires of every parameter page.
#include <QWidget>

class CSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit CSettingsPage(QWidget* parent = nullptr);
    ~CSettingsPage() override;

    // Reads the page's values from the logged-in camera and shows them
    // (cleared controls when none is logged in); called each time the page
    // is selected in the settings tree.
    virtual void RefreshFromDevice() = 0;
    // Pages with a live preview of their own stop it; called whenever
    // another page is selected.
    virtual void StopPreview() {}
    // After each login to a camera.
    virtual void OnDeviceLogin() {}
};
