// The debug adapter driven by the protocol's own test client (DebugClient of
// @vscode/debugadapter-testsupport) through one session on nested.asm, with
// the launch configuration the VS Code extension offers first: a breakpoint
// that moves to the next line with code, the call stack and the variables
// there, step out, reverse continue back to the breakpoint, step back, step
// out again, a finding as an exception, the output and the exit code. Then
// a program that waits for a key and loops forever: the key from the debug
// console, pause, memory, disassembly, an instruction breakpoint, a watch,
// a page of the stack and a disconnect that ends the loop. Every message of
// both sessions is checked against the protocol's definitions
// (@vscode/debugprotocol).
//   node client_test.js NODE_MODULES DEBUG_ADAPTER
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');

const [modules, adapter] = process.argv.slice(2);
const { DebugClient } = require(path.resolve(modules, '@vscode/debugadapter-testsupport'));
const protocolCheck = require('./protocol_check');
const os = require('os');

// A client whose every message from the adapter is checked.
function checkedClient() {
  const dc = new DebugClient('env', adapter, debuggerEntry.type, {}, true);
  dc.defaultTimeout = 10000;
  const check = protocolCheck(modules);
  const dispatch = dc.dispatch.bind(dc);
  dc.dispatch = (body) => {
    check(JSON.parse(body));
    dispatch(body);
  };
  dc.check = check;
  return dc;
}

const program = path.join(__dirname, 'nested.asm');
const manifest = JSON.parse(fs.readFileSync(path.join(__dirname, '..', '..', 'editors', 'vscode', 'package.json')));
const debuggerEntry = manifest.contributes.debuggers[0];

// The extension's first configuration, as the editor substitutes it for
// nested.asm open in the editor, run to the first breakpoint.
function launchArguments() {
  const files = { '${file}': program, '${fileDirname}': __dirname };
  const args = {};
  for (const [name, value] of Object.entries(debuggerEntry.initialConfigurations[0])) {
    args[name] = typeof value === 'string' ? value.replace(/\$\{\w+\}/g, (v) => files[v] ?? v) : value;
  }
  args.stopOnEntry = false;
  return args;
}

async function main() {
  // The client starts RUNTIME EXECUTABLE; env runs the adapter without operands.
  const dc = checkedClient();
  await dc.start();
  let stops = 0;
  // Waits for the next stop, checks its reason and where the innermost
  // frame stands, and returns the frames.
  async function stopAt(reason, line, frameCount) {
    const trace = await dc.assertStoppedLocation(reason, { path: program, line });
    const frames = trace.body.stackFrames;
    assert.strictEqual(frames.length, frameCount, `stop ${stops + 1}: ${frames.map((f) => f.name)}`);
    stops++;
    return frames;
  }
  try {
    const initialized = dc.waitForEvent('initialized');
    const capabilities = await dc.initializeRequest();
    assert.ok(capabilities.body.supportsStepBack, 'no step back');
    assert.ok(capabilities.body.supportsConfigurationDoneRequest);
    await dc.launchRequest(launchArguments());
    await initialized;

    // Line 17 is blank: the breakpoint goes to inner's first line.
    const set = await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [{ line: 17 }] });
    assert.deepStrictEqual([set.body.breakpoints[0].verified, set.body.breakpoints[0].line], [true, 18]);
    await dc.setExceptionBreakpointsRequest({ filters: ['code'] });
    const first = stopAt('breakpoint', 18, 3);
    await dc.configurationDoneRequest();
    const frames = await first;
    assert.deepStrictEqual(frames.map((f) => [f.name, f.line]), [['inner', 18], ['outer', 14], ['start', 5]]);
    assert.strictEqual(frames[0].instructionPointerReference, '0x001D');

    // The variables at the breakpoint: n is 3, PC is inner's address.
    const scopes = await dc.scopesRequest({ frameId: frames[0].id });
    const names = scopes.body.scopes.map((s) => s.name);
    assert.deepStrictEqual(names, ['Registers', 'Flags', 'Stack', 'Labels']);
    const labels = await dc.variablesRequest({ variablesReference: scopes.body.scopes[3].variablesReference });
    assert.strictEqual(labels.body.variables.find((v) => v.name === 'n').value, '3');
    const registers = await dc.variablesRequest({ variablesReference: scopes.body.scopes[0].variablesReference });
    assert.strictEqual(registers.body.variables.find((v) => v.name === 'PC').value, '0x001D');

    // Out of inner into outer, back to the breakpoint, one step before it
    // (outer's call). Out of outer from there stops at the breakpoint again;
    // without it, in start before its out 0.
    await Promise.all([dc.stepOutRequest({ threadId: 1 }), stopAt('step', 15, 2)]);
    await Promise.all([dc.reverseContinueRequest({ threadId: 1 }), stopAt('breakpoint', 18, 3)]);
    await Promise.all([dc.stepBackRequest({ threadId: 1 }), stopAt('step', 14, 2)]);
    await Promise.all([dc.stepOutRequest({ threadId: 1 }), stopAt('breakpoint', 18, 3)]);
    await Promise.all([dc.stepBackRequest({ threadId: 1 }), stopAt('step', 14, 2)]);
    await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [] });
    await Promise.all([dc.stepOutRequest({ threadId: 1 }), stopAt('step', 6, 1)]);

    // On: out 0 shows 4, then std start writes into the code.
    const output = dc.assertOutput('stdout', '-[4 : 04h]-\n');
    const [, , finding] = await Promise.all([dc.continueRequest({ threadId: 1 }), output,
      dc.waitForEvent('stopped')]);
    assert.strictEqual(finding.body.reason, 'exception');
    assert.match(finding.body.description, /writing into code/);
    stops++;
    const info = await dc.exceptionInfoRequest({ threadId: 1 });
    assert.match(info.body.description, /writing into code/);

    // To the end: hlt, exit code 0, then terminated.
    const [, exited, terminated] = await Promise.all([dc.continueRequest({ threadId: 1 }),
      dc.waitForEvent('exited'), dc.waitForEvent('terminated')]);
    assert.strictEqual(exited.body.exitCode, 0);
    assert.ok(terminated);
    console.log(`client: ${stops} stops checked, the run ended with exit code 0`);
    assert.ok(dc.check.count > 30, `${dc.check.count} messages checked`);
  } finally {
    await dc.stop();
  }
  assert.deepStrictEqual(dc.check.errors, []);
  await endlessSession();
}

