#include "app/SdkBoundary.h"

#include "live/sdk/KySdk.h"

// Weak references: the GUI library links the SDK when it is built, and the
// shell still links (and runs without live video) while it is not.
int KY_SDK_Init() __attribute__((weak));
int KY_SDK_Cleanup() __attribute__((weak));

int SdkStartup() { return KY_SDK_Init ? KY_SDK_Init() : -1; }

int SdkShutdown() { return KY_SDK_Cleanup ? KY_SDK_Cleanup() : -1; }
