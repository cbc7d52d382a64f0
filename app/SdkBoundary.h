#pragma once
// Start-up and shut-down of the camera SDK (KY_SDK_Init / KY_SDK_Cleanup).
// Until the SDK library is linked into the GUI both are no-ops returning -1.

int SdkStartup();
int SdkShutdown();
