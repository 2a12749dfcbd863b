// A whole debugger session driven through a pipe, for the transcript tests.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "run_program.hpp"

// The debugger's output for a session on one source file: `source` written
// to a fresh folder as `name`, which the first line of input names, then
// `script`. The session must end with status 0.
inline std::string session_output(const std::string& name, const std::string& source,
                                  const std::string& script) {
    TempDir dir;
    write_file(dir.file(name), source);
    RunResult run = run_program(DEBUGGER_PATH, name + "\n" + script, dir.path);
    EXPECT_EQ(run.exit_status, 0);
    return run.output;
}
