// The debug adapter driven by the protocol's own test client (DebugClient of
// @vscode/debugadapter-testsupport) through one session on nested.asm, with
// the launch configuration the VS Code extension offers first: a breakpoint
// that moves to the next line with code, the call stack and the variables
// there, step out, reverse continue back to the breakpoint, step back, step
// out again, a finding as an exception, the output and the exit code.
//   node client_test.js NODE_MODULES DEBUG_ADAPTER
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');

const [modules, adapter] = process.argv.slice(2);
const { DebugClient } = require(path.resolve(modules, '@vscode/debugadapter-testsupport'));

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
  const dc = new DebugClient('env', adapter, debuggerEntry.type, {}, true);
  dc.defaultTimeout = 10000;
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
  } finally {
    await dc.stop();
  }
}

main().then(() => process.exit(0), (error) => {
  console.error(error);
  process.exit(1);
});
