" language-server in Vim with the vim-lsp plugin: source this file from
" your vimrc after the plugin is loaded, e.g.
"   source ~/toolchain/editors/vim/lsp.vim
" Set g:stackasm_language_server first to give the program's full path, and
" g:stackasm_instruction_hints to 1 for the instruction hints.
let s:command = get(g:, 'stackasm_language_server', 'language-server')
if executable(s:command)
  augroup stackasm_lsp
    autocmd!
    autocmd User lsp_setup call lsp#register_server({
          \ 'name': 'stackasm',
          \ 'cmd': [s:command],
          \ 'allowlist': ['stackasm'],
          \ 'initialization_options': {'instructionHints': get(g:, 'stackasm_instruction_hints', 0) ? v:true : v:false},
          \ })
  augroup END
endif
