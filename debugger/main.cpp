// The debugger: loads a source or object code file and runs the commands
// read from standard input until quit or the end of the input.
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>

#include "command_line.hpp"
#include "commands.hpp"
#include "conventions.hpp"
#include "line_input.hpp"
#include "output_file.hpp"
#include "session.hpp"

namespace {

constexpr const char* USAGE = "Usage: debugger [FILE]";

constexpr const char* HELP =
    "Usage: debugger [FILE]\n"
    "Run a stack machine program one instruction at a time, under commands read\n"
    "from standard input (help lists them). FILE is a source (.asm), assembled in\n"
    "memory, or an object code file; without FILE the first line of standard\n"
    "input names it.\n"
    "\n"
    "  -h, --help  show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 after quit or the end of the input, 255 when the file cannot\n"
    "be assembled, found or loaded, 2 for a command line that cannot be used.\n";

enum : int { OPTION_VERSION = 256 };

const option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

int main(int argc, char** argv) {
    start_program("debugger");
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":h", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("debugger");
            default: return usage_error("debugger", USAGE, option_problem(result, argv));
        }
    }
    if (argc - optind > 1) {
        return usage_error("debugger", USAGE,
                           std::string("one file only, not also '") + argv[optind + 1] + "'");
    }
    start_line_input();
    std::string file_name;
    if (optind < argc) {
        file_name = argv[optind];
    } else if (!read_command_line(file_name) || file_name.empty()) {
        std::printf("no file named\n");
        return FAILURE_STATUS;
    }
    // A name is used whole: one the system would cut at a NUL is refused.
    if (file_name.find('\0') != std::string::npos) {
        std::printf("a file name cannot hold a NUL byte\n");
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
    set_completion_words(completion_words(session));
    std::string line;
    while (read_command_line(line) && run_command(session, line)) {
    }
    end_line_input();
    // Everything the session printed, or a line saying it could not be.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        report_output_failure(errno != 0 ? errno : EIO);
        return OUTPUT_FAILED_STATUS;
    }
    return 0;
}
