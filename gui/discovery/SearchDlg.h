#pragma once
// The device-search view (Device list layout): probes the LAN on the
// multicast and the broadcast search channel and lists every camera that
// answers, once per device identifier, in arrival order or sorted by the
// column whose heading was clicked (addresses as numbers). A click copies a
// camera into the play panel's connection form (only while no camera is
// logged in); a double click opens it in the live view.
//
// Threads: the probes go out from a search thread and the answers arrive on
// the search library's threads. Neither touches a widget: the answers are
// posted to the dialog as CSearchReplyEvent (types 2026 broadcast, 2027
// multicast) and added to the list on the window thread.
#include <QEvent>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/discovery/SearchProto.h"

class QLabel;
class QPushButton;
class QTreeWidgetItem;
class CListCtrlCl;
class CLocalStore;

// One answer of a camera, as the library callback posts it: the device with
// the default credentials and stream already filled in.
class CSearchReplyEvent : public QEvent {
public:
    // message: ky::msg::kSearchBroadcast or ky::msg::kSearchMulticast.
    CSearchReplyEvent(int message, const DeviceRecord& device);
    const DeviceRecord& Device() const { return m_device; }

private:
    DeviceRecord m_device;
};

class IShellHost;

class CSearchDlg : public QWidget {
    Q_OBJECT
public:
    // The dialog has no section of its own in the language file.
    static constexpr const char* kSection = "CONFIG";
    static constexpr qint64 kRefreshGapMs = 3000;
    static constexpr int kColumns = 8;

    // Milliseconds since an arbitrary start that never goes backwards.
    using Clock = std::function<qint64()>;

    struct Options {
        int screenWidth = 0;            // 0: the primary screen's width
        CLocalStore* store = nullptr;   // default credentials; nullptr: the application's
        std::string multicastAddress = ky::search::kMulticastAddress;
        int multicastPort = ky::search::kMulticastPort;
        std::string broadcastAddress = ky::search::kBroadcastAddress;
        int broadcastPort = ky::search::kBroadcastPort;
        // Local addresses to probe from; empty: the PC's interface addresses
        // (ChooseSearchAddresses), taken afresh at every search.
        std::vector<std::string> localAddresses;
        Clock clock;   // empty: a monotonic clock
    };

    explicit CSearchDlg(QWidget* parent = nullptr);
    // host: where a chosen device goes (none: rows can be chosen but go nowhere).
    explicit CSearchDlg(const Options& options, QWidget* parent = nullptr, IShellHost* host = nullptr);
    ~CSearchDlg() override;

    // "Refresh" and message 2029: a new search, unless the last one started
    // less than kRefreshGapMs ago ("Please search later!").
    void Refresh();
    // "IP Sort": rows by IPv4 address, ascending, numbered from 1 again;
    // later answers are appended.
    void SortByIp();
    // A click on a heading: rows sorted by that column (again: the other
    // way round), numbered from 1 again; later answers go in their place.
    // Column 0 is the arrival order, 1 the address as a number, 7 the port
    // as a number; the others compare as text with their numbers as numbers.
    void SortByColumn(int column, Qt::SortOrder order);
    int SortColumn() const { return m_sortColumn; }
    // Ends the running search and closes the search channels (no answer is
    // posted after this returns). The next search opens them again.
    void StopSearch();

    // Probes per search (3..3000) and the pause after each probe (1..500 ms).
    void SetProbeCount(int count);
    void SetProbeInterval(int ms);
    void SetClock(Clock clock);

    // True while the search thread is still probing.
    bool IsSearching() const { return m_searching; }
    // Found devices in list order.
    std::vector<DeviceRecord> Devices() const;

    CListCtrlCl* List() const { return m_list; }
    QLabel* CountLabel() const { return m_count; }
    // "Searching…" while probing, "No camera answered" after a search that
    // found none, else empty.
    QLabel* StateLabel() const { return m_state; }
    QPushButton* SortButton() const { return m_sort; }
    QPushButton* RefreshButton() const { return m_refresh; }

    // Width of each column for a screen of this width.
    static std::vector<int> ColumnWidths(int screenWidth);
    // The IPv4 address as a number in host order; texts that are not an
    // address sort after every address.
    static uint64_t IpSortKey(const char* ip);

protected:
    bool event(QEvent* event) override;

private:
    static int OnMulticastReply(int handle, int localIndex, const DeviceInfo* info, void* user);
    static int OnBroadcastReply(int handle, int localIndex, const DeviceInfo* info, void* user);
    void PostReply(int message, const DeviceInfo* info);

    void AddDevice(const DeviceRecord& device);
    void AppendRow(const DeviceRecord& device);
    void FillRow(int row, const DeviceRecord& device);
    void ShowRows(const DeviceRecord* selected);
    void Renumber(int from);
    bool Before(const DeviceRecord& a, const DeviceRecord& b, int column) const;
    void ShowSearchState();
    void UpdateCount();
    void ClearDevices();
    bool OpenChannels();
    void StartSearch();
    void JoinSearchThread();
    void SearchThread(int probes, int intervalMs, unsigned number);
    void OnSearchEnded(unsigned number);
    void OnRowClicked(QTreeWidgetItem* item);
    void OnRowDoubleClicked(QTreeWidgetItem* item);
    const DeviceRecord* RowDevice(QTreeWidgetItem* item) const;
    qint64 Now() const;

    Options m_options;
    IShellHost* m_host = nullptr;
    CListCtrlCl* m_list = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_state = nullptr;
    QPushButton* m_sort = nullptr;
    QPushButton* m_refresh = nullptr;

    // Found devices in list order and by identifier; changed only on the
    // window thread.
    mutable std::mutex m_devicesMutex;
    std::vector<std::unique_ptr<DeviceRecord>> m_devices;
    std::map<std::string, DeviceRecord*> m_byId;
    std::map<const DeviceRecord*, size_t> m_arrival;
    int m_sortColumn = -1;   // -1: arrival order (or a one-off IP Sort)
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    // Search channels (0 = not open) and the search thread.
    int m_multicast = 0;
    int m_broadcast = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_searching{false};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;

    // What the callbacks give every device: a copy of the defaults, taken on
    // the window thread when a search starts.
    std::mutex m_defaultsMutex;
    DeviceRecord m_defaults{};

    unsigned m_searchNumber = 0;
    bool m_channelsFailed = false;   // the last search could not start   // a search's end counts only for the latest
    bool m_searchedOnce = false;
    qint64 m_lastSearch = 0;
    int m_probeCount = 3;
    int m_probeIntervalMs = 500;
};
