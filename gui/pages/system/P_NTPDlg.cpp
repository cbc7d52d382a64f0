#include "gui/pages/system/P_NTPDlg.h"

#include <strings.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>
#include <string>

#include "core/cgi/rules/TimeRules.h"
#include "core/discovery/SearchProto.h"
#include "gui/kit/FieldQText.h"
#include "gui/kit/Translate.h"

using namespace ky::cgi;

namespace {

constexpr const char* kServers[] = {"pool.ntp.org",        "time.nist.gov",  "time.google.com",
                                    "time.cloudflare.com", "ntp.aliyun.com", "cn.pool.ntp.org"};

// This PC's zone as Qt's zone database describes it.
PcZone SystemZone(std::time_t now) {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return DescribePcZone(zone.id().toStdString(), now, [&zone](std::time_t t) {
        return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc())) / 60;
    });
}

}   // namespace

CP_NTPDLG::CP_NTPDLG(QWidget* parent) : CCameraPage(parent, "P_NTP_DLG") {
    setWindowTitle(QStringLiteral("Time"));

    m_deviceTime = new QLabel(QStringLiteral("2021-11-02 19:53:27"), this);
    m_deviceTime->setObjectName(QStringLiteral("deviceTime"));
    m_ntp = new QCheckBox(QStringLiteral("Network Time Protocol"), this);
    m_server = new QComboBox(this);
    m_server->setEditable(true);
    m_server->setInsertPolicy(QComboBox::NoInsert);
    m_server->setMinimumContentsLength(24);
    m_interval = new QComboBox(this);
    m_zone = new QComboBox(this);
    m_zone->setObjectName(QStringLiteral("timeZone"));
    m_zone->setMinimumContentsLength(30);
    m_zone->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_dst = new QCheckBox(QStringLiteral("Automatically adjust clock for daylight saving time changes"), this);
    m_sync = new QPushButton(QStringLiteral("Sync with PC time"), this);
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("Device Date Time:"), this), row, 0);
    grid->addWidget(m_deviceTime, row++, 1);
    grid->addWidget(m_ntp, row++, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("NTP server:"), this), row, 0);
    grid->addWidget(m_server, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Interval:"), this), row, 0);
    grid->addWidget(m_interval, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Time zone:"), this), row, 0);
    grid->addWidget(m_zone, row++, 1);
    grid->addWidget(m_dst, row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_sync);
    buttons->addWidget(apply);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    column->addSpacing(12);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate();
    for (const char* server : kServers) m_server->addItem(QString::fromLatin1(server));
    m_server->setCurrentIndex(0);
    const QString hour = LangTextEx(Section(), QStringLiteral("Hour"));
    for (int h = 1; h <= 24; ++h) m_interval->addItem(QStringLiteral("%1 %2").arg(h).arg(hour));
    m_interval->setCurrentIndex(0);
    const auto zones = TimeZoneTable();
    for (int i = 0; i < kListedZones; ++i)
        m_zone->addItem(QString::fromStdString(ZoneOffsetText(zones[i])) + QLatin1Char(' ') +
                        LangTextEx(Section(), QString::fromLatin1(zones[i].name)));
    m_zone->setCurrentIndex(-1);
    m_dst->hide();

    AddApplyButton(apply);
    LockWhileBusy(m_sync);
    connect(m_sync, &QPushButton::clicked, this, &CP_NTPDLG::OnSyncWithPc);
    connect(m_zone, &QComboBox::activated, this, &CP_NTPDLG::OnZoneChosen);
}

std::time_t CP_NTPDLG::Now() const { return QDateTime::currentSecsSinceEpoch(); }

void CP_NTPDLG::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        NtpAttr ntp{};
        ServerTime time{};
        const bool ntpOk = Call(camera, &CCgiClient::GetNtpAttr, &ntp) == 0;
        const bool timeOk = Call(camera, &CCgiClient::GetServerTime, &time) == 0;
        return [=, this] {
            Show(ntpOk ? &ntp : nullptr, timeOk ? &time : nullptr);
            if (!ntpOk || !timeOk) ShowFailure(Failure::Read, camera);
        };
    });
}

void CP_NTPDLG::Show(const NtpAttr* ntp, const ServerTime* time) {
    if (ntp)
        ShowNtp(*ntp);
    else
        ClearControls();
    if (!time || !ShowTime(*time)) ClearControls();
}

