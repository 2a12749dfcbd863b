Content-Length: 1x

{}Content-Type: a

Content-Length: 5

{oopsContent-Length: 5

[1,2]Content-Length: 31

{"id":1.5,"method":"shutdown"}xContent-Length: 92

{"jsonrpc":"2.0","id":7,"method":"textDocument/hover","params":{"position":{"line":1e+300}}}Content-Length: 53

{"jsonrpc":"2.0","id":8,"method":"bogus","params":{}}Content-Length: 99999999999

