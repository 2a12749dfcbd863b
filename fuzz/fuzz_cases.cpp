// The checker's cases-file reader on arbitrary bytes: either cases and no
// error, or one error line, never both; every case has a name of its own.
// The same bytes read as a source's "; expect:" lines give problems that
// each name their line.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cases.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::vector<TestCase> cases = read_cases(text, error);
    if (error.empty()) {
        if (cases.empty()) fuzz_fail("no case and no error");
        for (std::size_t i = 0; i < cases.size(); ++i) {
            if (cases[i].name.empty()) fuzz_fail("a case without a name");
            auto later = cases.begin() + static_cast<std::ptrdiff_t>(i) + 1;
            if (std::any_of(later, cases.end(),
                            [&](const TestCase& c) { return c.name == cases[i].name; }))
                fuzz_fail("two cases of one name");
        }
    } else {
        if (error.find('\n') != std::string::npos) fuzz_fail("an error of more than one line");
        if (error.rfind("line ", 0) != 0 && error != "no case in the file")
            fuzz_fail("an error that names no line");
    }

    TestCase own = source_case(text, "fuzz");
    for (const std::string& problem : own.problems) {
        if (problem.find('\n') != std::string::npos) fuzz_fail("a problem of more than one line");
        if (problem.rfind("line ", 0) != 0 && problem.rfind("nothing to check", 0) != 0)
            fuzz_fail("a problem that names no line");
    }
    return 0;
}
