" Settings for stack machine assembly sources: ';' comments, and blanks,
" never tabs (two tabs in a row are a syntax error for the assembler).
if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1
setlocal commentstring=;\ %s comments=:;
setlocal expandtab
let b:undo_ftplugin = 'setlocal commentstring< comments< expandtab<'
