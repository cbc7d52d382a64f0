#include "gui/pages/CameraPage.h"

#include <QGroupBox>
#include <cstdlib>
#include <cstring>

#include "gui/kit/CameraSession.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"

namespace {

// A fixed-width text field up to its NUL.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}   // namespace

CCameraPage::CCameraPage(QWidget* parent, const char* section) : CSettingsPage(parent), m_section(section) {}

bool CCameraPage::LoggedIn() { return CurrentCamera().IsLoggedIn(); }

CameraTarget CCameraPage::Target() {
    const DeviceRecord& d = CurrentCamera().GetDevice();
    CameraTarget t;
    t.ip = FieldText(d.info.ip);
    // atoi of the port text, as the camera record has always been read; a
    // value outside 0..65535 cannot name a port and gives 0 (no connection).
    const int port = std::atoi(FieldText(d.info.httpPort).c_str());
    t.port = port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
    t.user = FieldText(d.user);
    t.password = FieldText(d.password);
    return t;
}

void CCameraPage::RefreshFromDevice() {
    if (!LoggedIn() || !Load()) ClearControls();
}

void CCameraPage::OnApply() {
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    switch (Apply()) {
        case Outcome::Succeeded: Message("Parameter setting succeeded!"); break;
        case Outcome::Failed: Message("Parameter setting failed!"); break;
        case Outcome::Cleared: ClearControls(); break;
        case Outcome::Stopped: break;
    }
}

CCameraPage::Outcome CCameraPage::Refuse(const char* key) {
    if (key && *key) Message(key);
    return Outcome::Stopped;
}

void CCameraPage::Message(const char* key) { KyMessageEx(this, m_section, key); }

bool CCameraPage::Ask(const char* key) { return KyQuestionEx(this, m_section, key); }

void CCameraPage::Translate(std::initializer_list<QWidget*> containers) {
    TranslateWindowEx(m_section, this);
    for (QWidget* w : containers) TranslateWindowEx(m_section, w);
}
