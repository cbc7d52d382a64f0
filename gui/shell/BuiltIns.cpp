// The pages and views the tool ships: one line each.
#include "gui/kit/PageRegistry.h"
#include "gui/kit/ShellViews.h"
#include "gui/discovery/SearchDlg.h"
#include "gui/live/AudioOut.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/LiveStatus.h"
#include "gui/live/VideoDlg.h"
#include "gui/pages/PageContext.h"
#include "gui/pages/media/P_AudioDlg.h"
#include "gui/pages/media/P_ImageDlg.h"
#include "gui/pages/media/P_OSDDlg.h"
#include "gui/pages/media/P_VideoDlg.h"
#include "gui/pages/network/P_NetDlg.h"
#include "gui/pages/network/P_RmsetDlg.h"
#include "gui/pages/network/P_WIFIDlg.h"
#include "gui/pages/system/P_LogDlg.h"
#include "gui/pages/system/P_NTPDlg.h"
#include "gui/pages/system/P_ResetDlg.h"
#include "gui/pages/system/P_SystemDlg.h"
#include "gui/pages/advanced/P_DefDlg.h"
#include "gui/pages/advanced/P_Ptz485Dlg.h"
#include "gui/pages/advanced/P_PtzDlg.h"
#include "gui/pages/advanced/P_RebootDlg.h"
#include "gui/pages/advanced/P_RecordDlg.h"
#include "gui/pages/advanced/P_SnapTDlg.h"
#include "gui/pages/advanced/P_UserDlg.h"
#include "gui/pages/alarm/P_AudioWarnDlg.h"
#include "gui/pages/alarm/P_HSRDlg.h"
#include "gui/pages/alarm/P_LinkDlg.h"
#include "gui/pages/alarm/P_MDDlg.h"
#include "gui/pages/advanced/P_CoverVideoDlg.h"
#include "gui/pages/alarm/P_TimeWarnDlg.h"
#include "gui/pages/advanced/P_CloudDlg.h"
#include "gui/pages/advanced/P_TMallDlg.h"
#include "gui/pages/network/P_28181Dlg.h"
#include "gui/pages/network/P_4GDlg.h"
#include "gui/pages/network/P_ONVIFDlg.h"
#include "gui/pages/network/P_P2PDlg.h"

void RegisterBuiltInPages(CPageRegistry& registry) {
    registry.registerPage(6, MakePage<CPVideoDlg>);
    registry.registerPage(7, MakePage<CP_OSDDlg>);
    registry.registerPage(8, MakePage<CP_ImageDlg>);
    registry.registerPage(9, MakePage<CP_AudioDlg>);
    registry.registerPage(10, MakePage<CP_NetDlg>);
    registry.registerPage(11, MakePage<CP_WIFIDlg>);
    registry.registerPage(12, MakePage<CP_RmsetDlg>);
    registry.registerPage(13, MakePage<CP_ONVIFDlg>);
    registry.registerPage(14, MakePage<CP_P2PDlg>);
    registry.registerPage(15, MakePage<CP_28181Dlg>);
    registry.registerPage(16, MakePage<CP_4GDlg>);
    registry.registerPage(17, MakePage<CP_HSRDlg>);
    registry.registerPage(19, MakePage<CP_AudioWarnDlg>);
    registry.registerPage(20, MakePage<CP_MDDlg>);
    registry.registerPage(21, MakePage<CP_LinkDlg>);
    registry.registerPage(22, MakePage<CP_TimeWarnDlg>);
    registry.registerPage(23, MakePage<CP_UserDlg>);
    registry.registerPage(24, MakePage<CP_DefDlg>);
    registry.registerPage(25, MakePage<CP_SnapTDlg>);
    registry.registerPage(26, MakePage<CP_RecordDlg>);
    registry.registerPage(29, MakePage<CP_PtzDlg>);
    registry.registerPage(30, MakePage<CP_Ptz485Dlg>);
    registry.registerPage(31, MakePage<CP_CoverVideoDlg>);
    registry.registerPage(32, MakePage<CP_RebootDlg>);
    registry.registerPage(33, MakePage<CP_TMallDlg>);
    registry.registerPage(34, MakePage<CP_CloudDlg>);
    registry.registerPage(35, MakePage<CP_NTPDLG>);
    registry.registerPage(36, MakePage<CP_ResetDlg>);
    registry.registerPage(37, MakePage<CP_SystemDlg>);
    registry.registerPage(38, MakePage<CP_LogDlg>);
}

void RegisterBuiltInViews(ShellViews& views) {
    views.playPanel = [](QWidget* parent, IShellHost& host) -> QWidget* { return new CLeftPlayDlg(parent, &host); };
    InstallQtAudioOutput();   // the SDK plays camera sound through Qt Multimedia
    views.searchView = [](QWidget* parent, IShellHost& host) -> QWidget* {
        return new CSearchDlg(CSearchDlg::Options{}, parent, &host);
    };
    views.videoView = [](QWidget* parent, IShellHost& host) -> QWidget* {
        auto* video = new CVideoDlg(parent, &host);
        // The pages read the capability record of the current login.
        ky::pages::SetCapabilitySource([video]() -> const CapabilityRecord* {
            const LiveState& live = video->GetLiveState();
            return live.handle != 0 && live.capabilityValid
                       ? reinterpret_cast<const CapabilityRecord*>(live.capabilityRecord)
                       : nullptr;
        });
        return video;
    };
    views.statusBar = [](QWidget* parent, IShellHost&) -> QWidget* {
        auto* bar = new CLiveStatusBar(parent);
        bar->Attach(g_pVideoDlg);
        if (auto* panel = parent->findChild<CLeftPlayDlg*>()) panel->AttachStatusBar(bar);
        return bar;
    };
}
