#include "gui/pages/media/P_AudioDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstring>
#include <strings.h>

#include "core/cgi/rules/AudioOsdRules.h"
#include "gui/kit/Translate.h"
#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/alarm/AlarmPageKit.h"

namespace {

// Both streams take the one list's format; no choice means G711.
constexpr const char* kFormats[2] = {"g711a", "g726"};

int FormatIndex(const AudioAttr& a) {
    for (int i = 0; i < 2; ++i)
        if (strncasecmp(a.aeformat_a, kFormats[i], sizeof a.aeformat_a) == 0) return i;
    return -1;
}

}   // namespace

CP_AudioDlg::CP_AudioDlg(QWidget* parent) : CCameraPage(parent, kSection) {
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("audioType"));
    m_format->addItem(QStringLiteral("G711"));
    m_format->addItem(QStringLiteral("G726"));

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("Audio Type:"), this), row, 0);
    grid->addWidget(m_format, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Audio Settings:"), this), row++, 0);
    const char* streams[2] = {"First stream", "Second stream"};
    for (int s = 0; s < 2; ++s) {
        auto* on = new QRadioButton(QStringLiteral("On"), this);
        auto* off = new QRadioButton(QStringLiteral("Off"), this);
        m_switch[s] = new CChoiceGroup(this, {on, off});
        auto* pair = new QHBoxLayout;
        pair->addWidget(on);
        pair->addWidget(off);
        pair->addStretch(1);
        grid->addWidget(new QLabel(QString::fromLatin1(streams[s]), this), row, 0, Qt::AlignRight);
        grid->addLayout(pair, row++, 1, 1, 2);
    }
    m_inputType = new QComboBox(this);
    m_inputType->setObjectName(QStringLiteral("inputType"));
    for (const char* type : {"Line in", "MIC"}) m_inputType->addItem(LangTextEx(kSection, QString::fromLatin1(type)));
    grid->addWidget(new QLabel(QStringLiteral("Input Type:"), this), row, 0);
    grid->addWidget(m_inputType, row++, 1);
    m_inVolume = new QLineEdit(this);
    m_inVolume->setObjectName(QStringLiteral("inVolume"));
    grid->addWidget(new QLabel(QStringLiteral("Input volume:"), this), row, 0);
    grid->addWidget(m_inVolume, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("(1-100)"), this), row++, 2);
    m_outVolume = new QLineEdit(this);
    m_outVolume->setObjectName(QStringLiteral("outVolume"));
    grid->addWidget(new QLabel(QStringLiteral("Output volume:"), this), row, 0);
    grid->addWidget(m_outVolume, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("(1~100)"), this), row++, 2);
    grid->setColumnMinimumWidth(1, 160);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    // Cancel does nothing on this page.
    AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate();
    ky::pages::FilterSmallNumber(m_inVolume);
    ky::pages::FilterSmallNumber(m_outVolume);
}

void CP_AudioDlg::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        AudioAttr first{};
        AudioAttr second{};
        second.stream_a = 1;
        // A stream whose read fails is shown from its zeroed record.
        const bool streamsOk = (Call(camera, &CCgiClient::GetAencAttr, &first) == 0) &
                               (Call(camera, &CCgiClient::GetAencAttr, &second) == 0);
        AudioAttr in{};
        AudioAttr out{};
        const bool inOk = Call(camera, &CCgiClient::GetAudioInVolume, &in) == 0;
        const bool outOk = Call(camera, &CCgiClient::GetAudioOutVolume, &out) == 0;
        return [=, this] {
            Show(first, second, inOk ? &in : nullptr, outOk ? &out : nullptr);
            if (!streamsOk || !inOk || !outOk) ShowFailure(Failure::Read, camera);
        };
    });
}

void CP_AudioDlg::Show(const AudioAttr& first, const AudioAttr& second, const AudioAttr* in, const AudioAttr* out) {
    m_format->setCurrentIndex(FormatIndex(first));
    m_switch[0]->Choose(first.aeswitch_a == 1 ? 0 : 1);
    m_switch[1]->Choose(second.aeswitch_a == 1 ? 0 : 1);
    if (in) {
        m_inputType->setCurrentIndex(in->volin_type == 0 || in->volin_type == 1 ? in->volin_type : -1);
        m_inVolume->setText(QString::number(in->volume));
    } else {
        m_inputType->setCurrentIndex(0);
        m_inVolume->setText(QString::number(kDefaultInVolume));
    }
    m_outVolume->setText(QString::number(out ? out->ao_volume : kDefaultOutVolume));
}

void CP_AudioDlg::ClearControls() {
    m_format->setCurrentIndex(-1);
    m_inputType->setCurrentIndex(-1);
    for (CChoiceGroup* g : m_switch) g->Clear();
}

void CP_AudioDlg::Apply() {
    AudioAttr a{};
    a.stream_a = 0;
    a.stream_b = 1;
    const char* format = kFormats[m_format->currentIndex() == 1 ? 1 : 0];
    std::strcpy(a.aeformat_a, format);
    std::strcpy(a.aeformat_b, format);
    a.aeswitch_a = m_switch[0]->Choice() == 0 ? 1 : 0;
    a.aeswitch_b = m_switch[1]->Choice() == 0 ? 1 : 0;
    a.volume = m_inVolume->text().toInt();
    a.volin_type = m_inputType->currentIndex();
    a.ao_volume = m_outVolume->text().toInt();
    if (const char* refused = ky::cgi::CheckAudioAttr(a)) return Refuse(refused);
    Start([this, a](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetAudioAttr, &a) == 0;
        return [this, ok, camera] {
            if (ok) return Message("Parameter setting succeeded!");
            ShowFailure(Failure::Write, camera);
            Message("Parameter setting failed!");
        };
    });
}
