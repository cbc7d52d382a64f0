#include "gui/pages/CameraPage.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThreadPool>
#include <QTime>
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
    if (m_failure) m_failure->hide();
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
        return [this, outcome, camera] { Report(outcome, camera); };
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

void CCameraPage::Report(Outcome outcome) { Report(outcome, Target()); }

void CCameraPage::Report(Outcome outcome, const CameraTarget& camera) {
    switch (outcome) {
        case Outcome::Succeeded: Message("Parameter setting succeeded!"); break;
        case Outcome::Failed:
            ShowFailure(Failure::Write, camera);
            Message("Parameter setting failed!");
            break;
        case Outcome::Cleared: ShowFailure(Failure::Write, camera); break;
        case Outcome::Stopped: break;
    }
}

void CCameraPage::ShowFailure(Failure what, const CameraTarget& camera) {
    if (!m_failure) {
        m_failure = new QLabel(this);
        m_failure->setObjectName(QStringLiteral("pageFailure"));
        m_failure->setWordWrap(true);
        m_failure->setStyleSheet(QStringLiteral("color: #b00000;"));
        // On top of the page's first column: most pages are a column beside
        // a stretch.
        auto* box = qobject_cast<QBoxLayout*>(layout());
        if (box && box->direction() == QBoxLayout::LeftToRight && box->count() > 0)
            if (auto* column = qobject_cast<QBoxLayout*>(box->itemAt(0)->layout()))
                if (column->direction() == QBoxLayout::TopToBottom) box = column;
        if (box) {
            box->insertWidget(0, m_failure);
        } else {
            m_failure->move(8, 8);
            m_failure->raise();
        }
    }
    const QString text = what == Failure::Read
                             ? LangTextEx("CONFIG", QStringLiteral("Reading the settings from %1 failed at %2."))
                             : LangTextEx("CONFIG", QStringLiteral("Writing the settings to %1 failed at %2."));
    m_failure->setText(text.arg(QStringLiteral("%1:%2").arg(QString::fromStdString(camera.ip)).arg(camera.port),
                                QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    m_failure->adjustSize();
    m_failure->show();
}

QString CCameraPage::ErrorLine() const { return m_failure && !m_failure->isHidden() ? m_failure->text() : QString(); }

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

QPushButton* CCameraPage::AddApplyRow(QBoxLayout* column) {
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("1"));
    apply->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(apply);
    row->addWidget(cancel);
    column->addSpacing(12);
    column->addLayout(row);
    AddApplyButton(apply);
    return cancel;
}

void CCameraPage::LockWhileBusy(QWidget* w) { m_locked.emplace_back(w); }
