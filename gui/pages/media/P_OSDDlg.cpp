#include "gui/pages/media/P_OSDDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/cgi/CommandEngine.h"
#include "core/cgi/rules/AudioOsdRules.h"
#include "gui/kit/FieldQText.h"
#include "gui/pages/ChoiceGroup.h"

namespace {

// The leading blank of the third place is part of its text (and its key).
constexpr const char* kPlaces[4] = {"TOP Left", "TOP Right", " Buttom Left", "Buttom Right"};

}   // namespace

CP_OSDDlg::CP_OSDDlg(QWidget* parent) : CCameraPage(parent, kSection) {
    auto* grid = new QGridLayout;
    int row = 0;
    const char* showLabels[2] = {"Time Stamp:", "Camera name:"};
    const char* placeLabels[2] = {"Time show:", "Name show:"};
    for (int r = 0; r < 2; ++r) {
        auto* on = new QRadioButton(QStringLiteral("On"), this);
        auto* off = new QRadioButton(QStringLiteral("Off"), this);
        m_show[r] = new CChoiceGroup(this, {on, off});
        auto* pair = new QHBoxLayout;
        pair->addWidget(on);
        pair->addWidget(off);
        pair->addStretch(1);
        grid->addWidget(new QLabel(QString::fromLatin1(showLabels[r]), this), row, 0);
        grid->addLayout(pair, row++, 1);

        m_place[r] = new CChoiceGroup(this);
        auto* places = new QHBoxLayout;
        for (const char* place : kPlaces) {
            auto* button = new QRadioButton(QString::fromLatin1(place), this);
            m_place[r]->Add(button);
            places->addWidget(button);
        }
        places->addStretch(1);
        grid->addWidget(new QLabel(QString::fromLatin1(placeLabels[r]), this), row, 0);
        grid->addLayout(places, row++, 1);
    }
    m_name = new QLineEdit(QString::fromLatin1(kDefaultName), this);
    m_name->setObjectName(QStringLiteral("cameraName"));
    m_name->setMinimumWidth(260);
    grid->addWidget(new QLabel(QStringLiteral("Camera name:"), this), row, 0);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_name);
    nameRow->addStretch(1);
    grid->addLayout(nameRow, row++, 1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    // Cancel does nothing on this page.
    AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate();
}

void CP_OSDDlg::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        OsdRegion time{};
        OsdRegion name{};
        name.region = 1;
        const bool timeOk = Call(camera, &CCgiClient::GetOverlayAttr, &time) == 0;
        const bool nameOk = Call(camera, &CCgiClient::GetOverlayAttr, &name) == 0;
        return [=, this] {
            if (timeOk)
                ShowRegion(time);
            else
                ClearRegion(0);
            if (nameOk) {
                ShowRegion(name);
                m_name->setText(FieldQText(name.name));
            } else {
                ClearRegion(1);
                m_name->setText(QString::fromLatin1(kDefaultName));
            }
            if (!timeOk || !nameOk) ShowFailure(Failure::Read, camera);
        };
    });
}

void CP_OSDDlg::ShowRegion(const OsdRegion& r) {
    m_show[r.region]->Choose(r.show == 1 ? 0 : 1);
    m_place[r.region]->Choose(r.place);
}

void CP_OSDDlg::ClearRegion(int region) {
    m_show[region]->Clear();
    m_place[region]->Clear();
}

void CP_OSDDlg::ClearControls() {
    ClearRegion(0);
    ClearRegion(1);
    m_name->setText(QString::fromLatin1(kDefaultName));
}

void CP_OSDDlg::Apply() {
    OsdRegion regions[2]{};
    for (int r = 0; r < 2; ++r) {
        regions[r].region = r;
        regions[r].show = m_show[r]->Choice() == 0 ? 1 : 0;
        regions[r].place = m_place[r]->Choice() < 0 ? 0 : m_place[r]->Choice();
    }
    // The rule counts the bytes of the text as it goes out (UTF-8), so a name
    // never reaches the record cut short.
    const QByteArray name = m_name->text().toUtf8();
    if (const char* refused = ky::cgi::CheckOsdName(std::string_view(name.constData(), name.size())))
        return Refuse(refused);
    ky::cgi::CopyText(regions[1].name, sizeof regions[1].name, std::string_view(name.constData(), name.size()));
    Write([time = regions[0], named = regions[1]](const CameraTarget& camera) mutable {
        if (Call(camera, &CCgiClient::SetOverlayAttr, &time) != 0) return Outcome::Cleared;
        if (Call(camera, &CCgiClient::SetOverlayAttr, &named) != 0) return Outcome::Cleared;
        return Outcome::Succeeded;
    });
}
