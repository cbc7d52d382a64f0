#pragma once
// Start-up and shut-down of the camera SDK (KY_SDK_Init / KY_SDK_Cleanup).
// One place for both, so tests of the start-up can see them run.

int SdkStartup();
int SdkShutdown();
