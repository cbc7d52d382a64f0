#include "gui/shell/KyCamToolDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/kit/AppEvents.h"
#include "gui/shell/AppGlobals.h"
#include "gui/shell/LeftSettingsDlg.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/PageRegistry.h"
#include "gui/kit/SettingsPage.h"
#include "gui/kit/ShellViews.h"
#include "gui/kit/Translate.h"
#include "core/services/LangText.h"
#include "gui/shell/LoginDlg.h"

namespace {

enum ButtonId { kPreview = 1, kSettings = 2, kSearchDevice = 1007, kSearchConnect = 1008, kDeviceList = 1048 };

// A group node shows the page of its first child.
int GroupPage(int number) {
    switch (number) {
        case 1: return 6;    // Media: video encoding
        case 2: return 10;   // Network
        case 3: return 17;   // Alarm settings: humanoid alarm
        case 4: return 23;   // Advanced: camera user
        case 5: return 35;   // System: time
        default: return number;
    }
}

QWidget* Placeholder(QWidget* parent, const char* name, bool dark) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameShape(QFrame::StyledPanel);
    if (dark) {
        frame->setAutoFillBackground(true);
        QPalette pal = frame->palette();
        pal.setColor(QPalette::Window, Qt::black);
        frame->setPalette(pal);
    }
    return frame;
}

