#pragma once
// The settings panel: a tree of the parameter pages under one root, in five
// groups. A mouse click on a node asks the page host (the main window) to
// show that node's page; selecting with the keyboard only moves the
// selection. Only left clicks select: other buttons and drags with a button
// held leave the highlight on the node whose page is shown. The "485 set" node is present only while the logged-in
// camera is of the model family that has an RS-485 port.
#include <QEvent>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

struct TreeNodeRecord {
    static constexpr int kMaxLabelChars = 31;
    QTreeWidgetItem* parentItem = nullptr;   // none for the root
    QTreeWidgetItem* item = nullptr;         // none while the node is removed
    int level = 0;                           // 0 root, 1 group, 2 page
    int page = 0;                            // number sent to the host; 0 for the root
    QString label;                           // translated, at most 31 characters
};

// Sent (not posted) to the page host for a click on a node.
class CShowPageEvent : public QEvent {
public:
    CShowPageEvent(int page, const TreeNodeRecord* record);
    int Page() const { return m_page; }
    const TreeNodeRecord* Record() const { return m_record; }

private:
    int m_page;
    const TreeNodeRecord* m_record;
};

class CLeftSettingsDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_LEFTSETTINGS_DLG";
    static constexpr int kRs485Page = 30;

    explicit CLeftSettingsDlg(QWidget* parent = nullptr);
    ~CLeftSettingsDlg() override;

    // Receiver of the show-page event; the parent widget unless set.
    void SetHost(QObject* host) { m_host = host; }

    // What a mouse click on the node does: selects it and, unless it is the
    // node clicked last, asks the host for its page.
    void ClickNode(QTreeWidgetItem* item);

    // After each login: adds or removes the "485 set" node.
    void RefreshTree();
    void ExpandNode(int page);
    // The host shows no page any more: no node is highlighted, and the next
    // click on the last clicked node opens its page again.
    void ClearShownNode();
    // The host shows the page of this node again (back from the device
    // list): it is highlighted, and a click on it opens nothing new.
    void MarkShownNode(int page);

    QTreeWidget* Tree() const { return m_tree; }
    // The node with this page number (nullptr when absent from the tree).
    QTreeWidgetItem* FindItem(int page) const;
    const TreeNodeRecord* FindRecord(int page) const;
    const TreeNodeRecord* RecordOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* LastClicked() const { return m_lastClicked; }

    // True when this device type text belongs to the RS-485 family: "Z" and
    // "3" as its 7th and 8th characters.
    static bool HasRs485(const char* deviceType, size_t size);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

private:
    void BuildTree();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const char* label, int level, int page);

    QTreeWidget* m_tree = nullptr;
    QObject* m_host = nullptr;
    std::vector<std::unique_ptr<TreeNodeRecord>> m_records;
    QTreeWidgetItem* m_lastClicked = nullptr;
    bool m_leftPress = false;
};

// The settings panel of the main window (nullptr when there is none).
extern CLeftSettingsDlg* g_pLeftSettings;
