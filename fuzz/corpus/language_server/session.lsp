Content-Length: 218

{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///s.asm","languageId":"stackasm","version":1,"text":"; demo\n[start ldi 300 5\n        jmp start ; loop\n[n      db 7\nlld 2\n"}}}Content-Length: 140

{"jsonrpc":"2.0","id":1,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":1,"character":8}}}Content-Length: 141

{"jsonrpc":"2.0","id":2,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":2,"character":13}}}Content-Length: 141

{"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":1,"character":13}}}Content-Length: 146

{"jsonrpc":"2.0","id":4,"method":"textDocument/definition","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":2,"character":13}}}Content-Length: 183

{"jsonrpc":"2.0","id":5,"method":"textDocument/references","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":1,"character":2},"context":{"includeDeclaration":true}}}Content-Length: 149

{"jsonrpc":"2.0","id":6,"method":"textDocument/prepareRename","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":2,"character":13}}}Content-Length: 160

{"jsonrpc":"2.0","id":7,"method":"textDocument/rename","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":2,"character":13},"newName":"again"}}Content-Length: 145

{"jsonrpc":"2.0","id":8,"method":"textDocument/completion","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":0,"character":0}}}Content-Length: 113

{"jsonrpc":"2.0","id":9,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"file:///s.asm"}}}Content-Length: 119

{"jsonrpc":"2.0","id":10,"method":"textDocument/semanticTokens/full","params":{"textDocument":{"uri":"file:///s.asm"}}}Content-Length: 123

{"jsonrpc":"2.0","id":11,"method":"textDocument/formatting","params":{"textDocument":{"uri":"file:///s.asm"},"options":{}}}Content-Length: 59

{"jsonrpc":"2.0","id":50,"method":"shutdown","params":null}Content-Length: 47

{"jsonrpc":"2.0","method":"exit","params":null}