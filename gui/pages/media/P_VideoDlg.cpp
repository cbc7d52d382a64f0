#include "gui/pages/media/P_VideoDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "core/cgi/rules/VideoRules.h"
#include "gui/pages/PageContext.h"
#include "gui/pages/PageControls.h"

using namespace ky::cgi;
using ky::pages::DecimalValue;

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Position of the box's text among its entries, exactly as typed; -1 when the
// text is not one of them.
int ExactEntry(const QComboBox* box) {
    return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void AddUnique(QComboBox* list, const QString& text) {
    if (list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) list->addItem(text);
}

// Radio buttons of one group can only be all unchecked with exclusivity off.
void Uncheck(QRadioButton* a, QRadioButton* b) {
    for (QRadioButton* r : {a, b}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
}

bool ParseSize(const QString& text, PictureSize& size) {
    return std::sscanf(text.toUtf8().constData(), "%dx%d", &size.width, &size.height) == 2;
}

int ProfileByName(const QString& name) {
    for (int p = 0; ProfileName(p); ++p)
        if (name == QLatin1String(ProfileName(p))) return p;
    return 0;
}

}   // namespace

CPVideoDlg::CPVideoDlg(QWidget* parent) : CCameraPage(parent, "CONFIG") {
    setWindowTitle(QStringLiteral("Video settings"));

    auto* formatLabel = new QLabel(QStringLiteral("Video format:"), this);
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("videoFormat"));
    auto* codingLabel = new QLabel(QStringLiteral("Video coding:"), this);
    m_coding = new QComboBox(this);
    m_coding->setObjectName(QStringLiteral("videoCoding"));
    m_coding->setMinimumContentsLength(16);

    auto* top = new QGridLayout;
    top->addWidget(formatLabel, 0, 0);
    top->addWidget(m_format, 0, 1);
    top->addWidget(codingLabel, 1, 0);
    top->addWidget(m_coding, 1, 1);
    top->setColumnStretch(2, 1);

    auto* streams = new QHBoxLayout;
    const char* titles[2] = {"First stream", "Second stream"};
    const char* rates[2] = {"kbps(32-6144)", "kbps(32-2048)"};
    const char* intervals[2] = {" (2-150)", "(2-150)"};
    for (int s = 0; s < 2; ++s) {
        Stream& st = m_streams[s];
        st.box = new QGroupBox(QString::fromLatin1(titles[s]), this);
        QGroupBox* box = st.box;
        st.resolution = new QComboBox(box);
        st.resolution->setMinimumContentsLength(10);
        st.bitRate = new QLineEdit(box);
        st.frameRate = new QComboBox(box);
        st.keyFrame = new QLineEdit(box);
        st.cbr = new QRadioButton(QStringLiteral("CBR"), box);
        st.vbr = new QRadioButton(QStringLiteral("VBR"), box);
        st.quality = new QComboBox(box);
        for (QComboBox* c : {st.frameRate, st.quality}) {
            c->setEditable(true);
            // Typed texts are checked on apply, never added to the list.
            c->setInsertPolicy(QComboBox::NoInsert);
        }
        for (int fps = 1; fps <= 30; ++fps) st.frameRate->addItem(QString::number(fps));
        st.frameRate->setCurrentIndex(19);
        for (int q = 1; q <= 6; ++q) st.quality->addItem(QString::number(q));

        auto* grid = new QGridLayout(box);
        int row = 0;
        grid->addWidget(new QLabel(QStringLiteral("Resolution:"), box), row, 0);
        grid->addWidget(st.resolution, row++, 1);
        grid->addWidget(new QLabel(QStringLiteral("Bit rate:"), box), row, 0);
        grid->addWidget(st.bitRate, row, 1);
        grid->addWidget(new QLabel(QString::fromLatin1(rates[s]), box), row++, 2);
        grid->addWidget(new QLabel(QStringLiteral("Maximum frame rate:"), box), row, 0);
        grid->addWidget(st.frameRate, row, 1);
        grid->addWidget(new QLabel(QStringLiteral("fps"), box), row++, 2);
        grid->addWidget(new QLabel(QStringLiteral("Key frame interval:"), box), row, 0);
        grid->addWidget(st.keyFrame, row, 1);
        grid->addWidget(new QLabel(QString::fromLatin1(intervals[s]), box), row++, 2);
        grid->addWidget(new QLabel(QStringLiteral("Bit rate control:"), box), row, 0);
        auto* radios = new QHBoxLayout;
        radios->addWidget(st.cbr);
        radios->addWidget(st.vbr);
        radios->addStretch(1);
        grid->addLayout(radios, row++, 1, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Image quality:"), box), row, 0);
        grid->addWidget(st.quality, row++, 1);
        auto* hint = new QLabel(
            QStringLiteral("(The smaller the value, the better the image quality, larger flow control)"), box);
        hint->setWordWrap(true);
        grid->addWidget(hint, row++, 0, 1, 3);
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(row, 1);
        streams->addWidget(box, 1);
    }

    auto* column = new QVBoxLayout;
    column->addLayout(top);
    column->addLayout(streams);
    // Cancel reads the camera again.
    QPushButton* cancel = AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);
    m_streams[0].box->setMinimumWidth(380);
    m_streams[1].box->setMinimumWidth(380);

    Translate({m_streams[0].box, m_streams[1].box});
    m_format->addItem(QStringLiteral("50HZ"));
    m_format->addItem(QStringLiteral("60HZ"));

    LockWhileBusy(cancel);
    connect(cancel, &QPushButton::clicked, this, &CCameraPage::RefreshFromDevice);
    connect(m_streams[0].resolution, &QComboBox::activated, this, &CPVideoDlg::OnFirstResolutionChosen);
}

