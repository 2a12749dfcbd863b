// The Check button: the checker's core run in the page on a source's own
// "; expect:" lines, answered with the report the checker prints for that
// source on the command line (the same verdicts and messages).
#include <emscripten/emscripten.h>

#include <string>

#include "assemble.hpp"
#include "check.hpp"
#include "report.hpp"

namespace {

std::string answer;  // the last report, valid until the next call

}  // namespace

extern "C" {

// name: the file's name as the report shows it (the checker's operand).
EMSCRIPTEN_KEEPALIVE const char* ck_check(const char* source, const char* name) {
    const std::string text(source);
    CheckedFile file;
    file.file = name;
    file.source = name;  // the report's "try: debugger NAME", as for a file of that name
    const AssemblyResult program = assemble_source(text);
    file.assembly_failure = assembly_failure(program);
    const TestCase test = source_case(text, file.file);
    file.cases.push_back({file.file, &test, {}});
    file.cases[0].result = check_case(program, test, RunLimits{}, nullptr, submission_key(file.file));
    answer = report({file}, ReportOptions{});
    return answer.c_str();
}

}  // extern "C"