// The installed icon (packaging/kycameratool.svg) where the icon theme has it.
QIcon AppIcon(const QWidget* w) {
    return QIcon::fromTheme(QStringLiteral("kycameratool"), w->style()->standardIcon(QStyle::SP_DesktopIcon));
}

}   // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 KyCamTool"));
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon(this).pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("KyCamTool，1.0 版"), this);
    name->setObjectName(QStringLiteral("name"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(name, 1);
    row->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    TranslateWindow(this);
}

CKyCamToolDlg::CKyCamToolDlg(QWidget* parent) : CKyCamToolDlg(Options{}, parent) {}

CKyCamToolDlg::CKyCamToolDlg(const Options& options, QWidget* parent) : QWidget(parent) {
    m_clock = [] { return QDateTime::currentSecsSinceEpoch(); };
    m_lastActivity = m_clock();
    m_runLogin = [](QWidget* owner) {
        CLoginDlg login(g_pLocalStore, owner);
        return login.exec() == QDialog::Accepted;
    };
    m_screenWidth = options.screenWidth;
    if (m_screenWidth <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        m_screenWidth = screen ? screen->geometry().width() : 1024;
    }

    const struct {
        int id;
        const char* text;
    } buttons[] = {{kPreview, "Preview"},
                   {kSettings, "Parameter setting"},
                   {kDeviceList, "Device list"},
                   {kSearchDevice, "Search device"},
                   {kSearchConnect, "搜索连接"}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(QString::number(b.id));
        button->setAutoDefault(false);
        m_buttons[b.id] = button;
    }
    // The view buttons stay down while their view is shown.
    for (int id : {kPreview, kSettings, kDeviceList}) m_buttons[id]->setCheckable(true);
    m_buttons[kSearchConnect]->hide();
    connect(m_buttons[kPreview], &QPushButton::clicked, this, &CKyCamToolDlg::ShowPreview);
    connect(m_buttons[kSettings], &QPushButton::clicked, this, &CKyCamToolDlg::ShowParamSettings);
    connect(m_buttons[kDeviceList], &QPushButton::clicked, this, &CKyCamToolDlg::ShowDeviceList);
    connect(m_buttons[kSearchDevice], &QPushButton::clicked, this, &CKyCamToolDlg::SearchDevice);

    TranslateWindowEx(kSection, this);
    // Set after translation: the caption is never translated.
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(AppIcon(this));

    CreateViews(options.pages ? *options.pages : CPageRegistry::Instance(),
                options.views ? *options.views : ShellViews::Instance());
    SetDeviceLoginObserver(this);
    qApp->installEventFilter(this);
    LayOut();
    ShowPreview();
}

CKyCamToolDlg::~CKyCamToolDlg() {
    qApp->removeEventFilter(this);
    if (DeviceLoginObserver() == this) SetDeviceLoginObserver(nullptr);
    if (m_ownSession && &CurrentCamera() == m_ownSession) SetCurrentCamera(nullptr);
    // Children (panels, pages) go with the window; delete them now, while the
    // globals they may use still point at live objects.
    delete m_settings;
    m_settings = nullptr;
    for (QWidget* w : m_rightArea) delete w;
    m_rightArea.clear();
    m_pages.clear();
    delete m_playPanel;
}

void CKyCamToolDlg::CreateViews(const CPageRegistry& pages, const ShellViews& views) {
    m_playPanel = views.playPanel ? views.playPanel(this, *this) : nullptr;
    if (!m_playPanel) m_playPanel = Placeholder(this, "playPanelPlaceholder", false);
    m_settings = new CLeftSettingsDlg(this);
    m_settings->SetHost(this);
    m_settings->hide();

    m_video = views.videoView ? views.videoView(this, *this) : nullptr;
    if (!m_video) m_video = Placeholder(this, "videoPlaceholder", true);
    if (auto* session = dynamic_cast<ICameraSession*>(m_video)) {
        m_ownSession = session;
        SetCurrentCamera(session);
    }
    m_search = views.searchView ? views.searchView(this, *this) : nullptr;
    if (!m_search) m_search = Placeholder(this, "searchPlaceholder", false);
    m_status = views.statusBar ? views.statusBar(this, *this) : nullptr;

    const std::vector<int> order = pages.creationOrder();
    auto addPage = [&](int number) {
        const PageFactory* factory = pages.find(number);
        CSettingsPage* page = factory ? (*factory)(this) : nullptr;
        if (!page) return;
        page->setParent(this);
        page->hide();
        m_pages[number] = page;
        m_rightArea.push_back(page);
    };
    // The OSD page, then the live video and the search window, then the rest.
    const bool osdFirst = !order.empty() && order.front() == 7;
    if (osdFirst) addPage(7);
    m_video->hide();
    m_search->hide();
    m_rightArea.push_back(m_video);
    m_rightArea.push_back(m_search);
    for (size_t i = osdFirst ? 1 : 0; i < order.size(); ++i) addPage(order[i]);
}

int CKyCamToolDlg::SideWidth(int w) {
    // 260 pixels scaled by tenths for the screen width.
    const int tenths = w < 768 ? 9 : w <= 1024 ? 10 : w <= 1366 ? 11 : w <= 2560 ? 15 : 20;
    return 260 * tenths / 10;
}

QPushButton* CKyCamToolDlg::Button(int id) const {
    auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

CSettingsPage* CKyCamToolDlg::Page(int number) const {
    auto it = m_pages.find(number);
    return it == m_pages.end() ? nullptr : it->second;
}

void CKyCamToolDlg::ShowMaximized() {
    if (const QScreen* s = screen()) setGeometry(s->availableGeometry());
    showMaximized();
}

void CKyCamToolDlg::LayOut() {
    const QRect c = rect();
    const int h = m_buttons[kPreview]->sizeHint().height();
    const int side = SideWidth();

    int x = 1;
    for (int id : {kPreview, kSettings, kDeviceList}) {
        QPushButton* b = m_buttons[id];
        const int w = std::max(b->sizeHint().width(), 120);
        b->setGeometry(x, 0, w, h);
        x += w + 2;
    }
    const int stripTop = c.height() - (kBottomStrip - 1);
    const int stripH = std::min(h, kBottomStrip - 2);
    QPushButton* search = m_buttons[kSearchDevice];
    const int searchW = std::max(search->sizeHint().width(), 120);
    search->setGeometry(0, stripTop, searchW, stripH);
    m_buttons[kSearchConnect]->setGeometry(searchW + 2, stripTop, 120, stripH);
    if (m_status) m_status->setGeometry(searchW + 2, stripTop, std::max(0, c.width() - searchW - 3), stripH);

    const int top = h + 1;
    const int height = std::max(0, c.height() - kBottomStrip - top);
    const QRect left(1, top, side, height);
    const QRect right(side + 2, top, std::max(0, c.width() - 1 - (side + 2)), height);
    m_playPanel->setGeometry(left);
    m_settings->setGeometry(left);
    for (QWidget* w : m_rightArea) w->setGeometry(right);
}

void CKyCamToolDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The left edges and widths are fixed; the areas follow the window's
    // height and width (which only changes between its maximised sizes).
    LayOut();
}

void CKyCamToolDlg::ShowRightWindow(QWidget* window) {
    for (QWidget* w : m_rightArea)
        if (w != window) w->hide();
    if (window) window->show();
}

void CKyCamToolDlg::SetLayout(Layout layout) {
    m_layout = layout;
    const std::pair<int, Layout> views[] = {
        {kPreview, Layout::Preview}, {kSettings, Layout::Settings}, {kDeviceList, Layout::DeviceList}};
    for (auto [id, shows] : views) m_buttons[id]->setChecked(shows == layout);
}

void CKyCamToolDlg::ShowPreview() {
    SetLayout(Layout::Preview);
    m_playPanel->show();
    m_video->show();
    ICameraSession& camera = CurrentCamera();
    if (camera.IsConnecting() || (camera.IsLoggedIn() && !camera.IsPlaying())) camera.ResumePlay();
    m_settings->hide();
    // The page goes: so does its node's highlight.
    m_settings->ClearShownNode();
    m_currentPage = nullptr;
    m_currentNode = -1;
    ShowRightWindow(m_video);
}

void CKyCamToolDlg::ShowParamSettings() {
    SetLayout(Layout::Settings);
    m_playPanel->hide();
    m_video->hide();
    ICameraSession& camera = CurrentCamera();
    if (camera.IsLoggedIn() || camera.IsConnecting()) camera.PausePlay();
    m_settings->show();
    m_settings->ExpandNode(1);
    // The page the tree shows (none after Preview), not the search window
    // that Device list may have left on top.
    ShowRightWindow(m_currentPage);
    if (m_currentNode >= 0) m_settings->MarkShownNode(m_currentNode);
}

void CKyCamToolDlg::ShowDeviceList() {
    SetLayout(Layout::DeviceList);
    // The list covers the page: the tree highlights nothing until Settings
    // or a click shows a page again.
    m_settings->ClearShownNode();
    ShowRightWindow(m_search);
}

void CKyCamToolDlg::SearchDevice() {
    ICameraSession& camera = CurrentCamera();
    if (camera.IsLoggedIn() || camera.IsConnecting()) camera.PausePlay();
    ShowDeviceList();
    QCoreApplication::postEvent(m_search, new QEvent(ky::msg::Type(ky::msg::kStartSearch)));
}

void CKyCamToolDlg::OpenDevice(const DeviceRecord& device) {
    auto* panel = dynamic_cast<IPlayPanel*>(m_playPanel);
    if (panel) panel->ResetSnapSequence();
    ShowPreview();
    if (panel) panel->FillConnectForm(device);
    CurrentCamera().Connect(device);
}

void CKyCamToolDlg::FillConnectForm(const DeviceRecord& device) {
    if (auto* panel = dynamic_cast<IPlayPanel*>(m_playPanel)) panel->FillConnectForm(device);
}

void CKyCamToolDlg::PostShellMessage(int message) {
    QCoreApplication::postEvent(this, new QEvent(ky::msg::Type(message)));
}

void CKyCamToolDlg::OnDeviceLogin() {
    m_settings->RefreshTree();
    for (auto& [number, page] : m_pages) page->OnDeviceLogin();
}

void CKyCamToolDlg::ShowPageRequest(int number, const TreeNodeRecord* record) {
    if (!record || record->page != number) return;
    if (number < 0 || number >= 39) {
        KyError(this, "ERROR");
        return;
    }
    if (number == 18 || number == 27 || number == 28) return;

    // A page not built into this tool shows nothing: the area stays empty.
    // The root has no page: with it highlighted the area is empty too.
    // A click in the tree beside the device list goes to the settings view.
    if (m_layout == Layout::DeviceList) {
        SetLayout(Layout::Settings);
        ICameraSession& camera = CurrentCamera();
        if (camera.IsLoggedIn() || camera.IsConnecting()) camera.PausePlay();
    }
    CSettingsPage* page = number == 0 ? nullptr : Page(GroupPage(number));
    m_currentPage = page;
    m_currentNode = number;
    ShowRightWindow(page);
    if (page && (record->level == 1 || record->level == 2)) page->RefreshFromDevice();

    // Pages with a preview of their own stop it when they are left.
    for (int preview : {8, 31, 20})
        if (number != preview)
            if (CSettingsPage* p = Page(preview)) p->StopPreview();
}

void CKyCamToolDlg::SetClock(Clock clock) {
    m_clock = std::move(clock);
    m_lastActivity = m_clock();
}

bool CKyCamToolDlg::NoteActivity() {
    const qint64 now = m_clock();
    if (now - m_lastActivity < kIdleSeconds) {
        m_lastActivity = now;
        return true;
    }
    RequestToolLogin();
    return false;
}

void CKyCamToolDlg::RequestToolLogin() {
    if (m_loginPending) return;
    m_loginPending = true;
    QCoreApplication::postEvent(this, new QEvent(ky::msg::Type(ky::msg::kToolLogin)));
}

void CKyCamToolDlg::RunToolLogin() {
    m_loginPending = true;
    const bool ok = m_runLogin && m_runLogin(this);
    m_loginPending = false;
    if (ok) m_lastActivity = m_clock();
}

void CKyCamToolDlg::RunAbout() {
    CAboutDlg about(this);
    about.exec();
}

bool CKyCamToolDlg::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type == ky::msg::kShowPage) {
        // Only the settings tree's request carries a page; a bare message is ignored.
        if (auto* request = dynamic_cast<CShowPageEvent*>(event)) ShowPageRequest(request->Page(), request->Record());
        return true;
    }
    if (type == ky::msg::kToolLogin) {
        RunToolLogin();
        return true;
    }
    if (type == ky::msg::kStartSearch) {
        SearchDevice();
        return true;
    }
    return QWidget::event(event);
}

