#include "app/SdkBoundary.h"

#include "live/sdk/KySdk.h"

int SdkStartup() { return KY_SDK_Init(); }

int SdkShutdown() { return KY_SDK_Cleanup(); }
