#include "names.hpp"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "console.hpp"

namespace {

constexpr const char* INPUT_FILE_ERROR = "\nERROR\n Inputfile error\nprogram terminated!\n";

// Whether the derived name would write over the source itself, spelled the
// same or reached through another path or link.
bool names_source(const char* source_name, const char* derived) {
    if (std::strcmp(derived, source_name) == 0) return true;
    std::error_code error;
    return std::filesystem::equivalent(source_name, derived, error);
}

// A device or a FIFO: written in place, with no folder of its own to hold
// files derived from its name.
bool names_device(const char* name) {
    struct stat status {};
    return ::stat(name, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

}  // namespace

bool contains_dot(const char* text) { return std::strchr(text, '.') != nullptr; }

bool copy_base_name(const char* text, char* name, int capacity) {
    const char* dot = std::strchr(text, '.');
    std::size_t length = dot != nullptr ? static_cast<std::size_t>(dot - text) : std::strlen(text);
    if (length + 1 > static_cast<std::size_t>(capacity)) return false;
    std::memcpy(name, text, length);
    name[length] = '\0';
    return true;
}

bool append_extension(char* name, int capacity, const char* extension) {
    std::size_t length = std::strlen(name);
    std::size_t added = 1 + std::strlen(extension);
    if (length + added + 1 > static_cast<std::size_t>(capacity)) return false;
    name[length] = '.';
    std::strcpy(name + length + 1, extension);
    return true;
}

bool base_cut_in_directory(const char* text) {
    const char* dot = std::strchr(text, '.');
    const char* slash = std::strrchr(text, '/');
    return dot != nullptr && slash != nullptr && dot < slash;
}

void ask_names(ProgramFiles& files, const char* object_name, const char* pass1_name) {
    console_printf("Stack machine assembler ? ");
    // -1 (longer than 255 characters, or a NUL) and 0 (empty) both refuse.
    if (console_read_line(files.source_name, NAME_CAPACITY) <= 0)
        error_exit(files, INPUT_FILE_ERROR);
    // A device or FIFO given with -o has no pass-1 name beside it: the
    // source gives it, as without -o.
    bool pass1_from_source = object_name == nullptr || names_device(object_name);
    bool fits = true;
    if (object_name != nullptr) {
        // Checked to fit when the command line was read.
        std::strcpy(files.object_file_name, object_name);
    }
    if (!pass1_from_source) {
        std::strcpy(files.pass1_file_name, pass1_name);
    } else if (contains_dot(files.source_name)) {
        fits = copy_base_name(files.source_name, files.pass1_file_name, NAME_CAPACITY) &&
               (object_name != nullptr ||
                copy_base_name(files.source_name, files.object_file_name, NAME_CAPACITY));
    } else {
        std::strcpy(files.pass1_file_name, files.source_name);
        if (object_name == nullptr) std::strcpy(files.object_file_name, files.source_name);
    }
    // The extensions make a base name of more than 251 characters too long.
    fits =
        fits &&
        (!pass1_from_source || append_extension(files.pass1_file_name, NAME_CAPACITY, "ps1")) &&
        (object_name != nullptr || append_extension(files.object_file_name, NAME_CAPACITY, "hx"));
    // Names given with -o are checked with the other options' files.
    if (!fits || (pass1_from_source && names_source(files.source_name, files.pass1_file_name)) ||
        (object_name == nullptr && names_source(files.source_name, files.object_file_name))) {
        error_exit(files, INPUT_FILE_ERROR);
    }
}
