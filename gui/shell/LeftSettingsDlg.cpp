#include "gui/shell/LeftSettingsDlg.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

#include "gui/kit/AppEvents.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/Translate.h"

CLeftSettingsDlg* g_pLeftSettings = nullptr;

namespace {

struct NodeSpec {
    const char* label;
    int level;
    int page;
};

// Display order; groups are level 1, their pages level 2.
constexpr NodeSpec kNodes[] = {
    {"Media", 1, 1},
    {"Video", 2, 6},
    {"OSD set", 2, 7},
    {"Image", 2, 8},
    {"Audio", 2, 9},
    {"Network", 1, 2},
    {"Network", 2, 10},
    {"Wireless", 2, 11},
    {"Ddns", 2, 12},
    {"ONVIF", 2, 13},
    {"P2P", 2, 14},
    {"GB28181", 2, 15},
    {"4G/5G", 2, 16},
    {"Alarm settings", 1, 3},
    {"Humanoid alarm", 2, 17},
    {"Audio alarm", 2, 19},
    {"Motion detection", 2, 20},
    {"Alarm linkage", 2, 21},
    {"Schedule", 2, 22},
    {"Advanced", 1, 4},
    {"User", 2, 23},
    {"Default Settings", 2, 24},
    {"Auto snap", 2, 25},
    {"Timer record", 2, 26},
    {"Terminal", 2, 29},
    {"Video shade", 2, 31},
    {"Restart timer", 2, 32},
    {"Tmall Elf", 2, 33},
    {"Cloud", 2, 34},
    {"485 set", 2, 30},
    {"System", 1, 5},
    {"Time", 2, 35},
    {"Initialize", 2, 36},
    {"Device information", 2, 37},
    {"System log", 2, 38},
};

QString NodeLabel(const char* key) {
    return LangTextEx(CLeftSettingsDlg::kSection, QString::fromUtf8(key)).left(TreeNodeRecord::kMaxLabelChars);
}

void SetRecordData(QTreeWidgetItem* item, TreeNodeRecord* record) {
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(record)));
}

bool IsAncestorOrSelf(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item) {
    for (; item; item = item->parent())
        if (item == ancestor) return true;
    return false;
}

}   // namespace

CShowPageEvent::CShowPageEvent(int page, const TreeNodeRecord* record)
    : QEvent(ky::msg::Type(ky::msg::kShowPage)), m_page(page), m_record(record) {}

CLeftSettingsDlg::CLeftSettingsDlg(QWidget* parent) : QWidget(parent) {
    g_pLeftSettings = this;
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("1029"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_tree);

    BuildTree();
    // The page opens on the press: selecting collapses the old branch at
    // once, so by the release another row may lie under the cursor.
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem* item) {
        if (m_leftPress) ClickNode(item);
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CLeftSettingsDlg::OnCurrentItemChanged);
}

bool CLeftSettingsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_tree->viewport()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // Another button would select a node without opening its page.
            m_leftPress = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            return !m_leftPress;
        case QEvent::MouseButtonRelease: return static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton;
        case QEvent::MouseMove:
            // The press may collapse a branch, moving another row under the
            // cursor: a drag would select that row while the page of the
            // pressed one is shown.
            return static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton;
        default: return QWidget::eventFilter(watched, event);
    }
}

void CLeftSettingsDlg::ClearShownNode() {
    m_lastClicked = nullptr;
    m_tree->setCurrentItem(nullptr);
    m_tree->clearSelection();
}

void CLeftSettingsDlg::MarkShownNode(int page) {
    QTreeWidgetItem* item = FindItem(page);
    m_tree->setCurrentItem(item);
    m_lastClicked = item;
}

CLeftSettingsDlg::~CLeftSettingsDlg() {
    if (g_pLeftSettings == this) g_pLeftSettings = nullptr;
}

