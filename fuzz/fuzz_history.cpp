// Time travel against a plain run (tests/support/history_model.hpp): the
// input chooses a program and then every command of the sequence, its
// counts, steps, marks and changes; after each command the recorded run must
// agree with a fresh step-by-step run that applies the same changes.
//
// Input: byte 0 chooses the program (the model's own and two examples),
// the rest are the choices, each a byte or two; past the end, 0.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "fuzz_support.hpp"
#include "history_model.hpp"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fuzz_fail("an example is missing");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Program {
    std::unique_ptr<Machine> start = std::make_unique<Machine>();
    WrittenSet written;
    WrittenSet code;
    std::uint16_t spot = 0;
};

std::vector<Program> load_programs() {
    std::vector<std::string> sources;
    for (const auto& p : history_model::PROGRAMS) sources.emplace_back(p.second);
    for (const char* name : {"/sort.asm", "/subroutine.asm"})
        sources.push_back(read_file(std::string(FUZZ_EXAMPLES) + name));
    std::vector<Program> programs;
    for (const std::string& source : sources) {
        AssemblyResult assembled = assemble_source(source);
        if (!assembled.ok) fuzz_fail("a model program does not assemble");
        Program p;
        reset_and_load(*p.start, assembled.image);
        p.written = assembled.written;
        p.code = assembled.code;
        p.spot = history_model::written_byte(*p.start);
        programs.push_back(std::move(p));
    }
    return programs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Program> programs = load_programs();
    if (size == 0) return 0;
    const Program& p = programs[data[0] % programs.size()];
    std::size_t at = 1;
    auto pick = [&](unsigned n) -> unsigned {
        if (n <= 1) return 0;
        unsigned value = at < size ? data[at++] : 0;
        if (n > 256) value = value << 8 | (at < size ? data[at++] : 0);
        return value % n;
    };
    history_model::Model model(*p.start, p.written, p.code, p.spot);
    int commands = static_cast<int>(std::min<std::size_t>((size - 1) / 2 + 1, 60));
    std::string wrong = model.drive(pick, commands);
    if (!wrong.empty()) {
        std::fprintf(stderr, "%s\n", wrong.c_str());
        fuzz_fail("the recorded run disagrees with the plain run");
    }
    return 0;
}
