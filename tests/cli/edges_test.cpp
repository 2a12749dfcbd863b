// A careless or hostile user's runs, one table per section of the manual:
// each row is a shell script (setup, run, look) and the bytes it prints.
#include <gtest/gtest.h>

#include "cli_support.hpp"

namespace {

struct Row {
    const char* script;
    const char* output;  // standard output and error of the script
};

void run_table(const Row* rows, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        TempDir dir;
        RunResult r = shell(dir, std::string("exec 2>&1; ") + rows[i].script);
        EXPECT_EQ(r.output, rows[i].output) << rows[i].script;
    }
}

template <std::size_t N>
void run_table(const Row (&rows)[N]) {
    run_table(rows, N);
}

TEST(Edges, Assembler) {
    const Row rows[] = {
        // The pass-1 file written afresh: after a pass-2 error it holds this
        // run's lines, nothing is left beside it, and a success removes it.
        {"printf 'nop\\njmp nowhere\\n' > p.asm; $A p.asm >/dev/null; $A p.asm >/dev/null;"
         "printf 'ldi 1\\njmp far\\n' > p.asm; $A p.asm >/dev/null; echo $?; ls; cat p.ps1;"
         "printf 'nop\\n' > p.asm; $A p.asm >/dev/null; echo $?; ls",
         "255\nhello.asm\nhello.hx\np.asm\np.ps1\nldi 1 \njmp far \n0\nhello.asm\nhello.hx\n"
         "p.asm\np.hx\n"},
        // A link at the pass-1 name: a fresh name beside it, the link and
        // what it names untouched, even after an error.
        {"echo notes > n.txt; ln -s n.txt p.ps1; printf 'jmp x\\n' > p.asm; $A p.asm >/dev/null;"
         "cat n.txt; ls p.ps1.* | wc -l; rm p.ps1.*; printf 'nop\\n' > p.asm; $A p.asm >/dev/null;"
         "echo $?; cat n.txt; ls",
         "notes\n1\n0\nnotes\nhello.asm\nhello.hx\nn.txt\np.asm\np.hx\np.ps1\n"},
        // A device given with -o: the pass-1 name comes from the source.
        {"$A -o /dev/null hello.asm >/dev/null; echo $?; ls", "0\nhello.asm\nhello.hx\n"},
        // Sources are read up to 16 MiB; a stream that does not end is cut there.
        {"$A /dev/zero >/dev/null; echo $?; truncate -s 17M big.asm; $A big.asm >/dev/null;"
         "echo $?; ls",
         "assembler: /dev/zero: source too large: more than 16777216 bytes (the limit is 16 MiB)"
         "\n255\nassembler: big.asm: source too large: 17825792 bytes (the limit is 16 MiB)\n"
         "255\nbig.asm\nhello.asm\nhello.hx\n"},
        // Warnings asked for that cannot be written: status 1.
        {"printf 'ldi 999\\nhlt\\n' > w.asm; $A --warnings w.asm >/dev/null 2>/dev/full; echo $?",
         "1\n"},
        // Comment text past column 255 read as code is warned of.
        {"python3 -c \"print('; ' + 'a' * 252 + ' ldi 99')\" > l.asm; $A --warnings l.asm "
         ">/dev/null;"
         "echo $?",
         "l.asm:2: warning: the text line goes on past 255 characters: this piece is read as a "
         "line of its own, and it holds code\n0\n"},
        // Its listing into a full pipe: SIGTERM still ends it, and neither
        // the pass-1 file nor a temporary file is left.
        {"python3 -c \"print('nop\\n'*300000)\" > big.asm; mkfifo f; $A big.asm > f & pid=$!;"
         "exec 3<f; while ! ls -A | grep -q '^[.]big'; do sleep 0.05; done; sleep 0.3;"
         "kill -TERM $pid; for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1;"
         "done; kill -0 $pid 2>/dev/null && { echo stuck; kill -KILL $pid; }; wait $pid; echo $?;"
         "ls -A",
         "143\nbig.asm\nf\nhello.asm\nhello.hx\n"},
    };
    run_table(rows);
}

// A byte count as a list of sevens for a stack line.
#define SEVENS(n) "$(python3 -c \"print(' '.join(['7']*" #n "))\")"

