#pragma once
// The PC's sound output for listening to the camera: the SDK's
// KySdkAudioOutput on Qt Multimedia (QAudioSink, default output device).
//
// Open runs on the window thread (the listen button calls KY_SDK_SetMute
// there) and creates the sink on it; the SDK's player thread then hands
// samples to Write, which only fills a small buffer that the sink pulls
// from. Close may come from any thread: the sink is torn down on its own.
#include "core/sdk/KySdk.h"

// The factory the SDK calls for each KY_SDK_SetMute(handle, 0, 1).
KySdkAudioOutput* CreateQtAudioOutput();

// Installs CreateQtAudioOutput with KY_SDK_SetAudioOutputFactory (start-up).
void InstallQtAudioOutput();
