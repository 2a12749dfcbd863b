#include "driver.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "command_line.hpp"
#include "console.hpp"
#include "ending_signals.hpp"
#include "files.hpp"
#include "listing.hpp"
#include "names.hpp"
#include "run_files.hpp"
#include "terminal_text.hpp"

namespace {

// The findings on standard error, one line each, and the listing of the
// machine code, when they were asked for.
void report_findings(ProgramFiles& files, const Assembly& a) {
    for (const Finding& f : a.findings)
        std::fprintf(stderr, "%s:%d: warning: %s\n", terminal_safe(files.source_name).c_str(),
                     f.line, f.text.c_str());
    if (files.listing_name == nullptr) return;
    // Created only now that the source has been read.
    int error = files.listing.open(files.listing_name);
    if (error == 0) {
        write_machine_listing(files.listing.stream(), files.source_text, a);
        error = files.listing.commit();
    }
    if (error != 0) {
        report_write_failure("the listing file", files.listing_name, error);
        files.output_failed = true;
    }
}

// Opens the pass-1 file, the assembler's own: a regular file at its name,
// or a free name, is written beside it and renamed over it when pass 1 is
// done. A name taken by a link, a directory or another non-regular file gets
// a fresh name beside it (written back into name), so that nothing a link
// points to is ever written.
int open_pass1_file(ProgramFiles& files) {
    char* name = files.pass1_file_name;
    struct stat status {};
    if (::lstat(name, &status) == 0 && !S_ISREG(status.st_mode)) {
        std::string fresh = std::string(name) + ".XXXXXX";
        if (fresh.size() >= static_cast<std::size_t>(NAME_CAPACITY)) return ENAMETOOLONG;
        int fd = ::mkstemp(fresh.data());
        if (fd < 0) return errno;
        ::close(fd);
        std::strcpy(name, fresh.c_str());
        files.pass1_fresh = true;
        files.pass1_removal = remove_at_signal(name);
    }
    int error = files.pass1_output.open(name);
    if (error != 0 && files.pass1_fresh) ::unlink(name);
    return error;
}

// Reads the source whole, within INPUT_LIMIT, and opens it for pass 1; a
// directory opens but cannot be read, so it counts as not found. A source
// too large (a stream that does not end is cut at the limit) ends the run.
bool open_source(ProgramFiles& files) {
    BoundedRead read = read_bounded(files.source_name);
    if (read.too_large) {
        std::fprintf(stderr, "assembler: %s: %s\n", terminal_safe(files.source_name).c_str(),
                     too_large_text("source", read).c_str());
        console_exit(FAILURE_STATUS);
    }
    if (!read.text) return false;
    files.source_text = std::move(*read.text);
    // fmemopen refuses an empty buffer on some systems: one byte, none read.
    files.source_text.reserve(1);
    files.source = fmemopen(files.source_text.data(), files.source_text.size(), "r");
    return files.source != nullptr;
}

// Pass 1 from the source file into the pass-1 file. Returns true when the
// pass-1 file was created; complete tells whether it was written whole.
bool program_pass1(ProgramFiles& files, Assembly& a, bool& complete) {
    complete = false;
    if (!open_source(files)) {
        console_printf("\n File not found\n");
        return false;
    }
    if (open_pass1_file(files) != 0) {
        console_printf("\n File can not create for PASS1\n");
        close_stream(files.source);
        return false;
    }
    a.source.file = files.source;
    a.pass1_text.file = files.pass1_output.stream();
    AssemblyOutcome outcome = run_pass1(a);
    if (!outcome.ok) error_exit(files, outcome.error_message.c_str());
    close_stream(files.source);
    // A pass-1 file cut short (a full disk) must not be assembled: the file
    // at its name stays as it was.
    if (files.pass1_output.commit() != 0) {
        if (files.pass1_fresh) ::unlink(files.pass1_file_name);
        console_printf("\n File can not create for PASS1\n");
        return false;
    }
    // This run's pass-1 file: a signal ending the run removes it.
    if (!files.pass1_fresh) files.pass1_removal = remove_at_signal(files.pass1_file_name);
    complete = true;
    return true;
}

// Pass 2 from the pass-1 file into the object code file. True when it read
// the whole pass-1 file and wrote the whole object code file.
bool program_pass2(ProgramFiles& files, Assembly& a, bool pass1_complete) {
    console_printf("\n-pass2-\n");
    // Without a pass-1 file from this run, an older one of the same name must
    // not be assembled in its place.
    if (!pass1_complete || (files.pass1 = std::fopen(files.pass1_file_name, "r")) == nullptr) {
        console_printf("\n File not found\n");
        return false;
    }
    if (int error = files.object.open(files.object_file_name)) {
        console_printf("\n File can not create for PASS2\n");
        report_write_failure("the object code file", files.object_file_name, error);
        close_stream(files.pass1);
        return false;
    }
    a.pass1_input.file = files.pass1;
    a.object_code.file = files.object.stream();
    AssemblyOutcome outcome = run_pass2(a);
    // What pass 2 noted stands also before an error: it may explain it.
    if (a.note_findings) {
        SourceLines lines = split_source_lines(files.source_text);
        note_nul_bytes(lines, a.findings);
        note_code_in_pieces(lines, a.findings);
    }
    report_findings(files, a);
    if (!outcome.ok) error_exit(files, outcome.error_message.c_str());
    // An object code file cut short (a full disk) leaves the old one as it
    // was: the pass completed, its output did not.
    if (int error = files.object.commit()) {
        report_write_failure("the object code file", files.object_file_name, error);
        files.output_failed = true;
    }
    close_stream(files.pass1);
    return true;
}

}  // namespace