QTreeWidgetItem* CLeftSettingsDlg::AddNode(QTreeWidgetItem* parent, const char* label, int level, int page) {
    auto record = std::make_unique<TreeNodeRecord>();
    record->parentItem = parent;
    record->level = level;
    record->page = page;
    record->label = NodeLabel(label);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, record->label);
    record->item = item;
    SetRecordData(item, record.get());
    m_records.push_back(std::move(record));
    return item;
}

void CLeftSettingsDlg::BuildTree() {
    QTreeWidgetItem* root = AddNode(nullptr, "Parameter settings", 0, 0);
    QTreeWidgetItem* group = nullptr;
    for (const NodeSpec& node : kNodes) {
        if (node.level == 1)
            group = AddNode(root, node.label, 1, node.page);
        else
            AddNode(group, node.label, 2, node.page);
    }
    root->setExpanded(true);
}

const TreeNodeRecord* CLeftSettingsDlg::RecordOf(const QTreeWidgetItem* item) const {
    if (!item) return nullptr;
    return static_cast<const TreeNodeRecord*>(item->data(0, Qt::UserRole).value<void*>());
}

const TreeNodeRecord* CLeftSettingsDlg::FindRecord(int page) const {
    for (const auto& record : m_records)
        if (record->page == page) return record.get();
    return nullptr;
}

QTreeWidgetItem* CLeftSettingsDlg::FindItem(int page) const {
    const TreeNodeRecord* record = FindRecord(page);
    return record ? record->item : nullptr;
}

void CLeftSettingsDlg::ExpandNode(int page) {
    if (QTreeWidgetItem* item = FindItem(page)) item->setExpanded(true);
}

void CLeftSettingsDlg::ClickNode(QTreeWidgetItem* item) {
    if (item && m_tree->currentItem() != item) m_tree->setCurrentItem(item);
    const TreeNodeRecord* record = RecordOf(item);
    if (!record || item == m_lastClicked) return;
    CShowPageEvent request(record->page, record);
    QObject* host = m_host ? m_host : parent();
    if (host) QCoreApplication::sendEvent(host, &request);
    m_lastClicked = item;
}

void CLeftSettingsDlg::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    // Single-branch expansion: the new node opens, the branch left behind
    // closes (but not the root, nor what the new node lies in).
    for (QTreeWidgetItem* node = previous; node && node->parent(); node = node->parent())
        if (!IsAncestorOrSelf(node, current)) node->setExpanded(false);
    if (current && current->childCount() > 0) current->setExpanded(true);
}

bool CLeftSettingsDlg::HasRs485(const char* deviceType, size_t size) {
    const size_t length = ::strnlen(deviceType, size);
    return length >= 8 && deviceType[6] == 'Z' && deviceType[7] == '3';
}

void CLeftSettingsDlg::RefreshTree() {
    const ICameraSession& camera = CurrentCamera();
    bool wanted = false;
    if (camera.IsLoggedIn()) {
        const DeviceRecord& device = camera.GetDevice();
        wanted = HasRs485(device.info.deviceType, sizeof device.info.deviceType);
    }

    TreeNodeRecord* record = nullptr;
    for (auto& r : m_records)
        if (r->page == kRs485Page) record = r.get();
    if (!record || !record->parentItem) return;

    if (!wanted && record->item) {
        // A later click on the node put back must open its page again; the
        // highlight does not move on to a neighbour whose page is not shown.
        if (m_lastClicked == record->item) m_lastClicked = nullptr;
        if (m_tree->currentItem() == record->item) {
            m_tree->setCurrentItem(nullptr);
            m_tree->clearSelection();
        }
        delete record->item;
        record->item = nullptr;
        record->parentItem->setExpanded(true);
    } else if (wanted && !record->item) {
        record->label = NodeLabel("485 set");
        auto* item = new QTreeWidgetItem(record->parentItem);
        item->setText(0, record->label);
        SetRecordData(item, record);
        record->item = item;
        record->parentItem->setExpanded(true);
    }
}
