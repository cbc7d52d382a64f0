// The device-search view against emulated cameras over the real multicast
// and broadcast channels. Runs only in a private network namespace whose sole
// interface is loopback (tests/support/run-in-netns.sh); anywhere else it
// refuses to start.
#include <ifaddrs.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "tests/support/Netns.h"
#include "gui/controls/ListCtrlCl.h"
#include "core/store/LocalStore.h"
#include "tests/gui/discovery/SearchTestSupport.h"
#include "tools/kycam-emulator/DiscoveryResponder.h"

using namespace kytest;

namespace {

constexpr int kCameras = 12;

using ky::test::OnlyLoopback;

class SearchDlgNetns : public ::testing::Test {
protected:
    void SetUp() override {
        dir.CreateDb("580247!K", "viewer", "secret", 1);
        ASSERT_TRUE(store.Init(dir.path()));
        for (int n = 1; n <= kCameras; ++n) {
            // Addresses out of order, so that the sort has work to do.
            const std::string ip = "10.0.0." + std::to_string((n * 7) % kCameras + 1);
            cams.push_back(std::make_unique<emu::DiscoveryResponder>(
                MakeInfo("KY-NS-" + std::to_string(n), ip, "Caméra " + std::to_string(n))));
            std::string error;
            ASSERT_TRUE(cams.back()->Start(&error)) << error;
        }
    }

    CSearchDlg::Options Options() {
        CSearchDlg::Options o;   // the real channels and the namespace's own interfaces
        o.store = &store;
        o.clock = [this] { return now; };
        return o;
    }

    // Until every camera is listed and the search is over, then a little more
    // for late repeats.
    static bool SearchSettles(CSearchDlg* dlg) {
        if (!QTest::qWaitFor([&] { return dlg->List()->GetItemCount() >= kCameras; }, 20000)) return false;
        if (!QTest::qWaitFor([&] { return !dlg->IsSearching(); }, 20000)) return false;
        QTest::qWait(200);
        return true;
    }

    GuiAppDir dir;
    RecordingPresenter presenter;
    ConnectingCamera camera;
    CLocalStore store;
    std::vector<std::unique_ptr<emu::DiscoveryResponder>> cams;
    qint64 now = 50000;
};

TEST_F(SearchDlgNetns, FindsEveryCameraOnceOverBothChannels) {
    SearchHost host(Options());
    CSearchDlg* dlg = host.search;
    dlg->SetProbeInterval(20);
    host.window->SearchDevice();   // event 2029, as the "Search device" button sends it
    ASSERT_TRUE(SearchSettles(dlg)) << dlg->List()->GetItemCount() << " rows";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (auto& c : cams)
                if (c->ProbesAnswered() < 6) return false;
            return true;
        },
        20000));
    QTest::qWait(200);

    // Each camera answered every probe on both channels; each is listed once.
    EXPECT_EQ(dlg->List()->GetItemCount(), kCameras);
    EXPECT_EQ(dlg->CountLabel()->text(), QString("Count:%1").arg(kCameras));
    for (auto& c : cams) EXPECT_EQ(c->ProbesAnswered(), 6u);
    std::set<std::string> ids;
    for (const DeviceRecord& d : dlg->Devices()) {
        ids.insert(Id(d));
        EXPECT_STREQ(d.user, "viewer");
        EXPECT_STREQ(d.password, "secret");
        EXPECT_EQ(d.stream, 1);
    }
    EXPECT_EQ(ids.size(), static_cast<size_t>(kCameras));
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();

    dlg->SortByIp();
    for (int r = 0; r < kCameras; ++r) {
        EXPECT_EQ(dlg->List()->GetItemText(r, 1), QString("10.0.0.%1").arg(r + 1));
        EXPECT_EQ(dlg->List()->GetItemText(r, 0), QString::number(r + 1));
    }

    // A double click opens the camera of that row.
    QTreeWidgetItem* item = dlg->List()->topLevelItem(2);
    dlg->List()->scrollToItem(item);
    QCoreApplication::processEvents();
    camera.loggedIn = true;   // so the first click of the two fills nothing
    DoubleClickAt(dlg->List()->viewport(), dlg->List()->visualItemRect(item).center());
    ASSERT_EQ(camera.connects.size(), 1u);
    EXPECT_STREQ(camera.connects[0].info.ip, "10.0.0.3");
    EXPECT_STREQ(camera.connects[0].user, "viewer");
}

TEST_F(SearchDlgNetns, RefreshSearchesAgainAndSeesWhatChanged) {
    SearchHost host(Options());
    CSearchDlg* dlg = host.search;
    dlg->SetProbeInterval(20);
    dlg->Refresh();
    ASSERT_TRUE(SearchSettles(dlg));

    host.window->SearchDevice();   // too soon: refused, the list stays
    QCoreApplication::processEvents();
    EXPECT_EQ(presenter.texts, QStringList{"Please search later!"});
    EXPECT_EQ(dlg->List()->GetItemCount(), kCameras);

    cams.back()->Stop();   // one camera goes away
    now += CSearchDlg::kRefreshGapMs;
    dlg->Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->IsSearching(); }, 20000));
    QTest::qWait(200);
    EXPECT_EQ(dlg->List()->GetItemCount(), kCameras - 1);
    for (const DeviceRecord& d : dlg->Devices()) EXPECT_NE(Id(d), "KY-NS-" + std::to_string(kCameras));
}

}   // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!OnlyLoopback()) {
        std::printf(
            "SKIP: this test sends broadcast and multicast; run it through run-in-netns.sh "
            "(a private network namespace with loopback only)\n");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
