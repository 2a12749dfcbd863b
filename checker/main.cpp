// checker [options] SOURCE_OR_FOLDER...: assembles each source in memory,
// runs it headless once per test case and reports which cases pass, in the
// checker's own text or in a format a grading site or pipeline reads. Exit
// status 0 when all pass, 1 when one fails (a source that cannot be read
// fails its cases), 2 for a usage error or a cases file that cannot be read
// or holds a mistake.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "command_line.hpp"
#include "output_file.hpp"
#include "regrade.hpp"
#include "report.hpp"
#include "run_files.hpp"
#include "similar.hpp"
#include "submissions.hpp"

namespace {

constexpr int STATUS_FAILED = 1;
constexpr int STATUS_USAGE = USAGE_STATUS;

constexpr const char* USAGE =
    "Usage: checker [--format FORMAT] [--cases CASES_FILE] [OPTION]... SOURCE_OR_FOLDER...";

constexpr const char* HELP =
    "Usage: checker [--format FORMAT] [--cases CASES_FILE] [OPTION]... SOURCE_OR_FOLDER...\n"
    "   or: checker --similar [--base FILE]... [--threshold P] [--anonymise KEY_FILE]\n"
    "                         [--format html] SOURCE_OR_FOLDER...\n"
    "Assemble each stack machine source in memory, run it against test cases and\n"
    "report which pass. Without --cases a source's own '; expect:' lines are its\n"
    "one case. A folder is one submission, named after the folder: its only .asm\n"
    "file, or the one --source names; folders need --cases. '--' ends the options.\n"
    "\n"
    "  --cases CASES_FILE  run every case of CASES_FILE against every source\n"
    "  --format FORMAT     text (default), json, gradescope, prairielearn, junit,\n"
    "                      tap, csv, canvas or moodle; gradescope and prairielearn\n"
    "                      take one source\n"
    "  --roster FILE       CSV of folder, student id, name: the ids and names in\n"
    "                      csv, canvas and moodle, and who is missing\n"
    "  --json              the same as --format json\n"
    "  --source NAME       the source file inside each folder\n"
    "  --show-hidden       show the details of hidden cases too\n"
    "  --case-columns      with --format csv: a column per case, its points\n"
    "  --feedback-dir DIR  also write each submission's own report to DIR/NAME.txt,\n"
    "                      hidden cases as a student sees them\n"
    "  --compare OLD.json  print, instead of the report, the submissions whose\n"
    "                      points or verdicts changed since OLD.json (--json)\n"
    "  --similar           find copies: print the pairs of sources at least\n"
    "                      --threshold P percent alike (default 50)\n"
    "  --base FILE         with --similar: code handed out; what it holds is no copy\n"
    "  --anonymise KEY_FILE  with --similar: name sources 'submission N', the key\n"
    "                      to KEY_FILE; --format html: one page, side by side\n"
    "  --reference REF.asm the teacher's solution, for 'out same', 'mem L same N'\n"
    "                      and 'instructions <= reference * K'\n"
    "  -j N                run on N threads, at most one per processor (default:\n"
    "                      one per processor); the report is the same for any N\n"
    "  --seed S            draw the random bytes of 'set L = random' from S, the\n"
    "                      case's random lines and the submission's name\n"
    "  --seed-file FILE    the same with a seed made of FILE's text: keep it private\n"
    "  --timeout SECONDS   fail a run that has used SECONDS of processor time\n"
    "                      (default 10)\n"
    "  -h, --help          show this text and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 when every case passes, 1 when a case fails (a source that\n"
    "cannot be read fails its cases), 2 for a command line that cannot be used or\n"
    "a cases file that cannot be read or holds a mistake. With --compare: 0 when\n"
    "nothing changed, 1 when something did.\n";

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
    OPTION_SEED_FILE,
    OPTION_CASE_COLUMNS,
    OPTION_SIMILAR,
    OPTION_BASE,
    OPTION_THRESHOLD,
    OPTION_ANONYMISE,
    OPTION_ROSTER,
    OPTION_FEEDBACK_DIR,
    OPTION_COMPARE,
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
    {"seed-file", required_argument, nullptr, OPTION_SEED_FILE},
    {"case-columns", no_argument, nullptr, OPTION_CASE_COLUMNS},
    {"similar", no_argument, nullptr, OPTION_SIMILAR},
    {"base", required_argument, nullptr, OPTION_BASE},
    {"threshold", required_argument, nullptr, OPTION_THRESHOLD},
    {"anonymise", required_argument, nullptr, OPTION_ANONYMISE},
    {"roster", required_argument, nullptr, OPTION_ROSTER},
    {"feedback-dir", required_argument, nullptr, OPTION_FEEDBACK_DIR},
    {"compare", required_argument, nullptr, OPTION_COMPARE},
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
    try {
        for (std::size_t t = 1; t < std::min(jobs, count); ++t) threads.emplace_back(worker);
    } catch (const std::system_error&) {
        // Fewer threads do the same work.
    }
    worker();
    for (std::thread& thread : threads) thread.join();
}

