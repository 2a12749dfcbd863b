// Test double of the console's platform procedures: output is captured in a
// string, keys and the input line come from strings the test sets, and an
// exit throws ExitRequest instead of ending the test process.
#pragma once

#include <string>

struct ExitRequest {
    int status;
};

// Clears captured output and queued keys, and sets the keys to hand out.
void console_double_reset(const std::string& keys = "", const std::string& input_line = "");
// Keys that arrive later: they join the keys to hand out just before the
// `poll`-th console_poll() from now (1: the next one), as keys typed during a
// run reach the program at a poll.
void console_double_keys_at_poll(int poll, const std::string& keys);
// Everything written so far (flushes the console buffer first).
std::string console_double_output();
