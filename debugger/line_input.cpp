#include "line_input.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "ending_signals.hpp"
#include "session.hpp"

#ifdef DEBUGGER_HAS_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace {

bool at_terminal = false;
std::vector<std::string> completion_words;

void wake_reader_on_interrupt();

void request_interrupt(int) {
    interrupt_requested = 1;
    wake_reader_on_interrupt();
}

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

void poke_pipe() {
    if (wake_pipe[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t written = write(wake_pipe[1], &byte, 1);
    }
}

void wake_reader() {
    continued = 1;
    poke_pipe();
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

// Ctrl-C at the prompt: the line typed so far is dropped, a fresh prompt.
void discard_line() {
    interrupt_requested = 0;
    rl_replace_line("", 0);
    std::fputs("^C", rl_outstream != nullptr ? rl_outstream : stdout);
    rl_crlf();
    rl_on_new_line();
    rl_redisplay();
}

// The line editor's key read: waits on the terminal and on the wake pipe.
int read_key(FILE* stream) {
    const int fd = fileno(stream);
    for (;;) {
        if (continued != 0) take_terminal_again();
        if (interrupt_requested != 0) discard_line();
        pollfd waits[2] = {{fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno != EINTR) return EOF;
            rl_check_signals();
            continue;
        }
        if ((waits[1].revents & POLLIN) != 0) {
            // Woken by a signal: what it asked for is seen at the loop's top.
            char drained[64];
            while (read(wake_pipe[0], drained, sizeof drained) > 0) {
            }
            continue;
        }
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

// Tab: the commands and labels that begin with the word typed.
char* next_completion(const char* text, int state) {
    static std::size_t index = 0;
    if (state == 0) index = 0;
    std::size_t length = std::strlen(text);
    while (index < completion_words.size()) {
        const std::string& word = completion_words[index++];
        if (word.compare(0, length, text) == 0) return strdup(word.c_str());
    }
    return nullptr;
}

char** complete(const char* text, int, int) {
    rl_attempted_completion_over = 1;  // never file names
    return rl_completion_matches(text, next_completion);
}

// The history: ${XDG_STATE_HOME:-~/.local/state}/stack-machine-toolchain/
// debugger_history, the last HISTORY_KEPT lines. A link or anything but a
// plain file or directory where they should be is left alone.
constexpr int HISTORY_KEPT = 500;
constexpr off_t HISTORY_MOST_BYTES = 1 << 20;

std::string history_directory() {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.local/state";
    } else {
        return "";
    }
    return base + "/stack-machine-toolchain";
}

// A real directory of this user (made when missing, with its parent).
bool usable_directory(const std::string& path, bool make) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        if (!make) return false;
        std::string parent = path.substr(0, path.rfind('/'));
        if (lstat(parent.c_str(), &info) != 0) mkdir(parent.c_str(), 0700);
        if (mkdir(path.c_str(), 0700) != 0 || lstat(path.c_str(), &info) != 0) return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

// A line fit to show again: no control characters.
bool plain_line(const std::string& line) {
    if (line.empty()) return false;
    for (char c : line) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

void read_kept_history() {
    std::string directory = history_directory();
    if (directory.empty() || !usable_directory(directory, false)) return;
    int fd = open((directory + "/debugger_history").c_str(),
                  O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= HISTORY_MOST_BYTES) {
        std::string text(static_cast<std::size_t>(info.st_size), '\0');
        ssize_t got = read(fd, text.data(), text.size());
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        std::size_t from = 0;
        for (std::size_t end = text.find('\n'); end != std::string::npos;
             from = end + 1, end = text.find('\n', from)) {
            std::string line = text.substr(from, end - from);
            if (plain_line(line)) add_history(line.c_str());
        }
    }
    close(fd);
}

// Written beside the file and renamed over it, so that a link in its place
// is replaced, never followed, and a failed write leaves the old file.
void write_kept_history() {
    std::string directory = history_directory();
    if (directory.empty() || !usable_directory(directory, true)) return;
    std::string name = directory + "/debugger_history";
    // A link or anything but a plain file at the name is left alone.
    struct stat info {};
    if (lstat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return;
    std::string temporary = name + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return;
    int removal = remove_at_signal(temporary.c_str());
    std::string text;
    HIST_ENTRY** entries = history_list();
    for (int i = 0; entries != nullptr && entries[i] != nullptr; ++i) {
        std::string line = entries[i]->line;
        if (plain_line(line)) text.append(line).append("\n");
    }
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), name.c_str()) != 0) unlink(temporary.c_str());
    keep_at_signal(removal);
}
#endif

void wake_reader_on_interrupt() {
#ifdef DEBUGGER_HAS_READLINE
    poke_pipe();
#endif
}

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
    if (at_terminal) {
        handle_stops();
        rl_attempted_completion_function = complete;
        stifle_history(HISTORY_KEPT);
        read_kept_history();
    }
#endif
}

void set_completion_words(std::vector<std::string> words) { completion_words = std::move(words); }

void end_line_input() {
#ifdef DEBUGGER_HAS_READLINE
    if (at_terminal) write_kept_history();
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
