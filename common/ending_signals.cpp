#include "ending_signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace {

// A result file's temporary, the assembler's pass-1 file: a handful at once.
constexpr int SLOTS = 8;
char names[SLOTS][PATH_MAX];
// Set only after the name is in place, cleared before it is overwritten.
volatile std::sig_atomic_t in_use[SLOTS] = {};
void (*volatile hook)() = nullptr;

constexpr int ENDING_SIGNALS[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM,
                                  SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2};

// Async-signal-safe: the hook, unlink(2), then the signal's default action.
extern "C" void on_ending_signal(int signal_number) {
    if (hook != nullptr) hook();
    for (int i = 0; i < SLOTS; ++i)
        if (in_use[i] != 0) ::unlink(names[i]);
    ::signal(signal_number, SIG_DFL);
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, signal_number);
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    ::raise(signal_number);
    _exit(128 + signal_number);
}

}  // namespace

void end_cleanly_on_signals() {
    for (int s : ENDING_SIGNALS) {
        struct sigaction before {};
        sigaction(s, nullptr, &before);
        // Left ignored where the caller ignores it (nohup, a background job),
        // and left alone where the program has its own handler.
        if (before.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = on_ending_signal;
        sigfillset(&action.sa_mask);  // one handler at a time
        sigaction(s, &action, nullptr);
    }
}

void set_ending_signal_hook(void (*procedure)()) { hook = procedure; }

int remove_at_signal(const char* name) {
    if (std::strlen(name) >= PATH_MAX) return -1;
    for (int i = 0; i < SLOTS; ++i) {
        if (in_use[i] != 0) continue;
        std::strcpy(names[i], name);
        std::atomic_signal_fence(std::memory_order_release);
        in_use[i] = 1;
        return i;
    }
    return -1;
}

void keep_at_signal(int slot) {
    if (slot >= 0 && slot < SLOTS) in_use[slot] = 0;
}
