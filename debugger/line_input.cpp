#include "line_input.hpp"

#include <unistd.h>

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
