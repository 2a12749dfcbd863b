// The console: the only way either program reaches standard input, standard
// output and the terminal. Output is collected in a buffer and written in
// large blocks (on a terminal, in pieces of at most one poll interval of
// frames, so that the terminal's own speed paces the run); key presses are
// served from a queue that is refilled from the operating system every
// CONSOLE_POLL_INTERVAL instructions and whenever it runs empty; the frames
// of the activity spinner are counted while a program runs and written as
// one block before any other output.
//
// The buffer and queue handling is inline and shared; the procedures marked
// "platform" are provided by console_posix.cpp in the programs and by a test
// double in the tests and fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t CONSOLE_OUTPUT_CAPACITY = 1 << 16;
constexpr std::size_t CONSOLE_KEY_CAPACITY = 4096;
constexpr std::uint32_t CONSOLE_POLL_INTERVAL = 16384;

namespace console_state {
extern char output_buffer[CONSOLE_OUTPUT_CAPACITY];
extern std::size_t output_length;
extern unsigned char key_queue[CONSOLE_KEY_CAPACITY];
extern std::size_t key_head;          // next key to take
extern std::size_t key_tail;          // one past the last key queued
extern std::uint64_t frames_pending;  // spinner frames shown but not yet in the buffer
extern unsigned activity_phase;       // spinner frame written next, 0..4
}  // namespace console_state

// Writes the pending spinner frames into the buffer. Every other output and
// every flush does this first, so the bytes come out exactly as if each frame
// had been written when it was shown.
void console_write_pending_frames();

// platform: write out everything buffered, pending spinner frames included.
void console_flush();
// platform: move waiting key presses into the queue, and flush the output
// when it has waited too long (on a terminal: always). Keys from a terminal
// are taken without blocking; during a run with keys from a pipe or a file,
// an empty queue waits for the next byte or the end of the input, so that
// which key test sees which key never depends on the writer's timing.
void console_poll();
// platform: switch the terminal (if any) to single-key mode for the run and
// queue every key press already waiting.
void console_start_keys();
// platform: wait for one key press and return its code; -1 when standard
// input has ended, so that a wait can never hang on a closed input.
int console_read_key();
// platform: read one line without its line end into buffer (NUL-terminated).
// Returns its length; 0 for an empty line or end of input; -1 when the line
// does not fit in capacity - 1 characters or holds a NUL byte.
int console_read_line(char* buffer, int capacity);
// platform: flush, restore the terminal and end the process.
[[noreturn]] void console_exit(int status);
// platform: a procedure that a signal ending the process calls first (for
// output kept outside the console); it must be async-signal-safe.
void console_set_signal_hook(void (*hook)());

// Formatted output, through the buffer.
void console_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline void console_put(char c) {
    using namespace console_state;
    if (frames_pending != 0) console_write_pending_frames();
    if (output_length == CONSOLE_OUTPUT_CAPACITY) console_flush();
    output_buffer[output_length++] = c;
}

void console_write(const char* text, std::size_t length);

// Shows `frames` frames of the activity spinner, one per instruction: a
// minus sign the first time, then a backspace and one of \ | / - in turn.
// Costs one addition; the frames reach the buffer with the next output or
// flush.
inline void console_show_activity(std::uint32_t frames = 1) {
    console_state::frames_pending += frames;
}

// The per-instruction key test. tick is the number of instructions run so
// far; the queue is refilled from the operating system when it is a multiple
// of CONSOLE_POLL_INTERVAL, so the first test of a run sees every key already
// waiting, and when a key taken empties it (below). Both tests are combined
// into one branch, which is taken rarely: when a poll is due or a key is
// queued. At a terminal it never blocks. With keys from a pipe or a file the
// refill waits while the queue is empty and the input goes on (console_poll),
// so between polls an empty queue means the input has ended.
inline bool console_key_waiting(std::uint64_t tick) {
    bool poll_due = (tick & (CONSOLE_POLL_INTERVAL - 1)) == 0;
    if (poll_due | (console_state::key_head != console_state::key_tail)) [[unlikely]] {
        if (poll_due) console_poll();
        return console_state::key_head != console_state::key_tail;
    }
    return false;
}

// The first tick from `tick` on at which console_key_waiting() does more
// than say no: `tick` itself when a key is queued, else the next multiple of
// CONSOLE_POLL_INTERVAL. Until then the queue cannot change (only the console
// procedures change it), so a run loop may skip the key tests before it.
inline std::uint64_t console_next_key_test(std::uint64_t tick) {
    if (console_state::key_head != console_state::key_tail) return tick;
    return (tick + (CONSOLE_POLL_INTERVAL - 1)) & ~std::uint64_t{CONSOLE_POLL_INTERVAL - 1};
}

// Takes the next queued key; only after console_key_waiting() said yes.
// When that empties the queue, more input may be waiting behind it (the
// queue holds only CONSOLE_KEY_CAPACITY keys): refilling at once lets the
// next key test see it, so piped keys are taken one per key test however
// many there are. This costs nothing in the key test itself.
inline int console_take_key() {
    using namespace console_state;
    int key = key_queue[key_head++];
    if (key_head == key_tail) console_poll();
    return key;
}

// Queues text and a line end ahead of standard input, as if they came first
// on it (as much as the queue holds): a file name given on the command line
// then takes the same road as a typed one.
inline void console_queue_line(const char* text) {
    using namespace console_state;
    while (*text != '\0' && key_tail < CONSOLE_KEY_CAPACITY - 1) key_queue[key_tail++] = *text++;
    key_queue[key_tail++] = '\n';
}
