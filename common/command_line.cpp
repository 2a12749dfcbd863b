#include "command_line.hpp"

#include <cstdio>

#include "version.hpp"

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
    std::fprintf(stderr, "%s: %s\n%s\n", program, problem.c_str(), usage);
    return USAGE_STATUS;
}

int print_version(const char* program) {
    std::printf("%s %s\n", program, PROJECT_VERSION_TEXT);
    return 0;
}

int print_help(const char* text) {
    std::fputs(text, stdout);
    return 0;
}
