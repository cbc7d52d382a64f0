#include "gui/controls/ListCtrlCl.h"

#include <QPainter>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTreeWidgetItem>

#include <algorithm>

namespace {

// The per-cell data a list row carries.
constexpr int kCellRoles[] = {Qt::DisplayRole, Qt::ToolTipRole, Qt::StatusTipRole, Qt::WhatsThisRole, Qt::UserRole};

// Paints every cell of a CListCtrlCl and answers the row measuring.
class ListCellDelegate final : public QStyledItemDelegate {
public:
    explicit ListCellDelegate(CListCtrlCl* list) : QStyledItemDelegate(list), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int row = index.row();
        const int column = index.column();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->fillRect(option.rect, m_list->CellBackground(row, column, selected));
        ky::DrawAlignedText(*painter, option.rect, m_list->Header()->AlignCode(column),
                            index.data(Qt::DisplayRole).toString(), m_list->CellFont(),
                            m_list->CellTextColor(row, column, selected));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (m_list->RowHeight() >= 1) size.setHeight(m_list->RowHeight());
        return size;
    }

private:
    CListCtrlCl* m_list;
};

}   // namespace

CListCtrlCl::CListCtrlCl(QWidget* parent) : QTreeWidget(parent) {
    m_header = new CHeaderCtrlCl(this);
    setHeader(m_header);
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new ListCellDelegate(this));
    m_font = ky::MakeControlFont(ky::ListFontFamilies(), m_fontHeight, m_fontWidth);
}

QChar CListCtrlCl::AlignCodeForFormat(int format) {
    switch (format) {
        case FmtLeft: return QLatin1Char(ky::kAlignLeft);
        case FmtRight: return QLatin1Char(ky::kAlignRight);
        case FmtCenter:
        default: return QLatin1Char(ky::kAlignCenter);
    }
}

int CListCtrlCl::InsertColumn(int index, const QString& text, int format, int width) {
    const int count = columnCount();
    index = std::clamp(index, 0, count);
    setColumnCount(count + 1);
    if (index < count) {
        // The tree widget only appends columns: move the later columns' data
        // and widths one place to the right.
        const auto shift = [&](QTreeWidgetItem* item) {
            for (int c = count; c > index; --c)
                for (int role : kCellRoles) item->setData(c, role, item->data(c - 1, role));
            for (int role : kCellRoles) item->setData(index, role, QVariant());
        };
        shift(headerItem());
        for (int r = 0; r < topLevelItemCount(); ++r) shift(topLevelItem(r));
        for (int c = count; c > index; --c) m_header->resizeSection(c, m_header->sectionSize(c - 1));
        m_header->resizeSection(index, m_header->defaultSectionSize());
    }
    headerItem()->setText(index, text);
    m_header->InsertColumnText(index, text, AlignCodeForFormat(format));
    if (width >= 0) m_header->resizeSection(index, width);
    return index;
}

int CListCtrlCl::InsertItem(int row, const QString& text) {
    row = std::clamp(row, 0, topLevelItemCount());
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    insertTopLevelItem(row, item);
    return row;
}

bool CListCtrlCl::SetItemText(int row, int column, const QString& text) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item || column < 0 || column >= columnCount()) return false;
    item->setText(column, text);
    return true;
}

QString CListCtrlCl::GetItemText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

void CListCtrlCl::DeleteAllItems() { clear(); }

void CListCtrlCl::SetRowHeight(int height) {
    m_rowHeight = height;
    doItemsLayout();
    viewport()->update();
}

void CListCtrlCl::SetHeaderBKColor(int r, int g, int b, int step) { m_header->SetBkColor(r, g, b, step); }

void CListCtrlCl::SetHeaderHeight(float scale) {
    m_header->SetHeight(scale);
    updateGeometries();
}

void CListCtrlCl::SetHeaderFontHW(int height, int width) { m_header->SetFontHW(height, width); }

void CListCtrlCl::SetHeaderTextColor(const QColor& color) { m_header->SetTextColor(color); }

void CListCtrlCl::SetTextColor(const QColor& color) {
    m_textColor = color;
    viewport()->update();
}

void CListCtrlCl::SetFontHW(int height, int width) {
    m_fontHeight = height;
    m_fontWidth = width;
    m_font = ky::MakeControlFont(ky::ListFontFamilies(), height, width);
    viewport()->update();
}

void CListCtrlCl::SetColColor(int column, const QColor& background) {
    m_colBack[column] = background;
    viewport()->update();
}

void CListCtrlCl::SetColTextColor(int column, const QColor& text) {
    m_colText[column] = text;
    viewport()->update();
}

void CListCtrlCl::SetItemColor(int row, int column, const QColor& background) {
    m_cellBack[{row, column}] = background;
    viewport()->update();
}

void CListCtrlCl::SetItemTextColor(int row, int column, const QColor& text) {
    m_cellText[{row, column}] = text;
    viewport()->update();
}

void CListCtrlCl::SetEmptyText(const QString& text) {
    if (text == m_emptyText) return;
    m_emptyText = text;
    viewport()->update();
}

void CListCtrlCl::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    if (topLevelItemCount() > 0 || m_emptyText.isEmpty()) return;
    QPainter painter(viewport());
    painter.setFont(m_font);
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect(), Qt::AlignCenter, m_emptyText);
}

QColor CListCtrlCl::CellBackground(int row, int column, bool selected) const {
    // The selection hides any column or cell background.
    if (selected) return palette().color(QPalette::Active, QPalette::Highlight);
    QColor color = palette().color(QPalette::Active, QPalette::Base);
    if (auto it = m_colBack.find(column); it != m_colBack.end()) color = it->second;
    if (auto it = m_cellBack.find({row, column}); it != m_cellBack.end()) color = it->second;
    return color;
}

QColor CListCtrlCl::CellTextColor(int row, int column, bool selected) const {
    // Selected rows read in the style's highlighted-text colour, which is
    // made to contrast with the highlight; column and cell text colours
    // still win over it.
    QColor color = selected ? palette().color(QPalette::Active, QPalette::HighlightedText) : m_textColor;
    if (auto it = m_colText.find(column); it != m_colText.end()) color = it->second;
    if (auto it = m_cellText.find({row, column}); it != m_cellText.end()) color = it->second;
    return color;
}
