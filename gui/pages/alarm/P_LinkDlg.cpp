#include "gui/pages/alarm/P_LinkDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/kit/Translate.h"
#include "gui/pages/alarm/AlarmPageKit.h"

namespace {
constexpr int kDurations[] = {5, 10, 20, 30};
}   // namespace

CP_LinkDlg::CP_LinkDlg(QWidget* parent)
    : CRecordPage<LinkAttr>(parent, "P_LINK_DLG", &CCgiClient::GetLinkAttr, &CCgiClient::SetLinkAttr) {
    m_writeFailure = Outcome::Cleared;
    m_snap = new QCheckBox(QStringLiteral(" Save Picture on the SD Card"), this);
    m_record = new QCheckBox(QStringLiteral("Save Video on the SD card"), this);
    m_preset = new QCheckBox(QStringLiteral(" Linkage preset"), this);
    m_sound = new QCheckBox(QStringLiteral("Linkage sound"), this);
    m_presetList = new QComboBox(this);
    m_soundType = new QComboBox(this);
    m_duration = new QComboBox(this);
    m_captureNumber = new QComboBox(this);
    auto* captureLabel = new QLabel(QStringLiteral("Image capture number:"), this);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(m_snap, row, 0);
    grid->addWidget(captureLabel, row, 1);
    grid->addWidget(m_captureNumber, row++, 2);
    grid->addWidget(m_record, row++, 0);
    grid->addWidget(m_preset, row, 0);
    grid->addWidget(m_presetList, row++, 1);
    grid->addWidget(m_sound, row, 0);
    grid->addWidget(m_soundType, row, 1);
    grid->addWidget(m_duration, row++, 2);
    grid->setColumnStretch(3, 1);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(ky::pages::ButtonRow({apply, cancel}));
    column->addStretch(1);

    Translate();
    for (int n = 1; n <= 8; ++n) m_presetList->addItem(QString::number(n));
    for (const char* type : {"Alarm", "Dog", "Custom"})
        m_soundType->addItem(LangTextEx(Section(), QString::fromLatin1(type)));
    for (const char* d : {"5 sec", "10 sec", "20 sec", "30 sec"})
        m_duration->addItem(LangTextEx(Section(), QString::fromLatin1(d)));
    for (const char* n : {"1`", "2", "3"}) m_captureNumber->addItem(QString::fromLatin1(n));
    // One picture per alarm is all the page ever sends.
    m_captureNumber->setEnabled(false);
    ClearControls();

    AddApplyButton(apply);
    LockWhileBusy(cancel);
    connect(cancel, &QPushButton::clicked, this, &CP_LinkDlg::RefreshFromDevice);
}

void CP_LinkDlg::ShowRecord(const LinkAttr& rec) {
    m_snap->setChecked(rec.snap_switch != 0);
    m_record->setChecked(rec.record_switch != 0);
    m_preset->setChecked(rec.preset_switch != 0);
    m_sound->setChecked(rec.sound_switch != 0);
    m_presetList->setCurrentIndex(rec.alarmpresetindex >= 1 && rec.alarmpresetindex <= 8 ? rec.alarmpresetindex - 1
                                                                                         : -1);
    m_soundType->setCurrentIndex(rec.sound_type >= 0 && rec.sound_type <= 2 ? rec.sound_type : -1);
    int duration = -1;
    for (int i = 0; i < 4; ++i)
        if (rec.sound_time == kDurations[i]) duration = i;
    m_duration->setCurrentIndex(duration);
    m_captureNumber->setCurrentIndex(rec.snap_count == 1 ? 0 : -1);
}

const char* CP_LinkDlg::ReadControls(LinkAttr& rec) {
    rec.snap_switch = m_snap->isChecked() ? 1 : 0;
    rec.record_switch = m_record->isChecked() ? 1 : 0;
    rec.preset_switch = m_preset->isChecked() ? 1 : 0;
    rec.sound_switch = m_sound->isChecked() ? 1 : 0;
    // A list without a selection sends its first entry, as the duration
    // list does: preset 0 or sound type -1 name nothing the camera has.
    rec.alarmpresetindex = std::max(m_presetList->currentIndex(), 0) + 1;
    rec.sound_type = std::max(m_soundType->currentIndex(), 0);
    const int d = m_duration->currentIndex();
    rec.sound_time = d >= 0 && d < 4 ? kDurations[d] : 5;
    rec.snap_count = 1;
    rec.relay_switch = 0;
    return nullptr;
}

void CP_LinkDlg::ClearControls() {
    for (QCheckBox* c : {m_snap, m_record, m_preset, m_sound}) c->setChecked(false);
    for (QComboBox* l : {m_presetList, m_soundType, m_duration, m_captureNumber}) l->setCurrentIndex(-1);
}
