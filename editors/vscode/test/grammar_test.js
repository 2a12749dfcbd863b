// The TextMate grammar against the language server: every example (and
// the corner cases of editors/test/corners.asm) is tokenized with vscode-textmate, and each semantic token the server
// reports (built from the assembler's own scanner) must carry the matching
// scope, and each scoped token must be one the server reports.
//   node grammar_test.js NODE_MODULES LANGUAGE_SERVER DIR_OR_FILE...
'use strict';
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');

const [modules, server, ...sources] = process.argv.slice(2);
const vsctm = require(path.resolve(modules, 'vscode-textmate'));
const oniguruma = require(path.resolve(modules, 'vscode-oniguruma'));

// Semantic token type (and declaration modifier) to the scope it must have.
const SCOPES = {
  keyword: 'keyword.other.mnemonic.stackasm',
  macro: 'keyword.control.directive.stackasm',
  'variable+declaration': 'entity.name.label.stackasm',
  variable: 'variable.other.label.stackasm',
  number: 'constant.numeric.decimal.stackasm',
  comment: 'comment.line.semicolon.stackasm',
};

function frame(message) {
  const body = Buffer.from(JSON.stringify(message));
  return Buffer.concat([Buffer.from(`Content-Length: ${body.length}\r\n\r\n`), body]);
}

function bodies(output) {
  const result = [];
  let at = 0;
  while (at < output.length) {
    const end = output.indexOf('\r\n\r\n', at);
    const length = Number(output.slice(at + 16, end).toString());
    result.push(JSON.parse(output.slice(end + 4, end + 4 + length).toString()));
    at = end + 4 + length;
  }
  return result;
}

// Semantic tokens of every file from one server session, decoded to
// absolute positions and named types.
function semanticTokens(files) {
  const input = [frame({ jsonrpc: '2.0', id: 0, method: 'initialize', params: { capabilities: {} } })];
  files.forEach((file, i) => {
    const uri = `file://${file}`;
    input.push(frame({ jsonrpc: '2.0', method: 'textDocument/didOpen',
      params: { textDocument: { uri, languageId: 'stackasm', version: 1, text: fs.readFileSync(file, 'utf8') } } }));
    input.push(frame({ jsonrpc: '2.0', id: i + 1, method: 'textDocument/semanticTokens/full',
      params: { textDocument: { uri } } }));
  });
  input.push(frame({ jsonrpc: '2.0', id: 9999, method: 'shutdown' }), frame({ jsonrpc: '2.0', method: 'exit' }));
  const run = spawnSync(server, [], { input: Buffer.concat(input), maxBuffer: 1 << 26 });
  if (run.status !== 0) throw new Error(`${server} ended with status ${run.status}`);
  const replies = bodies(run.stdout);
  const legend = replies[0].result.capabilities.semanticTokensProvider.legend;
  return files.map((file, i) => {
    const data = replies.find((r) => r.id === i + 1).result.data;
    const tokens = [];
    let line = 0, start = 0;
    for (let k = 0; k < data.length; k += 5) {
      if (data[k] > 0) start = 0;
      line += data[k];
      start += data[k + 1];
      const type = legend.tokenTypes[data[k + 3]] + (data[k + 4] & 1 ? '+declaration' : '');
      tokens.push({ line, start, end: start + data[k + 2], type });
    }
    return tokens;
  });
}

async function main() {
  const wasm = fs.readFileSync(path.join(path.resolve(modules, 'vscode-oniguruma'), 'release', 'onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async () => vsctm.parseRawGrammar(
      fs.readFileSync(path.join(__dirname, '..', 'syntaxes', 'stackasm.tmLanguage.json'), 'utf8'),
      'stackasm.tmLanguage.json'),
  });
  const grammar = await registry.loadGrammar('source.stackasm');
  const files = sources.flatMap((source) => (fs.statSync(source).isDirectory()
    ? fs.readdirSync(source).filter((f) => f.endsWith('.asm')).sort().map((f) => path.join(source, f))
    : [source]));
  const expected = semanticTokens(files);
  const wanted = new Set(Object.values(SCOPES));
  let failures = 0, checked = 0;
  const counts = {};
  const fail = (where, message) => { failures++; console.log(`${where}: ${message}`); };
  files.forEach((file, f) => {
    const lines = fs.readFileSync(file, 'utf8').split('\n');
    let state = vsctm.INITIAL;
    const scoped = [];  // grammar tokens with one of the checked scopes
    lines.forEach((text, line) => {
      const result = grammar.tokenizeLine(text, state);
      state = result.ruleStack;
      for (const t of result.tokens) {
        const scope = t.scopes.find((s) => wanted.has(s));
        if (scope) scoped.push({ line, start: t.startIndex, end: t.endIndex, scope });
      }
    });
    for (const s of expected[f]) {
      const scope = SCOPES[s.type];
      const match = scoped.find((t) => t.line === s.line && t.start === s.start && t.end === s.end);
      counts[s.type] = (counts[s.type] || 0) + 1;
      checked++;
      if (!match || match.scope !== scope) {
        fail(path.basename(file), `line ${s.line + 1} column ${s.start + 1}: "${lines[s.line].slice(s.start, s.end)}" is ${s.type}, the grammar gives ${match ? match.scope : 'no such token'}`);
      }
    }
    for (const t of scoped) {
      if (!expected[f].some((s) => s.line === t.line && s.start === t.start && s.end === t.end)) {
        fail(path.basename(file), `line ${t.line + 1} column ${t.start + 1}: "${lines[t.line].slice(t.start, t.end)}" gets ${t.scope}, the server names nothing there`);
      }
    }
  });
  for (const type of Object.keys(SCOPES)) {
    if (!counts[type]) fail('examples', `no ${type} token in the examples`);
  }
  console.log(`grammar: ${checked} tokens of ${files.length} files checked, ${failures} differences`);
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((error) => { console.error(error); process.exit(1); });
