// Ctrl+C (SIGINT), SIGTERM and SIGHUP (the terminal was closed) while a command writes files.
// Ending the process at once would leave a half-written file behind, so while an InterruptCatcher
// lives the signal only sets a flag that the command polls; it then stops its work as the window's
// Stop button would, and removes what it had begun. A second Ctrl+C ends the process at once.
#pragma once

#include <csignal>

namespace cli {

class InterruptCatcher {
  public:
    InterruptCatcher();
    ~InterruptCatcher();  // the previous handlers again
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    // Whether a signal came since the catcher was made; safe on any thread.
    static bool Caught();

  private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
    struct sigaction previousHup_ {};
};

}  // namespace cli