bool CPVideoDlg::Hz50() const { return m_format->currentIndex() == 0; }

void CPVideoDlg::Load() {
    const CapabilityRecord* current = ky::pages::CurrentCapability();
    if (!current) {
        ClearControls();
        return;
    }
    Start([this, cap = *current](const CameraTarget& camera) -> Done {
        VideoAttr video{};
        VencAttr first{};
        VencAttr second{};
        second.stream = 1;
        const bool videoOk = Call(camera, &CCgiClient::GetVideoAttr, &video) == 0;
        const bool firstOk = Call(camera, &CCgiClient::GetVencAttr, &first) == 0;
        const bool secondOk = Call(camera, &CCgiClient::GetVencAttr, &second) == 0;
        return [=, this] {
            // Old values must not pass for the camera's: a failed read says
            // so, and when nothing was read the page empties.
            if (!videoOk && !firstOk && !secondOk) {
                ReadFailed(camera);
            } else {
                Show(cap, videoOk ? &video : nullptr, firstOk ? &first : nullptr, secondOk ? &second : nullptr);
            }
            if (!videoOk || !firstOk || !secondOk) Message("Failed to read the video parameters!");
        };
    });
}

void CPVideoDlg::Show(const CapabilityRecord& cap, const VideoAttr* video, const VencAttr* first,
                      const VencAttr* second) {
    QString profile = m_coding->currentText();
    if (video) {
        if (const char* name = ProfileName(video->profile)) profile = QString::fromLatin1(name);
        m_coding->setCurrentIndex(m_coding->findText(profile));
        m_format->setCurrentIndex(video->vinorm == 50 ? 0 : 1);
    }
    BuildLists(cap, profile);
    if (first) {
        ShowStream(*first);
        BuildSecondList(cap.Text(ky::pages::kCapVideoModes), Text(SizeText({first->width, first->height})), second);
    } else if (second) {
        ShowStream(*second);
    }
}

void CPVideoDlg::BuildLists(const CapabilityRecord& cap, const QString& wantedProfile) {
    std::vector<int> profiles;
    if (ProfilesFromMask(cap.Text(ky::pages::kCapProfiles), profiles)) {
        m_coding->clear();
        for (int p : profiles) m_coding->addItem(QString::fromLatin1(ProfileName(p)));
        m_coding->setCurrentIndex(m_coding->findText(wantedProfile));
        if (m_coding->count() == 1) m_coding->setCurrentIndex(0);
    }

    QComboBox* firstList = m_streams[0].resolution;
    QComboBox* secondList = m_streams[1].resolution;
    firstList->clear();
    secondList->clear();
    const bool hz50 = Hz50();
    for (int mode : ParseModeList(cap.Text(ky::pages::kCapVideoModes))) {
        const ModeResolutions r = VideoModeResolutions(mode);
        AddUnique(firstList, Text(SizeText(ResolutionSize(r.first, hz50))));
        AddUnique(secondList, Text(SizeText(ResolutionSize(r.second, hz50))));
    }
}

void CPVideoDlg::BuildSecondList(const std::string& modeList, const QString& firstSize, const VencAttr* second) {
    QComboBox* list = m_streams[1].resolution;
    list->clear();
    const bool hz50 = Hz50();
    for (int mode : ParseModeList(modeList)) {
        const ModeResolutions r = VideoModeResolutions(mode);
        if (Text(SizeText(ResolutionSize(r.first, hz50))).compare(firstSize, Qt::CaseInsensitive) == 0)
            AddUnique(list, Text(SizeText(ResolutionSize(r.second, hz50))));
    }
    if (second) ShowStream(*second);
}