TEST(Edges, Checker) {
    const Row rows[] = {
        // A stack preset that cannot fit with the return address is a
        // mistake of the cases file; one byte less runs.
        {"printf '[sub ret\\n' > s.asm; printf 'case c\\nstack %s\\ncall sub\\n' \"" SEVENS(
             4094) "\" > c.cases; $C --cases c.cases s.asm; echo $?",
         "checker: c.cases: line 2: stack: more than 4093 bytes do not fit below the call's "
         "return address\n2\n"},
        {"printf '[sub ret\\n' > s.asm; printf 'case c\\nstack %s\\ncall sub\\n' \"" SEVENS(
             4093) "\" > c.cases; $C --cases c.cases s.asm; echo $?",
         "PASS s.asm [c]\n1 passed, 0 failed\n0\n"},
        // A FIFO among the sources: refused on its own, the others checked.
        {"printf 'hlt\\n; expect: instructions 1\\n' > a.asm; cp a.asm c.asm; mkfifo b.asm;"
         "timeout 20 $C a.asm b.asm c.asm; echo $?",
         "PASS a.asm\nFAIL b.asm: b.asm: not a regular file\nPASS c.asm\n2 passed, 1 failed\n1\n"},
        // A source past the bound fails alone.
        {"truncate -s 17M big.asm; printf 'hlt\\n; expect: instructions 1\\n' > a.asm;"
         "$C big.asm a.asm; echo $?",
         "FAIL big.asm: source too large: 17825792 bytes (the limit is 16 MiB)\nPASS a.asm\n"
         "1 passed, 1 failed\n1\n"},
    };
    run_table(rows);
}

TEST(Edges, Debugger) {
    const Row rows[] = {
        {"truncate -s 17M big.asm; $G big.asm </dev/null; echo $?",
         "\n source too large: 17825792 bytes (the limit is 16 MiB)\n255\n"},
        {"printf '[sub ret\\n' > s.asm; $G --call sub --stack \"" SEVENS(
             4094) "\" s.asm </dev/null; echo $?",
         "debugger: --stack: more than 4093 bytes do not fit below the return address\n2\n"},
    };
    run_table(rows);
}

// At a terminal the typed lines are kept; a link at the history's name is
// left alone.
TEST(Edges, DebuggerHistory) {
    if (!file_exists("/usr/bin/script")) GTEST_SKIP() << "SKIPPED: no script";
    const Row rows[] = {
        {"echo notes > n.txt; mkdir -p st/stack-machine-toolchain;"
         "ln -s $PWD/n.txt st/stack-machine-toolchain/debugger_history;"
         "printf 'step\\nquit\\n' | XDG_STATE_HOME=$PWD/st timeout 20 script -qec \"$G hello.asm\""
         " /dev/null >/dev/null; cat n.txt; ls -l st/stack-machine-toolchain | grep -c '^l'",
         "notes\n1\n"},
    };
    run_table(rows);
}

TEST(Edges, DebugAdapter) {
    const Row rows[] = {
        // Answers that cannot be written: one line, status 1.
        {"printf 'Content-Length: "
         "49\\r\\n\\r\\n{\"seq\":1,\"type\":\"request\",\"command\":\"initialize\"}' | $P "
         ">/dev/full; echo $?",
         "debug-adapter: cannot write the standard output: No space left on device\n1\n"},
        // 150,000 levels deep: refused with an error, the next request answered.
        {"python3 -c \"import sys; b='['*150000+']'*150000; "
         "i='{\\\"seq\\\":2,\\\"type\\\":\\\"request\\\",\\\"command\\\":\\\"initialize\\\"}'; "
         "sys.stdout.write(''.join('Content-Length: %d\\r\\n\\r\\n%s' % (len(m), m) for m in (b, "
         "i)))\" "
         "| $P | tr '\\r' '\\n' | grep -o 'nests deeper than 256 levels\",\"request_seq\":0\\|"
         "\"request_seq\":2,\"seq\":[0-9]*,\"success\":true'; echo $?",
         "nests deeper than 256 "
         "levels\",\"request_seq\":0\n\"request_seq\":2,\"seq\":2,\"success\":"
         "true\n0\n"},
        // A source past the bound: the launch fails naming it.
        {"truncate -s 17M big.asm; python3 -c \"import sys; m='{\\\"seq\\\":1,\\\"type\\\":"
         "\\\"request\\\",\\\"command\\\":\\\"launch\\\",\\\"arguments\\\":{\\\"program\\\":"
         "\\\"big.asm\\\"}}'; sys.stdout.write('Content-Length: %d\\r\\n\\r\\n%s' % (len(m), m))\" "
         "| $P | tr '\\r' '\\n' | grep -o '\"message\":\"[^\"]*\"'",
         "\"message\":\"cannot debug big.asm: source too large: 17825792 bytes (the limit is 16 "
         "MiB)\"\n"},
    };
    run_table(rows);
}

// Names on standard error are escaped as the reports escape them: no control
// byte of a file name or an option reaches the terminal.
TEST(Edges, NamesOnStandardError) {
    const Row rows[] = {
        {"$A --listing \"$(printf 'no/\\033[2J.lst')\" hello.asm >/dev/null; echo $?",
         "assembler: cannot create the listing file 'no/\\e[2J.lst': No such file or "
         "directory\n2\n"},
        {"$S \"$(printf -- '--x\\001')\" 2>&1 | head -1", "simulator: unknown option '--x\\x01'\n"},
        {"$A hello.asm >/dev/null; $S --trace \"$(printf 'no/\\033.t')\" hello.hx </dev/null;"
         "echo $?",
         "simulator: cannot create the trace file 'no/\\e.t': No such file or directory\n2\n"},
        {"$C --cases \"$(printf 'no\\033.cases')\" hello.asm; echo $?",
         "checker: cannot read no\\e.cases\n2\n"},
    };
    run_table(rows);
}

