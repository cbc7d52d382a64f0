#include "gui/shell/SdkBoundary.h"

#include "core/sdk/KySdk.h"

int SdkStartup() { return KY_SDK_Init(); }

int SdkShutdown() { return KY_SDK_Cleanup(); }
