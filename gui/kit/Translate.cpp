#include "gui/kit/Translate.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "core/services/LangText.h"

namespace {

// The few texts whose key is Chinese, as an English interface shows them:
// without a language file every text is English.
constexpr struct {
    const char* key;
    const char* english;
} kBuiltInEnglish[] = {
    {"登录", "Login"},
    {"用户名:", "User name:"},
    {"密码:", "Password:"},
    {"确定", "OK"},
    {"取消", "Cancel"},
    {"刷新", "Refresh"},
    {"密码错误!", "Wrong password!"},
    {"关于 KyCamTool", "About KyCamTool"},
    {"关于 KyCamTool(&A)...", "&About KyCamTool..."},
    {"KyCamTool，1.0 版", "KyCamTool, version 1.0"},
    {"搜索连接", "Search and connect"},
    {"选择路径", "Choose a folder"},
    {"UPnP状态：", "UPnP status:"},
    {"搜索WIFI", "Search WiFi"},
    {"连接设备失败!", "Failed to connect the device!"},
    {"(80 或1024~49151)", "(80 or 1024~49151)"},
    {" (554 或1024~49151)", " (554 or 1024~49151)"},
    {"(1935 或1024~49151)", "(1935 or 1024~49151)"},
    {"Server Port：", "Server Port:"},
    {"Reboot：", "Reboot:"},
    {"（1-50）", "(1-50)"},
};

}   // namespace

QString LangTextEx(const std::string& section, const QString& key) {
    if (key.isEmpty()) return key;
    const std::string utf8 = key.toStdString();
    const std::string text = GetLangTextEx(section, utf8);
    if (text == utf8)
        for (const auto& entry : kBuiltInEnglish)
            if (utf8 == entry.key) return HasLangFile() ? key : QString::fromUtf8(entry.english);
    return QString::fromStdString(text);
}

QString LangText(const QString& key) { return LangTextEx("CONFIG", key); }

void TranslateWindowEx(const std::string& section, QWidget* window) {
    if (!window) return;
    const QString title = window->windowTitle();
    if (!title.isEmpty()) window->setWindowTitle(LangTextEx(section, title));

    // children() keeps creation order, the counterpart of the dialog's
    // window order.
    for (QObject* child : window->children()) {
        if (auto* label = qobject_cast<QLabel*>(child)) {
            if (!label->text().isEmpty()) label->setText(LangTextEx(section, label->text()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            if (!button->text().isEmpty()) button->setText(LangTextEx(section, button->text()));
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            if (!group->title().isEmpty()) group->setTitle(LangTextEx(section, group->title()));
        }
    }
}

void TranslateWindow(QWidget* window) { TranslateWindowEx("CONFIG", window); }
