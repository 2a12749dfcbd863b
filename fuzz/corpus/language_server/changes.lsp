Content-Length: 121

{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///s.asm","text":"ldi 1\nhlt\n"}}}Content-Length: 250

{"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"file:///s.asm"},"contentChanges":[{"range":{"start":{"line":0,"character":4},"end":{"line":0,"character":5}},"text":"2 ; \u00e9\ud83d\ude00"},{"text":"[a jmp a\n"}]}}Content-Length: 118

{"jsonrpc":"2.0","id":2,"method":"textDocument/semanticTokens/full","params":{"textDocument":{"uri":"file:///s.asm"}}}Content-Length: 100

{"jsonrpc":"2.0","method":"textDocument/didClose","params":{"textDocument":{"uri":"file:///s.asm"}}}Content-Length: 140

{"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///s.asm"},"position":{"line":0,"character":0}}}