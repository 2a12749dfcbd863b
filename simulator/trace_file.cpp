#include "trace_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "console.hpp"
#include "output_file.hpp"
#include "run_files.hpp"
#include "terminal_text.hpp"

namespace {

constexpr std::size_t TRACE_BUFFER_CAPACITY = 1 << 20;

int trace_fd = -1;
int write_error = 0;  // the first failed write
const char* trace_name = nullptr;
// The trace file, renamed over its name when the run ends (at a signal
// too); standard error is written in place.
OutputFile trace_file;
char trace_buffer[TRACE_BUFFER_CAPACITY];
// Bytes [written, filled) are waiting. Both are read by the signal handler,
// so they are updated only after the bytes they cover are in place.
volatile std::sig_atomic_t trace_written = 0;
volatile std::sig_atomic_t trace_filled = 0;

// Async-signal-safe: only write(2) and the two offsets.
void write_waiting() {
    while (trace_written < trace_filled) {
        ssize_t n = ::write(trace_fd, trace_buffer + trace_written,
                            static_cast<std::size_t>(trace_filled - trace_written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (write_error == 0) write_error = n < 0 ? errno : ENOSPC;
            trace_written = trace_filled;  // a full disk or a closed pipe: drop it
            break;
        }
        trace_written = trace_written + static_cast<std::sig_atomic_t>(n);
    }
}

// The signal hook: what is buffered, then the file in place of its name.
// Only a regular file: a FIFO or standard error could block the end.
void write_waiting_and_rename() {
    if (!trace_file.replaces()) return;
    write_waiting();
    if (write_error == 0) trace_file.commit_in_signal_handler();
}

bool cannot_create(const char* path, int error) {
    std::fprintf(stderr, "simulator: cannot create the trace file '%s': %s\n",
                 terminal_safe(path).c_str(), std::strerror(error));
    return false;
}

}  // namespace

bool trace_can_open(const char* path) {
    if (std::strcmp(path, "-") == 0) return true;
    int problem = output_file_problem(path);
    return problem == 0 || cannot_create(path, problem);
}

bool trace_open(const char* path) {
    trace_name = path;
    if (std::strcmp(path, "-") == 0) {
        trace_fd = STDERR_FILENO;
    } else {
        if (int error = trace_file.open(path)) return cannot_create(path, error);
        trace_fd = trace_file.descriptor();
    }
    console_set_signal_hook(write_waiting_and_rename);
    return true;
}

bool trace_finish() {
    if (trace_fd < 0) return true;
    trace_flush();
    if (write_error == 0 && trace_fd != STDERR_FILENO) write_error = trace_file.commit();
    trace_fd = -1;
    if (write_error == 0) return true;
    trace_file.abandon();
    return report_write_failure("the trace file", trace_name, write_error);
}

bool trace_active() { return trace_fd >= 0; }

void trace_append(const TraceStart& start, const Registers& after, const std::uint8_t* memory) {
    if (static_cast<std::size_t>(trace_filled) + TRACE_LINE_CAPACITY + 1 > TRACE_BUFFER_CAPACITY)
        trace_flush();
    char* line = trace_buffer + trace_filled;
    std::size_t length = format_trace_line(line, start, after, memory);
    line[length] = '\n';
    // The line is complete before the signal handler may see it.
    std::atomic_signal_fence(std::memory_order_release);
    trace_filled = trace_filled + static_cast<std::sig_atomic_t>(length + 1);
}

void trace_flush() {
    if (trace_fd < 0) return;
    // A signal delivered as a write returns would find the offsets not yet
    // moved and write the same bytes again: signals wait for the writes.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before);
    write_waiting();
    // Emptied in this order, a signal in between finds nothing waiting.
    trace_filled = 0;
    trace_written = 0;
    sigprocmask(SIG_SETMASK, &before, nullptr);
}
