// POSIX console: standard input is either a terminal, where key presses are
// read one at a time without echo during a run, or a pipe or file, where the
// bytes after the first line are the key presses in order, whenever they
// arrive: a key test that finds none queued waits for the next byte or the
// end of the input, so that a run never depends on how fast its writer is.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "console.hpp"
#include "ending_signals.hpp"
#include "output_file.hpp"

namespace {

bool input_ended = false;
bool terminal_input = false;
bool terminal_output = false;
bool terminal_saved = false;
bool keys_mode = false;
bool keys_from_stream = false;  // during a run, with input from a pipe or file
struct termios saved_settings;
struct termios keys_settings;  // the single-key mode of a run
timespec last_flush{};
int output_error = 0;  // the first failed write to standard output

void write_all(const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t written = ::write(STDOUT_FILENO, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            // Output gone (closed pipe, full disk): dropped, and the exit
            // says so.
            if (output_error == 0) output_error = errno;
            return;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
}

void restore_terminal() {
    if (keys_mode && terminal_saved) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
        keys_mode = false;
    }
}

void (*signal_hook)() = nullptr;

// Called by the handler of a signal that ends the program, before its
// temporary files are removed: the terminal first, so that nothing after it
// (a stopped terminal's output, a full pipe) can leave it in single-key
// mode; standard output is not written, since that could block for good.
void on_ending_signal() {
    restore_terminal();
    if (signal_hook != nullptr) signal_hook();
}

// A stop (Ctrl-Z): the terminal as it was before the run while stopped, the
// run's mode again when continued, whatever was done to the terminal
// meanwhile.
extern "C" void on_stop(int signal_number) {
    int saved_errno = errno;
    bool set_again = keys_mode && terminal_saved;
    if (set_again) tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
    ::signal(signal_number, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal_number);
    // Raised while blocked in this handler: the process stops at the
    // unblock and goes on from there when continued.
    ::raise(signal_number);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    ::signal(signal_number, on_stop);
    if (set_again) tcsetattr(STDIN_FILENO, TCSANOW, &keys_settings);
    errno = saved_errno;
}

// Continued after a stop this program did not see (SIGSTOP): the run's
// mode again.
extern "C" void on_continue(int) {
    int saved_errno = errno;
    if (keys_mode && terminal_saved) tcsetattr(STDIN_FILENO, TCSANOW, &keys_settings);
    errno = saved_errno;
}

void install_signal_handlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    end_cleanly_on_signals();
    set_ending_signal_hook(on_ending_signal);
    // Left ignored where the shell ignores it (no job control).
    struct sigaction before {};
    sigaction(SIGTSTP, nullptr, &before);
    if (before.sa_handler != SIG_IGN) ::signal(SIGTSTP, on_stop);
    struct sigaction action {};
    action.sa_handler = on_continue;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGCONT, &action, nullptr);
}

// Reads whatever standard input holds into the free end of the key queue.
// With wait set, blocks until at least one byte arrives or input ends.
void fill_queue(bool wait) {
    using namespace console_state;
    if (input_ended) return;
    if (key_head == key_tail) key_head = key_tail = 0;
    if (key_tail == CONSOLE_KEY_CAPACITY) return;
    for (;;) {
        if (!wait) {
            pollfd p{STDIN_FILENO, POLLIN, 0};
            int ready = ::poll(&p, 1, 0);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return;
        }
        ssize_t got = ::read(STDIN_FILENO, key_queue + key_tail, CONSOLE_KEY_CAPACITY - key_tail);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Input left non-blocking by whoever opened it: nothing yet is
            // not the end; a wait waits for the next byte.
            if (!wait) return;
            pollfd p{STDIN_FILENO, POLLIN, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        if (got <= 0) {
            input_ended = true;
            return;
        }
        key_tail += static_cast<std::size_t>(got);
        return;
    }
}

// The queue refill of a key test. Keys from a pipe or a file are the bytes
// of the input whenever they come: with none queued, this waits for the next
// byte or the end of the input (what is written so far is shown first).
// Keys from a terminal are only those already typed.
void refill_for_key_test() {
    using namespace console_state;
    fill_queue(false);
    if (keys_from_stream && key_head == key_tail && !input_ended) {
        console_flush();
        fill_queue(true);
    }
}

long elapsed_ms(const struct timespec& from, const struct timespec& to) {
    return (to.tv_sec - from.tv_sec) * 1000L + (to.tv_nsec - from.tv_nsec) / 1000000L;
}

}  // namespace

void console_flush() {
    if (console_state::frames_pending != 0) console_write_pending_frames();
    write_all(console_state::output_buffer, console_state::output_length);
    console_state::output_length = 0;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &last_flush);
}

void console_poll() {
    if (terminal_output) {
        // A terminal takes output at its own speed: write what is pending
        // now (at most one poll interval of frames), so that the run never
        // gets far ahead of the screen and an Escape is answered as soon as
        // the terminal has shown what came before it. Keys typed during the
        // write are looked for after it.
        console_flush();
        refill_for_key_test();
        return;
    }
    refill_for_key_test();
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    if (elapsed_ms(last_flush, now) >= 50) console_flush();
}

void console_start_keys() {
    install_signal_handlers();
    terminal_output = isatty(STDOUT_FILENO) != 0;
    keys_from_stream = isatty(STDIN_FILENO) == 0;
    if (terminal_input && terminal_saved && !keys_mode) {
        keys_settings = saved_settings;
        keys_settings.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        keys_settings.c_cc[VMIN] = 1;
        keys_settings.c_cc[VTIME] = 0;
        if (tcsetattr(STDIN_FILENO, TCSANOW, &keys_settings) == 0) keys_mode = true;
    }
    clock_gettime(CLOCK_MONOTONIC_COARSE, &last_flush);
}

int console_read_key() {
    using namespace console_state;
    console_flush();
    if (key_head == key_tail) fill_queue(true);
    if (key_head == key_tail) return -1;
    return console_take_key();
}

int console_read_line(char* buffer, int capacity) {
    using namespace console_state;
    install_signal_handlers();
    terminal_input = isatty(STDIN_FILENO) != 0;
    if (terminal_input && tcgetattr(STDIN_FILENO, &saved_settings) == 0) terminal_saved = true;
    console_flush();
    int length = 0;
    bool fits = true;
    for (;;) {
        if (key_head == key_tail) fill_queue(true);
        if (key_head == key_tail) break;  // end of input ends the line
        char c = static_cast<char>(console_take_key());
        if (c == '\n') break;
        // Room for one character more than a name holds: a CR that ends the
        // line is dropped below and does not count against the length.
        if (c == '\0' || length == capacity) {
            fits = false;
            continue;
        }
        buffer[length++] = c;
    }
    if (length > 0 && buffer[length - 1] == '\r') --length;
    if (length > capacity - 1) {
        fits = false;
        length = capacity - 1;
    }
    buffer[length] = '\0';
    return fits ? length : -1;
}

void console_set_signal_hook(void (*hook)()) { signal_hook = hook; }

void console_exit(int status) {
    restore_terminal();
    console_flush();
    if (output_error != 0) {
        report_output_failure(output_error);
        if (status == 0) status = OUTPUT_FAILED_STATUS;
    }
    // Lines asked for on standard error (--warnings, --check) that could not
    // be written count as a failed output; no line can say so.
    if (std::ferror(stderr) != 0 && status == 0) status = OUTPUT_FAILED_STATUS;
    std::exit(status);
}
