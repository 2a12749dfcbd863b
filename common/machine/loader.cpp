#include "machine/loader.hpp"

#include <cstdio>
#include <cstdlib>

#include <algorithm>

namespace {

bool is_blank(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

struct FileSource {
    std::FILE* file;
    int next() { return getc_unlocked(file); }
};

struct TextSource {
    std::string_view text;
    std::size_t at = 0;
    int next() { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; }
};

Stop refusal(StopKind kind, const char* detail) {
    Stop stop{kind, 0, 0, {}};
    std::snprintf(stop.detail, sizeof stop.detail, "%s", detail);
    return stop;
}

template <class Source>
class Reader {
public:
    explicit Reader(Source& source) : source_(source) {}

    // Next token's value, converted as strtoll converts (saturating at the
    // limits; no leading digits gives 0). False at the end of the input or
    // at a token that is too long (then refused() holds the refusal).
    bool read_value(long long* value) {
        char token[OBJECT_TOKEN_MAX + 1];
        int c;
        do {
            c = source_.next();
        } while (c != EOF && is_blank(c));
        if (c == EOF) return false;
        int length = 0;
        for (; c != EOF && !is_blank(c); c = source_.next()) {
            if (length == OBJECT_TOKEN_MAX) {
                token[length] = '\0';
                refused_ = refusal(StopKind::TOKEN_TOO_LONG, token);
                return false;
            }
            token[length++] = static_cast<char>(c);
        }
        token[length] = '\0';
        *value = std::strtoll(token, nullptr, 10);
        return true;
    }

    std::optional<Stop> load(std::uint8_t* image, WrittenSet* written, WrittenSet* code) {
        written_ = written;
        code_ = code;
        long long address = 0;
        long long op_value = 0;
        long long operand = 0;
        while (read_value(&address) && read_value(&op_value)) {
            int op = static_cast<std::uint8_t>(op_value);
            int span = record_span(static_cast<std::uint8_t>(op));
            if (address < 0 || address > MAX_MEMORY - span) {
                char text[STOP_DETAIL_CAPACITY];
                std::snprintf(text, sizeof text, "%lld", address);
                return refusal(StopKind::ADDRESS_OUT_OF_RANGE, text);
            }
            bool instruction = op != DATA_RECORD_MARKER;
            if (instruction) mark(image, address, op, true);
            if (span == 1 && instruction) continue;
            if (!read_value(&operand)) break;
            if (!instruction) {
                mark(image, address, operand, false);
            } else {
                mark(image, address + 1, operand, true);
                if (span == 3) mark(image, address + 2, operand >> 8, true);
            }
        }
        return refused_;
    }

private:
    // An instruction record's bytes are code; a data record's byte is not,
    // also where it overwrites an instruction's.
    void mark(std::uint8_t* image, long long address, long long value, bool instruction) {
        image[address] = static_cast<std::uint8_t>(value);
        auto at = static_cast<std::size_t>(address);
        if (written_ != nullptr) written_->set(at);
        if (code_ != nullptr) code_->set(at, instruction);
    }

    Source& source_;
    WrittenSet* written_ = nullptr;
    WrittenSet* code_ = nullptr;
    std::optional<Stop> refused_;
};

}  // namespace

std::optional<Stop> load_object_file(const char* file_name, std::uint8_t* image,
                                     WrittenSet* written, WrittenSet* code) {
    std::FILE* file = std::fopen(file_name, "r");
    if (file == nullptr) return refusal(StopKind::FILE_NOT_FOUND, "");
    FileSource source{file};
    Reader<FileSource> reader(source);
    std::optional<Stop> refused = reader.load(image, written, code);
    // A file that opens but cannot be read (a directory) is not found.
    bool unreadable = std::ferror(file) != 0;
    std::fclose(file);
    if (!refused && unreadable) refused = refusal(StopKind::FILE_NOT_FOUND, "");
    return refused;
}

std::optional<Stop> load_object_text(std::string_view text, std::uint8_t* image,
                                     WrittenSet* written, WrittenSet* code) {
    TextSource source{text};
    Reader<TextSource> reader(source);
    return reader.load(image, written, code);
}

void reset_and_load(Machine& m, std::span<const std::uint8_t> image) {
    machine_reset(m);
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), MAX_MEMORY), m.memory);
}

std::optional<Stop> reset_and_load(Machine& m, const ObjectCode& code, WrittenSet* written,
                                   WrittenSet* code_bytes) {
    machine_reset(m);
    return code.is_file ? load_object_file(code.file_name, m.memory, written, code_bytes)
                        : load_object_text(code.text, m.memory, written, code_bytes);
}
