#include "fuzz_support.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

void enter_work_directory() {
    static bool entered = false;
    if (entered) return;
    entered = true;
    char pattern[] = "/tmp/smfuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) fuzz_fail("no work directory");
}

void write_input_file(const char* file_name, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(file_name, "wb");
    if (file == nullptr) fuzz_fail("cannot create the input file");
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        fuzz_fail("cannot write the input file");
    if (std::fclose(file) != 0) fuzz_fail("cannot close the input file");
}

bool file_present(const char* file_name) {
    struct stat info;
    return stat(file_name, &info) == 0;
}

void fuzz_fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
