// The device-search view outside any network namespace: answers are injected
// through the events the library callback posts, and real searches go only to
// a fake camera on unicast loopback (never to a broadcast or multicast
// address).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidgetItem>

#include <atomic>
#include <thread>

#include "gui/controls/ListCtrlCl.h"
#include "core/store/LocalStore.h"
#include "tests/gui/discovery/SearchTestSupport.h"

using namespace kytest;

namespace {

// A camera that answers the probes sent to two UDP sockets on 127.0.0.1
// (standing in for the multicast and the broadcast port).
class LoopbackCamera {
public:
    explicit LoopbackCamera(const DeviceInfo& info) : m_info(info) {
        for (int i = 0; i < 2; ++i) {
            m_fds[i] = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof a;
            if (m_fds[i] < 0 || ::bind(m_fds[i], reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
                ::getsockname(m_fds[i], reinterpret_cast<sockaddr*>(&a), &len) != 0)
                std::abort();
            m_ports[i] = ntohs(a.sin_port);
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~LoopbackCamera() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_fds) ::close(fd);
    }
    int MulticastPort() const { return m_ports[0]; }
    int BroadcastPort() const { return m_ports[1]; }
    int Probes(int i) const { return m_probes[i]; }

private:
    void Run() {
        while (!m_stop) {
            pollfd p[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
            if (::poll(p, 2, 20) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!(p[i].revents & POLLIN)) continue;
                uint8_t buf[1024];
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = ::recvfrom(m_fds[i], buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
                uint32_t id = 0;
                if (n <= 0 || !ky::search::DecodeProbe(buf, static_cast<size_t>(n), &id)) continue;
                ++m_probes[i];
                uint8_t reply[ky::search::kMessageSize];
                ky::search::EncodeReply(id, m_info, reply);
                ::sendto(m_fds[i], reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), len);
            }
        }
    }

    DeviceInfo m_info;
    int m_fds[2] = {-1, -1};
    int m_ports[2] = {0, 0};
    std::atomic<int> m_probes[2] = {0, 0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
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
        o.multicastAddress = "127.0.0.1";
        o.multicastPort = cam.MulticastPort();
        o.broadcastAddress = "127.0.0.1";
        o.broadcastPort = cam.BroadcastPort();
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

    static void Click(CSearchDlg* dlg, int row, bool twice = false) {
        CListCtrlCl* list = dlg->List();
        QTreeWidgetItem* item = list->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        list->scrollToItem(item);
        QCoreApplication::processEvents();
        const QRect r = list->visualItemRect(item);
        ASSERT_TRUE(r.isValid());
        if (twice)
            DoubleClickAt(list->viewport(), r.center());
        else
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center(), 1000);   // never a double click
    }

    GuiAppDir dir;
    RecordingPresenter presenter;
    ConnectingCamera camera;
    CLocalStore store;
    LoopbackCamera cam{MakeInfo("KY-LOOP-1", "127.0.0.1", "Caméra de test")};
    qint64 now = 100000;
};

TEST_F(SearchDlgTest, ColumnsAndCountFollowTheDesignAndTheLanguageFile) {
    dir.WriteLang("lang_chn.dat", "[CONFIG]\nCount=数量\nSeq=序号\nIP Sort=IP排序\nRefresh=刷新\n");
    CSearchDlg dlg(Loopback());
    EXPECT_EQ(dlg.CountLabel()->text(), QString::fromUtf8("数量:0"));
    EXPECT_EQ(dlg.SortButton()->text(), QString::fromUtf8("IP排序"));
    EXPECT_EQ(dlg.RefreshButton()->text(), QString::fromUtf8("刷新"));
    EXPECT_EQ(dlg.List()->Header()->ColumnTexts(), QStringList({QString::fromUtf8("序号"), "IP Address", "Version",
                                                                "Device Type", "Device Name", "UUID", "MAC", "Port"}));
    EXPECT_EQ(dlg.List()->Header()->AlignCodes(), "11111111");   // all centred

    // s = screen width / 1920 * 1.15; "Seq" is never scaled.
    EXPECT_EQ(CSearchDlg::ColumnWidths(1920), (std::vector<int>{50, 161, 287, 161, 207, 207, 207, 69}));
    EXPECT_EQ(CSearchDlg::ColumnWidths(1366), (std::vector<int>{50, 114, 204, 114, 147, 147, 147, 49}));
    CSearchDlg::Options narrow = Loopback();
    narrow.screenWidth = 1366;
    CSearchDlg small(narrow);
    for (int c = 0; c < CSearchDlg::kColumns; ++c)
        EXPECT_EQ(small.List()->header()->sectionSize(c), CSearchDlg::ColumnWidths(1366)[c]) << c;
}

TEST_F(SearchDlgTest, EachDeviceIsListedOnceInArrivalOrder) {
    CSearchDlg dlg(Loopback());
    Post(&dlg, MakeInfo("B", "192.168.1.7", "Caméra"));
    Post(&dlg, MakeInfo("A", "192.168.1.5"), ky::msg::kSearchMulticast);
    Post(&dlg, MakeInfo("B", "192.168.1.99", "changed"), ky::msg::kSearchMulticast);   // same identifier
    Post(&dlg, MakeInfo("C", "192.168.1.6"));
    QCoreApplication::processEvents();

    EXPECT_EQ(Column(&dlg, 0), QStringList({"1", "2", "3"}));
    EXPECT_EQ(Column(&dlg, 1), QStringList({"192.168.1.7", "192.168.1.5", "192.168.1.6"}));
    EXPECT_EQ(dlg.CountLabel()->text(), "Count:3");
    // The first answer stays; the device name is UTF-8.
    EXPECT_EQ(dlg.List()->GetItemText(0, 4), QString::fromUtf8("Caméra"));
    const QStringList row = {"1",      "192.168.1.7",       "V5.1.B", "KY7200", QString::fromUtf8("Caméra"),
                             "uuid-B", "02:4B:59:00:00:01", "80"};
    for (int c = 0; c < CSearchDlg::kColumns; ++c) EXPECT_EQ(dlg.List()->GetItemText(0, c), row[c]) << c;
    ASSERT_EQ(dlg.Devices().size(), 3u);
    EXPECT_EQ(Id(dlg.Devices()[2]), "C");
}

TEST_F(SearchDlgTest, IpSortIsNumericStableAndRenumbers) {
    CSearchDlg dlg(Loopback());
    dlg.SortByIp();   // nothing to sort: no harm
    for (auto [id, ip] : {std::pair{"a", "192.168.1.100"},
                          {"b", "192.168.1.20"},
                          {"c", "not an address"},
                          {"d", "10.0.0.5"},
                          {"e", "192.168.1.20"},
                          {"f", "192.168.1.3"}})
        Post(&dlg, MakeInfo(id, ip));
    QCoreApplication::processEvents();
    QTest::mouseClick(dlg.SortButton(), Qt::LeftButton);

    EXPECT_EQ(Column(&dlg, 1), QStringList({"10.0.0.5", "192.168.1.3", "192.168.1.20", "192.168.1.20", "192.168.1.100",
                                            "not an address"}));
    EXPECT_EQ(Column(&dlg, 0), QStringList({"1", "2", "3", "4", "5", "6"}));
    std::string order;
    for (const DeviceRecord& d : dlg.Devices()) order += Id(d);
    EXPECT_EQ(order, "dfbeac");   // equal addresses keep their arrival order
    EXPECT_EQ(dlg.CountLabel()->text(), "Count:6");

    // Devices that arrive after the sort are appended with the next number.
    Post(&dlg, MakeInfo("g", "1.1.1.1"));
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.List()->GetItemText(6, 0), "7");
}

TEST_F(SearchDlgTest, ClickFillsTheFormOnlyWhileNoCameraIsLoggedIn) {
    SearchHost host(Loopback());
    Post(host.search, MakeInfo("X1", "192.168.1.100"));
    Post(host.search, MakeInfo("X2", "192.168.1.20"));
    QCoreApplication::processEvents();
    host.search->SortByIp();   // rows and records stay paired after a sort

    Click(host.search, 0);
    ASSERT_EQ(host.panel->fills.size(), 1u);
    EXPECT_EQ(Id(host.panel->fills[0]), "X2");
    EXPECT_STREQ(host.panel->fills[0].user, "admin");
    EXPECT_TRUE(camera.connects.empty());

    camera.loggedIn = true;
    Click(host.search, 1);
    EXPECT_EQ(host.panel->fills.size(), 1u);   // a logged-in camera is never replaced by a click
    EXPECT_TRUE(camera.connects.empty());
}

TEST_F(SearchDlgTest, DoubleClickOpensTheDeviceInThePlayView) {
    SearchHost host(Loopback());
    Post(host.search, MakeInfo("D1", "192.168.1.10"));
    Post(host.search, MakeInfo("D2", "192.168.1.11"));
    QCoreApplication::processEvents();
    camera.loggedIn = true;   // opening works whether or not a camera is logged in

    Click(host.search, 1, true);
    ASSERT_EQ(camera.connects.size(), 1u);
    EXPECT_EQ(Id(camera.connects[0]), "D2");
    EXPECT_EQ(host.window->CurrentLayout(), CKyCamToolDlg::Layout::Preview);
    ASSERT_FALSE(host.panel->fills.empty());
    EXPECT_EQ(Id(host.panel->fills.back()), "D2");
}

TEST_F(SearchDlgTest, SearchFromTheMainWindowListsAnAnswerOnceWithTheDefaults) {
    SearchHost host(Loopback());
    host.search->SetProbeInterval(0);   // clamped to 1 ms
    EXPECT_EQ(host.search->ProbeInterval(), 1);
    host.search->SetProbeCount(1);
    EXPECT_EQ(host.search->ProbeCount(), 3);

    host.window->SearchDevice();   // event 2029
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.search->List()->GetItemCount() == 1; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host.search->IsSearching(); }, 10000));
    // Three rounds on both channels: six answers, one row.
    ASSERT_TRUE(QTest::qWaitFor([&] { return cam.Probes(0) == 3 && cam.Probes(1) == 3; }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(host.search->List()->GetItemCount(), 1);
    EXPECT_EQ(host.search->CountLabel()->text(), "Count:1");

    const DeviceRecord d = host.search->Devices().at(0);
    EXPECT_EQ(Id(d), "KY-LOOP-1");
    EXPECT_EQ(host.search->List()->GetItemText(0, 4), QString::fromUtf8("Caméra de test"));
    // db.dat says root, empty password, second stream.
    EXPECT_STREQ(d.user, "root");
    EXPECT_STREQ(d.password, "");
    EXPECT_EQ(d.stream, 1);
    EXPECT_TRUE(presenter.texts.isEmpty()) << presenter.Last().toStdString();
}

TEST_F(SearchDlgTest, RefreshWithinThreeSecondsIsRefusedAndKeepsTheList) {
    CSearchDlg dlg(Loopback());
    dlg.SetProbeInterval(1);
    dlg.Refresh();   // the first one always runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->GetItemCount() == 1; }, 10000));

    now += CSearchDlg::kRefreshGapMs - 1;
    QTest::mouseClick(dlg.RefreshButton(), Qt::LeftButton);
    EXPECT_EQ(presenter.texts, QStringList{"Please search later!"});
    EXPECT_EQ(dlg.List()->GetItemCount(), 1);

    // Refused refreshes do not count as searches: 3000 ms after the last real one.
    now += 1;
    presenter.Clear();
    dlg.Refresh();
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(dlg.List()->GetItemCount(), 0);   // emptied for the new search
    EXPECT_EQ(dlg.CountLabel()->text(), "Count:0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->GetItemCount() == 1; }, 10000));
}

TEST_F(SearchDlgTest, TranslatedRefusalAndInitializationFailure) {
    dir.WriteLang("lang_chn.dat", "[CONFIG]\nSearch library initialization failed!=搜索库初始化失败!\n");
    CSearchDlg::Options bad = Loopback();
    bad.broadcastAddress = "not-an-address";
    CSearchDlg dlg(bad);
    QCoreApplication::postEvent(&dlg, new QEvent(ky::msg::Type(ky::msg::kStartSearch)));
    QCoreApplication::processEvents();
    EXPECT_EQ(presenter.texts, QStringList{QString::fromUtf8("搜索库初始化失败!")});
    EXPECT_FALSE(dlg.IsSearching());
    EXPECT_EQ(cam.Probes(0) + cam.Probes(1), 0);
}

TEST_F(SearchDlgTest, StoppingOrClosingDuringASearchEndsIt) {
    auto dlg = std::make_unique<CSearchDlg>(Loopback());
    dlg->SetProbeCount(3000);
    dlg->SetProbeInterval(500);
    dlg->Refresh();
    ASSERT_TRUE(dlg->IsSearching());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->List()->GetItemCount() == 1; }, 10000));
    dlg->StopSearch();   // wakes the sleeping search thread and closes the channels
    EXPECT_FALSE(dlg->IsSearching());
    const int probes = cam.Probes(0) + cam.Probes(1);
    QTest::qWait(50);
    EXPECT_EQ(cam.Probes(0) + cam.Probes(1), probes);

    now += CSearchDlg::kRefreshGapMs;
    dlg->Refresh();   // opens the channels again
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->List()->GetItemCount() == 1; }, 10000));
    ASSERT_TRUE(dlg->IsSearching());
    dlg.reset();   // joins everything; answers still queued are dropped with it
    QCoreApplication::processEvents();
}

}   // namespace
