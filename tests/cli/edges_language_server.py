# A language-server session for the edges test: documents past the size
# limits, one past the total, then a whole new text that fits.
import sys, json
def msg(o):
    b = json.dumps(o); return 'Content-Length: %d\r\n\r\n%s' % (len(b), b)
out = [msg({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}),
       msg({"jsonrpc":"2.0","method":"initialized","params":{}})]
big = 'nop\n' * (3 << 18)   # 3 MiB
part = ('; ' + 'a' * 98 + '\n') * 19000  # 1.9 MB
out.append(msg({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///big.asm","languageId":"asm","version":1,"text":big}}}))
for i in range(5):
    out.append(msg({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///p%d.asm" % i,"languageId":"asm","version":1,"text":part}}}))
out.append(msg({"jsonrpc":"2.0","id":2,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":"file:///big.asm"}}}))
out.append(msg({"jsonrpc":"2.0","method":"textDocument/didClose","params":{"textDocument":{"uri":"file:///p0.asm"}}}))
out.append(msg({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"file:///p4.asm","version":2},"contentChanges":[{"text":"nop\n"}]}}))
out.append(msg({"jsonrpc":"2.0","id":3,"method":"shutdown"}))
out.append(msg({"jsonrpc":"2.0","method":"exit"}))
sys.stdout.write(''.join(out))
