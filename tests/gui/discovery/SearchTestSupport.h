#pragma once
// Pieces shared by the search view's tests: a play panel and a camera that
// record what the view hands them, and a main window hosting the view.
#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "gui/kit/AppEvents.h"
#include "gui/shell/KyCamToolDlg.h"
#include "gui/kit/PageRegistry.h"
#include "gui/kit/ShellViews.h"
#include "gui/discovery/SearchDlg.h"
#include "tests/support/GuiTestSupport.h"

namespace kytest {

class FakePlayPanel : public QWidget, public IPlayPanel {
public:
    using QWidget::QWidget;
    void FillConnectForm(const DeviceRecord& device) override { fills.push_back(device); }
    std::vector<DeviceRecord> fills;
};

class ConnectingCamera : public FakeCamera {
public:
    int Connect(const DeviceRecord& device) override {
        connects.push_back(device);
        return 0;
    }
    std::vector<DeviceRecord> connects;
};

inline DeviceInfo MakeInfo(const std::string& id, const std::string& ip, const std::string& name = "Cam") {
    DeviceInfo info{};
    ky::search::SetText(info.deviceId, id);
    ky::search::SetText(info.version, "V5.1." + id);
    ky::search::SetText(info.deviceName, name);
    ky::search::SetText(info.deviceType, "KY7200");
    ky::search::SetText(info.httpPort, "80");
    ky::search::SetText(info.ip, ip);
    ky::search::SetText(info.mac, "02:4B:59:00:00:01");
    ky::search::SetText(info.uuid, "uuid-" + id);
    return info;
}

// The main window with a recording play panel and a search view made with
// the given options.
class SearchHost {
public:
    explicit SearchHost(const CSearchDlg::Options& options, int screenWidth = 1920) {
        views.playPanel = [this](QWidget* parent, IShellHost&) {
            panel = new FakePlayPanel(parent);
            return panel;
        };
        views.searchView = [this, options](QWidget* parent, IShellHost& shell) {
            search = new CSearchDlg(options, parent, &shell);
            return search;
        };
        CKyCamToolDlg::Options o;
        o.screenWidth = screenWidth;
        o.pages = &registry;
        o.views = &views;
        window = std::make_unique<CKyCamToolDlg>(o);
        window->ShowMaximized();
        window->ShowDeviceList();
        QCoreApplication::processEvents();
    }

    CPageRegistry registry;
    ShellViews views;
    FakePlayPanel* panel = nullptr;
    CSearchDlg* search = nullptr;
    std::unique_ptr<CKyCamToolDlg> window;
};

inline std::string Id(const DeviceRecord& d) { return d.info.deviceId; }

// What a user's double click delivers: press, release, double click, release.
inline void DoubleClickAt(QWidget* widget, QPoint pos) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos, 1000);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

}   // namespace kytest
