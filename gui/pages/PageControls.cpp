#include "gui/pages/PageControls.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gui/controls/WeekCtrl.h"
#include "gui/pages/ChoiceGroup.h"

CRadioPair::CRadioPair(QWidget* parent, const char* first, const char* second) : QObject(parent) {
    m_first = new QRadioButton(QString::fromUtf8(first), parent);
    m_second = new QRadioButton(QString::fromUtf8(second), parent);
    m_group = new CChoiceGroup(this, {m_first, m_second});
    m_row = new QHBoxLayout;
    m_row->addWidget(m_first);
    m_row->addWidget(m_second);
    m_row->addStretch(1);
    connect(m_group, &QButtonGroup::idClicked, this, &CRadioPair::chosen);
}

int CRadioPair::Checked() const { return m_group->Choice(); }

void CRadioPair::Check(int index) { m_group->Choose(index); }

void CRadioPair::Clear() { m_group->Clear(); }

namespace ky::pages {

void CopyToField(const QString& text, char* field, size_t width) {
    std::memset(field, 0, width);
    if (width == 0) return;
    const QByteArray bytes = text.toUtf8();
    size_t n = std::min(static_cast<size_t>(bytes.size()), width - 1);
    // Back up over continuation bytes so no character is split.
    if (n < static_cast<size_t>(bytes.size()))
        while (n > 0 && (static_cast<unsigned char>(bytes[static_cast<qsizetype>(n)]) & 0xC0) == 0x80) --n;
    std::memcpy(field, bytes.constData(), n);
}

int DecimalValue(const QLineEdit* edit) { return std::atoi(edit->text().toUtf8().constData()); }

void SetVisible(const QList<QWidget*>& widgets, bool on) {
    for (QWidget* w : widgets) w->setVisible(on);
}

}   // namespace ky::pages

QBoxLayout* WeekListButtons(CWeekCtrl* grid, QWidget* parent) {
    auto* select = new QPushButton(QStringLiteral("Select List"), parent);
    select->setObjectName(QStringLiteral("weekSelectAll"));
    auto* clear = new QPushButton(QStringLiteral("Clear List"), parent);
    clear->setObjectName(QStringLiteral("weekClearAll"));
    QObject::connect(select, &QPushButton::clicked, grid,
                     [grid] { grid->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('P'))); });
    QObject::connect(clear, &QPushButton::clicked, grid,
                     [grid] { grid->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N'))); });
    auto* row = new QHBoxLayout;
    row->addWidget(select);
    row->addWidget(clear);
    return row;
}

CWeekCtrl* NewWeekGrid(QWidget* parent) {
    auto* grid = new CWeekCtrl(parent);
    grid->setObjectName(QStringLiteral("weekGrid"));
    // 12 x 28 pixel cells: the hour numbers fit over their two columns.
    grid->setMinimumSize(CWeekCtrl::kLabelWidth + 48 * 12, CWeekCtrl::kHeaderHeight + 7 * 28);
    grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    // A drag that leaves the grid toggles nothing.
    QObject::connect(grid, &CWeekCtrl::DragOutside, grid, &CWeekCtrl::CancelDrag);
    grid->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N')));
    return grid;
}
