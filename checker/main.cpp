// checker [options] SOURCE_OR_FOLDER...: assembles each source in memory,
// runs it headless once per test case and reports which cases pass, in the
// checker's own text or in a format a grading site or pipeline reads. Exit
// status 0 when all pass, 1 when one fails (a source that cannot be read
// fails its cases), 2 for a usage error or a cases file that cannot be read
// or holds a mistake.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "command_line.hpp"
#include "output_file.hpp"
#include "report.hpp"
#include "run_files.hpp"

namespace {

constexpr int STATUS_FAILED = 1;
constexpr int STATUS_USAGE = USAGE_STATUS;

constexpr const char* USAGE =
    "Usage: checker [--format FORMAT] [--cases CASES_FILE] [OPTION]... SOURCE_OR_FOLDER...";

constexpr const char* HELP =
    "Usage: checker [--format FORMAT] [--cases CASES_FILE] [OPTION]... SOURCE_OR_FOLDER...\n"
    "Assemble each stack machine source in memory, run it against test cases and\n"
    "report which pass. Without --cases a source's own '; expect:' lines are its\n"
    "one case. A folder is one submission, named after the folder: its only .asm\n"
    "file, or the one --source names.\n"
    "\n"
    "  --cases CASES_FILE  run every case of CASES_FILE against every source\n"
    "  --format FORMAT     text (default), json, gradescope, prairielearn, junit,\n"
    "                      tap or csv; gradescope and prairielearn take one source\n"
    "  --json              the same as --format json\n"
    "  --source NAME       the source file inside each folder\n"
    "  --show-hidden       show the details of hidden cases too\n"
    "  --reference REF.asm the teacher's solution, for 'out same', 'mem L same N'\n"
    "                      and 'instructions <= reference * K'\n"
    "  -j N                run on N threads (default: one per processor); the\n"
    "                      report is the same for any N\n"
    "  --seed S            draw the random bytes of 'set L = random' from S\n"
    "  --timeout SECONDS   fail a run still going after SECONDS of wall clock\n"
    "                      (default 10)\n"
    "  -h, --help          show this text and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 when every case passes, 1 when a case fails (a source that\n"
    "cannot be read fails its cases), 2 for a command line that cannot be used or\n"
    "a cases file that cannot be read or holds a mistake.\n";

enum : int {
    OPTION_JSON = 256,
    OPTION_CASES,
    OPTION_VERSION,
    OPTION_FORMAT,
    OPTION_SOURCE,
    OPTION_SHOW_HIDDEN,
    OPTION_TIMEOUT,
    OPTION_REFERENCE,
    OPTION_SEED,
};

const option LONG_OPTIONS[] = {
    {"json", no_argument, nullptr, OPTION_JSON},
    {"cases", required_argument, nullptr, OPTION_CASES},
    {"format", required_argument, nullptr, OPTION_FORMAT},
    {"source", required_argument, nullptr, OPTION_SOURCE},
    {"show-hidden", no_argument, nullptr, OPTION_SHOW_HIDDEN},
    {"timeout", required_argument, nullptr, OPTION_TIMEOUT},
    {"reference", required_argument, nullptr, OPTION_REFERENCE},
    {"seed", required_argument, nullptr, OPTION_SEED},
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

// A whole number of at most `digits` digits, 0 allowed or not.
std::optional<long long> whole_number(const char* text, std::size_t digits = 6, bool zero = false) {
    std::string_view word(text);
    if (word.empty() || word.size() > digits ||
        !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long long n = std::stoll(std::string(word));
    if (n == 0 && !zero) return std::nullopt;
    return n;
}

// Calls work(0) to work(count - 1), on at most `jobs` threads.
template <class Work>
void on_threads(std::size_t jobs, std::size_t count, Work work) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < std::min(jobs, count); ++t) threads.emplace_back(worker);
    worker();
    for (std::thread& thread : threads) thread.join();
}

// One submission: a source file, or a folder holding one.
struct Submission {
    std::string name;     // as reports name it
    std::string path;     // the source file; "" when the folder names none
    std::string failure;  // why there is no source text
    std::optional<std::string> text;
};

Submission find_submission(const std::string& operand, const char* source_name) {
    Submission s;
    std::error_code error;
    if (!std::filesystem::is_directory(operand, error)) {
        s.name = s.path = operand;
    } else {
        std::filesystem::path folder(operand);
        while (folder.has_relative_path() && folder.filename().empty())
            folder = folder.parent_path();
        s.name = folder.filename().string();
        if (s.name.empty() || s.name == "." || s.name == "..")
            s.name =
                std::filesystem::absolute(folder, error).lexically_normal().filename().string();
        if (source_name != nullptr) {
            s.path = (folder / source_name).string();
            if (!std::filesystem::is_regular_file(s.path, error))
                s.failure = "no " + std::string(source_name) + " in the folder " + s.name;
        } else {
            std::vector<std::string> sources;
            for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
                if (entry.path().extension() == ".asm" && entry.is_regular_file(error))
                    sources.push_back(entry.path().filename().string());
            }
            std::sort(sources.begin(), sources.end());
            if (sources.size() == 1) {
                s.path = (folder / sources.front()).string();
            } else if (sources.empty()) {
                s.failure = "no .asm file in the folder " + s.name;
            } else {
                std::string names;
                for (const std::string& name : sources) names += (names.empty() ? "" : ", ") + name;
                s.failure = "several .asm files in the folder " + s.name + " (" + names +
                            "); --source names the one to check";
            }
        }
    }
    if (s.failure.empty()) {
        s.text = read_whole_file(s.path);
        if (!s.text) s.failure = "cannot read " + s.path;
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    start_program("checker");
    ReportOptions options;
    const char* cases_file = nullptr;
    const char* source_name = nullptr;
    const char* reference_file = nullptr;
    std::size_t jobs = std::max(1u, std::thread::hardware_concurrency());
    RunLimits limits;
    std::vector<std::string> operands;
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":hj:", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case OPTION_JSON: options.format = Format::JSON; break;
            case OPTION_FORMAT: {
                std::optional<Format> format = format_named(optarg);
                if (!format) return usage(std::string("unknown format '") + optarg + "'");
                options.format = *format;
                break;
            }
            case OPTION_CASES:
                if (cases_file != nullptr) return usage("option '--cases' given twice");
                cases_file = optarg;
                break;
            case OPTION_SOURCE: source_name = optarg; break;
            case OPTION_SHOW_HIDDEN: options.show_hidden = true; break;
            case OPTION_TIMEOUT: {
                std::optional<long long> seconds = whole_number(optarg);
                if (!seconds)
                    return usage(std::string("not a number of seconds: '") + optarg + "'");
                limits.seconds = static_cast<double>(*seconds);
                break;
            }
            case 'j': {
                std::optional<long long> n = whole_number(optarg, 4);
                if (!n) return usage(std::string("not a number of threads: '") + optarg + "'");
                jobs = static_cast<std::size_t>(*n);
                break;
            }
            case OPTION_REFERENCE: reference_file = optarg; break;
            case OPTION_SEED: {
                std::optional<long long> seed = whole_number(optarg, 18, true);
                if (!seed) return usage(std::string("not a seed: '") + optarg + "'");
                limits.seed = static_cast<std::uint64_t>(*seed);
                break;
            }
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("checker");
            default: return usage(option_problem(result, argv));
        }
    }
    for (int i = optind; i < argc; ++i) operands.emplace_back(argv[i]);
    if (operands.empty()) return usage("no source file");
    if (one_submission_format(options.format) && operands.size() > 1)
        return usage("this format describes one submission; " + std::to_string(operands.size()) +
                     " were given");

    // The cases file is read and checked before anything runs.
    std::vector<TestCase> shared_cases;
    if (cases_file != nullptr) {
        std::optional<std::string> text = read_whole_file(cases_file);
        if (!text) return refuse_cases(std::string("cannot read ") + cases_file);
        std::string error;
        shared_cases = read_cases(*text, error);
        if (!error.empty()) return refuse_cases(std::string(cases_file) + ": " + error);
    }

    // The reference must assemble, or no comparison means anything.
    std::optional<AssemblyResult> reference;
    if (reference_file != nullptr) {
        std::optional<std::string> text = read_whole_file(reference_file);
        if (!text) return refuse_cases(std::string("cannot read ") + reference_file);
        reference = assemble_source(*text);
        std::string failure = assembly_failure(*reference);
        if (!failure.empty()) return refuse_cases(std::string(reference_file) + ": " + failure);
    }

    // First every submission is read and assembled, then every case of
    // every submission runs, each on a machine of its own; both go on
    // `jobs` threads, and every result has its place fixed beforehand, so
    // the report is the same for any number of threads.
    const RunLimits& run_limits = limits;
    const AssemblyResult* reference_program = reference ? &*reference : nullptr;
    std::vector<TestCase> own_cases(operands.size());  // the reports point at them
    std::vector<CheckedFile> files(operands.size());
    std::vector<std::unique_ptr<AssemblyResult>> programs(operands.size());
    on_threads(jobs, operands.size(), [&](std::size_t i) {
        Submission submission = find_submission(operands[i], source_name);
        CheckedFile& f = files[i];
        f.file = submission.name;
        if (!submission.text) {
            // A source that cannot be read fails its cases; the others are graded.
            f.read_failure = submission.failure;
            own_cases[i].name = f.file;
        } else {
            programs[i] = std::make_unique<AssemblyResult>(assemble_source(*submission.text));
            f.assembly_failure = assembly_failure(*programs[i]);
            if (cases_file == nullptr) own_cases[i] = source_case(*submission.text, f.file);
        }
        if (cases_file == nullptr) {
            f.cases.push_back({f.file, &own_cases[i], {}});
        } else {
            for (const TestCase& test : shared_cases)
                f.cases.push_back({f.file + " [" + test.name + "]", &test, {}});
        }
    });
    std::vector<CheckedCase*> tasks;
    std::vector<std::size_t> task_file;
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (CheckedCase& c : files[i].cases) {
            tasks.push_back(&c);
            task_file.push_back(i);
        }
    }
    on_threads(jobs, tasks.size(), [&](std::size_t k) {
        CheckedCase& c = *tasks[k];
        const CheckedFile& f = files[task_file[k]];
        if (!f.read_failure.empty()) {
            c.result.failures.push_back(f.read_failure);
            return;
        }
        auto start = std::chrono::steady_clock::now();
        c.result = check_case(*programs[task_file[k]], *c.test, run_limits, reference_program);
        c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });

    const std::string text = report(files, options);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) {
        report_output_failure(errno);
        return STATUS_USAGE;
    }
    return all_passed(files) ? 0 : STATUS_FAILED;
}
