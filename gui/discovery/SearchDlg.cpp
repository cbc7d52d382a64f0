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

// Texts with their digit runs compared as numbers ("V5.1.9" < "V5.1.10"),
// the rest without regard to case. The C locale's collator has no numeric
// mode, so it is done here.
bool NaturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && a[ie].isDigit()) ++ie;
            while (je < b.size() && b[je].isDigit()) ++je;
            // Leading zeros aside, the longer run is the larger number.
            QStringView x = QStringView(a).sliced(i, ie - i), y = QStringView(b).sliced(j, je - j);
            while (x.size() > 1 && x.front() == QLatin1Char('0')) x = x.sliced(1);
            while (y.size() > 1 && y.front() == QLatin1Char('0')) y = y.sliced(1);
            if (x.size() != y.size()) return x.size() < y.size();
            if (const int c = x.compare(y); c != 0) return c < 0;
            i = ie, j = je;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb) return ca < cb;
        ++i, ++j;
    }
    return a.size() - i < b.size() - j;
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
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("searchState"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_count);
    buttons->addSpacing(16);
    buttons->addWidget(m_state);
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
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setSortIndicatorShown(true);
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const bool again = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder;
        SortByColumn(column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
    });

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
    size_t row;
    {
        std::lock_guard lock(m_devicesMutex);
        if (m_byId.count(id)) return;   // already listed: answers repeat per probe and channel
        auto record = std::make_unique<DeviceRecord>(device);
        added = record.get();
        m_arrival.emplace(added, m_arrival.size());
        // Sorted by a heading: in its place, after the rows that equal it.
        auto at = m_devices.end();
        if (m_sortColumn >= 0)
            at =
                std::upper_bound(m_devices.begin(), m_devices.end(), added,
                                 [this](const DeviceRecord* a, const auto& b) { return Before(*a, *b, m_sortColumn); });
        row = size_t(at - m_devices.begin());
        m_devices.insert(at, std::move(record));
        m_byId.emplace(id, m_devices[row].get());
    }
    // The records change only on this thread, so the row is filled without
    // the lock (list signals may well call back into this dialog).
    m_list->InsertItem(int(row), QString());
    FillRow(int(row), *added);
    Renumber(int(row));
    UpdateCount();
}

void CSearchDlg::AppendRow(const DeviceRecord& device) {
    const int row = m_list->InsertItem(m_list->GetItemCount(), QString::number(m_list->GetItemCount() + 1));
    FillRow(row, device);
}

void CSearchDlg::Renumber(int from) {
    for (int r = std::max(0, from); r < m_list->GetItemCount(); ++r) m_list->SetItemText(r, 0, QString::number(r + 1));
}

void CSearchDlg::FillRow(int row, const DeviceRecord& device) {
    const DeviceInfo& d = device.info;
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
    // The UUID column grows to its longest identifier; where the list is
    // then too wide, columns wider than their texts give up the difference.
    constexpr int kUuidColumn = 5;
    QHeaderView* header = m_list->header();
    const QFontMetrics metrics(m_list->CellFont());
    const int wanted = metrics.horizontalAdvance(item->text(kUuidColumn)) + 12;
    if (wanted <= header->sectionSize(kUuidColumn)) return;
    header->resizeSection(kUuidColumn, std::min(wanted, 480));
    int excess = header->length() - m_list->viewport()->width();
    for (int c : {2, 4, 6, 3}) {
        if (excess <= 0) break;
        int need = QFontMetrics(m_list->Header()->TextFont())
                       .horizontalAdvance(header->model()->headerData(c, Qt::Horizontal).toString());
        for (int r = 0; r < m_list->GetItemCount(); ++r)
            need = std::max(need, metrics.horizontalAdvance(m_list->GetItemText(r, c)));
        const int give = std::min(excess, header->sectionSize(c) - (need + 12));
        if (give <= 0) continue;
        header->resizeSection(c, header->sectionSize(c) - give);
        excess -= give;
    }
}

void CSearchDlg::UpdateCount() {
    m_count->setText(QStringLiteral("%1:%2").arg(LangText(QStringLiteral("Count"))).arg(m_list->GetItemCount()));
}

