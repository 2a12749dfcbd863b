#include "options.hpp"

#include <string_view>

#include "command_line.hpp"

namespace {

constexpr const char* USAGE = "Usage: simulator [--trace FILE] [--check[=all]] [OBJECT_FILE]";

constexpr const char* HELP =
    "Usage: simulator [--trace FILE] [--check[=all]] [OBJECT_FILE]\n"
    "Load a stack machine object code file and run it from address 0 until hlt.\n"
    "Without OBJECT_FILE its name is read from the first line of standard input.\n"
    "\n"
    "  --trace FILE  write one line per instruction to FILE (- for standard error):\n"
    "                number, address, instruction, SP, flags and the top of the stack\n"
    "  --check       report on standard error what the program does wrong on its\n"
    "                way: a ret that does not go where its call came from,\n"
    "                execution outside the program or in data, stores into code\n"
    "  --check=all   the same, and loads from memory the program never wrote\n"
    "  -h, --help    show this text and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Escape stops a run. Exit status: 0 after hlt (1 when the trace could not be\n"
    "written completely), 255 after a stop or error, 2 for a command line that\n"
    "cannot be used.\n";

enum : int { OPTION_TRACE = 256, OPTION_VERSION, OPTION_CHECK };

const option LONG_OPTIONS[] = {
    {"trace", required_argument, nullptr, OPTION_TRACE},
    {"check", optional_argument, nullptr, OPTION_CHECK},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

std::optional<int> parse_simulator_options(int argc, char* argv[], SimulatorOptions& options) {
    optind = 0;  // start afresh, also when called again in one process
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":h", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case OPTION_TRACE: options.trace_file = optarg; break;
            case OPTION_CHECK:
                if (optarg != nullptr && std::string_view(optarg) != "all") {
                    return usage_error(
                        "simulator", USAGE,
                        std::string("--check takes only 'all', not '") + optarg + "'");
                }
                options.check = optarg != nullptr ? ALL_FINDING_KINDS : DEFAULT_FINDING_KINDS;
                break;
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("simulator");
            default: return usage_error("simulator", USAGE, option_problem(result, argv));
        }
    }
    if (argc - optind > 1) {
        return usage_error(
            "simulator", USAGE,
            std::string("one object code file only, not also '") + argv[optind + 1] + "'");
    }
    if (optind < argc) {
        if (std::optional<std::string> problem = operand_name_problem(argv[optind]))
            return usage_error("simulator", USAGE, *problem);
        options.object_file = argv[optind];
    }
    return std::nullopt;
}
