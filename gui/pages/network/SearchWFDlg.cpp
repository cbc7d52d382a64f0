#include "gui/pages/network/SearchWFDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/services/Utf8.h"
#include "core/cgi/rules/WirelessRules.h"
#include "gui/kit/AppEvents.h"
#include "core/services/FieldText.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"

namespace {

constexpr const char* kSection = "CONFIG";
std::atomic<int> g_searchBusy{0};

// The scan's outcome, posted to the dialog (message 3025).
class CWifiScanEvent : public QEvent {
public:
    CWifiScanEvent(bool ok, std::shared_ptr<const WifiScanList> list, const WirelessAttr& settings)
        : QEvent(ky::msg::Type(ky::msg::kWifiScan)), ok(ok), list(std::move(list)), settings(settings) {}
    bool ok;
    std::shared_ptr<const WifiScanList> list;
    WirelessAttr settings;
};

}   // namespace

struct CSearchWFDlg::Job {
    std::mutex lock;
    QObject* receiver = nullptr;   // null once the dialog is gone
};

CSearchWFDlg::CSearchWFDlg(const CameraTarget& camera, QWidget* parent)
    : QDialog(parent), m_camera(camera), m_job(std::make_shared<Job>()) {
    m_job->receiver = this;
    setWindowTitle(QStringLiteral("\u641c\u7d22WIFI"));

    m_list = new QTableWidget(0, kColumns, this);
    m_list->setObjectName(QStringLiteral("1043"));
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    QStringList headers;
    for (const char* key : {"Seq", "RSSI", "SSID", "Encryption", "Authentication", "LinekMode", "Channel"})
        headers << LangTextEx(kSection, QString::fromLatin1(key));
    m_list->setHorizontalHeaderLabels(headers);
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->horizontalHeader()->setSectionResizeMode(kSsid, QHeaderView::Stretch);

    auto* tip = new QLabel(QStringLiteral("Tip: double click to select WiFi"), this);
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), this);
    refresh->setObjectName(QStringLiteral("1"));
    auto* confirm = new QPushButton(QStringLiteral("Confirm"), this);
    confirm->setObjectName(QStringLiteral("1068"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(tip, 1);
    buttons->addWidget(refresh);
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_list, 1);
    column->addLayout(buttons);
    resize(640, 360);

    TranslateWindowEx(kSection, this);
    connect(refresh, &QPushButton::clicked, this, &CSearchWFDlg::OnRefresh);
    connect(confirm, &QPushButton::clicked, this, &CSearchWFDlg::OnConfirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTableWidget::itemChanged, this, &CSearchWFDlg::OnItemChanged);
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (QTableWidgetItem* item = m_list->item(row, kSeq)) item->setCheckState(Qt::Checked);
    });
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        Choose(row);
        accept();
    });
    OnRefresh();
}

CSearchWFDlg::~CSearchWFDlg() {
    std::lock_guard lock(m_job->lock);
    m_job->receiver = nullptr;
}

bool CSearchWFDlg::ScanBusy() { return g_searchBusy.load() != 0; }

void CSearchWFDlg::OnRefresh() {
    if (g_searchBusy.load() != 0) {
        KyMessageEx(this, kSection, "Searching WiFi, please wait...");
        return;
    }
    g_searchBusy = 1;
    try {
        std::thread([job = m_job, camera = m_camera] {
            WirelessAttr settings{};
            auto list = std::make_shared<WifiScanList>();
            CCameraPage::Call(camera, &CCgiClient::GetWirelessAttr, &settings, ky::cgi::kWifiScanTimeoutMs);
            const bool ok =
                CCameraPage::Call(camera, &CCgiClient::SearchWireless, list.get(), ky::cgi::kWifiScanTimeoutMs) == 0;
            {
                std::lock_guard lock(job->lock);
                if (job->receiver)
                    QCoreApplication::postEvent(job->receiver, new CWifiScanEvent(ok, std::move(list), settings));
            }
            g_searchBusy = 0;
        }).detach();
    } catch (const std::system_error&) {
        g_searchBusy = 0;
        KyMessageEx(this, kSection, "No WiFi found!");
    }
}

bool CSearchWFDlg::event(QEvent* e) {
    if (e->type() != ky::msg::Type(ky::msg::kWifiScan)) return QDialog::event(e);
    const auto* scan = static_cast<CWifiScanEvent*>(e);
    if (!scan->ok) {
        KyMessageEx(this, kSection, "No WiFi found!");
        return true;
    }
    m_settings = scan->settings;
    ShowList(*scan->list);
    return true;
}

void CSearchWFDlg::ShowList(const WifiScanList& list) {
    m_points.clear();
    m_list->setRowCount(0);
    for (int i = 0; i < list.waccess_points && i < WifiScanList::kMaxEntries; ++i) {
        WifiAccessPoint p;
        p.index = ky::FieldText(list.index[i]);
        p.ssid = ky::FieldText(list.ssid[i]);
        p.rssi = ky::FieldText(list.rssi[i]);
        p.auth = ky::FieldText(list.auth[i]);
        p.enc = ky::FieldText(list.enc[i]);
        p.channel = ky::FieldText(list.channel[i]);
        p.net = ky::FieldText(list.net[i]);
        m_points.push_back(p);
    }
    m_checking = true;   // filling is no user's check
    m_list->setRowCount(static_cast<int>(m_points.size()));
    for (int row = 0; row < static_cast<int>(m_points.size()); ++row) {
        const WifiAccessPoint& p = m_points[static_cast<size_t>(row)];
        auto* seq = new QTableWidgetItem(QString::number(row + 1));
        seq->setCheckState(Qt::Unchecked);
        m_list->setItem(row, kSeq, seq);
        auto set = [&](int column, const std::string& text) {
            m_list->setItem(row, column, new QTableWidgetItem(QString::fromStdString(ky::Utf8Repair(text))));
        };
        set(kRssi, p.rssi);
        set(kSsid, p.ssid);
        set(kEncryption, p.enc);
        set(kAuthentication, p.auth);
        set(kLinkMode, p.net);
        set(kChannel, p.channel);
    }
    m_checking = false;
}

// At most one row is checked: checking one unchecks the others.
void CSearchWFDlg::OnItemChanged(QTableWidgetItem* item) {
    if (m_checking || item->column() != kSeq || item->checkState() != Qt::Checked) return;
    m_checking = true;
    for (int row = 0; row < m_list->rowCount(); ++row)
        if (row != item->row()) m_list->item(row, kSeq)->setCheckState(Qt::Unchecked);
    m_checking = false;
}

void CSearchWFDlg::Choose(int row) {
    if (row < 0 || row >= static_cast<int>(m_points.size())) return;
    m_chosen = m_points[static_cast<size_t>(row)];
    m_hasChosen = true;
}

void CSearchWFDlg::OnConfirm() {
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (m_list->item(row, kSeq)->checkState() == Qt::Checked) {
            Choose(row);
            break;
        }
    }
    accept();
}
