#include "line_input.hpp"

#include <fcntl.h>
#include <poll.h>
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

// Written to by the signal handlers so that a continue wakes the key read
// wherever the line editor stood when the process was stopped (a flag alone
// is missed when the stop came before the editor began to wait).
int wake_pipe[2] = {-1, -1};

void wake_reader() {
    continued = 1;
    if (wake_pipe[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t written = write(wake_pipe[1], &byte, 1);
    }
}

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
    wake_reader();
    errno = saved_errno;
}

extern "C" void on_continue(int) {
    int saved_errno = errno;
    wake_reader();
    errno = saved_errno;
}

// After a continue: the editor's terminal mode again (whatever the shell did
// meanwhile) and the prompt with the line typed so far.
void take_terminal_again() {
    char drained[64];
    while (read(wake_pipe[0], drained, sizeof drained) > 0) {
    }
    continued = 0;
    rl_deprep_terminal();
    rl_prep_terminal(1);
    rl_forced_update_display();
}

// The line editor's key read: waits on the terminal and on the wake pipe.
int read_key(FILE* stream) {
    const int fd = fileno(stream);
    for (;;) {
        if (continued != 0) take_terminal_again();
        pollfd waits[2] = {{fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno != EINTR) return EOF;
            rl_check_signals();
            continue;
        }
        if ((waits[1].revents & POLLIN) != 0) continue;
        unsigned char key = 0;
        ssize_t got = read(fd, &key, 1);
        if (got == 1) return key;
        if (got == 0) return EOF;
        if (errno == EINTR) {
            rl_check_signals();
            continue;
        }
        if (errno != EAGAIN) return EOF;
    }
}

void handle_stops() {
    if (tcgetattr(STDIN_FILENO, &start_settings) == 0) have_start_settings = true;
    if (pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) wake_pipe[0] = wake_pipe[1] = -1;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = on_continue;
    sigaction(SIGCONT, &action, nullptr);
    struct sigaction before {};
    sigaction(SIGTSTP, nullptr, &before);
    action.sa_handler = on_stop;
    if (before.sa_handler != SIG_IGN) sigaction(SIGTSTP, &action, nullptr);
    if (wake_pipe[0] >= 0) rl_getc_function = read_key;
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
