// disassembler [-o OUTPUT] OBJECT_FILE: loads an object code file with the
// simulator's loader and writes it back as assembly source.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "disassemble.hpp"

namespace {

constexpr int STATUS_REFUSED = 1;  // the file was refused or the output not written
constexpr int STATUS_USAGE = 2;

int usage(const char* problem) {
    std::fprintf(stderr, "disassembler: %s\nusage: disassembler [-o OUTPUT] OBJECT_FILE\n",
                 problem);
    return STATUS_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0) {
            if (i + 1 == argc) return usage("-o needs a file name");
            output = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return usage((std::string("unknown option ") + argv[i]).c_str());
        } else if (input != nullptr) {
            return usage("more than one object code file");
        } else {
            input = argv[i];
        }
    }
    if (input == nullptr) return usage("no object code file");

    std::vector<std::uint8_t> image(MAX_MEMORY, 0);
    WrittenSet written;
    if (std::optional<Stop> refused = load_object_file(input, image.data(), &written)) {
        // The loader's refusal, worded as the simulator words it.
        std::fputs(stop_message(*refused).c_str(), stderr);
        return STATUS_REFUSED;
    }
    const std::string text = disassemble(image.data(), written);

    std::FILE* out = output != nullptr ? std::fopen(output, "w") : stdout;
    if (out == nullptr) {
        std::fprintf(stderr, "disassembler: cannot write %s\n", output);
        return STATUS_REFUSED;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = (out == stdout ? std::fflush(out) : std::fclose(out)) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "disassembler: cannot write %s\n",
                     output != nullptr ? output : "the standard output");
        return STATUS_REFUSED;
    }
    return 0;
}
