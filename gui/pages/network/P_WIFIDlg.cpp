#include "gui/pages/network/P_WIFIDlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/services/Utf8.h"
#include "core/cgi/rules/WirelessRules.h"
#include "gui/kit/AppEvents.h"
#include "gui/kit/FieldQText.h"
#include "gui/kit/Translate.h"
#include "gui/pages/network/SearchWFDlg.h"

namespace {

constexpr int kSsid = 1239, kSearch = 1176, kSecurityList = 1177, kCipherList = 1246, kKey = 1247, kConfirmKey = 1248,
              kCheck = 1173;
// Everything below the on/off switch, shown only while Wi-Fi is on.
constexpr int kWifiControls[] = {1240, kSsid, kSearch, 1241,        kSecurityList, 1244,  kCipherList,
                                 1243, kKey,  1245,    kConfirmKey, 1242,          kCheck};

std::atomic<int> g_checkBusy{0};

QString Id(int id) { return QString::number(id); }

std::string Utf8(const QLineEdit* edit) { return edit->text().toUtf8().toStdString(); }

// Position of text in list, ignoring case (as the key or as the shown text); -1 when absent.
int FindEntry(const QComboBox* list, const char* const* keys, int count, const QString& text) {
    for (int i = 0; i < count; ++i)
        if (text.compare(QLatin1String(keys[i]), Qt::CaseInsensitive) == 0 ||
            text.compare(list->itemText(i), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

}   // namespace

struct CP_WIFIDlg::TestJob {
    std::mutex lock;
    CP_WIFIDlg* page = nullptr;   // null once the page is gone
};

CP_WIFIDlg::CP_WIFIDlg(QWidget* parent) : CCameraPage(parent, "CONFIG"), m_job(std::make_shared<TestJob>()) {
    m_job->page = this;
    m_runDialog = [](CSearchWFDlg& dialog) { dialog.exec(); };

    auto* grid = new QGridLayout;
    int row = 0;
    auto label = [&](const char* text, int id) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        if (id) l->setObjectName(Id(id));
        grid->addWidget(l, row, 0);
    };
    auto edit = [&](int id, bool masked) {
        auto* e = new QLineEdit(this);
        e->setObjectName(Id(id));
        e->setMinimumWidth(220);
        if (masked) e->setEchoMode(QLineEdit::Password);
        grid->addWidget(e, row, 1);
        return e;
    };
    auto button = [&](const char* text, int id) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(Id(id));
        grid->addWidget(b, row, 2);
        return b;
    };

    label("Enable wireless", 0);
    m_on = new QRadioButton(QStringLiteral("On"), this);
    m_on->setObjectName(Id(1174));
    m_off = new QRadioButton(QStringLiteral("Off"), this);
    m_off->setObjectName(Id(1175));
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_on);
    radios->addWidget(m_off);
    radios->addStretch(1);
    grid->addLayout(radios, row++, 1);
    label("SSID:", 1240);
    edit(kSsid, false);
    QPushButton* search = button("Search", kSearch);
    ++row;
    label("Security type:", 1241);
    m_security = new QComboBox(this);
    m_security->setObjectName(Id(kSecurityList));
    grid->addWidget(m_security, row++, 1);
    label("Encryption:", 1244);
    m_cipher = new QComboBox(this);
    m_cipher->setObjectName(Id(kCipherList));
    grid->addWidget(m_cipher, row++, 1);
    label("Key:", 1243);
    edit(kKey, true);
    ++row;
    label("Confirm key:", 1245);
    edit(kConfirmKey, true);
    ++row;
    label("Check wireless settings", 1242);
    QPushButton* check = button("Check", kCheck);
    ++row;
    grid->setColumnStretch(3, 1);

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    // Cancel does nothing on this page.
    AddApplyRow(column);
    column->addStretch(1);

    Translate();
    for (const char* key : kSecurity) m_security->addItem(LangTextEx(Section(), QString::fromLatin1(key)));
    for (const char* key : kCiphers) m_cipher->addItem(LangTextEx(Section(), QString::fromLatin1(key)));
    ClearControls();

    LockWhileBusy(search);
    connect(search, &QPushButton::clicked, this, &CP_WIFIDlg::OnSearch);
    connect(check, &QPushButton::clicked, this, &CP_WIFIDlg::OnCheck);
    connect(m_security, &QComboBox::activated, this, &CP_WIFIDlg::OnSecurityChanged);
    connect(m_on, &QRadioButton::clicked, this, [this] { ShowWifiControls(true); });
    connect(m_off, &QRadioButton::clicked, this, [this] { ShowWifiControls(false); });
}

CP_WIFIDlg::~CP_WIFIDlg() {
    std::lock_guard lock(m_job->lock);
    m_job->page = nullptr;
}

bool CP_WIFIDlg::CheckBusy() { return g_checkBusy.load() != 0; }

void CP_WIFIDlg::ShowWifiControls(bool on) {
    for (int id : kWifiControls) Control<QWidget>(id)->setVisible(on);
    if (on) OnSecurityChanged();
}

void CP_WIFIDlg::OnSecurityChanged() {
    const int security = m_security->currentIndex();
    const bool key = security >= 1;
    const bool cipher = security >= 2;
    for (int id : {1243, kKey, 1245, kConfirmKey}) Control<QWidget>(id)->setVisible(key);
    for (int id : {1244, kCipherList}) Control<QWidget>(id)->setVisible(cipher);
}

