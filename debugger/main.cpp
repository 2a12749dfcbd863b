// The debugger: loads a source or object code file and runs the commands
// read from standard input until quit or the end of the input.
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "commands.hpp"
#include "conventions.hpp"
#include "line_input.hpp"
#include "machine/machine.hpp"
#include "output_file.hpp"
#include "session.hpp"

namespace {

constexpr const char* USAGE =
    "Usage: debugger [--set 'LOC = V...']... [--call LABEL [--stack 'V...']] [FILE]";

constexpr const char* HELP =
    "Usage: debugger [--set 'LOC = V...']... [--call LABEL [--stack 'V...']] [FILE]\n"
    "Run a stack machine program one instruction at a time, under commands read\n"
    "from standard input (help lists them). FILE is a source (.asm), assembled in\n"
    "memory, or an object code file; without FILE the first line of standard\n"
    "input names it.\n"
    "\n"
    "  --set 'LOC = V...'  store the bytes V... at LOC (a label, label+N or an\n"
    "                      address) before the run, as a checker case's set does\n"
    "  --call LABEL        start at LABEL with a return address on the stack that\n"
    "                      ends the run when the subroutine returns to it\n"
    "  --stack 'V...'      with --call: bytes pushed below the return address,\n"
    "                      top first\n"
    "  -h, --help          show this text and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 after quit or the end of the input, 255 when the file cannot\n"
    "be assembled, found or loaded, 2 for a command line that cannot be used.\n";

enum : int { OPTION_VERSION = 256, OPTION_SET, OPTION_CALL, OPTION_STACK };

const option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, 'h'},
    {"set", required_argument, nullptr, OPTION_SET},
    {"call", required_argument, nullptr, OPTION_CALL},
    {"stack", required_argument, nullptr, OPTION_STACK},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// Where a checker's case starts the machine: its set lines, and for a
// subroutine case the label called and the bytes below the return address.
struct CaseStart {
    std::vector<std::string> sets;
    std::string call;
    std::optional<std::string> stack;
};

// "20 191 7" as bytes; nothing when a word is no value from 0 to 255.
std::optional<std::vector<std::uint8_t>> byte_values(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::uint8_t> bytes;
    for (std::string word; words >> word;) {
        if (word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(word) > 255)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(word)));
    }
    return bytes;
}

// "data", "data+7" or "100": the address, or nothing.
std::optional<unsigned> location(const DebugProgram& program, std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    unsigned offset = 0;
    std::size_t plus = text.find('+');
    if (plus != std::string::npos) {
        std::string number = text.substr(plus + 1);
        if (number.empty() || number.size() > 5 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        offset = static_cast<unsigned>(std::stoul(number));
        text.resize(plus);
    }
    if (!text.empty() && text.size() <= 5 &&
        text.find_first_not_of("0123456789") == std::string::npos)
        return static_cast<unsigned>(std::stoul(text)) + offset;
    std::optional<std::uint16_t> address = find_label(program, text);
    if (!address) return std::nullopt;
    return *address + offset;
}

// Starts the run as the checker starts the case: the bytes stored (and
// counted as written, so that reading them is no finding), then for a call
// the stack bytes, the return address and PC at the label. Returns "" or
// what cannot be done.
std::string start_case(Session& session, const CaseStart& start) {
    if (start.sets.empty() && start.call.empty()) return "";
    Machine machine = session.run.start();
    WrittenSet loaded = session.program.loaded;
    for (const std::string& set : start.sets) {
        std::size_t equals = set.find('=');
        std::optional<unsigned> address = equals == std::string::npos
                                              ? std::nullopt
                                              : location(session.program, set.substr(0, equals));
        std::optional<std::vector<std::uint8_t>> bytes =
            equals == std::string::npos ? std::nullopt : byte_values(set.substr(equals + 1));
        if (!address || !bytes || bytes->empty() || *address + bytes->size() > MEMORY_SIZE)
            return "--set: not a location and bytes in memory: '" + set + "'";
        for (std::size_t k = 0; k < bytes->size(); ++k) {
            machine.memory[*address + k] = (*bytes)[k];
            if (*address + k < MAX_MEMORY) loaded.set(*address + k);
        }
    }
    if (!start.call.empty()) {
        std::optional<std::uint16_t> label = find_label(session.program, start.call);
        if (!label) return "--call: no label '" + start.call + "' in the program";
        std::optional<std::vector<std::uint8_t>> stack = byte_values(start.stack.value_or(""));
        if (!stack) return "--stack: not bytes: '" + *start.stack + "'";
        if (stack->size() > CALL_STACK_PRESET_MAX)
            return "--stack: more than " + std::to_string(CALL_STACK_PRESET_MAX) +
                   " bytes do not fit below the return address";
        for (auto v = stack->rbegin(); v != stack->rend(); ++v) push_byte(machine, *v);
        push_word(machine, CASE_RETURN_ADDRESS);
        machine.PC = *label;
    }
    session.run.load(machine, loaded, session.program.code, ALL_FINDING_KINDS,
                     !start.call.empty());
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    start_program("debugger");
    opterr = 0;
    CaseStart case_start;
    for (;;) {
        int result = getopt_long(argc, argv, ":h", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("debugger");
            case OPTION_SET: case_start.sets.emplace_back(optarg); break;
            case OPTION_CALL: case_start.call = optarg; break;
            case OPTION_STACK: case_start.stack = optarg; break;
            default: return usage_error("debugger", USAGE, option_problem(result, argv));
        }
    }
    if (case_start.stack && case_start.call.empty())
        return usage_error("debugger", USAGE, "--stack goes with --call");
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
    if (std::string refused = start_case(session, case_start); !refused.empty()) {
        std::fprintf(stderr, "debugger: %s\n", refused.c_str());
        return USAGE_STATUS;
    }
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
