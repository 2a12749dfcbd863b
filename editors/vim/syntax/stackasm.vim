" Syntax of stack machine assembly sources: comments, label definitions,
" mnemonics, label operands, directives, numbers, characters the assembler
" stops at, and the lines after `end`, which it does not read. Names are
" matched without regard to case, as the assembler reads them. A name runs
" over letters and digits, a number over digits only: "5nop" is 5 and nop,
" "nop5" one name. Where several items start at one place the one defined
" last wins.
if exists('b:current_syntax')
  finish
endif
syntax case ignore

syntax match stackasmInvalid /[^ \t;\[a-zA-Z0-9]\|\[\%([a-zA-Z]\)\@!/
syntax match stackasmNumber /\d\+/
syntax match stackasmName /\a[a-zA-Z0-9]*/
syntax match stackasmDirective /\a\@<!\%(org\|db\|dw\)[a-zA-Z0-9]\@!/
syntax match stackasmMnemonic /\a\@<!\%(mulw\|mul\|divw\|div\|subw\|sub\|addw\|add\|incw\|inc\|decw\|dec\|ret\|nop\|hlt\)[a-zA-Z0-9]\@!/
syntax match stackasmMnemonic /\a\@<!\%(shlw\|shl\|shrw\|shr\|rolw\|rol\|rorw\|ror\|andw\|and\|orw\|or\|notw\|not\|xorw\|xor\|cmpw\|cmp\)[a-zA-Z0-9]\@!/
" The 2- and 3-byte instructions: the name after them is a label operand,
" label definitions between passed over; `end` is never an operand.
syntax match stackasmMnemonic /\a\@<!\%(ldiw\|ldi\|lddw\|ldd\|ldaw\|lda\|staw\|sta\|stdw\|std\|in\|out\)[a-zA-Z0-9]\@!/ nextgroup=stackasmOperandLabel,stackasmOperand skipwhite
syntax match stackasmMnemonic /\a\@<!\%(call\|jmp\|jmr\|jz\|jnz\|jo\|jno\|jc\|jnc\|js\|jns\)[a-zA-Z0-9]\@!/ nextgroup=stackasmOperandLabel,stackasmOperand skipwhite
syntax match stackasmOperand /\%(end[a-zA-Z0-9]\@!\)\@!\a[a-zA-Z0-9]*/ contained
syntax match stackasmOperandLabel /\[\a[a-zA-Z0-9]*/ contained nextgroup=stackasmOperandLabel,stackasmOperand skipwhite
syntax match stackasmLabel /\[\a[a-zA-Z0-9]*/
syntax match stackasmComment /;.*$/ contains=stackasmExpect
syntax match stackasmExpect /^;\s*\zsexpect:/ contained

" `end` (also the label [end): the rest of its line is read, no line after.
syntax cluster stackasmCode contains=stackasmInvalid,stackasmNumber,stackasmName,stackasmDirective,stackasmMnemonic,stackasmLabel,stackasmComment
syntax region stackasmAfterEnd transparent matchgroup=stackasmDirective start=/\a\@<!end[a-zA-Z0-9]\@!/ end=/\%$/ contains=@stackasmCode,stackasmUnread
syntax region stackasmAfterEnd transparent matchgroup=stackasmLabel start=/\[end[a-zA-Z0-9]\@!/ end=/\%$/ contains=@stackasmCode,stackasmUnread
syntax region stackasmUnread start=/^/ end=/\%$/ contained
syntax sync fromstart

highlight default link stackasmComment Comment
highlight default link stackasmExpect Todo
highlight default link stackasmLabel Label
highlight default link stackasmOperandLabel Label
highlight default link stackasmOperand Identifier
highlight default link stackasmMnemonic Statement
highlight default link stackasmDirective PreProc
highlight default link stackasmNumber Number
highlight default link stackasmInvalid Error
highlight default link stackasmUnread Ignore

let b:current_syntax = 'stackasm'
