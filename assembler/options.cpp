#include "options.hpp"

#include <cstring>
#include <filesystem>

#include "command_line.hpp"
#include "conventions.hpp"

namespace {

constexpr const char* USAGE =
    "Usage: assembler [--warnings] [--listing FILE] [-o OBJECT_FILE] [SOURCE_FILE]";

constexpr const char* HELP =
    "Usage: assembler [--warnings] [--listing FILE] [-o OBJECT_FILE] [SOURCE_FILE]\n"
    "Assemble a stack machine source file into an object code file <base>.hx,\n"
    "<base> being the name up to its first '.'. Without SOURCE_FILE its name is\n"
    "read from the first line of standard input.\n"
    "\n"
    "  -o, --output OBJECT_FILE  write the object code to OBJECT_FILE (the pass-1\n"
    "                            file takes its name with the extension .ps1)\n"
    "  --listing FILE            write the address, the bytes and the source of\n"
    "                            every line, and the symbols by address, to FILE\n"
    "  --warnings                report on standard error what is passed over or\n"
    "                            cut to fit, as FILE:LINE: warning: TEXT\n"
    "  -h, --help                show this text and exit\n"
    "  --version                 show the version and exit\n"
    "\n"
    "Exit status: 0 when both passes completed, 255 after an error, 2 for a\n"
    "command line that cannot be used.\n";

enum : int { OPTION_LISTING = 256, OPTION_WARNINGS, OPTION_VERSION };

const option LONG_OPTIONS[] = {
    {"output", required_argument, nullptr, 'o'},
    {"listing", required_argument, nullptr, OPTION_LISTING},
    {"warnings", no_argument, nullptr, OPTION_WARNINGS},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// The -o name must fit where a typed name fits, and its pass-1 file must be
// another file.
std::optional<std::string> object_name_problem(const char* name, std::string& pass1) {
    if (name[0] == '\0') return "-o needs a file name";
    pass1 = std::filesystem::path(name).replace_extension(".ps1").string();
    if (std::strlen(name) >= static_cast<std::size_t>(NAME_CAPACITY) ||
        pass1.size() >= static_cast<std::size_t>(NAME_CAPACITY))
        return std::string("the object code file name is too long");
    if (pass1 == name) return std::string("'") + name + "' would be its own pass-1 file";
    return std::nullopt;
}

}  // namespace

std::optional<int> parse_assembler_options(int argc, char* argv[], AssemblerOptions& options) {
    optind = 0;  // start afresh, also when called again in one process
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":ho:", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case 'o': options.object_file = optarg; break;
            case OPTION_LISTING: options.listing_file = optarg; break;
            case OPTION_WARNINGS: options.warnings = true; break;
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("assembler");
            default: return usage_error("assembler", USAGE, option_problem(result, argv));
        }
    }
    if (argc - optind > 1) {
        return usage_error(
            "assembler", USAGE,
            std::string("one source file only, not also '") + argv[optind + 1] + "'");
    }
    if (optind < argc) {
        if (std::optional<std::string> problem = operand_name_problem(argv[optind]))
            return usage_error("assembler", USAGE, *problem);
        options.source_file = argv[optind];
    }
    if (options.object_file != nullptr) {
        if (auto problem = object_name_problem(options.object_file, options.pass1_file))
            return usage_error("assembler", USAGE, *problem);
    }
    return std::nullopt;
}