// As a user whom the folder refuses new files (root is let in anywhere).
#define AS_USER "$(test $(id -u) = 0 && echo setpriv --reuid=65534 --regid=65534 --clear-groups) "

TEST(Edges, Simulator) {
    const Row rows[] = {
        // Links at the memory maps' names are replaced, never written
        // through, each said once; a FIFO there is refused.
        {"echo notes > notes.txt; ln -s notes.txt memmap.txt; ln -s memmap.txt memmap2.txt;"
         "$S hello.hx </dev/null >/dev/null; echo $?; cat notes.txt; ls -l memmap* | cut -c1",
         "simulator: 'memmap.txt' was a link: replaced by the memory map file\n"
         "simulator: 'memmap2.txt' was a link: replaced by the memory map file\n0\nnotes\n-\n-\n"},
        {"printf '0 0 1\\n2 65\\n' > c.hx; $S --check c.hx </dev/null >/dev/null 2>/dev/full;"
         "echo $?",
         "1\n"},
        {"mkfifo memmap.txt; timeout 10 $S hello.hx </dev/null >/dev/null; echo $?",
         "simulator: cannot write the memory map file 'memmap.txt': not a regular file\n1\n"},
    };
    run_table(rows);
}

// Documents past 2 MiB, or past 8 MiB together, are refused with a
// diagnostic; a whole new text brings one back.
TEST(Edges, LanguageServer) {
    const Row rows[] = {
        {"printf 'Content-Length: "
         "46\\r\\n\\r\\n{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\"}' | "
         "$L >/dev/full; echo $?",
         "language-server: cannot write the standard output: No space left on device\n1\n"},
        {"python3 '" EDGES_LANGUAGE_SERVER_SCRIPT "' | $L | tr '\\r' '\\n' |"
         "grep -o '\"message\":\"[^\"]*large[^\"]*\"\\|\"uri\":\"file:///p4.asm\","
         "\"version\":2\\|\"id\":3[^}]*}'",
         "\"message\":\"document too large: 3145728 bytes (the limit is 2 MiB)\"\n"
         "\"message\":\"open documents too large together: 9595000 bytes (the limit is 8 MiB); "
         "close some\"\n"
         "\"message\":\"document too large: 3145728 bytes (the limit is 2 MiB)\"\n"
         "\"uri\":\"file:///p4.asm\",\"version\":2\n"
         "\"id\":3,\"jsonrpc\":\"2.0\",\"result\":null}\n"},
    };
    run_table(rows);
}

TEST(Edges, SimulatorAsUser) {
    if (!file_exists("/usr/bin/setpriv")) GTEST_SKIP() << "SKIPPED: no setpriv";
    const Row rows[] = {
        // A writable memory map in a folder that takes no new file: refused,
        // naming the folder, and the old map stays whole.
        {"mkdir ro; cp hello.hx ro/; echo old > ro/memmap.txt; chmod 666 ro/memmap.txt;"
         "chmod 555 ro; chmod 755 .; cd ro; " AS_USER "$S hello.hx </dev/null >/dev/null;"
         "echo $?; cat memmap.txt",
         "simulator: cannot write the memory map file 'memmap.txt': the folder '.' takes no new "
         "file: Permission denied\nsimulator: cannot write the memory map file 'memmap2.txt': the "
         "folder '.' takes no new file: Permission denied\n1\nold\n"},
    };
    run_table(rows);
}

// Write-protected results are refused by every output alike, as a user
// (root may write anything).
TEST(Edges, WriteProtectedAsUser) {
    if (!file_exists("/usr/bin/setpriv")) GTEST_SKIP() << "SKIPPED: no setpriv";
    const Row rows[] = {
        {"chmod 777 .; chmod 444 hello.hx; " AS_USER "$A hello.asm >/dev/null; echo $?; ls",
         "assembler: cannot write the object code file 'hello.hx': Permission denied\n255\n"
         "hello.asm\nhello.hx\n"},
        {"chmod 777 .; echo old > d.txt; chmod 444 d.txt; " AS_USER "$D -o d.txt hello.hx; echo $?;"
         "cat d.txt",
         "disassembler: cannot write the output file 'd.txt': Permission denied\n1\nold\n"},
        {"chmod 777 .; echo old > memmap.txt; chmod 444 memmap.txt; " AS_USER
         "$S hello.hx </dev/null >/dev/null; echo $?; cat memmap.txt",
         "simulator: cannot write the memory map file 'memmap.txt': Permission denied\n1\nold\n"},
    };
    run_table(rows);
}

}  // namespace
