#include "gui/controls/WeekCtrl.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

#include "core/services/LangText.h"
#include "gui/controls/HeaderCtrlCl.h"

namespace {

constexpr int kSlots = kDaySlots;   // 48 half hours
constexpr int kDays = kWeekDays;    // 7 rows

const char* const kDayNames[kDays] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

QString DayFromBytes(const char* bytes, size_t size) {
    QString day(kSlots, QChar(0));
    for (size_t i = 0; i < size && i < size_t(kSlots) && bytes[i] != '\0'; ++i)
        day[qsizetype(i)] = QChar::fromLatin1(bytes[i]);
    return day;
}

char SlotToByte(QChar c) {
    if (c.isNull()) return 'N';
    return c.unicode() <= 0xFF ? char(c.unicode()) : '?';
}

}   // namespace

CWeekCtrl::CWeekCtrl(QWidget* parent) : QWidget(parent) {
    m_text.fill(QString(kSlots, QChar(0)));
    m_font = ky::MakeControlFont({QStringLiteral("Tahoma")}, 14, 0, QFont::Bold);
    // Translated once: each lookup reads the language file.
    for (int d = 0; d < kDays; ++d) m_dayNames[size_t(d)] = QString::fromStdString(GetLangText(kDayNames[d]));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// ---- schedule text --------------------------------------------------------

void CWeekCtrl::SetSchedule(int id, const WeekText& text) {
    m_id = id;
    for (int d = 0; d < kDays; ++d) {
        QString day(kSlots, QChar(0));
        if (id >= 0) {
            const QString& in = text[size_t(d)];
            for (int i = 0; i < kSlots && i < in.size(); ++i) day[i] = in.at(i);
        }
        m_text[size_t(d)] = day;
    }
    update();
}

void CWeekCtrl::GetSchedule(int& id, WeekText& text) const {
    id = m_id;
    text = m_text;
}

CWeekCtrl::WeekText CWeekCtrl::FromWeekDays(const WeekDays& days) {
    WeekText text;
    for (int d = 0; d < kDays; ++d) text[size_t(d)] = DayFromBytes(days[d], kSlots);
    return text;
}

CWeekCtrl::WeekText CWeekCtrl::FromDayStrings(const std::array<std::string, kWeekDays>& days) {
    WeekText text;
    for (int d = 0; d < kDays; ++d) text[size_t(d)] = DayFromBytes(days[size_t(d)].data(), days[size_t(d)].size());
    return text;
}

void CWeekCtrl::ToWeekDays(const WeekText& text, WeekDays& days) {
    for (int d = 0; d < kDays; ++d) {
        const QString& day = text[size_t(d)];
        for (int i = 0; i < kSlots; ++i) days[d][i] = SlotToByte(i < day.size() ? day.at(i) : QChar(0));
        days[d][kSlots] = '\0';
    }
}

std::array<std::string, kWeekDays> CWeekCtrl::ToDayStrings(const WeekText& text) {
    WeekDays days{};
    ToWeekDays(text, days);
    std::array<std::string, kWeekDays> out;
    for (int d = 0; d < kDays; ++d) out[size_t(d)].assign(days[d], kSlots);
    return out;
}

CWeekCtrl::WeekText CWeekCtrl::FilledWeek(QChar flag) {
    WeekText text;
    text.fill(QString(kSlots, flag));
    return text;
}

// ---- geometry -------------------------------------------------------------

int CWeekCtrl::GridWidth() const { return std::max(0, width() - kLabelWidth); }

int CWeekCtrl::GridHeight() const { return std::max(0, height() - kHeaderHeight); }

int CWeekCtrl::CellWidth() const { return GridWidth() / kSlots; }

int CWeekCtrl::CellHeight() const { return GridHeight() / kDays; }

QRect CWeekCtrl::CellRect(int day, int slot) const {
    const int cw = CellWidth();
    const int ch = CellHeight();
    return QRect(kLabelWidth + slot * cw, kHeaderHeight + day * ch, cw, ch);
}

// A coordinate on the line between two cells counts for the cell that
// starts there. (Treating it as no cell would keep that edge of the previous
// drag, so a press on a line could toggle half hours the user never touched.)
int CWeekCtrl::SlotAt(int x) const {
    const int cw = CellWidth();
    if (cw <= 0 || x < kLabelWidth || x >= kLabelWidth + kSlots * cw) return -1;
    return (x - kLabelWidth) / cw;
}

int CWeekCtrl::DayAt(int y) const {
    const int ch = CellHeight();
    if (ch <= 0 || y < kHeaderHeight || y >= kHeaderHeight + kDays * ch) return -1;
    return (y - kHeaderHeight) / ch;
}

QRect CWeekCtrl::DragRect() const { return QRect(m_left, m_top, m_right - m_left, m_bottom - m_top); }

// ---- mouse ----------------------------------------------------------------

void CWeekCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    const int cw = CellWidth();
    const int ch = CellHeight();
    // The press must lie below the header edge (y > 25), not merely below one
    // cell height: with cells taller than the header a press in the upper part
    // of Sunday would be lost, with lower cells a press in the header would
    // start a drag from a stale top edge.
    if (pos.x() > kLabelWidth && pos.x() < kLabelWidth + kSlots * cw && pos.y() > kHeaderHeight &&
        pos.y() < kHeaderHeight + kDays * ch) {
        const int slot = SlotAt(pos.x());
        const int day = DayAt(pos.y());
        m_left = m_right = kLabelWidth + slot * cw;
        m_top = m_bottom = kHeaderHeight + day * ch;
        m_dragging = true;
        update();
    }
}

void CWeekCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || event->buttons() == Qt::NoButton) return;
    const QPoint pos = event->position().toPoint();
    // A drag grows only to the right and downwards.
    if (pos.x() >= m_left && pos.y() >= m_top) {
        const int cw = CellWidth();
        const int ch = CellHeight();
        if (const int slot = SlotAt(pos.x()); slot >= 0) m_right = kLabelWidth + (slot + 1) * cw + 1;
        if (const int day = DayAt(pos.y()); day >= 0) m_bottom = kHeaderHeight + (day + 1) * ch + 1;
        update();
    }
    if (!rect().contains(pos)) emit DragOutside();
}

void CWeekCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) return;
    m_dragging = false;
    ToggleDragRect();
    update();
}

void CWeekCtrl::ToggleDragRect() {
    const int cw = CellWidth();
    const int ch = CellHeight();
    for (int d = 0; d < kDays; ++d) {
        const int top = kHeaderHeight + d * ch;
        if (top < m_top || top + ch >= m_bottom) continue;
        for (int s = 0; s < kSlots; ++s) {
            const int left = kLabelWidth + s * cw;
            if (left < m_left || left + cw >= m_right) continue;
            QChar& c = m_text[size_t(d)][s];
            c = c == QLatin1Char('P') ? QLatin1Char('N') : QLatin1Char('P');
        }
    }
}

void CWeekCtrl::CancelDrag() {
    m_dragging = false;
    update();
}

// ---- painting -------------------------------------------------------------

void CWeekCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int cw = CellWidth();
    const int ch = CellHeight();
    const int gridRight = kLabelWidth + kSlots * cw;
    const int gridBottom = kHeaderHeight + kDays * ch;

    p.fillRect(rect(), Qt::white);

    if (m_id != -1) {
        for (int d = 0; d < kDays; ++d)
            for (int s = 0; s < kSlots; ++s)
                if (m_text[size_t(d)].at(s) == QLatin1Char('P'))
                    p.fillRect(CellRect(d, s).adjusted(0, 0, 1, 1), QColor(0, 255, 0));
    }

    // Day lines stop one pixel before the grid's right edge, which the last
    // hour line draws.
    p.setPen(QPen(QColor(192, 192, 192), 1));
    for (int d = 1; d < kDays; ++d) {
        const int y = kHeaderHeight + d * ch;
        p.drawLine(0, y, gridRight - 1, y);
    }
    for (int s = 1; s < kSlots; s += 2) {
        const int x = kLabelWidth + s * cw;
        p.drawLine(x, kHeaderHeight, x, gridBottom);
    }

    // Hour boundaries run through the header.
    p.setPen(QPen(QColor(0, 0, 150), 1));
    for (int s = 2; s <= kSlots; s += 2) {
        const int x = kLabelWidth + s * cw;
        p.drawLine(x, 0, x, gridBottom);
    }

    QPen frame(QColor(80, 80, 80), 2);
    frame.setCapStyle(Qt::FlatCap);
    p.setPen(frame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, width() - 2, height() - 2));
    p.drawLine(QPointF(0, kHeaderHeight), QPointF(width(), kHeaderHeight));
    p.drawLine(QPointF(kLabelWidth, 0), QPointF(kLabelWidth, height()));

    p.setFont(m_font);
    p.setPen(QColor(100, 0, 0));
    p.setBackgroundMode(Qt::TransparentMode);
    for (int h = 0; h < kSlots / 2; ++h) {
        const QRect box(kLabelWidth + 2 * h * cw, 5, 2 * cw, kHeaderHeight - 5);
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, QString::number(h));
    }
    for (int d = 0; d < kDays; ++d) {
        const int top = d * ch + ch / 2 + 18;
        const int bottom = kHeaderHeight + (d + 1) * ch;
        const QRect box(0, top, kLabelWidth, std::max(0, bottom - top));
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, m_dayNames[size_t(d)]);
    }

    // The drag rectangle inverts what lies under it with mid grey.
    if (m_dragging && m_right > m_left && m_bottom > m_top) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(DragRect(), QColor(128, 128, 128));
    }
}
