// The process's one start of SDL's audio subsystem, shared by everything that plays sound.
#pragma once

// Starts SDL's audio subsystem the first time it is called (thread-safe) and keeps it for the
// rest of the process. False when no audio driver could be started; the answer of the first
// call is kept.
bool EnsureAudioSubsystem();
