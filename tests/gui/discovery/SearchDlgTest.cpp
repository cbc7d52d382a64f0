// The device-search view. Outside a network namespace, answers are injected
// as the events the library callback posts, and real searches go only to a
// fake camera on unicast loopback; the Netns case uses the real multicast and
// broadcast channels inside a private namespace (ctest's search_dlg_netns).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>

#include <memory>
#include <set>

#include "core/store/LocalStore.h"
#include "gui/controls/ListCtrlCl.h"
#include "gui/discovery/SearchDlg.h"
#include "gui/kit/AppEvents.h"
#include "gui/kit/PageRegistry.h"
#include "gui/kit/ShellViews.h"
#include "gui/shell/KyCamToolDlg.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/Netns.h"
#include "tools/kycam-emulator/DiscoveryResponder.h"

using namespace kytest;
using ky::test::FakeCameraInfo;

namespace {

class FakePlayPanel : public QWidget, public IPlayPanel {
public:
    using QWidget::QWidget;
    void FillConnectForm(const DeviceRecord& device) override { fills.push_back(device.info.deviceId); }
    std::vector<std::string> fills;
};

class ConnectingCamera : public FakeCamera {
public:
    void Connect(const DeviceRecord& device) override { connects.push_back(device.info.deviceId); }
    std::vector<std::string> connects;
};

// The main window with a recording play panel and a search view made with the given options.
class SearchHost {
public:
    explicit SearchHost(const CSearchDlg::Options& options) {
        views.playPanel = [this](QWidget* parent, IShellHost&) { return panel = new FakePlayPanel(parent); };
        views.searchView = [this, options](QWidget* parent, IShellHost& shell) {
            return search = new CSearchDlg(options, parent, &shell);
        };
        CKyCamToolDlg::Options o;
        o.screenWidth = 1920;
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

// A camera answering on two loopback ports, standing in for the multicast
// and the broadcast channel.
struct LoopbackCamera {
    static std::vector<ky::test::FakeCamera::Bytes> Answer(uint32_t id, size_t) {
        std::vector<uint8_t> reply(ky::search::kMessageSize);
        ky::search::EncodeReply(id, FakeCameraInfo("KY-LOOP-1", "127.0.0.1", "Caméra de test"), reply.data());
        return {reply};
    }
    size_t Probes() { return channel[0].probes().size() + channel[1].probes().size(); }
    ky::test::FakeCamera channel[2] = {ky::test::FakeCamera(Answer), ky::test::FakeCamera(Answer)};
};

class SearchDlgTest : public ::testing::Test {
protected:
    SearchDlgTest() {
        dir.CreateDb("580247!K", "root", "", 1);
        if (!store.Init(dir.path())) throw std::runtime_error("db.dat did not open");
    }

    // Every search of these tests goes to the loopback camera only.
    CSearchDlg::Options Loopback() {
        CSearchDlg::Options o;
        o.store = &store;
        o.multicastAddress = o.broadcastAddress = "127.0.0.1";
        o.multicastPort = cam.channel[0].port();
        o.broadcastPort = cam.channel[1].port();
        o.localAddresses = {"127.0.0.1"};
        o.clock = [this] { return now; };
        return o;
    }
    static void Post(CSearchDlg* dlg, const DeviceInfo& info, int message = ky::msg::kSearchBroadcast) {
        DeviceRecord rec{};
        rec.info = info;
        ky::search::SetText(rec.user, "admin");
        QCoreApplication::postEvent(dlg, new CSearchReplyEvent(message, rec));
    }
    static QStringList Column(CSearchDlg* dlg, int column) {
        QStringList texts;
        for (int r = 0; r < dlg->List()->GetItemCount(); ++r) texts << dlg->List()->GetItemText(r, column);
        return texts;
    }
    // A click far apart in time from the last, or what a user's double click
    // delivers: press, release, double click, release.
    static void Click(CSearchDlg* dlg, int row, bool twice = false) {
        CListCtrlCl* list = dlg->List();
        QTreeWidgetItem* item = list->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        list->scrollToItem(item);
        QCoreApplication::processEvents();
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at, 1000);
        if (!twice) return;
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
    static bool Rows(CSearchDlg* dlg, int n) {
        return QTest::qWaitFor([&] { return dlg->List()->GetItemCount() == n; }, 10000);
    }

    GuiAppDir dir;
    RecordingPresenter presenter;
    ConnectingCamera camera;
    CLocalStore store;
    LoopbackCamera cam;
    qint64 now = 100000;
};

TEST_F(SearchDlgTest, ColumnsCountAndFailureFollowTheLanguageFile) {
    dir.WriteLang("lang_chn.dat",
                  "[CONFIG]\nCount=数量\nSeq=序号\nIP Sort=IP排序\nRefresh=刷新\n"
                  "Search library initialization failed!=搜索库初始化失败!\n");
    CSearchDlg::Options bad = Loopback();
    bad.screenWidth = 1366;
    bad.broadcastAddress = "not-an-address";
    CSearchDlg dlg(bad);
    EXPECT_EQ(dlg.CountLabel()->text() + dlg.SortButton()->text() + dlg.RefreshButton()->text(), "数量:0IP排序刷新");
    EXPECT_EQ(dlg.List()->Header()->ColumnTexts(),
              QStringList({"序号", "IP Address", "Version", "Device Type", "Device Name", "UUID", "MAC", "Port"}));
    EXPECT_EQ(dlg.List()->Header()->AlignCodes(), "11111111");   // all centred
    // Widths: screen width / 1920 * 1.15 times the design's; "Seq" is never scaled.
    std::vector<int> shown;
    for (int c = 0; c < CSearchDlg::kColumns; ++c) shown.push_back(dlg.List()->header()->sectionSize(c));
    EXPECT_EQ(shown, (std::vector<int>{50, 114, 204, 114, 147, 147, 147, 49}));

    QCoreApplication::postEvent(&dlg, new QEvent(ky::msg::Type(ky::msg::kStartSearch)));
    QCoreApplication::processEvents();
    EXPECT_EQ(presenter.texts, QStringList{"搜索库初始化失败!"});
    EXPECT_FALSE(dlg.IsSearching());
    EXPECT_EQ(cam.Probes(), 0u);
}

TEST_F(SearchDlgTest, EachDeviceIsListedOnceSortsByIpAndAClickFillsTheFormWhileADoubleClickOpens) {
    SearchHost host(Loopback());
    CSearchDlg* dlg = host.search;
    dlg->SortByIp();   // nothing to sort: no harm
    Post(dlg, FakeCameraInfo("a", "192.168.1.100", "Caméra"));
    Post(dlg, FakeCameraInfo("b", "192.168.1.20"), ky::msg::kSearchMulticast);
    Post(dlg, FakeCameraInfo("a", "192.168.1.99", "changed"), ky::msg::kSearchMulticast);   // same identifier
    for (auto [id, ip] : {std::pair{"c", "not an address"}, {"d", "10.0.0.5"}, {"e", "192.168.1.20"}})
        Post(dlg, FakeCameraInfo(id, ip));
    QCoreApplication::processEvents();
    // The first answer stays; the device name is UTF-8.
    QStringList row;
    for (int c = 0; c < CSearchDlg::kColumns; ++c) row << dlg->List()->GetItemText(0, c);
    EXPECT_EQ(row,
              QStringList({"1", "192.168.1.100", "V5.1.0", "KY7200", "Caméra", "uuid-a", "02:4B:59:00:00:01", "80"}));
    EXPECT_EQ(dlg->CountLabel()->text(), "Count:5");

    QTest::mouseClick(dlg->SortButton(), Qt::LeftButton);
    EXPECT_EQ(Column(dlg, 1),
              QStringList({"10.0.0.5", "192.168.1.20", "192.168.1.20", "192.168.1.100", "not an address"}));
    EXPECT_EQ(Column(dlg, 0), QStringList({"1", "2", "3", "4", "5"}));
    std::string order;
    for (const DeviceRecord& d : dlg->Devices()) order += d.info.deviceId;
    EXPECT_EQ(order, "dbeac");                   // equal addresses keep their arrival order
    Post(dlg, FakeCameraInfo("g", "1.1.1.1"));   // after the sort: appended with the next number
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->List()->GetItemText(5, 0), "6");

    // Rows and records stay paired after the sort.
    Click(dlg, 1);
    EXPECT_EQ(host.panel->fills, std::vector<std::string>{"b"});
    EXPECT_TRUE(camera.connects.empty());
    camera.loggedIn = true;
    Click(dlg, 0);   // a logged-in camera is never replaced by a click
    EXPECT_EQ(host.panel->fills.size(), 1u);
    Click(dlg, 0, true);   // opening works whether or not a camera is logged in
    EXPECT_EQ(camera.connects, std::vector<std::string>{"d"});
    EXPECT_EQ(host.window->CurrentLayout(), CKyCamToolDlg::Layout::Preview);
    EXPECT_EQ(host.panel->fills.back(), "d");
}

// A click on a heading sorts by it, again the other way round; later answers
// go in their place and the selected camera stays selected.
TEST_F(SearchDlgTest, HeadingsSortAddressesAndPortsAsNumbersAndKeepTheSelection) {
    CSearchDlg dlg(Loopback());
    dlg.resize(1400, 400);
    dlg.show();
    for (auto [id, ip, port, name, uuid] :
         {std::tuple{"a", "192.168.1.100", "8080", "cam10", "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"},
          {"b", "192.168.1.9", "80", "Cam9", "u-b"},
          {"c", "10.0.0.200", "1024", "cam2", "u-c"}}) {
        DeviceInfo i = FakeCameraInfo(id, ip, name);
        ky::search::SetText(i.httpPort, port);
        ky::search::SetText(i.uuid, uuid);
        Post(&dlg, i);
    }
    QCoreApplication::processEvents();
    dlg.List()->setCurrentItem(dlg.List()->topLevelItem(1));   // camera b
    auto heading = [&](int column) {
        const QPoint at(dlg.List()->header()->sectionViewportPosition(column) + 5, 5);
        QTest::mouseClick(dlg.List()->header()->viewport(), Qt::LeftButton, {}, at, 1000);   // never a double click
    };
    const std::pair<int, QStringList> clicks[] = {
        {1, {"10.0.0.200", "192.168.1.9", "192.168.1.100"}},   // numbers, not text
        {1, {"192.168.1.100", "192.168.1.9", "10.0.0.200"}},   // again: descending
        {7, {"192.168.1.9", "10.0.0.200", "192.168.1.100"}},   // 80 < 1024 < 8080
        {4, {"10.0.0.200", "192.168.1.9", "192.168.1.100"}},   // cam2 < Cam9 < cam10
        {0, {"192.168.1.100", "192.168.1.9", "10.0.0.200"}},   // arrival order
    };
    for (const auto& [column, ips] : clicks) {
        heading(column);
        EXPECT_EQ(Column(&dlg, 1), ips) << column;
        EXPECT_EQ(dlg.List()->header()->sortIndicatorSection(), column);
        EXPECT_EQ(dlg.List()->GetItemText(dlg.List()->indexOfTopLevelItem(dlg.List()->currentItem()), 1),
                  "192.168.1.9");
    }
    heading(1);
    Post(&dlg, FakeCameraInfo("d", "172.16.0.1"));
    QCoreApplication::processEvents();
    EXPECT_EQ(Column(&dlg, 1), QStringList({"10.0.0.200", "172.16.0.1", "192.168.1.9", "192.168.1.100"}));
    EXPECT_EQ(Column(&dlg, 0), QStringList({"1", "2", "3", "4"}));
    std::string order;
    for (const DeviceRecord& d : dlg.Devices()) order += d.info.deviceId;
    EXPECT_EQ(order, "cdba");   // records follow the rows
    // The whole UUID: in its tooltip and in a column wide enough for it.
    const int row = dlg.List()->GetItemCount() - 1;
    const QString uuid = dlg.List()->GetItemText(row, 5);
    EXPECT_EQ(dlg.List()->topLevelItem(row)->toolTip(5), uuid);
    EXPECT_GE(dlg.List()->header()->sectionSize(5), QFontMetrics(dlg.List()->CellFont()).horizontalAdvance(uuid));
    // Selected rows: the style's highlighted text on its highlight, never yellow.
    EXPECT_EQ(dlg.List()->CellTextColor(0, 1, true), dlg.List()->palette().color(QPalette::HighlightedText));
}

TEST_F(SearchDlgTest, SearchFromTheMainWindowListsAnAnswerOnceWithTheDefaultsAndRefreshWaitsThreeSeconds) {
    SearchHost host(Loopback());
    CSearchDlg* dlg = host.search;
    dlg->SetProbeInterval(0);      // clamped to 1 ms
    dlg->SetProbeCount(1);         // at least three
    host.window->SearchDevice();   // event 2029
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->StateLabel()->text(), "Searching…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->IsSearching(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->StateLabel()->text().isEmpty(); }, 10000));
    // Three rounds on both channels: six answers, one row.
    ASSERT_TRUE(QTest::qWaitFor([&] { return cam.channel[0].probes().size() == 3 && cam.Probes() == 6; }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(dlg->CountLabel()->text(), "Count:1");
    ASSERT_EQ(dlg->Devices().size(), 1u);
    const DeviceRecord d = dlg->Devices()[0];
    EXPECT_EQ(dlg->List()->GetItemText(0, 4), "Caméra de test");
    // db.dat says root, empty password, second stream.
    EXPECT_EQ(std::string(d.info.deviceId) + " " + d.user + " [" + d.password + "] " + std::to_string(d.stream),
              "KY-LOOP-1 root [] 1");
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();

    // A refresh within three seconds of the last real search is refused and
    // keeps the list; refused ones do not count as searches.
    now += CSearchDlg::kRefreshGapMs - 1;
    QTest::mouseClick(dlg->RefreshButton(), Qt::LeftButton);
    EXPECT_EQ(presenter.texts, QStringList{"Please search later!"});
    EXPECT_EQ(dlg->List()->GetItemCount(), 1);
    now += 1;
    dlg->Refresh();
    EXPECT_EQ(presenter.texts.size(), 1);
    EXPECT_EQ(dlg->CountLabel()->text(), "Count:0");   // emptied for the new search
    ASSERT_TRUE(Rows(dlg, 1));
}

TEST_F(SearchDlgTest, ASearchNobodyAnswersSaysSo) {
    ky::test::FakeCamera silent([](uint32_t, size_t) { return std::vector<ky::test::FakeCamera::Bytes>{}; });
    CSearchDlg::Options o = Loopback();
    o.multicastPort = o.broadcastPort = silent.port();
    CSearchDlg dlg(o);
    dlg.SetProbeInterval(1);
    dlg.Refresh();
    EXPECT_EQ(dlg.List()->EmptyText(), "Searching…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.StateLabel()->text() == "No camera answered"; }, 10000));
    EXPECT_EQ(dlg.List()->EmptyText(), "No camera answered");
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(SearchDlgTest, StoppingOrClosingDuringASearchEndsIt) {
    auto dlg = std::make_unique<CSearchDlg>(Loopback());
    dlg->SetProbeCount(3000);
    dlg->SetProbeInterval(500);
    dlg->Refresh();
    ASSERT_TRUE(Rows(dlg.get(), 1));
    dlg->StopSearch();   // wakes the sleeping search thread and closes the channels
    EXPECT_FALSE(dlg->IsSearching());
    const size_t probes = cam.Probes();
    QTest::qWait(50);
    EXPECT_EQ(cam.Probes(), probes);

    now += CSearchDlg::kRefreshGapMs;
    dlg->Refresh();   // opens the channels again
    ASSERT_TRUE(Rows(dlg.get(), 1));
    ASSERT_TRUE(dlg->IsSearching());
    dlg.reset();   // joins everything; answers still queued are dropped with it
    QCoreApplication::processEvents();
}

TEST_F(SearchDlgTest, NetnsFindsEveryCameraOnceOverBothChannelsAndSeesOneGo) {
    // Broadcast and multicast leave this machine unless loopback is all there is.
    if (!ky::test::OnlyLoopback()) GTEST_SKIP() << "runs only through run-in-netns.sh";
    constexpr int kCameras = 12;
    std::vector<std::unique_ptr<emu::DiscoveryResponder>> cams;
    for (int n = 1; n <= kCameras; ++n) {
        // Addresses out of order, so that the sort has work to do.
        const std::string ip = "10.0.0." + std::to_string((n * 7) % kCameras + 1);
        cams.push_back(std::make_unique<emu::DiscoveryResponder>(
            FakeCameraInfo("KY-NS-" + std::to_string(n), ip, "Caméra " + std::to_string(n))));
        std::string error;
        ASSERT_TRUE(cams.back()->Start(&error)) << error;
    }
    CSearchDlg::Options o;   // the real channels and the namespace's own interfaces
    o.store = &store;
    o.clock = [this] { return now; };
    SearchHost host(o);
    CSearchDlg* dlg = host.search;
    dlg->SetProbeInterval(20);
    host.window->SearchDevice();
    auto settled = [&](int rows) {
        return QTest::qWaitFor([&] { return dlg->List()->GetItemCount() >= rows && !dlg->IsSearching(); }, 20000);
    };
    ASSERT_TRUE(settled(kCameras)) << dlg->List()->GetItemCount() << " rows";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::all_of(cams.begin(), cams.end(), [](auto& c) { return c->ProbesAnswered() >= 6; }); },
        20000));
    QTest::qWait(200);   // late repeats

    // Each camera answered every probe on both channels; each is listed once.
    EXPECT_EQ(dlg->CountLabel()->text(), QString("Count:%1").arg(kCameras));
    for (auto& c : cams) EXPECT_EQ(c->ProbesAnswered(), 6u);
    std::set<std::string> ids;
    for (const DeviceRecord& d : dlg->Devices()) ids.insert(d.info.deviceId);
    EXPECT_EQ(ids.size(), size_t(kCameras));
    dlg->SortByIp();
    for (int r = 0; r < kCameras; ++r) EXPECT_EQ(dlg->List()->GetItemText(r, 1), QString("10.0.0.%1").arg(r + 1));

    cams.back()->Stop();   // one camera goes away
    now += CSearchDlg::kRefreshGapMs;
    dlg->Refresh();
    ASSERT_TRUE(settled(0));
    QTest::qWait(200);
    EXPECT_EQ(dlg->List()->GetItemCount(), kCameras - 1);
    EXPECT_EQ(dlg->StateLabel()->text(), "");
    for (const DeviceRecord& d : dlg->Devices()) EXPECT_NE(d.info.deviceId, "KY-NS-" + std::to_string(kCameras));
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
}

}   // namespace