async function endlessSession() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'adapter-client-'));
  const file = path.join(dir, 'wait.asm');
  fs.writeFileSync(file, '[start  ldi 1\n        in 1\n        std n\n[loop   nop\n        jmp loop\n[n      db 0\n');
  const dc = checkedClient();
  await dc.start();
  let disconnected = false;
  try {
    const initialized = dc.waitForEvent('initialized');
    await dc.initializeRequest();
    await dc.launchRequest({ program: file, stopOnEntry: false });
    await initialized;
    // The in 1 waits: a stop of its own; the key from the debug console.
    const wait = dc.waitForEvent('stopped');
    await dc.configurationDoneRequest();
    assert.strictEqual((await wait).body.reason, 'key wait');
    const going = dc.waitForEvent('continued');
    const key = await dc.evaluateRequest({ expression: 'key a', context: 'repl' });
    assert.match(key.body.result, /the run goes on/);
    await going;
    // The endless loop: requests answered while it runs, then a pause.
    const busy = await dc.stackTraceRequest({ threadId: 1 }).catch((e) => e);
    assert.match(String(busy.message), /the program is running/);
    const paused = dc.waitForEvent('stopped');
    await dc.pauseRequest({ threadId: 1 });
    assert.strictEqual((await paused).body.reason, 'pause');

    // n's memory reference, read and written; the disassembly; a watch.
    const scopes = await dc.scopesRequest({ frameId: 0 });
    const labels = await dc.variablesRequest({ variablesReference: scopes.body.scopes[3].variablesReference });
    const n = labels.body.variables.find((v) => v.name === 'n');
    assert.strictEqual(n.memoryReference, '0x000B');
    const read = await dc.customRequest('readMemory', { memoryReference: n.memoryReference, count: 1 });
    assert.strictEqual(read.body.data, 'AQ==');
    await dc.customRequest('writeMemory', { memoryReference: n.memoryReference, data: 'KQ==' });
    const watch = await dc.evaluateRequest({ expression: '[n]', context: 'watch' });
    assert.strictEqual(watch.body.result, "000B (n) = 0x29 41 ')'");
    const listing = await dc.customRequest('disassemble', { memoryReference: '0x0007', instructionCount: 2 });
    assert.deepStrictEqual(listing.body.instructions.map((i) => i.instruction), ['nop', 'jmp 7']);

    // An instruction breakpoint on the jmp stops the run there; a page of
    // the stack from there.
    const at = await dc.customRequest('setInstructionBreakpoints',
      { breakpoints: [{ instructionReference: '0x0008' }] });
    assert.ok(at.body.breakpoints[0].verified);
    const hit = dc.waitForEvent('stopped');
    await dc.continueRequest({ threadId: 1 });
    assert.strictEqual((await hit).body.reason, 'breakpoint');
    const page = await dc.stackTraceRequest({ threadId: 1, startFrame: 0, levels: 1 });
    assert.strictEqual(page.body.stackFrames[0].instructionPointerReference, '0x0008');
    assert.strictEqual(page.body.totalFrames, 1);

    // The console's continue is a run as Continue is: a pause ends it.
    await dc.customRequest('setInstructionBreakpoints', { breakpoints: [] });
    const consoleGoing = dc.waitForEvent('continued');
    const go = await dc.evaluateRequest({ expression: 'continue', context: 'repl' });
    assert.match(go.body.result, /the run goes on/);
    await consoleGoing;
    const consolePaused = dc.waitForEvent('stopped');
    await dc.pauseRequest({ threadId: 1 });
    assert.strictEqual((await consolePaused).body.reason, 'pause');
    // A restart with a key for the in 1: no wait, the byte written by hand forgotten.
    await dc.customRequest('restart', { arguments: { program: file, stopOnEntry: false, keys: 'b' } });
    const restartPaused = dc.waitForEvent('stopped');
    await dc.pauseRequest({ threadId: 1 });
    assert.strictEqual((await restartPaused).body.reason, 'pause');
    const again = await dc.customRequest('readMemory', { memoryReference: n.memoryReference, count: 1 });
    assert.strictEqual(again.body.data, 'AQ==');

    // Running forever again: a disconnect ends it.
    await dc.customRequest('setInstructionBreakpoints', { breakpoints: [] });
    await dc.continueRequest({ threadId: 1 });
    const started = Date.now();
    await dc.disconnectRequest({});
    disconnected = true;
    console.log(`client: the endless run ended by disconnect in ${Date.now() - started} ms`);
  } finally {
    // After the disconnect the adapter has ended: nothing more is sent.
    if (!disconnected) await dc.stop();
    fs.rmSync(dir, { recursive: true, force: true });
  }
  assert.deepStrictEqual(dc.check.errors, []);
}

main().then(() => process.exit(0), (error) => {
  console.error(error);
  process.exit(1);
});
