#include "gui/pages/CameraPage.h"

#include <QAbstractButton>
#include <QThreadPool>
#include <cstdlib>
#include <exception>
#include <utility>

#include "core/services/FieldText.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"

namespace {

// A silent camera holds a worker for a connect and a reply time-out; a
// pool of its own keeps such exchanges from starving others.
QThreadPool& ExchangePool() {
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(8);
        return true;
    }();
    (void)sized;
    return pool;
}

template <size_t N>
std::string Field(const char (&field)[N]) {
    return std::string(ky::FieldText(field));
}

}   // namespace

CCameraPage::CCameraPage(QWidget* parent, const char* section) : CSettingsPage(parent), m_section(section) {}

CCameraPage::~CCameraPage() { m_worker.Cut(); }

bool CCameraPage::LoggedIn() { return CurrentCamera().IsLoggedIn(); }

CameraTarget CCameraPage::Target() {
    const DeviceRecord& d = CurrentCamera().GetDevice();
    CameraTarget t;
    t.ip = Field(d.info.ip);
    // atoi of the port text; a value outside 0..65535 cannot name a port and
    // gives 0 (no connection).
    const int port = std::atoi(Field(d.info.httpPort).c_str());
    t.port = port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
    t.user = Field(d.user);
    t.password = Field(d.password);
    return t;
}

void CCameraPage::RefreshFromDevice() {
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    if (!m_busy) Load();
}

void CCameraPage::OnApply() {
    if (m_busy) return;
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    Apply();
}

bool CCameraPage::Start(Exchange exchange) {
    if (m_busy) return false;
    const CameraTarget camera = Target();
    SetBusy(true);
    // The worker only runs the exchange; the page is touched by the queued
    // Finish alone, which never runs once the page is gone.
    m_worker.Start(ExchangePool(), [this, camera, exchange = std::move(exchange)]() -> CWorkerLink::Done {
        Done done;
        try {
            done = exchange(camera);
        } catch (const std::exception&) {
            done = nullptr;   // out of memory or the like: the page just stops being busy
        }
        return [this, done = std::move(done)] { Finish(done); };
    });
    return true;
}

bool CCameraPage::Write(std::function<Outcome(const CameraTarget& camera)> write) {
    return Start([this, write = std::move(write)](const CameraTarget& camera) -> Done {
        const Outcome outcome = write(camera);
        return [this, outcome] { Report(outcome); };
    });
}

void CCameraPage::Finish(const Done& done) {
    SetBusy(false);
    if (done) done();
    if (!m_busy) emit exchangeDone();
}

void CCameraPage::SetBusy(bool on) {
    m_busy = on;
    if (on)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    for (const QPointer<QWidget>& w : m_locked)
        if (w) w->setEnabled(!on);
}

void CCameraPage::Report(Outcome outcome) {
    switch (outcome) {
        case Outcome::Succeeded: Message("Parameter setting succeeded!"); break;
        case Outcome::Failed: Message("Parameter setting failed!"); break;
        case Outcome::Cleared: ClearControls(); break;
        case Outcome::Stopped: break;
    }
}

void CCameraPage::Refuse(const char* key) {
    if (key && *key) Message(key);
}

void CCameraPage::Message(const char* key) { KyMessageEx(this, m_section, key); }

bool CCameraPage::Ask(const char* key) { return KyQuestionEx(this, m_section, key); }

void CCameraPage::Translate(std::initializer_list<QWidget*> containers) {
    TranslateWindowEx(m_section, this);
    for (QWidget* w : containers) TranslateWindowEx(m_section, w);
}

void CCameraPage::AddApplyButton(QAbstractButton* button) {
    connect(button, &QAbstractButton::clicked, this, &CCameraPage::OnApply);
    LockWhileBusy(button);
}

void CCameraPage::LockWhileBusy(QWidget* w) { m_locked.emplace_back(w); }
