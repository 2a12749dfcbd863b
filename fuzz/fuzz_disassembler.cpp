// The disassembler's round trip on arbitrary object code: every file the
// loader accepts is disassembled, the text assembled again in memory, and
// what that loads must equal the original program and data area.
#include <cstdint>
#include <string_view>
#include <vector>

#include "assemble.hpp"
#include "disassemble.hpp"
#include "fuzz_support.hpp"
#include "machine/loader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> image(MAX_MEMORY, 0);
    WrittenSet written;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (load_object_text(text, image.data(), &written)) return 0;  // refused: nothing to compare

    AssemblyResult again = assemble_source(disassemble(image.data(), written));
    if (!again.ok) fuzz_fail("the disassembly does not assemble");
    if (!again.load_error.empty()) fuzz_fail("the disassembly's object code does not load");
    for (int a = 0; a < MAX_MEMORY; ++a) {
        if (again.image[a] != image[a]) fuzz_fail("the disassembly loads different bytes");
    }
    return 0;
}
