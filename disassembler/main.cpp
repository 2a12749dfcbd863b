// disassembler [-o OUTPUT] OBJECT_FILE: loads an object code file with the
// simulator's loader and writes it back as assembly source.
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "disassemble.hpp"
#include "output_file.hpp"
#include "run_files.hpp"

namespace {

constexpr int STATUS_REFUSED = 1;  // the file was refused or the output not written

constexpr const char* USAGE = "Usage: disassembler [-o OUTPUT] OBJECT_FILE";

constexpr const char* HELP =
    "Usage: disassembler [-o OUTPUT] OBJECT_FILE\n"
    "Turn a stack machine object code file back into assembly source that\n"
    "assembles to the same memory.\n"
    "\n"
    "  -o OUTPUT   write the source to OUTPUT instead of standard output\n"
    "  -h, --help  show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 when the source was written, 1 when the file was refused or\n"
    "the output could not be written, 2 for a command line that cannot be used.\n";

enum : int { OPTION_VERSION = 256 };

const option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

int usage(const std::string& problem) { return usage_error("disassembler", USAGE, problem); }

}  // namespace

int main(int argc, char** argv) {
    start_program("disassembler");
    const char* output = nullptr;
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":ho:", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case 'o': output = optarg; break;
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("disassembler");
            default: return usage(option_problem(result, argv));
        }
    }
    if (argc - optind > 1) return usage("more than one object code file");
    const char* input = optind < argc ? argv[optind] : nullptr;
    if (input == nullptr) return usage("no object code file");
    if (output != nullptr &&
        !files_distinct("disassembler", {{"the output file", output, FileRole::NAMED_OUTPUT},
                                         {"the object code file", input, FileRole::INPUT}}))
        return USAGE_STATUS;

    std::vector<std::uint8_t> image(MAX_MEMORY, 0);
    WrittenSet written;
    if (std::optional<Stop> refused = load_object_file(input, image.data(), &written)) {
        // The loader's refusal, worded as the simulator words it.
        std::fputs(stop_message(*refused).c_str(), stderr);
        return STATUS_REFUSED;
    }
    const std::string text = disassemble(image.data(), written);

    if (output != nullptr) {
        if (int error = write_output_file(output, text)) {
            report_write_failure("the output file", output, error);
            return STATUS_REFUSED;
        }
        return 0;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !ok) {
        report_output_failure(errno != 0 ? errno : EIO);
        return STATUS_REFUSED;
    }
    return 0;
}
