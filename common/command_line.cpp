#include "command_line.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output_file.hpp"
#include "terminal_text.hpp"
#include "version.hpp"

namespace {

// The exit status of --help and --version: 0, or 1 with a line on standard
// error when standard output could not take the text.
int printed_status() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
    report_output_failure(errno != 0 ? errno : EIO);
    return OUTPUT_FAILED_STATUS;
}

}  // namespace

std::string option_problem(int result, char* const argv[]) {
    std::string option;
    if (optopt > ' ' && optopt < 127) {
        option = std::string("-") + static_cast<char>(optopt);
    } else {
        // A long option: as typed, without an attached "=value".
        option = argv[optind - 1];
        option = option.substr(0, option.find('='));
    }
    if (result == ':') return "option '" + option + "' needs an argument";
    return "unknown option '" + option + "'";
}

int usage_error(const char* program, const char* usage, const std::string& problem) {
    std::fprintf(stderr, "%s: %s\n%s\n", program, terminal_safe(problem).c_str(), usage);
    return USAGE_STATUS;
}

std::optional<std::string> operand_name_problem(const char* name) {
    std::size_t length = std::strlen(name);
    bool cut = std::strchr(name, '\n') != nullptr || (length > 0 && name[length - 1] == '\r');
    if (!cut) return std::nullopt;
    return std::string("a file name cannot hold a line end");
}

int print_version(const char* program) {
    std::printf("%s %s\n", program, VERSION_LINE_TEXT);
    return printed_status();
}

int print_help(const char* text) {
    std::fputs(text, stdout);
    return printed_status();
}

std::optional<int> read_server_command_line(int argc, char** argv, const char* program,
                                            const char* usage, const char* help,
                                            std::initializer_list<const char*> accepted) {
    enum : int { OPTION_VERSION = 256, OPTION_ACCEPTED };
    std::vector<option> options = {{"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, OPTION_VERSION}};
    for (const char* name : accepted)
        options.push_back({name, no_argument, nullptr, OPTION_ACCEPTED});
    options.push_back({nullptr, 0, nullptr, 0});
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":h", options.data(), nullptr);
        if (result == -1) break;
        switch (result) {
            case 'h': return print_help(help);
            case OPTION_VERSION: return print_version(program);
            case OPTION_ACCEPTED: break;
            default: return usage_error(program, usage, option_problem(result, argv));
        }
    }
    if (optind < argc)
        return usage_error(program, usage,
                           std::string("no operand is taken: '") + argv[optind] + "'");
    return std::nullopt;
}
