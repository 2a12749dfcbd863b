#include "driver.hpp"

#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "console.hpp"
#include "pass1.hpp"
#include "pass2.hpp"
#include "tokenizer.hpp"

int current_pass = 1;
char source_name[NAME_CAPACITY];
char pass1_file_name[NAME_CAPACITY];
char object_file_name[NAME_CAPACITY];
std::FILE* source_stream = nullptr;
std::FILE* pass1_stream = nullptr;
std::FILE* object_stream = nullptr;
bool pass1_file_ready = false;
bool pass1_file_complete = false;

namespace {

constexpr const char* INPUT_FILE_ERROR = "\nERROR\n Inputfile error\nprogram terminated!\n";

void close_stream(std::FILE*& stream) {
    if (stream != nullptr) std::fclose(stream);
    stream = nullptr;
}

// Whether the derived name would write over the source itself, spelled the
// same or reached through another path or link.
bool names_source(const char* derived) {
    if (std::strcmp(derived, source_name) == 0) return true;
    std::error_code error;
    return std::filesystem::equivalent(source_name, derived, error);
}

void derive_names() {
    bool fits = true;
    if (contains_dot(source_name)) {
        fits = copy_base_name(source_name, pass1_file_name, NAME_CAPACITY) &&
               copy_base_name(source_name, object_file_name, NAME_CAPACITY);
    } else {
        std::strcpy(pass1_file_name, source_name);
        std::strcpy(object_file_name, source_name);
    }
    // The extensions make a base name of more than 251 characters too long.
    fits = fits && append_extension(pass1_file_name, NAME_CAPACITY, "ps1") &&
           append_extension(object_file_name, NAME_CAPACITY, "hx");
    if (!fits || names_source(pass1_file_name) || names_source(object_file_name)) {
        error_exit("%s", INPUT_FILE_ERROR);
    }
}

}  // namespace

int contains_dot(const char* text) { return std::strchr(text, '.') != nullptr ? 1 : 0; }

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

void error_exit(const char* format, ...) {
    close_stream(source_stream);
    close_stream(pass1_stream);
    close_stream(object_stream);
    char message[512];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (length > 0) console_write(message, std::strlen(message));
    console_exit(FAILURE_STATUS);
}

void run_pass1() {
    location_counter = 0;
    symbol_count = 0;
    line_number = 0;
    end_seen = 0;
    pass1_file_ready = false;
    pass1_file_complete = false;

    console_printf("Stack machine assembler ? ");
    // -1 (longer than 255 characters, or a NUL) and 0 (empty) both refuse.
    if (console_read_line(source_name, NAME_CAPACITY) <= 0) error_exit("%s", INPUT_FILE_ERROR);
    derive_names();

    source_stream = std::fopen(source_name, "r");
    if (source_stream != nullptr) {
        // A directory opens but cannot be read: treat it as not found.
        int first = std::getc(source_stream);
        if (first == EOF && std::ferror(source_stream)) {
            close_stream(source_stream);
        } else if (first != EOF) {
            std::ungetc(first, source_stream);
        }
    }
    if (source_stream == nullptr) {
        console_printf("\n File not found\n");
        return;
    }
    pass1_stream = std::fopen(pass1_file_name, "w");
    if (pass1_stream == nullptr) {
        console_printf("\n File can not create for PASS1\n");
        close_stream(source_stream);
        return;
    }
    pass1_file_ready = true;
    pass1_loop();
}

void assembler_main() {
    close_stream(source_stream);
    close_stream(pass1_stream);
    close_stream(object_stream);
    current_pass = 1;
    run_pass1();
    current_pass = 2;
    bool completed = run_pass2();
    // A pass-1 file this run did not create is left alone.
    bool deleted = pass1_file_ready && std::remove(pass1_file_name) == 0;
    console_exit(completed && deleted ? 0 : FAILURE_STATUS);
}
