" Filetype detection for stack machine assembly sources.
"
" A .asm file is taken as stackasm only by its content, so that the sources
" of other assembly languages keep their own filetype. Among its first 50
" lines there must be
"   - a label definition: "[" and a name at the start of a line (after
"     blanks) with no "]" anywhere on the line (other assemblers write
"     "[bits 16]" and the like), or
"   - an expectation line of the checker, "; expect: ...".
" Any other file can say so with a modeline in its first or last lines:
"   ; vim: set filetype=stackasm:
function! s:IsStackAsm() abort
  for line in getline(1, 50)
    if line =~# '^\s*\[\a\w*' && line !~# '\]'
      return 1
    endif
    if line =~# '^;\s*expect:'
      return 1
    endif
  endfor
  return 0
endfunction

augroup stackasm_filetype
  autocmd!
  " The filetype set before this one (asm) may have run its own plugin and
  " left b:did_ftplugin behind without a b:undo_ftplugin; ours must still run.
  autocmd BufRead,BufNewFile *.asm if s:IsStackAsm() && &filetype !=# 'stackasm'
        \ | unlet! b:did_ftplugin | set filetype=stackasm | endif
augroup END
