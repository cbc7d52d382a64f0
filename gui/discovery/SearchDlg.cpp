#include "gui/discovery/SearchDlg.h"

#include <arpa/inet.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "core/services/Utf8.h"
#include "gui/kit/AppEvents.h"
#include "gui/shell/AppGlobals.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/ShellHost.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "gui/controls/ListCtrlCl.h"
#include "core/discovery/SearchLib.h"
#include "core/services/FieldText.h"
#include "core/store/LocalStore.h"

namespace {

struct ColumnSpec {
    const char* heading;
    int width;   // at a scale of 1
    bool scaled;
};
constexpr ColumnSpec kColumnSpecs[CSearchDlg::kColumns] = {
    {"Seq", 50, false},         {"IP Address", 140, true}, {"Version", 250, true}, {"Device Type", 140, true},
    {"Device Name", 180, true}, {"UUID", 180, true},       {"MAC", 180, true},     {"Port", 60, true},
};

QString Text(const char* field, size_t width) {
    return QString::fromStdString(ky::Utf8Repair(ky::FieldText(field, width)));
}
template <size_t N>
QString Text(const char (&field)[N]) {
    return Text(field, N);
}

}   // namespace

CSearchReplyEvent::CSearchReplyEvent(int message, const DeviceRecord& device)
    : QEvent(ky::msg::Type(message)), m_device(device) {}

CSearchDlg::CSearchDlg(QWidget* parent) : CSearchDlg(Options{}, parent) {}

CSearchDlg::CSearchDlg(const Options& options, QWidget* parent, IShellHost* host)
    : QWidget(parent), m_options(options), m_host(host) {
    m_list = new CListCtrlCl(this);
    m_list->setObjectName(QStringLiteral("deviceList"));
    m_sort = new QPushButton(QStringLiteral("IP Sort"), this);
    m_sort->setObjectName(QStringLiteral("ipSort"));
    m_refresh = new QPushButton(QStringLiteral("Refresh"), this);
    m_refresh->setObjectName(QStringLiteral("refresh"));
    m_count = new QLabel(QStringLiteral("Count:0"), this);
    m_count->setObjectName(QStringLiteral("count"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_count);
    buttons->addStretch(1);
    buttons->addWidget(m_sort);
    buttons->addWidget(m_refresh);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    TranslateWindowEx(kSection, this);

    m_list->SetRowHeight(19);
    m_list->SetHeaderHeight(1.7f);
    m_list->SetHeaderFontHW(15, 0);
    m_list->SetHeaderTextColor(QColor(255, 255, 255));
    m_list->SetTextColor(QColor(0, 0, 0));
    m_list->SetHeaderBKColor(159, 168, 176, 5);
    m_list->SetFontHW(14, 0);
    // The columns keep their widths; the header paints the rest.
    m_list->header()->setStretchLastSection(false);
    int screenWidth = m_options.screenWidth;
    if (screenWidth <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        screenWidth = screen ? screen->geometry().width() : 1920;
    }
    const std::vector<int> widths = ColumnWidths(screenWidth);
    for (int c = 0; c < kColumns; ++c)
        m_list->InsertColumn(c, LangText(QString::fromLatin1(kColumnSpecs[c].heading)), CListCtrlCl::FmtCenter,
                             widths[c]);
    UpdateCount();

    connect(m_sort, &QPushButton::clicked, this, &CSearchDlg::SortByIp);
    connect(m_refresh, &QPushButton::clicked, this, &CSearchDlg::Refresh);
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { OnRowClicked(item); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnRowDoubleClicked(item); });
}

CSearchDlg::~CSearchDlg() {
    // Closing the channels waits for the library threads, so no answer is
    // posted to this object once it is gone.
    StopSearch();
}

std::vector<int> CSearchDlg::ColumnWidths(int screenWidth) {
    // width × (screen width ÷ 1920 × 1.15), truncated; whole numbers keep
    // 140 at 1920 pixels exactly 161.
    std::vector<int> widths;
    for (const ColumnSpec& c : kColumnSpecs)
        widths.push_back(c.scaled ? static_cast<int>(int64_t{c.width} * screenWidth * 115 / (1920 * 100)) : c.width);
    return widths;
}

uint64_t CSearchDlg::IpSortKey(const char* ip) {
    in_addr a{};
    if (ip == nullptr || inet_pton(AF_INET, ip, &a) != 1) return uint64_t{1} << 32;
    return ntohl(a.s_addr);
}

void CSearchDlg::SetProbeCount(int count) { m_probeCount = std::clamp(count, 3, 3000); }
void CSearchDlg::SetProbeInterval(int ms) { m_probeIntervalMs = std::clamp(ms, 1, 500); }
void CSearchDlg::SetClock(Clock clock) { m_options.clock = std::move(clock); }