void CSearchDlg::ClearDevices() {
    m_list->DeleteAllItems();
    {
        std::lock_guard lock(m_devicesMutex);
        m_byId.clear();
        m_arrival.clear();
        m_devices.clear();
    }
    UpdateCount();
}

void CSearchDlg::SortByIp() {
    SortByColumn(1, Qt::AscendingOrder);
    // A one-off sort: later answers are appended.
    m_sortColumn = -1;
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
}

bool CSearchDlg::Before(const DeviceRecord& a, const DeviceRecord& b, int column) const {
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    const DeviceRecord& x = descending ? b : a;
    const DeviceRecord& y = descending ? a : b;
    switch (column) {
        case 0: return m_arrival.at(&x) < m_arrival.at(&y);
        case 1: return IpSortKey(x.info.ip) < IpSortKey(y.info.ip);
        case 7: {
            // Ports as numbers; a text that is none sorts last.
            bool xOk = false, yOk = false;
            const uint xp = Text(x.info.httpPort).toUInt(&xOk), yp = Text(y.info.httpPort).toUInt(&yOk);
            return xOk != yOk ? xOk : xp < yp;
        }
        default: {
            const auto text = [column](const DeviceRecord& d) {
                const DeviceInfo& i = d.info;
                switch (column) {
                    case 2: return Text(i.version);
                    case 3: return Text(i.deviceType);
                    case 4: return Text(i.deviceName);
                    case 5: return Text(i.uuid);
                    default: return Text(i.mac);
                }
            };
            return NaturalLess(text(x), text(y));
        }
    }
}

void CSearchDlg::SortByColumn(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumns) return;
    m_sortColumn = column;
    m_sortOrder = order;
    m_list->header()->setSortIndicator(column, order);
    const DeviceRecord* selected = RowDevice(m_list->currentItem());
    {
        std::lock_guard lock(m_devicesMutex);
        if (m_devices.empty()) return;
        // Stable: equal rows keep their arrival order.
        std::stable_sort(m_devices.begin(), m_devices.end(),
                         [this, column](const auto& a, const auto& b) { return Before(*a, *b, column); });
    }
    ShowRows(selected);
}

void CSearchDlg::ShowRows(const DeviceRecord* selected) {
    // The selected camera stays selected in its new place.
    std::vector<const DeviceRecord*> order;
    {
        std::lock_guard lock(m_devicesMutex);
        for (const auto& d : m_devices) order.push_back(d.get());
    }
    m_list->DeleteAllItems();
    for (const DeviceRecord* d : order) AppendRow(*d);
    for (size_t r = 0; r < order.size(); ++r)
        if (order[r] == selected) m_list->setCurrentItem(m_list->topLevelItem(int(r)));
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
    ShowSearchState();
}

void CSearchDlg::ShowSearchState() {
    QString text;
    if (m_searching)
        text = LangText(QStringLiteral("Searching…"));
    else if (m_searchedOnce && !m_channelsFailed && m_list->GetItemCount() == 0)
        text = LangText(QStringLiteral("No camera answered"));
    m_state->setText(text);
    m_list->SetEmptyText(text);
}

void CSearchDlg::OnSearchEnded(unsigned number) {
    if (number != m_searchNumber) return;   // a later search runs
    ShowSearchState();
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
    ++m_searchNumber;
    m_channelsFailed = !OpenChannels();
    if (m_channelsFailed) return;
    m_stop = false;
    m_searching = true;
    try {
        m_thread = std::thread(&CSearchDlg::SearchThread, this, m_probeCount, m_probeIntervalMs, m_searchNumber);
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

void CSearchDlg::SearchThread(int probes, int intervalMs, unsigned number) {
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
    // Answers to the last probe came in during its pause. Dropped with the
    // dialog if it goes first (its destructor joins this thread).
    QMetaObject::invokeMethod(
        this, [this, number] { OnSearchEnded(number); }, Qt::QueuedConnection);
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
    ++m_searchNumber;
    ShowSearchState();
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
