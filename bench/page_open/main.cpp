// bench_page_open [--runs N]
//
// Opens every built settings page against kycam-emulator on loopback,
// offscreen, N times each (default 20, after one unmeasured open): the time
// from the click on the page's node in the settings tree until the page is
// filled, i.e. its read ended, the controls show the reply and the page has
// been painted. The tree is the tool's own; its host here does what the main
// window does with a click (shows the page and starts its read), so that the
// main window's other views (live video, search) stay out of the timing.
//
// The peer is one `kycamctl -P PORT -p PASSWORD get PAGE` of the same
// settings, timed from start to exit: the kycamctl page whose requests are
// the GUI page's (both recorded by the emulator); pages without one are
// listed without a ratio. A command run per read is the peer a user has:
// kycamctl has no faster way to read one page.
//
// Prints each page's medians and ratio (goal <= 1.5), and ends with one line:
//   pages=... compared=... page_ms=... kycamctl_ms=... ratio_median=... ratio_max=...
// pages: those that read the camera; compared: those with a kycamctl page;
// the times and ratio_median are medians over the compared pages.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/cgi/HttpFetch.h"
#include "gui/kit/PageRegistry.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/PageContext.h"
#include "gui/shell/LeftSettingsDlg.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/GuiTestSupport.h"

namespace {

constexpr const char* kPassword = "pw";

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The "cmd=..." words of the CGI requests the emulator got since the last
// call.
std::set<std::string> TakeRequests(int port) {
    HttpPage page;
    CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(port), "admin", kPassword, "/emu/requests?clear=1", {}, &page);
    std::set<std::string> cmds;
    std::istringstream lines(page.body);
    for (std::string query; std::getline(lines, query, '&');)
        if (const size_t at = query.find("cmd="); at != std::string::npos)
            cmds.insert(query.substr(at, query.find_first_of("\r\n", at) - at));
    return cmds;
}

double Similarity(const std::set<std::string>& a, const std::set<std::string>& b) {
    size_t both = 0;
    for (const auto& x : a) both += b.count(x);
    const size_t any = a.size() + b.size() - both;
    return any ? double(both) / double(any) : 0;
}

// The settings tree beside the page area, every page built up front as the
// main window builds them; a click on a page node shows that page alone and
// starts its read.
class PageHost : public QWidget {
public:
    explicit PageHost(const CPageRegistry& registry) {
        resize(1400, 800);
        tree = new CLeftSettingsDlg(this);
        tree->SetHost(this);
        tree->setGeometry(0, 0, 280, 800);
        for (int number : registry.creationOrder()) {
            CSettingsPage* page = (*registry.find(number))(this);
            page->setGeometry(280, 0, 1120, 800);
            page->hide();
            pages[number] = page;
        }
    }
    void ShowNone() {
        tree->ClearShownNode();
        for (auto& [number, page] : pages) page->hide();
    }

    CLeftSettingsDlg* tree;
    std::map<int, CSettingsPage*> pages;

protected:
    bool event(QEvent* event) override {
        auto* request = dynamic_cast<CShowPageEvent*>(event);
        if (!request) return QWidget::event(event);
        for (auto& [number, page] : pages)
            if (number != request->Page()) page->hide();
        if (auto it = pages.find(request->Page()); it != pages.end()) {
            it->second->show();
            it->second->RefreshFromDevice();
        }
        return true;
    }
};

// One open of `number` as a click in the tree: milliseconds until the page
// is filled and painted, or -1 when the page started no read.
double OpenOnce(PageHost& host, int number, CCameraPage* page) {
    host.ShowNone();
    QEventLoop loop;
    const auto done = QObject::connect(page, &CCameraPage::exchangeDone, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    if (QTreeWidgetItem* item = host.tree->FindItem(number)) {
        host.tree->ClickNode(item);
    } else {   // a node the tree shows only for some cameras ("485 set")
        CShowPageEvent request(number, host.tree->FindRecord(number));
        QCoreApplication::sendEvent(&host, &request);
    }
    const bool read = page->Busy();
    if (read) loop.exec();
    page->repaint();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    QObject::disconnect(done);
    page->StopPreview();
    return read && !page->Busy() ? ms : -1;
}

}   // namespace