void assembler_main(const AssemblerOptions& options) {
    ProgramFiles files;
    files.listing_name = options.listing_file;
    if (files.listing_name != nullptr) {
        if (int problem = output_file_problem(files.listing_name)) {
            std::fprintf(stderr, "assembler: cannot create the listing file '%s': %s\n",
                         terminal_safe(files.listing_name).c_str(), std::strerror(problem));
            console_exit(USAGE_STATUS);
        }
    }
    ask_names(files, options.object_file,
              options.object_file != nullptr ? options.pass1_file.c_str() : nullptr);
    // Files named by -o or --listing must not write over the source or each
    // other; checked before any file is opened.
    if (options.object_file != nullptr || files.listing_name != nullptr) {
        FileRole role = options.object_file != nullptr ? FileRole::NAMED_OUTPUT : FileRole::OUTPUT;
        std::vector<RunFile> run = {{"the source file", files.source_name, FileRole::INPUT},
                                    {"the object code file", files.object_file_name, role},
                                    {"the pass-1 file", files.pass1_file_name, role}};
        if (files.listing_name != nullptr)
            run.push_back({"the listing file", files.listing_name, FileRole::NAMED_OUTPUT});
        if (!files_distinct("assembler", run)) console_exit(USAGE_STATUS);
    }
    auto assembly = std::make_unique<Assembly>();
    assembly->note_findings = options.warnings;
    assembly->note_lines = files.listing_name != nullptr;
    if (options.warnings && options.object_file == nullptr &&
        base_cut_in_directory(files.source_name)) {
        std::fprintf(stderr,
                     "%s: warning: the output names end at the first '.', which is in a "
                     "directory name: %s and %s\n",
                     terminal_safe(files.source_name).c_str(),
                     terminal_safe(files.pass1_file_name).c_str(),
                     terminal_safe(files.object_file_name).c_str());
    }
    assembly->listing.writer = console_write;
    bool pass1_complete = false;
    bool pass1_created = program_pass1(files, *assembly, pass1_complete);
    bool completed = program_pass2(files, *assembly, pass1_complete);
    // A pass-1 file this run did not create is left alone.
    bool deleted = pass1_created && std::remove(files.pass1_file_name) == 0;
    if (!completed || !deleted) console_exit(FAILURE_STATUS);
    console_exit(files.output_failed ? OUTPUT_FAILED_STATUS : 0);
}
