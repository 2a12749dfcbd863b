#include "line_input.hpp"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "session.hpp"

#ifdef DEBUGGER_HAS_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace {

bool at_terminal = false;

void request_interrupt(int) { interrupt_requested = 1; }

#ifdef DEBUGGER_HAS_READLINE
// The terminal as the debugger found it, put back while it is stopped; the
// line editor's own mode is set again when it is continued.
struct termios start_settings;
bool have_start_settings = false;
volatile std::sig_atomic_t continued = 0;

extern "C" void on_stop(int signal_number) {
    int saved_errno = errno;
    if (have_start_settings) tcsetattr(STDIN_FILENO, TCSANOW, &start_settings);
    std::signal(signal_number, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal_number);
    // Raised while blocked in this handler: the process stops at the
    // unblock and goes on from there when continued.
    std::raise(signal_number);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    std::signal(signal_number, on_stop);
    continued = 1;
    errno = saved_errno;
}

extern "C" void on_continue(int) { continued = 1; }

// Called by the line editor when a signal interrupted its read: after a
// continue, its terminal mode again (whatever the shell did meanwhile) and
// the prompt with the line typed so far.
int after_signal() {
    if (continued == 0) return 0;
    continued = 0;
    rl_deprep_terminal();
    rl_prep_terminal(1);
    rl_forced_update_display();
    return 0;
}

void handle_stops() {
    if (tcgetattr(STDIN_FILENO, &start_settings) == 0) have_start_settings = true;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART: the editor's read returns and calls after_signal.
    action.sa_handler = on_continue;
    sigaction(SIGCONT, &action, nullptr);
    struct sigaction before {};
    sigaction(SIGTSTP, nullptr, &before);
    action.sa_handler = on_stop;
    if (before.sa_handler != SIG_IGN) sigaction(SIGTSTP, &action, nullptr);
    rl_signal_event_hook = after_signal;
}
#endif

}  // namespace

void start_line_input() {
    at_terminal = isatty(STDIN_FILENO) != 0;
    struct sigaction action {};
    action.sa_handler = request_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
#ifdef DEBUGGER_HAS_READLINE
    // Ctrl-C at the prompt only sets the flag, which the next run clears.
    rl_catch_signals = 0;
    if (at_terminal) handle_stops();
#endif
}

bool read_command_line(std::string& line) {
    std::fflush(stdout);
#ifdef DEBUGGER_HAS_READLINE
    if (at_terminal) {
        char* read = readline(DEBUGGER_PROMPT);
        if (read == nullptr) {
            std::printf("\n");
            return false;
        }
        line = read;
        if (!line.empty()) add_history(read);
        std::free(read);
        return true;
    }
#endif
    if (at_terminal) {
        std::printf("%s", DEBUGGER_PROMPT);
        std::fflush(stdout);
    }
    if (!std::getline(std::cin, line)) {
        if (at_terminal) std::printf("\n");
        return false;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