bool CKyCamToolDlg::InThisWindow(QObject* object) const {
    auto* w = qobject_cast<QWidget*>(object);
    return w && (w == this || isAncestorOf(w));
}

namespace {

// A form that takes Enter as its own action (the connection form: Preview).
bool AcceptsEnter(QObject* object) {
    for (auto* w = qobject_cast<QWidget*>(object); w; w = w->parentWidget())
        if (w->property("acceptsEnter").toBool()) return true;
    return false;
}

}   // namespace

bool CKyCamToolDlg::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
            if ((key == Qt::Key_Escape || enter) && InThisWindow(watched) && !(enter && AcceptsEnter(watched)))
                return true;
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (InThisWindow(watched) && !NoteActivity()) return true;
            break;
        default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void CKyCamToolDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isVisible()) return;
    const Qt::WindowStates state = windowState();
    if (!(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // Restore means maximise: the window is never shown smaller.
        QMetaObject::invokeMethod(
            this, [this] { setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized); },
            Qt::QueuedConnection);
    }
}

void CKyCamToolDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The button strips carry the about item: the window has no menu bar.
    const int top = m_buttons[kPreview]->geometry().bottom();
    const int y = event->pos().y();
    if (y > top && y < height() - kBottomStrip) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    QAction* about = menu.addAction(LangText(QString::fromUtf8(kAboutItem)));
    if (menu.exec(event->globalPos()) == about) RunAbout();
}
