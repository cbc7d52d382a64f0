#include "gui/pages/alarm/P_AudioWarnDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/cgi/rules/AlarmRules.h"
#include "gui/pages/alarm/AlarmPageKit.h"
#include "gui/pages/PageControls.h"

CP_AudioWarnDlg::CP_AudioWarnDlg(QWidget* parent)
    : CRecordPage<AudioAlarmAttr>(parent, "P_AUDIO_WARN_DLG", &CCgiClient::GetAudioAlarmAttr,
                                  &CCgiClient::SetAudioAlarmAttr) {
    m_writeFailure = Outcome::Cleared;
    m_alarm = new CRadioPair(this, "On", "Off");

    // The volume row hides as a whole.
    m_volumeRow = new QWidget(this);
    m_volumeRow->setObjectName(QStringLiteral("volumeRow"));
    m_volume = new QLineEdit(m_volumeRow);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setMaximumWidth(80);
    auto* volumeLayout = new QHBoxLayout(m_volumeRow);
    volumeLayout->setContentsMargins(0, 0, 0, 0);
    volumeLayout->addWidget(new QLabel(QStringLiteral("Volume:"), m_volumeRow));
    volumeLayout->addWidget(m_volume);
    volumeLayout->addWidget(new QLabel(QStringLiteral("(1~100)"), m_volumeRow));
    volumeLayout->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Audio alarm:"), this), 0, 0);
    grid->addLayout(m_alarm->Row(), 0, 1);
    grid->addWidget(m_volumeRow, 1, 0, 1, 2);
    grid->setColumnStretch(2, 1);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(ky::pages::ButtonRow({apply, cancel}));
    column->addStretch(1);

    Translate({m_volumeRow});
    m_volumeRow->hide();

    AddApplyButton(apply);
    LockWhileBusy(cancel);
    connect(cancel, &QPushButton::clicked, this, &CP_AudioWarnDlg::RefreshFromDevice);
    connect(m_alarm, &CRadioPair::chosen, this, [this](int index) { ShowVolume(index == 0); });
    ky::pages::FilterSmallNumber(m_volume);
}

bool CP_AudioWarnDlg::VolumeShown() const { return !m_volumeRow->isHidden(); }

void CP_AudioWarnDlg::ShowVolume(bool on) { m_volumeRow->setVisible(on); }

void CP_AudioWarnDlg::ShowRecord(const AudioAlarmAttr& rec) {
    m_alarm->Check(rec.aa_enable == 1 ? 0 : 1);
    ShowVolume(rec.aa_enable == 1);
    m_volume->setText(QString::number(rec.aa_value));
}

const char* CP_AudioWarnDlg::ReadControls(AudioAlarmAttr& rec) {
    rec.aa_enable = m_alarm->Flag();
    rec.aa_value = std::atoi(m_volume->text().toUtf8().constData());
    return ky::cgi::CheckAudioAlarmAttr(rec);
}

void CP_AudioWarnDlg::ClearControls() {
    m_alarm->Clear();
    ShowVolume(false);
}