void CP_NTPDLG::ShowNtp(const NtpAttr& ntp) {
    m_storedNtp = ntp;
    m_deviceTime->clear();
    m_ntp->setChecked(ntp.ntpenable == 1);
    m_server->setEditText(FieldQText(ntp.ntpserver));
    m_interval->setCurrentIndex(ntp.ntpinterval >= 1 && ntp.ntpinterval <= 24 ? ntp.ntpinterval - 1 : -1);
}

bool CP_NTPDLG::ShowTime(const ServerTime& t) {
    m_storedTime = t;
    std::string display;
    if (!DeviceTimeDisplay(ky::FieldText(t.time), display)) return false;
    m_deviceTime->setText(QString::fromStdString(display));
    SelectZone(t);
    return true;
}

void CP_NTPDLG::SelectZone(const ServerTime& t) {
    m_zone->setCurrentIndex(FindZoneRow(ky::FieldText(t.timeZone)));
    ApplyDstVisibility();
    // Set either way: a box left checked from the zone shown before would
    // later be taken for a change and written.
    m_dst->setChecked(t.dstmode == 1);
}

void CP_NTPDLG::ApplyDstVisibility() {
    const int row = m_zone->currentIndex();
    if (row >= 0 && TimeZoneTable()[static_cast<size_t>(row)].dst) {
        m_dst->show();
    } else {
        m_dst->setChecked(false);
        m_dst->hide();
    }
}

void CP_NTPDLG::OnZoneChosen() { ApplyDstVisibility(); }

void CP_NTPDLG::ClearControls() {
    m_deviceTime->clear();
    m_ntp->setChecked(false);
    m_server->setCurrentIndex(0);
    m_interval->setCurrentIndex(0);
    m_dst->setChecked(false);
    m_dst->hide();
}

void CP_NTPDLG::Apply() {
    NtpAttr ntp{};
    ntp.ntpenable = m_ntp->isChecked() ? 1 : 0;
    ntp.ntpinterval = m_interval->currentIndex() + 1;
    ky::search::SetText(ntp.ntpserver, m_server->currentText().trimmed().toStdString());
    if (const char* refused = CheckNtpAttr(ntp)) return Refuse(refused);

    // Before the first read no zone is chosen: the zone is left as it is.
    const int row = m_zone->currentIndex();
    ServerTime wanted = m_storedTime;
    bool zoneChanged = false;
    if (row >= 0) {
        const char* name = TimeZoneTable()[static_cast<size_t>(row)].name;
        std::snprintf(wanted.timeZone, sizeof wanted.timeZone, "%s", name);
        wanted.dstmode = m_dst->isChecked() ? 1 : 0;
        zoneChanged = strcasecmp(name, m_storedTime.timeZone) != 0 || wanted.dstmode != m_storedTime.dstmode;
    }

    // The writes and the read that always follows them, as one exchange.
    Start([this, ntp, wanted, zoneChanged](const CameraTarget& camera) mutable -> Done {
        const bool ntpOk = Call(camera, &CCgiClient::SetNtpAttr, &ntp) == 0;
        const bool zoneOk = ntpOk && zoneChanged && Call(camera, &CCgiClient::SetServerTimeZone, &wanted) == 0;
        NtpAttr readNtp{};
        ServerTime readTime{};
        const bool readNtpOk = Call(camera, &CCgiClient::GetNtpAttr, &readNtp) == 0;
        const bool readTimeOk = Call(camera, &CCgiClient::GetServerTime, &readTime) == 0;
        return [=, this] {
            if (!ntpOk) {
                Message("Parameter setting failed!");
            } else if (!zoneChanged || zoneOk) {
                if (zoneOk) m_storedTime = wanted;
                Message("Parameter setting succeeded!");
            } else {
                // The camera kept its zone: so does the page.
                SelectZone(m_storedTime);
            }
            Show(readNtpOk ? &readNtp : nullptr, readTimeOk ? &readTime : nullptr);
        };
    });
}

void CP_NTPDLG::OnSyncWithPc() {
    if (Busy()) return;
    if (!LoggedIn()) return ClearControls();
    const std::time_t now = Now();
    ServerTime t{};
    if (!PcServerTime(SystemZone(now), now, t)) return Message("The time zone of this PC is not in the camera's list!");
    Start([this, t](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetServerTime, &t) == 0;
        return [this, ok, t, camera] {
            if (!ok) return ShowFailure(Failure::Write, camera);
            ShowTime(t);
            Message("PC time synchronization succeeded!");
        };
    });
}
