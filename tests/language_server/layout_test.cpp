// In process: the layout restores every example from a text with its
// blanks squeezed and changes only what it may; the message reader frames
// the same messages however the bytes are cut.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "features.hpp"
#include "message_reader.hpp"
#include "run_program.hpp"
#include "source_model.hpp"

namespace {

std::string formatted(const std::string& text) { return formatted_text(analyse_source(text)); }

// Every line's runs of blanks made one and its leading blanks removed;
// comment lines kept.
std::string squeezed(const std::string& text) {
    std::string result;
    bool line_start = true, comment = false, blank = false;
    for (char c : text) {
        if (c == '\n') {
            result += c;
            line_start = true, comment = false, blank = false;
            continue;
        }
        comment = comment || c == ';';
        if (c == ' ' && !comment) {
            blank = !line_start;
            continue;
        }
        if (blank) result += ' ';
        result += c;
        line_start = blank = false;
    }
    return result;
}

}  // namespace

TEST(LanguageServerLayout, RestoresEveryExampleAndChangesOnlyWhatItMay) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        const std::string text = read_file(entry.path());
        EXPECT_EQ(formatted(text), text) << entry.path();
        EXPECT_NE(squeezed(text), text);
        EXPECT_EQ(formatted(squeezed(text)), text) << entry.path();
    }
    EXPECT_EQ(examples, 10);

    const std::string long_line = "ldi 1 ;" + std::string(250, 'x') + "\n";
    struct Case {
        std::string source, laid_out;
    };
    const Case cases[] = {
        {"ldi 5;note  \n", "        ldi 5           ;note\n"},
        {"  [a [b\tldi 1 [c out 0\r\n", "[a [b   ldi 1 [c out 0\r\n"},
        {"[averylonglabel inc\n   hlt\n", "[averylonglabel inc\n        hlt\n"},
        {"ldi 1 ldi 2 add out 0 hlt ; all in one line\n",
         "        ldi 1 ldi 2 add out 0 hlt ; all in one line\n"},
        // Data lines line up behind the longest label of their run.
        {"[a db 1\n[longer dw 2\ndb 3\nhlt\n",
         "[a      db 1\n[longer dw 2\n        db 3\n        hlt\n"},
        // Left alone: a comment line, a line the assembler stops at, the
        // lines from end on, a line read in pieces.
        {"   ; indented\nldi  -1\n", "   ; indented\nldi  -1\n"},
        {"  hlt\n  end   x\n  ldi   1\n", "        hlt\n  end   x\n  ldi   1\n"},
        {long_line, long_line},
        {"ldi 1" + std::string(240, ' ') + "\n", "        ldi 1\n"},
        // A line the layout would push past one read is left as it is.
        {"ldi 1 " + std::string(235, 'a') + ";" + std::string(10, 'c') + "\n",
         "ldi 1 " + std::string(235, 'a') + ";" + std::string(10, 'c') + "\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatted(c.source), c.laid_out) << c.source;
        AssemblyResult before = assemble_source(c.source), after = assemble_source(c.laid_out);
        EXPECT_EQ(before.object_code, after.object_code) << c.source;
    }
}

TEST(LanguageServerReader, SameMessagesHoweverTheBytesAreCut) {
    const std::string next = "Content-Length: 7\r\n\r\n[1,2,3]";
    const std::pair<std::string, std::vector<std::string>> streams[] = {
        {"Content-Length: 2\r\n\r\n{}"
         "content-length:  7 \r\nContent-Type: x\r\n\r\n[1,2,3]"
         "Content-Length: 2x\r\n\r\n{}garbage"  // dropped up to the next header
         "Content-Length: 4\r\n\r\ntrue"
         "Content-Length: 1\r\nContent-Length: 1\r\n\r\n1"
         "Content-Length: 4\r\n\r\n\"\xC3\xA9\"",
         {"{}", "[1,2,3]", "!a Content-Length that is not a number", "true",
          "!Content-Length given twice", "\"\xC3\xA9\""}},
        // A wrong Content-Length costs only its message: one too large, one
        // too small, a body with line ends behind the value.
        {"Content-Length: 3\r\n\r\n{}" + next + "Content-Length: 10\r\n\r\n{\"a\":\"}x\"}" + next +
             "Content-Length: 5\r\n\r\n{\"a\":1}" + next + "Content-Length: 4\r\n\r\n{}\r\n" + next,
         {"{}", "[1,2,3]", "{\"a\":\"}x\"}", "[1,2,3]", "{\"a\":", "[1,2,3]", "{}", "[1,2,3]"}},
    };
    for (const auto& [stream, expected] : streams) {
        for (std::size_t piece : {stream.size(), std::size_t{1}, std::size_t{3}, std::size_t{17}}) {
            MessageReader reader;
            std::vector<std::string> seen;
            for (std::size_t at = 0; at < stream.size(); at += piece) {
                reader.feed(std::string_view(stream).substr(at, piece));
                for (ReadResult r = reader.next(); r.kind != ReadResult::NEED_MORE;
                     r = reader.next())
                    seen.push_back(r.kind == ReadResult::MESSAGE ? r.body : "!" + r.problem);
            }
            EXPECT_EQ(seen, expected) << "pieces of " << piece;
        }
    }
    // A header that never ends is dropped once it is too long.
    MessageReader reader;
    reader.feed(std::string(MAX_HEADER_BYTES + 1, 'x'));
    EXPECT_EQ(reader.next().problem, "a header longer than 8192 bytes");
    reader.feed("Content-Length: 2\r\n\r\n{}");
    EXPECT_EQ(reader.next().body, "{}");
    // The id of a message too big to parse, read from its text: only a
    // top-level member, only a number or a short string.
    const std::pair<const char*, const char*> ids[] = {
        {R"({"params":{"id":7,"s":"\"id\":8"},"id" : 12,"x":1})", "12"},
        {R"({"method":"id","id":"a\"b"})", R"("a\"b")"},
        {R"({"params":{"id":7}})", ""},
        {R"(["id",3])", ""},
        {R"({"id":{"n":1}})", ""},
        {R"({"id":"unterminated)", ""},
    };
    for (auto [text, id] : ids) EXPECT_EQ(top_level_scalar(text, "id"), id) << text;
}
