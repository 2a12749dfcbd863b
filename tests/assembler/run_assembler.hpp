// Black-box helpers: assemble a source with the real executable in a fresh
// directory and look at what it left behind.
#pragma once

#include <string>

#include "run_program.hpp"

inline const std::string PROMPT = "Stack machine assembler ? ";
inline const std::string NO_FILE = "<none>";

struct ProgramRun {
    RunResult run;
    std::string object;  // prog.hx, or NO_FILE
    std::string pass1;   // prog.ps1, or NO_FILE
};

inline std::string content_or_none(const std::string& path) {
    return file_exists(path) ? read_file(path) : NO_FILE;
}

// Writes source to prog.asm in dir and answers the prompt with prog.asm.
inline ProgramRun assemble(const TempDir& dir, const std::string& source) {
    write_file(dir.file("prog.asm"), source);
    RunResult run = run_program(assembler_path(), "prog.asm\n", dir.path);
    return {run, content_or_none(dir.file("prog.hx")), content_or_none(dir.file("prog.ps1"))};
}