// A cases file or reference that cannot be used ends the run before anything runs.
std::optional<std::string> read_input(const char* name, std::string& problem) {
    BoundedRead read = read_bounded(name);
    if (read.too_large) problem = terminal_safe(name) + ": " + too_large_text("file", read);
    if (!read.text && !read.too_large) problem = "cannot read " + terminal_safe(name);
    return read.text;
}

// The assembler's work that the reports do not read, dropped so that a
// class's programs take little memory while their cases run.
void drop_texts(AssemblyResult& program) {
    for (std::string* text : {&program.listing, &program.pass1_text, &program.object_code}) {
        text->clear();
        text->shrink_to_fit();
    }
}

// checker --similar: every source read as grading reads it, then compared
// with every other. A source that cannot be read is named on standard
// error and left out.
// With a key file, sources are named "submission N" (N their place among
// the operands) and the key, one "submission N<TAB>name" line each, goes
// to that file, written beside and renamed.
int find_copies(const std::vector<std::string>& operands, const std::vector<std::string>& bases,
                const char* source_name, int threshold, std::size_t jobs, bool html,
                const char* key_file) {
    std::vector<Fingerprinted> base_prints;
    std::string problem;
    for (const std::string& base : bases) {
        std::optional<std::string> text = read_input(base.c_str(), problem);
        if (!text) return refuse_cases(problem);
        base_prints.push_back(fingerprint(terminal_safe(base), *text));
    }
    std::vector<std::string> names = submission_names(operands);
    if (key_file != nullptr) {
        for (const std::string& input : operands) {
            if (same_file(key_file, input))
                return usage(std::string("the key file '") + key_file + "' is an input");
        }
        std::string key;
        for (std::size_t i = 0; i < names.size(); ++i) {
            key += "submission " + std::to_string(i + 1) + "\t" + terminal_safe(names[i]) + "\n";
            names[i] = "submission " + std::to_string(i + 1);
        }
        if (int error = write_output_file(key_file, key); error != 0) {
            report_write_failure("the key file", key_file, error);
            return STATUS_USAGE;
        }
    }
    std::vector<Fingerprinted> prints(operands.size());
    std::vector<std::string> failures(operands.size());
    on_threads(std::min<std::size_t>(jobs, std::max(1u, std::thread::hardware_concurrency())),
               operands.size(), [&](std::size_t i) {
                   Submission submission = find_submission(operands[i], names[i], source_name);
                   read_source(submission);
                   if (submission.text)
                       prints[i] = fingerprint(terminal_safe(names[i]), *submission.text);
                   else
                       failures[i] = terminal_safe(names[i] + ": " + submission.failure);
               });
    std::vector<Fingerprinted> read;
    for (std::size_t i = 0; i < operands.size(); ++i) {
        if (failures[i].empty()) {
            read.push_back(std::move(prints[i]));
        } else {
            std::fprintf(stderr, "checker: %s\n", failures[i].c_str());
        }
    }
    const std::string text = html ? similarity_html(read, base_prints, threshold)
                                  : similarity_report(read, base_prints, threshold);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) {
        report_output_failure(errno);
        return STATUS_USAGE;
    }
    return 0;
}

// A submission's name as a file name in the feedback folder: bytes other
// than letters, digits, '-', '_' and inner '.' as %XX, so that two names
// never share a file and none leaves the folder or hides in it.
std::string feedback_file_name(const std::string& name) {
    std::string out;
    char escaped[4];
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (std::isalnum(c) || c == '-' || c == '_' || (c == '.' && i > 0)) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out + ".txt";
}

