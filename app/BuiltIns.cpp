// The pages and windows the tool ships. Each later part adds its line here.
#include "app/PageRegistry.h"
#include "app/ShellParts.h"
#include "store/P_DefDlg.h"

void RegisterBuiltInPages(CPageRegistry& registry) {
    registry.registerPage(24, MakePage<CP_DefDlg>);
}

void RegisterBuiltInParts(ShellParts& parts) {
    (void)parts;
    // parts.videoView = [](QWidget* parent) -> QWidget* { return new CVideoDlg(parent); };
}
