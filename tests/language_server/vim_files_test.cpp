// The Vim files in a headless Vim and Neovim: on the corner-case file the
// filetype and its options, and a syntax group at every byte that agrees
// with what the language server (the assembler's scanner) reads there; in
// Neovim the client settings start the server. Skipped where neither
// editor is installed.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "run_program.hpp"
#include "source_model.hpp"

namespace {

std::string installed(const std::string& name) {
    RunResult r = run_program("/bin/sh", {"-c", "command -v " + name}, "", ".");
    return r.exit_status == 0 ? r.output.substr(0, r.output.find('\n')) : "";
}

// Per line, the syntax group of every byte, then the options.
constexpr const char* DUMP = R"(let out = []
for l in range(1, line('$'))
  call add(out, join(map(range(1, col([l, '$']) - 1), 'synIDattr(synID(l, v:val, 1), "name")'), ','))
endfor
call add(out, &filetype . ' et=' . &expandtab . ' cms=' . &commentstring)
call writefile(out, 'syntax.txt')
)";

// The group a token's bytes must have, by role; "" for none.
std::vector<std::string> groups_of(const SourceToken& t) {
    switch (t.role) {
        case Role::MNEMONIC: return {"stackasmMnemonic"};
        case Role::DIRECTIVE: return {"stackasmDirective"};
        case Role::LABEL_DEFINITION: return {"stackasmLabel", "stackasmOperandLabel"};
        case Role::LABEL_USE: return {"stackasmOperand"};
        case Role::NUMBER: return {"stackasmNumber"};
        case Role::COMMENT: return {"stackasmComment", "stackasmExpect"};
        default: return {"stackasmName", "stackasmInvalid", ""};
    }
}

}  // namespace

TEST(VimFiles, FiletypeOptionsAndSyntaxAgreeWithTheServer) {
    const std::string vim = installed("vim"), nvim = installed("nvim");
    if (vim.empty() && nvim.empty()) GTEST_SKIP() << "neither vim nor nvim is installed";
    const std::string source = read_file(EDITORS_DIR "/test/corners.asm");
    const SourceModel model = analyse_source(source);
    for (const std::string& editor : {vim, nvim}) {
        if (editor.empty()) continue;
        SCOPED_TRACE(editor);
        TempDir dir;
        write_file(dir.path + "/corners.asm", source);
        write_file(dir.path + "/dump.vim", DUMP);
        write_file(dir.path + "/vimrc", "set nocompatible\nset rtp^=" EDITORS_DIR
                                        "/vim\nfiletype plugin on\nsyntax on\n");
        std::vector<std::string> arguments = {"-u", "vimrc", "-i", "NONE", "-n"};
        arguments.push_back(editor == nvim ? "--headless" : "-es");
        for (const char* a : {"-c", "source dump.vim", "-c", "qa!", "corners.asm"})
            arguments.push_back(a);
        RunResult r = run_program(editor, arguments, "", dir.path);
        ASSERT_EQ(r.exit_status, 0) << r.errors;
        std::istringstream dump(read_file(dir.path + "/syntax.txt"));
        std::vector<std::vector<std::string>> lines;
        for (std::string line; std::getline(dump, line);) {
            lines.emplace_back();
            std::istringstream cells(line + ",");
            for (std::string cell; std::getline(cells, cell, ',');) lines.back().push_back(cell);
        }
        ASSERT_EQ(static_cast<int>(lines.size()), model.source.line_count());
        EXPECT_EQ(lines.back(), (std::vector<std::string>{"stackasm et=1 cms=; %s"}));
        lines.pop_back();
        // Each byte's group from the server's tokens ("" between tokens); a
        // line the assembler does not read is Unread.
        int read_lines = model.line_of_assembler_line.back() + 1;
        for (int l = 0; l < static_cast<int>(lines.size()); ++l) {
            std::vector<std::vector<std::string>> wanted(lines[static_cast<std::size_t>(l)].size(),
                                                         std::vector<std::string>{""});
            for (const SourceToken& t : model.tokens) {
                if (t.line != l) continue;
                int from = t.role == Role::LABEL_DEFINITION ? t.column - 1 : t.column;
                for (int c = from; c < t.column + t.length; ++c)
                    wanted[static_cast<std::size_t>(c)] = groups_of(t);
            }
            for (std::size_t c = 0; c < wanted.size(); ++c) {
                const std::string& seen = lines[static_cast<std::size_t>(l)][c];
                if (l >= read_lines) {
                    EXPECT_EQ(seen, "stackasmUnread") << "line " << l + 1;
                    continue;
                }
                EXPECT_NE(std::find(wanted[c].begin(), wanted[c].end(), seen), wanted[c].end())
                    << "line " << l + 1 << " column " << c + 1 << ": " << seen;
            }
        }
    }
}

// Neovim's client settings start the server for the buffer, also on 0.7.
TEST(VimFiles, NeovimStartsTheServer) {
    const std::string nvim = installed("nvim");
    if (nvim.empty()) GTEST_SKIP() << "nvim is not installed";
    TempDir dir;
    write_file(dir.path + "/a.asm", "[start  ldi 1\n        jmp start\n");
    write_file(dir.path + "/init.lua", "vim.opt.runtimepath:prepend('" EDITORS_DIR
                                       "/vim')\n"
                                       "vim.cmd('filetype plugin on')\n"
                                       "vim.g.stackasm_language_server = '" LANGUAGE_SERVER_PATH
                                       "'\n"
                                       "dofile('" EDITORS_DIR "/vim/lsp.lua')\n");
    write_file(dir.path + "/probe.lua",
               "local ok = vim.wait(10000, function()\n"
               "  for _, c in pairs(vim.lsp.buf_get_clients(0)) do\n"
               "    if c.initialized then return true end\n"
               "  end\n"
               "end, 50)\n"
               "vim.fn.writefile({ok and 'attached' or 'no client'}, 'probe.txt')\n");
    RunResult r = run_program(nvim,
                              {"--headless", "-u", "init.lua", "-i", "NONE", "-n", "-c",
                               "luafile probe.lua", "-c", "qa!", "a.asm"},
                              "", dir.path);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.errors, "");
    EXPECT_EQ(read_file(dir.path + "/probe.txt"), "attached\n");
}
