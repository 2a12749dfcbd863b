// The assembler's two passes on an arbitrary source text, through its real
// entry point: the source is written to prog.asm, the console double answers
// the prompt with that name, and every exit ends the input. A run may end
// with 0 or 255 only; on success the pass-1 file is gone and the object code
// file holds nothing but records of decimal numbers. The same text assembled
// in memory must give the same console text, files and status.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "assemble.hpp"
#include "console_double.hpp"
#include "driver.hpp"
#include "fuzz_support.hpp"

namespace {

// Every line: two or three decimal numbers (a '-' allowed in front of the
// address), separated by single blanks, instruction records ending in a blank.
bool records_well_formed(const char* name) {
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return false;
    std::string line;
    bool good = true;
    for (int c; good && (c = std::fgetc(file)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        int numbers = 0;
        std::size_t i = 0;
        while (good && i < line.size()) {
            std::size_t start = i;
            if (numbers == 0 && line[i] == '-') ++i;
            while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
            good = i > start && (i == line.size() || line[i] == ' ');
            ++numbers;
            if (i < line.size()) ++i;
        }
        good = good && numbers >= 2 && numbers <= 3;
        line.clear();
    }
    std::fclose(file);
    return good && line.empty();
}

std::string file_or_none(const char* name) {
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return "<none>";
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

// The program's console text and files, composed from the in-memory result:
// pass 2 runs unless pass 1 failed, and the object code file is written only
// when the assembly succeeds (a failed one leaves what was there: nothing).
void compare_with_memory(const std::uint8_t* data, std::size_t size, const std::string& output,
                         int status) {
    AssemblyResult r = assemble_source(std::string_view(reinterpret_cast<const char*>(data), size));
    bool reached_pass2 = r.ok || !r.object_code.empty();
    std::string expected = "Stack machine assembler ? " + r.listing +
                           (reached_pass2 ? "\n-pass2-\n" : "") + r.error_message;
    if (output != expected) fuzz_fail("in memory: another console text");
    if (status != (r.ok ? 0 : 255)) fuzz_fail("in memory: another outcome");
    if (file_or_none("prog.hx") != (r.ok ? r.object_code : "<none>"))
        fuzz_fail("in memory: another object code file");
    if (file_or_none("prog.ps1") != (r.ok ? "<none>" : r.pass1_text))
        fuzz_fail("in memory: another pass-1 file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    enter_work_directory();
    std::remove("prog.ps1");
    std::remove("prog.hx");
    write_input_file("prog.asm", data, size);
    console_double_reset("", "prog.asm");
    int status = -1;
    try {
        assembler_main();
    } catch (const ExitRequest& e) {
        status = e.status;
    }
    std::string output = console_double_output();
    if (output.rfind("Stack machine assembler ? ", 0) != 0) fuzz_fail("no prompt");
    if (status == 0) {
        if (file_present("prog.ps1")) fuzz_fail("success left the pass-1 file");
        if (!records_well_formed("prog.hx"))
            fuzz_fail("success wrote a malformed object code file");
        // Comments are echoed with a blank after every character, so an
        // unbroken "ERROR" can only be a message.
        if (output.find("ERROR") != std::string::npos) fuzz_fail("success printed an error");
    } else if (status != 255) {
        fuzz_fail("exit status other than 0 or 255");
    }
    compare_with_memory(data, size, output, status);
    return 0;
}
