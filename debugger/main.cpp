// The debugger: loads a source or object code file and runs the commands
// read from standard input until quit or the end of the input.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "commands.hpp"
#include "conventions.hpp"
#include "line_input.hpp"
#include "session.hpp"

namespace {

constexpr int USAGE_STATUS = 2;

const char* const USAGE =
    "usage: debugger [FILE]\n"
    "FILE is a source (.asm), assembled in memory, or an object code file.\n"
    "Without FILE the first line of standard input names it. Commands are read\n"
    "from standard input; help lists them.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        bool asked = argc == 2 && std::strcmp(argv[1], "--help") == 0;
        std::fputs(USAGE, asked ? stdout : stderr);
        return asked ? 0 : USAGE_STATUS;
    }
    start_line_input();
    std::string file_name;
    if (argc == 2) {
        file_name = argv[1];
    } else if (!read_command_line(file_name) || file_name.empty()) {
        std::printf("no file named\n");
        return FAILURE_STATUS;
    }
    static Session session;
    if (std::optional<std::string> refused = load_debug_program(file_name, session.program)) {
        std::printf("%s", refused->c_str());
        return FAILURE_STATUS;
    }
    start_session(session);
    std::printf("%s: %s\n", file_name.c_str(),
                session.program.has_source ? "source, assembled in memory"
                                           : "object code (no source lines or labels)");
    print_position(session);
    std::string line;
    while (read_command_line(line) && run_command(session, line)) {
    }
    std::fflush(stdout);
    return 0;
}
