" Syntax of stack machine assembly sources: comments, label definitions,
" mnemonics, label operands, directives, numbers and characters the
" assembler stops at. Names are matched without regard to case, as the
" assembler reads them.
if exists('b:current_syntax')
  finish
endif
syntax case ignore

syntax match stackasmInvalid /[^ \t;\[a-zA-Z0-9]\|\[\%([a-zA-Z]\)\@!/
syntax match stackasmNumber /\d\+/
syntax match stackasmName /\a[a-zA-Z0-9]*/
syntax keyword stackasmDirective org db dw end
syntax keyword stackasmMnemonic mul mulw div divw sub subw add addw inc incw dec decw ret nop hlt
syntax keyword stackasmMnemonic shl shlw shr shrw rol rolw ror rorw and andw or orw not notw xor xorw cmp cmpw
" The 2- and 3-byte instructions: the name after them is a label operand.
syntax keyword stackasmMnemonic ldi ldiw ldd lddw lda sta std stdw in out ldaw staw nextgroup=stackasmOperand skipwhite
syntax keyword stackasmMnemonic call jmp jmr jz jnz jo jno jc jnc js jns nextgroup=stackasmOperand skipwhite
syntax match stackasmOperand /\a[a-zA-Z0-9]*/ contained
syntax match stackasmLabel /\[\a[a-zA-Z0-9]*/
syntax match stackasmComment /;.*$/ contains=stackasmExpect
syntax match stackasmExpect /^;\s*\zsexpect:/ contained

highlight default link stackasmComment Comment
highlight default link stackasmExpect Todo
highlight default link stackasmLabel Label
highlight default link stackasmOperand Identifier
highlight default link stackasmMnemonic Statement
highlight default link stackasmDirective PreProc
highlight default link stackasmNumber Number
highlight default link stackasmInvalid Error

let b:current_syntax = 'stackasm'