void CPVideoDlg::OnFirstResolutionChosen() {
    const CapabilityRecord* cap = ky::pages::CurrentCapability();
    if (!LoggedIn() || !cap) return;
    // The second stream is read again to show it against the new list.
    Start([this, modes = cap->Text(ky::pages::kCapVideoModes),
           firstSize = m_streams[0].resolution->currentText()](const CameraTarget& camera) -> Done {
        VencAttr again{};
        again.stream = 1;
        const bool ok = Call(camera, &CCgiClient::GetVencAttr, &again) == 0;
        return [=, this] { BuildSecondList(modes, firstSize, ok ? &again : nullptr); };
    });
}

void CPVideoDlg::ShowStream(const VencAttr& v) {
    const Stream& st = m_streams[v.stream == 0 ? 0 : 1];
    const QString size = Text(SizeText({v.width, v.height}));
    const int found = st.resolution->findText(size);
    if (v.stream == 0)
        st.resolution->setCurrentIndex(found);
    else
        st.resolution->setCurrentIndex(st.resolution->count() == 1 ? 0 : (found >= 0 ? found : 0));
    st.bitRate->setText(QString::number(v.bps));
    // Out-of-range values select nothing (index -1).
    st.frameRate->setCurrentIndex(v.fps >= 1 && v.fps <= st.frameRate->count() ? v.fps - 1 : -1);
    st.keyFrame->setText(QString::number(v.gop));
    if (v.brmode == 1)
        st.vbr->setChecked(true);
    else
        st.cbr->setChecked(true);
    st.quality->setCurrentIndex(v.imagegrade >= 1 && v.imagegrade <= st.quality->count() ? v.imagegrade - 1 : -1);
}

void CPVideoDlg::ClearControls() {
    m_format->setCurrentIndex(-1);
    m_coding->setCurrentIndex(-1);
    for (Stream& st : m_streams) {
        st.resolution->clear();
        st.frameRate->setCurrentIndex(-1);
        st.quality->setCurrentIndex(-1);
        Uncheck(st.cbr, st.vbr);
    }
}

const char* CPVideoDlg::ReadStream(int stream, VencAttr& rec) const {
    const Stream& st = m_streams[stream];
    rec.stream = stream;
    PictureSize size;
    if (st.resolution->currentIndex() < 0 || !ParseSize(st.resolution->currentText(), size)) return "";
    rec.width = size.width;
    rec.height = size.height;
    rec.bps = DecimalValue(st.bitRate);
    rec.gop = DecimalValue(st.keyFrame);
    // A text that is no entry leaves 0, which the frame-rate and quality
    // rules refuse at their place in the order.
    rec.fps = ExactEntry(st.frameRate) + 1;
    rec.brmode = st.cbr->isChecked() ? 0 : 1;
    rec.imagegrade = ExactEntry(st.quality) + 1;
    return CheckVencAttr(rec, Hz50() ? 50 : 60);
}

void CPVideoDlg::Apply() {
    const CapabilityRecord* cap = ky::pages::CurrentCapability();
    if (!cap) return ClearControls();

    VencAttr streams[2]{};
    for (int s = 0; s < 2; ++s)
        if (const char* refused = ReadStream(s, streams[s])) return Refuse(refused);

    const int mode =
        FindVideoMode(ParseModeList(cap->Text(ky::pages::kCapVideoModes)), {streams[0].width, streams[0].height},
                      {streams[1].width, streams[1].height}, Hz50());
    if (mode == -1 && !Ask("The tool does not support modifying the device resolution. Continue (yes/no)?")) return;

    VideoAttr video{};
    video.videomode = mode;
    video.profile = m_coding->currentIndex() >= 0 ? ProfileByName(m_coding->currentText()) : 0;
    video.vinorm = Hz50() ? 50 : 60;
    Write([mode, video, first = streams[0], second = streams[1]](const CameraTarget& camera) mutable {
        if (mode > 0 && Call(camera, &CCgiClient::SetVideoAttr, &video) != 0) return Outcome::Cleared;
        for (VencAttr* v : {&first, &second})
            if (Call(camera, &CCgiClient::SetVencAttr, v) != 0) return Outcome::Cleared;
        return Outcome::Succeeded;
    });
}
