// checker [--json] [--cases CASES_FILE] SOURCE_FILE...: assembles each
// source in memory, runs it headless once per test case and reports which
// cases pass. Exit status 0 when all pass, 1 when one fails (a source that
// cannot be read fails its cases), 2 for a usage error or a cases file that
// cannot be read or holds a mistake.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "report.hpp"

namespace {

constexpr int STATUS_FAILED = 1;
constexpr int STATUS_USAGE = USAGE_STATUS;

constexpr const char* USAGE = "Usage: checker [--json] [--cases CASES_FILE] SOURCE_FILE...";

constexpr const char* HELP =
    "Usage: checker [--json] [--cases CASES_FILE] SOURCE_FILE...\n"
    "Assemble each stack machine source in memory, run it against test cases and\n"
    "report which pass. Without --cases a source's own '; expect:' lines are its\n"
    "one case.\n"
    "\n"
    "  --cases CASES_FILE  run every case of CASES_FILE against every source\n"
    "  --json              write one JSON document instead of one line per case\n"
    "  -h, --help          show this text and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 when every case passes, 1 when a case fails (a source that\n"
    "cannot be read fails its cases), 2 for a command line that cannot be used or\n"
    "a cases file that cannot be read or holds a mistake.\n";

enum : int { OPTION_JSON = 256, OPTION_CASES, OPTION_VERSION };

const option LONG_OPTIONS[] = {
    {"json", no_argument, nullptr, OPTION_JSON},
    {"cases", required_argument, nullptr, OPTION_CASES},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

int usage(const std::string& problem) { return usage_error("checker", USAGE, problem); }

// A cases file that cannot be used ends the run before anything runs; the
// usage line is for command-line errors only.
int refuse_cases(const std::string& problem) {
    std::fprintf(stderr, "checker: %s\n", problem.c_str());
    return STATUS_USAGE;
}

std::optional<std::string> read_whole_file(const char* name) {
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return std::nullopt;
    std::string text;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    bool failed = std::ferror(file) != 0;  // a directory opens but cannot be read
    std::fclose(file);
    if (failed) return std::nullopt;
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    const char* cases_file = nullptr;
    std::vector<const char*> sources;
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":h", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case OPTION_JSON: json = true; break;
            case OPTION_CASES:
                if (cases_file != nullptr) return usage("option '--cases' given twice");
                cases_file = optarg;
                break;
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("checker");
            default: return usage(option_problem(result, argv));
        }
    }
    for (int i = optind; i < argc; ++i) sources.push_back(argv[i]);
    if (sources.empty()) return usage("no source file");

    // The cases file is read and checked before anything runs.
    std::vector<TestCase> shared_cases;
    if (cases_file != nullptr) {
        std::optional<std::string> text = read_whole_file(cases_file);
        if (!text) return refuse_cases(std::string("cannot read ") + cases_file);
        std::string error;
        shared_cases = read_cases(*text, error);
        if (!error.empty()) return refuse_cases(std::string(cases_file) + ": " + error);
    }

    // Source cases live here while the reports point at them.
    std::vector<TestCase> own_cases(sources.size());
    std::vector<CheckedFile> files;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        CheckedFile& f = files.emplace_back();
        f.file = sources[i];
        std::optional<std::string> text = read_whole_file(sources[i]);
        if (!text) {
            // A source that cannot be read fails its cases; the others are graded.
            CaseResult unread;
            unread.failures.push_back("cannot read " + f.file);
            if (cases_file == nullptr) {
                own_cases[i].name = f.file;
                f.cases.push_back({f.file, &own_cases[i], unread});
            }
            for (const TestCase& test : shared_cases)
                f.cases.push_back({f.file + " [" + test.name + "]", &test, unread});
            continue;
        }
        AssemblyResult program = assemble_source(*text);
        f.assembly_failure = assembly_failure(program);
        if (cases_file == nullptr) {
            own_cases[i] = source_case(*text, f.file);
            f.cases.push_back({f.file, &own_cases[i], check_case(program, own_cases[i])});
        } else {
            for (const TestCase& test : shared_cases) {
                f.cases.push_back(
                    {f.file + " [" + test.name + "]", &test, check_case(program, test)});
            }
        }
    }

    const std::string report = json ? json_report(files) : text_report(files);
    std::fwrite(report.data(), 1, report.size(), stdout);
    if (std::fflush(stdout) != 0) return STATUS_USAGE;
    return all_passed(files) ? 0 : STATUS_FAILED;
}