int main(int argc, char** argv) {
    int runs = 20;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kytest::GuiAppDir appDir;
    kytest::RecordingPresenter presenter;   // no box may wait for a click
    ky::test::EmulatorProcess emu({"--password", kPassword, "--no-rtsp", "--no-discovery", "--quiet"});
    if (!emu.Ok()) {
        std::fprintf(stderr, "bench_page_open: the emulator did not start\n");
        return 1;
    }
    const int port = emu.HttpPort();
    kytest::FakeCamera camera;
    std::strcpy(camera.device.info.ip, "127.0.0.1");
    std::snprintf(camera.device.info.httpPort, sizeof camera.device.info.httpPort, "%d", port);
    std::strcpy(camera.device.user, "admin");
    std::strcpy(camera.device.password, kPassword);
    camera.loggedIn = true;
    CapabilityRecord capability{};   // what the emulator's SDK reports by default
    std::strcpy(capability.field[ky::pages::kCapProfiles], "7");
    std::strcpy(capability.field[ky::pages::kCapVideoModes], "41;40;42;48;");
    ky::pages::SetCapabilitySource([&]() -> const CapabilityRecord* { return &capability; });

    // The requests of every kycamctl page.
    const char* env = std::getenv("KYCAMCTL");
    const std::string kycamctl = env ? env : KYCAMCTL_PATH;
    auto ctl = [&](const std::string& page) {
        return std::vector<std::string>{kycamctl, "-P", std::to_string(port), "-p", kPassword, "get", page};
    };
    std::map<std::string, std::set<std::string>> ctlRequests;
    TakeRequests(port);
    for (const ky::cgi::PageDesc* p : ky::cgi::AllPages()) {
        ky::test::RunProcess(ctl(p->name), {}, {.quietStderr = true});
        ctlRequests[p->name] = TakeRequests(port);
    }

    CPageRegistry registry;
    RegisterBuiltInPages(registry);
    PageHost host(registry);
    host.show();
    std::vector<double> pageMs, ctlMs, ratios;
    int pages = 0;
    for (const auto& [number, settings] : host.pages) {
        auto* page = dynamic_cast<CCameraPage*>(settings);
        const char* cls = settings->metaObject()->className();
        std::vector<double> ms;
        std::set<std::string> requests;
        double first = -1;
        for (int run = 0; page && run <= runs; ++run) {
            TakeRequests(port);
            const double t = OpenOnce(host, number, page);
            if (t < 0) break;
            if (run == 0)
                first = t;
            else
                ms.push_back(t);
            requests = TakeRequests(port);
        }
        if (ms.empty()) {
            std::printf("page %2d %-18s no read from the camera\n", number, cls);
            continue;
        }
        ++pages;
        std::string best;
        double similarity = 0;
        for (const auto& [name, cmds] : ctlRequests)
            if (const double s = Similarity(requests, cmds); s > similarity) similarity = s, best = name;
        if (best.empty()) {
            std::printf("page %2d %-18s %6.2f ms (first %.1f)  no kycamctl page reads the same\n", number, cls,
                        Median(ms), first);
            continue;
        }
        std::vector<double> peer;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            if (ky::test::RunProcess(ctl(best), {}, {.quietStderr = true}).exitCode == 0)
                peer.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        const double a = Median(ms), b = Median(peer);
        pageMs.push_back(a), ctlMs.push_back(b), ratios.push_back(b > 0 ? a / b : 0);
        std::printf("page %2d %-18s %6.2f ms (first %.1f)  kycamctl get %-14s %6.2f ms  ratio %.3f%s\n", number, cls, a,
                    first, best.c_str(), b, ratios.back(), similarity < 1 ? "  (requests differ in part)" : "");
        std::fflush(stdout);
    }
    ky::pages::SetCapabilitySource({});
    emu.Stop();
    const double worst = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());
    std::printf("goal: ratio <= 1.5 on every compared page: %s\n", !ratios.empty() && worst <= 1.5 ? "met" : "NOT met");
    std::printf("pages=%d compared=%zu page_ms=%.2f kycamctl_ms=%.2f ratio_median=%.3f ratio_max=%.3f\n", pages,
                ratios.size(), Median(pageMs), Median(ctlMs), Median(ratios), worst);
    return ratios.empty() ? 1 : 0;
}
