#include "cli/interrupt.h"

#include <atomic>

namespace cli {
namespace {

// A lock-free atomic may be written from a signal handler.
std::atomic<bool> g_caught{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnSignal(int signal) {
    g_caught.store(true);
    // The next one takes its default course: a command that does not stop can still be ended.
    std::signal(signal, SIG_DFL);
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
    g_caught.store(false);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
    sigaction(SIGHUP, &action, &previousHup_);
}

InterruptCatcher::~InterruptCatcher() {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    sigaction(SIGHUP, &previousHup_, nullptr);
}

bool InterruptCatcher::Caught() { return g_caught.load(); }

}  // namespace cli