qint64 CSearchDlg::Now() const {
    if (m_options.clock) return m_options.clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::vector<DeviceRecord> CSearchDlg::Devices() const {
    std::lock_guard lock(m_devicesMutex);
    std::vector<DeviceRecord> out;
    out.reserve(m_devices.size());
    for (const auto& d : m_devices) out.push_back(*d);
    return out;
}

bool CSearchDlg::event(QEvent* e) {
    const int type = static_cast<int>(e->type());
    if (type == ky::msg::kSearchBroadcast || type == ky::msg::kSearchMulticast) {
        if (auto* reply = dynamic_cast<CSearchReplyEvent*>(e)) AddDevice(reply->Device());
        return true;
    }
    if (type == ky::msg::kStartSearch) {
        Refresh();
        return true;
    }
    return QWidget::event(e);
}

// ---- the list ----------------------------------------------------------------

void CSearchDlg::AddDevice(const DeviceRecord& device) {
    const std::string id(ky::FieldText(device.info.deviceId));
    const DeviceRecord* added;
    {
        std::lock_guard lock(m_devicesMutex);
        if (m_byId.count(id)) return;   // already listed: answers repeat per probe and channel
        m_devices.push_back(std::make_unique<DeviceRecord>(device));
        added = m_devices.back().get();
        m_byId.emplace(id, m_devices.back().get());
    }
    // The records change only on this thread, so the row is filled without
    // the lock (list signals may well call back into this dialog).
    AppendRow(*added);
    UpdateCount();
}

void CSearchDlg::AppendRow(const DeviceRecord& device) {
    const DeviceInfo& d = device.info;
    const int row = m_list->InsertItem(m_list->GetItemCount(), QString::number(m_list->GetItemCount() + 1));
    m_list->SetItemText(row, 1, Text(d.ip));
    m_list->SetItemText(row, 2, Text(d.version));
    m_list->SetItemText(row, 3, Text(d.deviceType));
    m_list->SetItemText(row, 4, Text(d.deviceName));
    m_list->SetItemText(row, 5, Text(d.uuid));
    m_list->SetItemText(row, 6, Text(d.mac));
    m_list->SetItemText(row, 7, Text(d.httpPort));
    // Long UUIDs and versions do not fit their columns.
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    for (int c = 1; c < kColumns; ++c) item->setToolTip(c, item->text(c));
}

void CSearchDlg::UpdateCount() {
    m_count->setText(QStringLiteral("%1:%2").arg(LangText(QStringLiteral("Count"))).arg(m_list->GetItemCount()));
}

void CSearchDlg::ClearDevices() {
    m_list->DeleteAllItems();
    {
        std::lock_guard lock(m_devicesMutex);
        m_byId.clear();
        m_devices.clear();
    }
    UpdateCount();
}

void CSearchDlg::SortByIp() {
    std::vector<const DeviceRecord*> order;
    {
        std::lock_guard lock(m_devicesMutex);
        if (m_devices.empty()) return;
        // Stable: cameras behind one address keep their arrival order.
        std::stable_sort(m_devices.begin(), m_devices.end(),
                         [](const auto& a, const auto& b) { return IpSortKey(a->info.ip) < IpSortKey(b->info.ip); });
        for (const auto& d : m_devices) order.push_back(d.get());
    }
    m_list->DeleteAllItems();
    for (const DeviceRecord* d : order) AppendRow(*d);
    UpdateCount();
}

const DeviceRecord* CSearchDlg::RowDevice(QTreeWidgetItem* item) const {
    if (item == nullptr) return nullptr;
    const int row = m_list->indexOfTopLevelItem(item);
    std::lock_guard lock(m_devicesMutex);
    if (row < 0 || static_cast<size_t>(row) >= m_devices.size()) return nullptr;
    return m_devices[static_cast<size_t>(row)].get();
}

void CSearchDlg::OnRowClicked(QTreeWidgetItem* item) {
    if (CurrentCamera().IsLoggedIn()) return;
    const DeviceRecord* found = RowDevice(item);
    if (found == nullptr || m_host == nullptr) return;
    // A copy: filling the form may run an event loop that refreshes the list.
    const DeviceRecord device = *found;
    m_host->FillConnectForm(device);
}

void CSearchDlg::OnRowDoubleClicked(QTreeWidgetItem* item) {
    const DeviceRecord* found = RowDevice(item);
    if (found == nullptr || m_host == nullptr) return;
    const DeviceRecord device = *found;
    m_host->OpenDevice(device);
}

// ---- searching -----------------------------------------------------------------

void CSearchDlg::Refresh() {
    const qint64 now = Now();
    if (m_searchedOnce && now - m_lastSearch < kRefreshGapMs) {
        KyMessage(this, "Please search later!");
        return;
    }
    m_searchedOnce = true;
    m_lastSearch = now;
    ClearDevices();
    JoinSearchThread();
    StartSearch();
}

void CSearchDlg::StartSearch() {
    {
        DeviceRecord defaults{};
        CLocalStore* store = m_options.store ? m_options.store : g_pLocalStore;
        if (store) {
            const DeviceDefaults& d = store->GetDefaults();
            std::memcpy(defaults.user, d.user, sizeof defaults.user);
            std::memcpy(defaults.password, d.password, sizeof defaults.password);
            defaults.stream = d.stream;
        } else {
            ky::search::SetText(defaults.user, "admin");
            ky::search::SetText(defaults.password, "tovel");
        }
        defaults.user[sizeof defaults.user - 1] = '\0';
        defaults.password[sizeof defaults.password - 1] = '\0';
        std::lock_guard lock(m_defaultsMutex);
        m_defaults = defaults;
    }
    if (!OpenChannels()) return;
    m_stop = false;
    m_searching = true;
    try {
        m_thread = std::thread(&CSearchDlg::SearchThread, this, m_probeCount, m_probeIntervalMs);
    } catch (const std::system_error&) {
        m_searching = false;
    }
}

bool CSearchDlg::OpenChannels() {
    // Where the probes leave from: every search takes the current interfaces.
    std::vector<std::string> local = m_options.localAddresses;
    if (local.empty()) local = ky::LocalSearchAddresses();
    char table[ky::kSearchMaxLocalAddresses][ky::kSearchAddressSize] = {};
    int count = 0;
    for (const std::string& a : local) {
        if (count == ky::kSearchMaxLocalAddresses) break;
        ky::search::SetText(table[count++], ky::kSearchAddressSize, a);
    }
    ky::SearchSetLocalAddresses(table, count);

    if (m_multicast == 0 &&
        ky::SearchOpen(m_options.multicastAddress.c_str(), m_options.multicastPort, &m_multicast) != 0)
        m_multicast = 0;
    if (m_broadcast == 0 &&
        ky::SearchOpen(m_options.broadcastAddress.c_str(), m_options.broadcastPort, &m_broadcast) != 0)
        m_broadcast = 0;
    if (m_multicast == 0 || m_broadcast == 0) {
        KyMessage(this, "Search library initialization failed!");
        return false;
    }
    // Installing again on an open channel is harmless and keeps this simple.
    const bool mc = ky::SearchSetCallback(m_multicast, &CSearchDlg::OnMulticastReply, this) == 0;
    const bool bc = ky::SearchSetCallback(m_broadcast, &CSearchDlg::OnBroadcastReply, this) == 0;
    return mc || bc;
}

void CSearchDlg::SearchThread(int probes, int intervalMs) {
    const auto pause = [&] {
        std::unique_lock lock(m_wakeMutex);
        return !m_wake.wait_for(lock, std::chrono::milliseconds(intervalMs), [&] { return m_stop.load(); });
    };
    for (int i = 0; i < probes && !m_stop; ++i) {
        ky::SearchProbe(m_broadcast);
        if (!pause()) break;
        ky::SearchProbe(m_multicast);
        if (!pause()) break;
    }
    m_searching = false;
}

void CSearchDlg::JoinSearchThread() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    m_searching = false;
}

void CSearchDlg::StopSearch() {
    JoinSearchThread();
    if (m_multicast) ky::SearchClose(m_multicast);
    if (m_broadcast) ky::SearchClose(m_broadcast);
    m_multicast = 0;
    m_broadcast = 0;
}

int CSearchDlg::OnMulticastReply(int, int, const DeviceInfo* info, void* user) {
    static_cast<CSearchDlg*>(user)->PostReply(ky::msg::kSearchMulticast, info);
    return 0;
}

int CSearchDlg::OnBroadcastReply(int, int, const DeviceInfo* info, void* user) {
    static_cast<CSearchDlg*>(user)->PostReply(ky::msg::kSearchBroadcast, info);
    return 0;
}

void CSearchDlg::PostReply(int message, const DeviceInfo* info) {
    // Library thread: build the record and hand it over, nothing else.
    if (info == nullptr || m_stop) return;
    DeviceRecord device;
    {
        std::lock_guard lock(m_defaultsMutex);
        device = m_defaults;
    }
    device.info = *info;
    QCoreApplication::postEvent(this, new CSearchReplyEvent(message, device));
}
