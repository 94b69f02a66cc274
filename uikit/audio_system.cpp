#include "uikit/audio_system.h"

#include <SDL.h>

bool EnsureAudioSubsystem() {
    // A function-local static is initialised exactly once, even with concurrent callers.
    static const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return started;
}
