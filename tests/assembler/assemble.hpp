// Black-box helpers: assemble a source with the real executable in a fresh
// directory and look at what it left behind.
#pragma once

#include <string>

#include "run_program.hpp"

inline const std::string PROMPT = "Stack machine assembler ? ";
inline const std::string INPUT_FILE_ERROR = "\nERROR\n Inputfile error\nprogram terminated!\n";

struct Assembly {
    RunResult run;
    bool object_exists;
    std::string object;  // prog.hx
    bool pass1_exists;
    std::string pass1;  // prog.ps1
};

// Writes source to prog.asm in dir, answers the prompt with prog.asm.
inline Assembly assemble(const TempDir& dir, const std::string& source) {
    write_file(dir.file("prog.asm"), source);
    Assembly a;
    a.run = run_program(assembler_path(), "prog.asm\n", dir.path);
    a.object_exists = file_exists(dir.file("prog.hx"));
    a.object = a.object_exists ? read_file(dir.file("prog.hx")) : "";
    a.pass1_exists = file_exists(dir.file("prog.ps1"));
    a.pass1 = a.pass1_exists ? read_file(dir.file("prog.ps1")) : "";
    return a;
}

// The object code of a source that must assemble cleanly.
inline std::string object_of(const std::string& source) {
    TempDir dir;
    Assembly a = assemble(dir, source);
    if (a.run.exit_status != 0 || a.pass1_exists) return "<failed: " + a.run.output + ">";
    return a.object;
}

// Everything after the prompt up to the symbol table heading.
inline std::string listing_of(const std::string& output) {
    std::string::size_type start = output.rfind(PROMPT, 0) == 0 ? PROMPT.size() : 0;
    std::string::size_type end = output.find("\nSymbol table\n");
    return output.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
