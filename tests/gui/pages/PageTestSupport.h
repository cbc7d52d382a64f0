#pragma once
// A logged-in fake camera session pointing at a fresh kycam-emulator, the
// capability record the live view would report, the recording presenter,
// and direct access to the emulator's state.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui/live/PlayWnd.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/PageContext.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/GuiTestSupport.h"

namespace kytest {

void PumpEvents(int ms);

class PageTest : public ::testing::Test {
protected:
    static constexpr const char* kPassword = "pw";
    static constexpr const char* kOk = "Parameter setting succeeded!";

    void SetUp() override;
    void TearDown() override;

    // Capability fields as the camera reports them (16 bytes each).
    void SetCapability(const char* profiles, const char* modes);
    // The device record is valid only while this is true (and logged in).
    bool capabilityValid = true;
    // Set before PageTest::SetUp: the emulator also serves RTSP (free port),
    // or answers discovery (only inside a private network namespace), with
    // these further options.
    bool withRtsp = false;
    bool withDiscovery = false;
    std::vector<std::string> emulatorArgs;

    // The emulator's state, through its control requests.
    std::string EmuGet(const std::string& key);
    void EmuSet(const std::string& key, const std::string& value);
    void EmuSet(std::initializer_list<std::pair<std::string, std::string>> values) {
        for (const auto& [key, value] : values) EmuSet(key, value);
    }
    // "key=value key=value ...": sets each, or expects each (awaited:
    // writes may be send-only). Values without blanks.
    void EmuSetAll(const std::string& pairs);
    void ExpectEmu(const std::string& pairs);
    // Polls until the key holds `want` (bounded), and returns what it holds.
    std::string EmuAwait(const std::string& key, const std::string& want);
    // The body of another control request, e.g. "requests?clear=1".
    std::string EmuControl(const std::string& request);
    // Adds a fault mode at the emulator (name=none clears them).
    void Fault(const std::string& name);
    // Waits (bounded) until the emulator counts n RTSP connections.
    bool RtspClients(const char* n) {
        return PumpUntil([&] { return EmuControl("rtsp-clients") == n; });
    }

    // The page's read or Apply, then the event loop until its exchange has
    // ended (bounded).
    static void Refresh(CCameraPage& page);
    static void Apply(CCameraPage& page);
    static bool WaitIdle(const CCameraPage& page) {
        return PumpUntil([&] { return !page.Busy(); });
    }
    // Apply, then the one message it showed ("" for none).
    QString ApplyMessage(CCameraPage& page);

    // Runs the event loop until pred() holds (bounded); true when it did.
    template <class Pred>
    static bool PumpUntil(Pred pred, int rounds = 600) {
        for (int i = 0; i < rounds && !pred(); ++i) PumpEvents(50);
        return pred();
    }

    GuiAppDir appDir;
    RecordingPresenter presenter;
    FakeCamera camera;
    CapabilityRecord capability{};
    std::unique_ptr<ky::test::EmulatorProcess> emulator;
};

// A fixture that owns one page, made once the emulator runs.
template <class Page>
class PageFixture : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        page = std::make_unique<Page>();
    }
    void TearDown() override {
        page.reset();
        PageTest::TearDown();
    }
    using PageTest::ApplyMessage;
    QString ApplyMessage() { return ApplyMessage(*page); }
    // The param.cgi queries the camera got since the last call, one a line.
    std::string Sent() { return EmuControl("requests?clear=1"); }
    // By resource id, on pages that offer Control<W>(id).
    template <class W = QWidget>
    W* Ctl(int id) const {
        return page->template Control<W>(id);
    }
    QLineEdit* Edit(int id) const { return Ctl<QLineEdit>(id); }
    // Whether every control of `ids` is shown (or every one hidden).
    bool Shown(std::initializer_list<int> ids, bool shown = true) const {
        return std::all_of(ids.begin(), ids.end(), [&](int id) { return Ctl(id)->isHidden() != shown; });
    }

    std::unique_ptr<Page> page;
};

// The texts of the page's edits named by these control numbers.
QStringList Texts(const QWidget& page, std::initializer_list<int> ids);
// What controls show, one text each: an edit's, list's or label's text, "on" or
// "off" for a button, a choice group's or radio pair's position (-1: none).
QStringList States(std::initializer_list<const QObject*> controls);
// Leaves a control as a user would: an edit's text, a list's entry by its
// text or "#N" by position, a button "on" or "off", a group's or pair's
// position. Set takes controls and states by turns.
void SetState(QObject* control, const QString& state);
template <class... More>
void Set(QObject* control, const QString& state, More&&... more) {
    SetState(control, state);
    if constexpr (sizeof...(more) > 0) Set(std::forward<More>(more)...);
}
// A left-button drag on w from `from` to `to`: press, one move, release.
void Drag(QWidget& w, QPoint from, QPoint to);
// The same on a live view of the emulator's 1280x720 picture, in picture
// coordinates: each point becomes the first view pixel that shows it, with
// the picture letterboxed in the view. The events are then handled.
void DragOnPicture(CPlayWnd& view, QPoint from, QPoint to);

}   // namespace kytest
