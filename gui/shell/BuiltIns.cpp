// The pages and windows the tool ships. Each later part adds its line here.
#include "gui/kit/PageRegistry.h"
#include "gui/kit/ShellParts.h"
#include "gui/discovery/SearchDlg.h"
#include "gui/live/AudioOut.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/VideoDlg.h"
#include "gui/pages/PageContext.h"
#include "gui/pages/media/P_VideoDlg.h"
#include "gui/pages/system/P_LogDlg.h"
#include "gui/pages/system/P_SystemDlg.h"
#include "gui/pages/advanced/P_DefDlg.h"

void RegisterBuiltInPages(CPageRegistry& registry) {
    registry.registerPage(6, MakePage<CPVideoDlg>);
    registry.registerPage(24, MakePage<CP_DefDlg>);
    registry.registerPage(37, MakePage<CP_SystemDlg>);
    registry.registerPage(38, MakePage<CP_LogDlg>);
}

void RegisterBuiltInParts(ShellParts& parts) {
    parts.playPanel = [](QWidget* parent) -> QWidget* { return new CLeftPlayDlg(parent); };
    InstallQtAudioOutput();   // the SDK plays camera sound through Qt Multimedia
    parts.searchView = [](QWidget* parent) -> QWidget* { return new CSearchDlg(parent); };
    parts.videoView = [](QWidget* parent) -> QWidget* {
        auto* video = new CVideoDlg(parent);
        // The pages read the capability record of the current login.
        ky::pages::SetCapabilitySource([video]() -> const CapabilityRecord* {
            const LiveState& live = video->GetLiveState();
            return live.handle != 0 && live.capabilityValid
                       ? reinterpret_cast<const CapabilityRecord*>(live.capabilityRecord)
                       : nullptr;
        });
        return video;
    };
}
