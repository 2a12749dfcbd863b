// Changes made by hand with `set` are part of the recorded run: going back
// before one and forward again goes through it, every view sees the changed
// run, and `run` drops the changes and says so once.
#include <string>

#include <gtest/gtest.h>

#include "run_program.hpp"
#include "session_output.hpp"

namespace {

std::string sort_session(const std::string& script) {
    return session_output("sort.asm", read_file(std::string(EXAMPLES_DIR) + "/sort.asm"), script);
}

// The output from the last line that starts with `from` on.
std::string tail_from(const std::string& out, const std::string& from) {
    std::size_t at = out.rfind("\n" + from);
    return at == std::string::npos ? "(no " + from + ")" : out.substr(at + 1);
}

std::size_t count_of(const std::string& out, const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
    return n;
}

const char* const CHANGED_HALT = "program halted\n873 0078 hlt";

TEST(ChangesByHand, GoingBackAndForwardGoesThroughTheChange) {
    // The run left alone halts after 812 instructions; with `left` = 2 at
    // step 40, after 873.
    struct Case {
        const char* script;
        const char* tail_start;
        const char* expected;
    } cases[] = {
        {"step 40\nset left = 2\ncontinue\n", "program halted", CHANGED_HALT},
        {"step 40\nset left = 2\ngoto 0\ncontinue\n", "program halted", CHANGED_HALT},
        {"step 40\nset left = 2\ncontinue\ngoto 0\ncontinue\n", "program halted", CHANGED_HALT},
        {"step 40\nset left = 2\nback 1\nstep\nprint left\n", "007A",
         "007A (left) = 0x02 2 '\\x02'\n"},
        {"step 40\nset left = 2\nback 5\ngoto 40\nprint left\n", "007A",
         "007A (left) = 0x02 2 '\\x02'\n"},
        // A change where the run halted: it goes on from the changed PC.
        {"continue\nset pc = pass\ngoto 3\ncontinue\n", "program halted",
         "program halted\n1018 0078 hlt"},
        // The stack pointer set by hand, replayed from before it.
        {"step 40\nset left = 2\nstep 30\nset sp = 16000\ngoto 10\ncontinue\n", "program halted",
         "program halted with 382 bytes on the stack\n"
         "of the 382 bytes on the stack, 1 was pushed by line 36: lddw q\n"
         "873 0078 hlt | SP=3E81"},
        // A conditional breakpoint in the changed run, forward and back.
        {"break 78 if [swapped] == 0\nstep 40\nset left = 2\ncontinue\nprint left\ncontinue\n"
         "reverse-continue\nprint left\n",
         "breakpoint 1 at inorder",
         "breakpoint 1 at inorder+16 (line 42)\nat 004E ldi 0\n"
         "    42:         ldi 0\n007A (left) = 0x00 0 '\\0'\n"},
        // The profile counts the changed run.
        {"step 40\nset left = 2\ngoto 0\ncontinue\nprofile\n", "profile of",
         "profile of the run so far: 873 instructions"},
    };
    for (const Case& c : cases) {
        std::string tail = tail_from(sort_session(c.script), c.tail_start);
        EXPECT_EQ(tail.substr(0, std::string(c.expected).size()), c.expected) << c.script;
    }
}

TEST(ChangesByHand, RunDropsTheChangesAndSaysSoOnce) {
    std::string out =
        sort_session("step 40\nset left = 2\nset left = 3\ncontinue\nrun\ncontinue\nrun\n");
    EXPECT_EQ(count_of(out, "the changes made by set are dropped\nstarted again from reset\n"), 1u);
    EXPECT_EQ(count_of(out, "started again from reset\n"), 2u);
    EXPECT_NE(out.find("program halted\n812 0078 hlt"), std::string::npos) << out;
}

}  // namespace
