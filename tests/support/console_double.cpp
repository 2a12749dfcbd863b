#include "console_double.hpp"

#include <cstring>

#include "console.hpp"

namespace {
std::string captured;
std::string pending_keys;
std::string line;
std::string later_keys;
int polls_before_later_keys = 0;  // 0: none waiting
}  // namespace

void console_double_reset(const std::string& keys, const std::string& input_line) {
    console_state::output_length = 0;
    console_state::frames_pending = 0;
    console_state::activity_phase = 0;
    console_state::key_head = console_state::key_tail = 0;
    captured.clear();
    pending_keys = keys;
    line = input_line;
    later_keys.clear();
    polls_before_later_keys = 0;
}

void console_double_keys_at_poll(int poll, const std::string& keys) {
    polls_before_later_keys = poll;
    later_keys = keys;
}

std::string console_double_output() {
    console_flush();
    return captured;
}

void console_flush() {
    if (console_state::frames_pending != 0) console_write_pending_frames();
    captured.append(console_state::output_buffer, console_state::output_length);
    console_state::output_length = 0;
}

void console_poll() {
    using namespace console_state;
    if (polls_before_later_keys > 0 && --polls_before_later_keys == 0) pending_keys += later_keys;
    if (key_head == key_tail) key_head = key_tail = 0;
    while (!pending_keys.empty() && key_tail < CONSOLE_KEY_CAPACITY) {
        key_queue[key_tail++] = static_cast<unsigned char>(pending_keys.front());
        pending_keys.erase(0, 1);
    }
}

void console_start_keys() {}

int console_read_key() {
    console_poll();
    if (console_state::key_head == console_state::key_tail) return -1;
    return console_take_key();
}

int console_read_line(char* buffer, int capacity) {
    if (static_cast<int>(line.size()) >= capacity) return -1;
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    return static_cast<int>(line.size());
}

void console_set_signal_hook(void (*)()) {}

void console_exit(int status) {
    console_flush();
    throw ExitRequest{status};
}