void CP_WIFIDlg::ClearControls() {
    for (QRadioButton* r : {m_on, m_off}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
    m_security->setCurrentIndex(-1);
    m_cipher->setCurrentIndex(0);
    ShowWifiControls(false);
}

void CP_WIFIDlg::Load() {
    LoadRecord<WirelessAttr>(&CCgiClient::GetWirelessAttr, [this](const WirelessAttr& rec) { Show(rec); });
}

void CP_WIFIDlg::Show(const WirelessAttr& rec) {
    m_shown = rec;
    (rec.enable == 1 ? m_on : m_off)->setChecked(true);
    Control<QLineEdit>(kSsid)->setText(FieldQText(rec.ssid));
    // The key is shown (masked) so that an Apply keeps it instead of sending
    // an empty one.
    Control<QLineEdit>(kKey)->setText(FieldQText(rec.key));
    Control<QLineEdit>(kConfirmKey)->setText(FieldQText(rec.key));
    m_security->setCurrentIndex(rec.auth >= 0 && rec.auth < m_security->count() ? rec.auth : -1);
    m_cipher->setCurrentIndex(rec.enc >= 0 && rec.enc < m_cipher->count() ? rec.enc : -1);
    ShowWifiControls(rec.enable == 1);
}

const char* CP_WIFIDlg::Collect(WirelessAttr& rec) const {
    rec = WirelessAttr{};
    rec.enable = m_on->isChecked() ? 1 : 0;
    const std::string ssid = Utf8(Control<QLineEdit>(kSsid));
    const std::string key = Utf8(Control<QLineEdit>(kKey));
    if (const char* refused = ky::cgi::CheckWirelessInput(ssid, key, Utf8(Control<QLineEdit>(kConfirmKey))))
        return refused;
    ky::cgi::CopyText(rec.ssid, sizeof rec.ssid, ssid);
    ky::cgi::CopyText(rec.key, sizeof rec.key, key);
    rec.auth = m_security->currentIndex();
    rec.enc = m_cipher->currentIndex();
    rec.mode = 0;
    return nullptr;
}

void CP_WIFIDlg::Apply() {
    WirelessAttr rec;
    if (const char* refused = Collect(rec)) return Refuse(refused);
    Start([this, rec](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetWirelessAttr, &rec) == 0;
        return [this, ok, rec, camera] {
            if (!ok) return ShowFailure(Failure::Write, camera);
            m_shown = rec;
            Message("Parameter setting succeeded!");
        };
    });
}

void CP_WIFIDlg::EnableTestButtons(bool on) {
    for (int id : {kCheck, 1, 2}) Control<QWidget>(id)->setEnabled(on && (id == kCheck || !Busy()));
}

void CP_WIFIDlg::OnCheck() {
    if (!LoggedIn()) return Message("Device not connected");
    WirelessAttr rec;
    if (const char* refused = Collect(rec)) return Refuse(refused);
    if (const char* refused = ky::cgi::CheckWirelessTest(ky::FieldText(rec.ssid), ky::FieldText(rec.key)))
        return Refuse(refused);
    if (g_checkBusy.load() != 0) return Message("Checking WiFi, please wait...");

    // Busy from here, so a second press can never start a second test.
    g_checkBusy = 1;
    EnableTestButtons(false);
    auto post = [](const std::shared_ptr<TestJob>& job, std::function<void(CP_WIFIDlg*)> call) {
        std::lock_guard lock(job->lock);
        if (CP_WIFIDlg* page = job->page)
            QMetaObject::invokeMethod(
                page, [page, call = std::move(call)] { call(page); }, Qt::QueuedConnection);
    };
    try {
        std::thread([job = m_job, camera = Target(), rec, post]() mutable {
            int result = 1;
            if (CCameraPage::Call(camera, &CCgiClient::CheckWirelessAttr, &rec, ky::cgi::kWifiCheckTimeoutMs) == 0) {
                // The camera tries the settings now; the wait for its verdict
                // leaves the page's buttons free.
                post(job, [](CP_WIFIDlg* page) { page->EnableTestButtons(true); });
                WifiCheckResult verdict{};
                result = CCameraPage::Call(camera, &CCgiClient::GetCheckWireless, &verdict,
                                           ky::cgi::kWifiCheckResultTimeoutMs) == 0
                             ? 0
                             : 1;
            }
            {
                std::lock_guard lock(job->lock);
                if (job->page) QCoreApplication::postEvent(job->page, new CPageResultEvent(ky::msg::kWifiTest, result));
            }
            g_checkBusy = 0;
        }).detach();
    } catch (const std::system_error&) {
        g_checkBusy = 0;
        EnableTestButtons(true);
        Message("The device WiFi works abnormally and cannot be connected to the router!");
    }
}

bool CP_WIFIDlg::event(QEvent* e) {
    if (e->type() != ky::msg::Type(ky::msg::kWifiTest)) return CCameraPage::event(e);
    EnableTestButtons(true);
    Message(static_cast<CPageResultEvent*>(e)->Result() == 0
                ? "WiFi works normally!"
                : "The device WiFi works abnormally and cannot be connected to the router!");
    return true;
}

void CP_WIFIDlg::OnSearch() {
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    CSearchWFDlg dialog(Target(), this);
    if (m_runDialog) m_runDialog(dialog);
    if (dialog.result() != QDialog::Accepted || !dialog.HasChosen()) return;
    const WifiAccessPoint& chosen = dialog.Chosen();
    Control<QLineEdit>(kSsid)->setText(QString::fromStdString(ky::Utf8Repair(chosen.ssid)));
    const int security = FindEntry(m_security, kSecurity, 4, QString::fromStdString(chosen.auth));
    m_security->setCurrentIndex(security < 0 ? 0 : security);
    m_cipher->setCurrentIndex(FindEntry(m_cipher, kCiphers, 2, QString::fromStdString(chosen.enc)));
    OnSecurityChanged();
}