// Each submission's own text report into its file of the folder, written
// beside and renamed; false (said on standard error) when one fails.
bool write_feedback(const std::string& folder, const std::vector<CheckedFile>& files,
                    const std::vector<std::string>& inputs) {
    std::error_code error;
    std::filesystem::create_directory(folder, error);
    bool written = true;
    for (const CheckedFile& f : files) {
        const std::string name = folder + "/" + feedback_file_name(f.file);
        bool clash = false;
        for (const std::string& input : inputs) clash = clash || same_file(name, input);
        if (clash) {
            std::fprintf(stderr, "checker: %s is an input; its feedback is not written\n",
                         terminal_safe(name).c_str());
            written = false;
        } else if (int failure = write_output_file(name, text_report({f}, false, true));
                   failure != 0) {
            report_write_failure("the feedback file", name, failure);
            written = false;
        }
    }
    return written;
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
    bool similar = false;
    std::vector<std::string> base_files;
    int threshold = 50;
    bool seeded = false;
    bool html = false;               // --format html, for --similar
    const char* key_file = nullptr;  // --anonymise
    const char* roster_file = nullptr;
    const char* feedback_dir = nullptr;
    const char* compare_file = nullptr;
    opterr = 0;
    for (;;) {
        int result = getopt_long(argc, argv, ":hj:", LONG_OPTIONS, nullptr);
        if (result == -1) break;
        switch (result) {
            case OPTION_JSON: options.format = Format::JSON; break;
            case OPTION_FORMAT: {
                html = std::string_view(optarg) == "html";
                if (html) break;
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
            case OPTION_CASE_COLUMNS: options.case_columns = true; break;
            case OPTION_SIMILAR: similar = true; break;
            case OPTION_BASE: base_files.emplace_back(optarg); break;
            case OPTION_ANONYMISE: key_file = optarg; break;
            case OPTION_ROSTER: roster_file = optarg; break;
            case OPTION_FEEDBACK_DIR: feedback_dir = optarg; break;
            case OPTION_COMPARE: compare_file = optarg; break;
            case OPTION_THRESHOLD: {
                std::optional<long long> p = whole_number(optarg, 3, true);
                if (!p || *p > 100) return usage(std::string("not a percentage: '") + optarg + "'");
                threshold = static_cast<int>(*p);
                break;
            }
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
                if (seeded) return usage("give one of --seed and --seed-file");
                limits.seed = static_cast<std::uint64_t>(*seed);
                seeded = true;
                break;
            }
            case OPTION_SEED_FILE: {
                if (seeded) return usage("give one of --seed and --seed-file");
                std::string problem;
                std::optional<std::string> text = read_input(optarg, problem);
                if (!text) return refuse_cases(problem);
                if (text->find_first_not_of(" \t\r\n") == std::string::npos)
                    return refuse_cases(terminal_safe(optarg) + ": the seed file is empty");
                limits.seed = seed_from_text(*text);
                seeded = true;
                break;
            }
            case 'h': return print_help(HELP);
            case OPTION_VERSION: return print_version("checker");
            default: return usage(option_problem(result, argv));
        }
    }
    for (int i = optind; i < argc; ++i) operands.emplace_back(argv[i]);
    if (operands.empty()) return usage("no source file");
    if (!similar && (!base_files.empty() || threshold != 50 || key_file != nullptr || html))
        return usage("--base, --threshold, --anonymise and --format html go with --similar");
    if (similar && options.format != Format::TEXT) return usage("--similar writes text or html");
    if (similar && (feedback_dir != nullptr || compare_file != nullptr))
        return usage("--similar takes no --feedback-dir or --compare");
    if (similar)
        return find_copies(operands, base_files, source_name, threshold, jobs, html, key_file);
    // The columns are the cases of a cases file, the same for every row.
    if (options.case_columns && (options.format != Format::CSV || cases_file == nullptr))
        return usage("--case-columns needs --format csv and --cases");
    // A student's own '; expect:' lines would grade a submission by what its
    // author chose to expect.
    for (const std::string& operand : operands) {
        std::error_code error;
        if (cases_file == nullptr && std::filesystem::is_directory(operand, error))
            return usage("the folder '" + operand +
                         "' is a submission: --cases names what it is graded on");
    }
    // More threads than processors would only share them.
    jobs = std::min<std::size_t>(jobs, std::max(1u, std::thread::hardware_concurrency()));
    if (one_submission_format(options.format) && operands.size() > 1)
        return usage("this format describes one submission; " + std::to_string(operands.size()) +
                     " were given");

    // The cases file is read and checked before anything runs.
    std::vector<TestCase> shared_cases;
    std::string problem;
    if (cases_file != nullptr) {
        std::optional<std::string> text = read_input(cases_file, problem);
        if (!text) return refuse_cases(problem);
        std::string error;
        shared_cases = read_cases(*text, error);
        if (!error.empty()) return refuse_cases(terminal_safe(cases_file) + ": " + error);
    }

    for (const std::string& warning :
         format_warnings(shared_cases, options.format, limits.seed == DEFAULT_SEED))
        std::fprintf(stderr, "checker: warning: %s\n", warning.c_str());

    // So is the earlier report to compare with.
    EarlierReport earlier;
    if (compare_file != nullptr) {
        if (options.format != Format::TEXT) return usage("--compare writes text");
        std::optional<std::string> text = read_input(compare_file, problem);
        if (!text) return refuse_cases(problem);
        std::string error;
        earlier = read_earlier_report(*text, error);
        if (!error.empty()) return refuse_cases(terminal_safe(compare_file) + ": " + error);
    }

    // The roster, like the cases, is read before anything runs.
    std::vector<RosterEntry> roster;
    bool gradebook = options.format == Format::CANVAS || options.format == Format::MOODLE;
    if (gradebook && roster_file == nullptr)
        return usage("--format canvas and moodle take the students from --roster");
    if (roster_file != nullptr) {
        if (options.format != Format::CSV && !gradebook)
            return usage("--roster goes with --format csv, canvas or moodle");
        std::optional<std::string> text = read_input(roster_file, problem);
        if (!text) return refuse_cases(problem);
        std::string error;
        roster = read_roster(*text, error);
        if (!error.empty()) return refuse_cases(terminal_safe(roster_file) + ": " + error);
        options.roster = &roster;
    }
    if (cases_file != nullptr)
        options.assignment = std::filesystem::path(cases_file).stem().string();

    // The reference must assemble, or no comparison means anything.
    std::optional<AssemblyResult> reference;
    if (reference_file != nullptr) {
        std::optional<std::string> text = read_input(reference_file, problem);
        if (!text) return refuse_cases(problem);
        reference = assemble_source(*text);
        std::string failure = assembly_failure(*reference);
        if (!failure.empty()) return refuse_cases(terminal_safe(reference_file) + ": " + failure);
    }

    // First every submission is read and assembled, then every case of
    // every submission runs, each on a machine of its own; both go on
    // `jobs` threads, and every result has its place fixed beforehand, so
    // the report is the same for any number of threads. Running out of
    // memory fails the one submission whose work it was.
    const RunLimits& run_limits = limits;
    const AssemblyResult* reference_program = reference ? &*reference : nullptr;
    const std::vector<std::string> names = submission_names(operands);
    std::vector<TestCase> own_cases(operands.size());  // the reports point at them
    std::vector<CheckedFile> files(operands.size());
    std::vector<std::unique_ptr<AssemblyResult>> programs(operands.size());
    std::vector<std::uint64_t> keys(operands.size());
    on_threads(jobs, operands.size(), [&](std::size_t i) {
        CheckedFile& f = files[i];
        f.file = names[i];
        own_cases[i].name = f.file;
        try {
            Submission submission = find_submission(operands[i], names[i], source_name);
            read_source(submission);
            if (!submission.text) {
                // A source that cannot be read fails its cases; the others are graded.
                f.read_failure = submission.failure;
            } else {
                keys[i] = submission_key(submission_identity(operands[i], names[i],
                                                             options.format == Format::GRADESCOPE));
                f.source = submission.path;
                f.source_in_folder = submission.in_folder;
                programs[i] = std::make_unique<AssemblyResult>(assemble_source(*submission.text));
                drop_texts(*programs[i]);
                f.assembly_failure = assembly_failure(*programs[i]);
                if (cases_file == nullptr) own_cases[i] = source_case(*submission.text, f.file);
            }
        } catch (const std::bad_alloc&) {
            programs[i].reset();
            f.assembly_failure.clear();
            f.read_failure = "out of memory while reading and assembling the source";
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
        try {
            c.result = check_case(*programs[task_file[k]], *c.test, run_limits, reference_program,
                                  keys[task_file[k]]);
        } catch (const std::bad_alloc&) {
            c.result = CaseResult{};
            c.result.failures.emplace_back("out of memory while running the case");
        }
        c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });

    if (options.roster != nullptr) {
        for (const std::string& warning : roster_warnings(files, roster))
            std::fprintf(stderr, "checker: roster: %s\n", warning.c_str());
    }
    bool feedback_written = true;
    if (feedback_dir != nullptr) {
        std::vector<std::string> inputs = operands;
        for (const char* input : {cases_file, reference_file, roster_file, compare_file})
            if (input != nullptr) inputs.emplace_back(input);
        for (const CheckedFile& f : files)
            if (!f.source.empty()) inputs.push_back(f.source);
        feedback_written = write_feedback(feedback_dir, files, inputs);
    }
    int changed = 0;
    const std::string text =
        compare_file != nullptr ? regrade_report(files, earlier, changed) : report(files, options);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) {
        report_output_failure(errno);
        return STATUS_USAGE;
    }
    if (!feedback_written) return STATUS_FAILED;
    if (compare_file != nullptr) return changed == 0 ? 0 : STATUS_FAILED;
    return all_passed(files) ? 0 : STATUS_FAILED;
}
