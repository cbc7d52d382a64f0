#include "gui/controls/HeaderCtrlCl.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ky {

QFont MakeControlFont(const QStringList& families, int height, int width, int weight) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A positive height names the whole cell (ascent plus descent): the
        // em shrinks until the cell fits, so rows keep the height asked for.
        font.setPixelSize(height);
        const QFontMetrics fm(font);
        const int cell = fm.ascent() + fm.descent();
        if (cell > height) font.setPixelSize(std::max(1, height * height / cell));
    }
    if (width > 0) {
        const int average = QFontMetrics(font).averageCharWidth();
        if (average > 0) font.setStretch(std::clamp(width * 100 / average, 1, 4000));
    }
    return font;
}

QStringList ListFontFamilies() { return {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")}; }

void DrawAlignedText(QPainter& p, const QRect& cell, QChar alignCode, const QString& text, const QFont& font,
                     const QColor& color) {
    if (text.isEmpty()) return;
    QRect box = cell;
    Qt::Alignment horizontal = Qt::AlignHCenter;
    if (alignCode == QLatin1Char(kAlignLeft)) {
        horizontal = Qt::AlignLeft;
        box.setLeft(box.left() + 3);
    } else if (alignCode == QLatin1Char(kAlignRight)) {
        horizontal = Qt::AlignRight;
        box.setRight(box.right() - 3);
    }
    const QFontMetrics fm(font);
    box.moveTop(box.top() + (box.height() - fm.height()) / 2);

    p.save();
    p.setClipRect(cell, Qt::IntersectClip);
    p.setFont(font);
    p.setPen(color);
    p.setBackgroundMode(Qt::TransparentMode);
    p.drawText(box, int(horizontal | Qt::AlignTop | Qt::TextSingleLine), text);
    p.restore();
}

}   // namespace ky

CHeaderCtrlCl::CHeaderCtrlCl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setStretchLastSection(false);
    setSectionsClickable(false);
    setHighlightSections(false);
    m_font = ky::MakeControlFont(ky::ListFontFamilies(), m_fontHeight, m_fontWidth);
}

void CHeaderCtrlCl::InsertColumnText(int index, const QString& text, QChar alignCode) {
    index = std::clamp(index, 0, int(m_texts.size()));
    m_texts.insert(index, text);
    // Codes and texts are kept at the same positions; a code string shorter
    // than the text list (never the case through InsertColumn) is padded.
    while (m_alignCodes.size() < index) m_alignCodes.append(QLatin1Char(ky::kAlignLeft));
    m_alignCodes.insert(index, alignCode);
    viewport()->update();
}

void CHeaderCtrlCl::ClearColumnTexts() {
    m_texts.clear();
    m_alignCodes.clear();
    viewport()->update();
}

QChar CHeaderCtrlCl::AlignCode(int column) const {
    if (column < 0 || column >= m_alignCodes.size()) return QLatin1Char(ky::kAlignLeft);
    return m_alignCodes.at(column);
}

void CHeaderCtrlCl::SetBkColor(int r, int g, int b, int step) {
    m_r = r;
    m_g = g;
    m_b = b;
    m_step = step;
    viewport()->update();
}

void CHeaderCtrlCl::SetHeight(float scale) {
    m_heightScale = scale;
    Changed();
}

void CHeaderCtrlCl::SetFontHW(int height, int width) {
    m_fontHeight = height;
    m_fontWidth = width;
    m_font = ky::MakeControlFont(ky::ListFontFamilies(), height, width);
    viewport()->update();
}

void CHeaderCtrlCl::SetTextColor(const QColor& color) {
    m_textColor = color;
    viewport()->update();
}

QColor CHeaderCtrlCl::GradientColorAt(int row) const {
    // Each pixel row takes the step off the previous one, never below 0.
    const auto channel = [&](int start) {
        const long long v = static_cast<long long>(start) - static_cast<long long>(m_step) * row;
        return int(std::clamp<long long>(v, 0, 255));
    };
    return QColor(channel(m_r), channel(m_g), channel(m_b));
}

QSize CHeaderCtrlCl::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    const double scaled = std::trunc(double(size.height()) * double(m_heightScale));
    size.setHeight(int(std::clamp(scaled, 0.0, 32767.0)));
    return size;
}

void CHeaderCtrlCl::FillGradient(QPainter& p, const QRect& rect) const {
    // The gradient runs from the header's top, whatever part is repainted.
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        p.fillRect(QRect(rect.left(), y, rect.width(), 1), GradientColorAt(y));
}

void CHeaderCtrlCl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid()) return;
    FillGradient(*painter, rect);
    const QString text = logicalIndex < m_texts.size() ? m_texts.at(logicalIndex) : QString();
    ky::DrawAlignedText(*painter, rect, AlignCode(logicalIndex), text, m_font, m_textColor);
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex) {
        // A small triangle at the right edge: up for ascending.
        const int h = std::max(4, rect.height() / 5), x = rect.right() - 4 - 2 * h, y = rect.center().y();
        const bool up = sortIndicatorOrder() == Qt::AscendingOrder;
        const QPoint points[3] = {QPoint(x, up ? y + h / 2 : y - h / 2), QPoint(x + 2 * h, up ? y + h / 2 : y - h / 2),
                                  QPoint(x + h, up ? y - h / 2 : y + h / 2)};
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(m_textColor);
        painter->drawPolygon(points, 3);
        painter->restore();
    }
}

void CHeaderCtrlCl::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    // The strip right of the last column carries the same gradient.
    const int end = length() - offset();
    const int width = viewport()->width();
    if (end < width) {
        QPainter p(viewport());
        FillGradient(p, QRect(std::max(end, 0), 0, width - std::max(end, 0), viewport()->height()));
    }
}

void CHeaderCtrlCl::Changed() {
    updateGeometry();
    viewport()->update();
}
