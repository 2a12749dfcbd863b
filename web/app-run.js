// The playground's runs: at full speed in tasks of a few milliseconds, or at
// a set speed per animation frame (see app-core.js).
'use strict';

// --- Running --------------------------------------------------------------

// Run, Step and Continue (and every control of the widget, which has no
// Assemble button) assemble an edited source first and run that.
function readyToRun(takeEdits) {
  if ((EMBED || takeEdits) && (ui.edited || !ui.assembled)) assemble();
  return ui.assembled;
}

// With a cursor address (Run to cursor) the run also stops before the
// instruction there, as at a breakpoint of this run alone.
function startRun(breakpoints, limit = 0, cursor = -1) {
  if (ui.run) return;
  ui.cursorAddress = cursor;
  if (!readyToRun(true)) {
    ui.limitHit = false;
    runEnded();   // a source that does not assemble ends the run at once
    return;
  }
  ui.paused = null;
  // A run a course page asks for (with a limit) has no one at the keys.
  api.setKeyWaits(limit ? 0 : 1);
  ui.limit = limit;
  ui.limitHit = false;
  // Run starts again from the top once a run has ended.
  if (breakpoints === IGNORE_BREAKPOINTS && api.ended()) api.reset();
  const m = machine();
  ui.run = { breakpoints, cursor, start: performance.now(), startCount: m.instructions, id: ++ui.runs };
  // Full speed starts at once, showing only that it runs; a set speed
  // counts from the next frame.
  if (Number($('speed') ? $('speed').value : 0) === 0) {
    document.body.dataset.state = 'running';
    renderCounts();
    runChannel.port2.postMessage(ui.run.id);
  } else {
    render();
    requestAnimationFrame(runFrame);
  }
}

// Full speed goes on in tasks of its own, posted through a channel, so that
// it does not wait for the next frame. Drawing takes time from the run (all
// the views with the page's layout about 10 ms, the counts under 1 ms), so
// at full speed the counts are drawn at most every FULL_SPEED_COUNTS_MS and
// all the views at most every FULL_SPEED_VIEWS_MS.
const runChannel = new MessageChannel();
runChannel.port1.onmessage = (event) => {
  if (ui.run && ui.run.id === event.data) (ui.run.motion ? motionFrame : runFrame)(performance.now());
};
const FULL_SPEED_COUNTS_MS = 100;
const FULL_SPEED_VIEWS_MS = 500;

function renderNextFrame() {
  const now = performance.now();
  const all = now - ui.drawn >= FULL_SPEED_VIEWS_MS;
  if (ui.renderPending || (!all && now - ui.countsDrawn < FULL_SPEED_COUNTS_MS)) return;
  ui.renderPending = true;
  requestAnimationFrame(() => {
    ui.renderPending = false;
    if (!ui.run) return;
    if (all) render(); else renderCounts();
  });
}

// The status line, the registers and the timeline.
function renderCounts() {
  ui.countsDrawn = performance.now();
  const m = machine();
  renderStatus(m, 'running');
  renderRegisters(m);
  renderTimeline();
}

// At full speed a task runs slices until its time is spent, each sized by
// the last measured rate to fill the time left (mostly one slice), and
// posts the next task; at a set speed each frame runs the instructions that
// are due by now.
function runFrame(now) {
  const run = ui.run;
  if (run === null) return;
  const speed = Number($('speed') ? $('speed').value : 0);
  const slice = (count) => {
    const before = machine().instructions;
    if (ui.limit) count = Math.min(count, run.startCount + ui.limit - before);
    const started = performance.now();
    const state = count > 0 ? api.run(count, run.breakpoints, run.cursor) : READY;
    if (ui.limit && state === READY && machine().instructions - run.startCount >= ui.limit) ui.limitHit = true;
    const took = performance.now() - started;
    if (took >= 1) ui.rate = Math.max(1000, (machine().instructions - before) / took);
    return state;
  };
  let state = READY;
  let due = 0;
  if (speed > 0) {
    due = Math.floor(((now - run.start) / 1000) * speed) + 1 - (machine().instructions - run.startCount);
    if (due > 0) state = slice(due);
  } else {
    const frameStart = performance.now();
    const left = () => FRAME_BUDGET_MS - (performance.now() - frameStart);
    do state = slice(Math.min(1 << 26, Math.max(1000, Math.floor(ui.rate * left()))));
    while (state === READY && !ui.limitHit && left() > 1);
  }
  // A run stopped at its limit is not a stop of the machine: the machine
  // stays ready, and the status says the limit (as playground:ended does).
  if (state === KEY_WAIT && !ui.limitHit) {
    waitForKey(run);
    return;
  }
  if (state !== READY || ui.limitHit) {
    ui.run = null;
    render();
    runEnded();
    return;
  }
  if (ui.run && speed === 0) {
    renderNextFrame();
    runChannel.port2.postMessage(run.id);
    return;
  }
  render();
  if (ui.run) requestAnimationFrame(runFrame);
}

function stopAnimation() {
  ui.run = null;
}

function stopRun() {
  if (!ui.run && !waitingForKey()) return;
  ui.paused = null;
  stopAnimation();
  api.abort();
  render();
  runEnded();
}

// A page in a frame tells its parent how each run ended (see app.js): a
// source that does not assemble ends with its error and line and no counts;
// every other field is this run's.
function runEnded() {
  if (window.parent === window) return;
  let message;
  if (!ui.assembled) {
    message = { type: 'playground:ended', outcome: 'error', error: ui.errorMessage, line: ui.errorLine };
  } else {
    const m = machine();
    const state = STATE_NAMES[m.state];
    const outcome = ui.limitHit ? 'limit' : state === 'halted' ? 'halted' : 'stopped';
    const out = api.outValues().split(',').filter((v) => v !== '').map(Number);
    message = { type: 'playground:ended', outcome, out, instructions: m.instructions };
  }
  window.parent.postMessage(message, '*');
}

function act(operation, takeEdits = false) {
  if (!readyToRun(takeEdits)) return;
  ui.limitHit = false;
  ui.paused = null;
  ui.cursorAddress = -1;
  api.setKeyWaits(1);
  stopAnimation();
  operation();
  render();
  if (waitingForKey()) waitForKey(null);
}

// --- Step over, Step out, Run to cursor --------------------------------------

// Step over and Step out are the core's runs to a return, in pieces of
// MOTION_PIECE instructions, each task running pieces for a frame's time,
// so that the page draws and Stop works while a call runs long.
function startMotion(begin) {
  if (ui.run || !readyToRun(true)) return;
  ui.limitHit = false;
  ui.paused = null;
  ui.cursorAddress = -1;
  api.setKeyWaits(1);
  const state = begin(MOTION_PIECE);
  if (state === -1) {
    show('status', 'Step out: no call is open (the program itself is running)');
    return;
  }
  if (!api.motionPending()) {
    render();
    if (waitingForKey()) waitForKey(null);
    return;
  }
  ui.run = { motion: true, id: ++ui.runs };
  if (state === KEY_WAIT) {
    waitForKey(ui.run);
    return;
  }
  document.body.dataset.state = 'running';
  renderCounts();
  runChannel.port2.postMessage(ui.run.id);
}

function motionFrame() {
  const run = ui.run;
  const frameStart = performance.now();
  let state;
  do state = api.motionGoOn(MOTION_PIECE);
  while (state !== KEY_WAIT && api.motionPending() && performance.now() - frameStart < FRAME_BUDGET_MS);
  if (state === KEY_WAIT && api.motionPending()) {
    waitForKey(run);
    return;
  }
  if (!api.motionPending()) {
    ui.run = null;
    render();
    return;
  }
  renderNextFrame();
  runChannel.port2.postMessage(run.id);
}

// Run to cursor: Continue that also stops at the first instruction of the
// cursor's line.
function runToCursor() {
  if (!readyToRun(true)) return;
  const address = ui.lineToAddress.get(cursorLine());
  if (address === undefined) {
    show('status', "Run to cursor: the cursor's line places no instruction");
    return;
  }
  startRun(STOP_AT_ANY, 0, address);
}

// --- The key wait of `in 1` -------------------------------------------------

// A run or a step on new ground pauses before an `in 1` (the core's
// KEY_WAIT) until a key is typed in the Output pane or Key is pressed;
// Escape there stops the run. Ground already run never waits.
const waitingForKey = () => ui.assembled && !ui.run && machine().state === KEY_WAIT;

// The run (null for a step) pauses; the Output pane takes the keys, unless
// the student is typing in a field.
function waitForKey(run) {
  ui.run = null;
  ui.paused = run;
  render();
  const focused = document.activeElement;
  const output = $('console');
  if (!output || (focused && focused.matches('textarea, input, select'))) return;
  output.focus({ preventScroll: true });
  // The hint over the Output pane in sight (on a phone the Key button is pinned below).
  const hint = $('key-hint') || output;
  const box = hint.getBoundingClientRect();
  if (box.top < 0 || box.bottom > innerHeight * 0.6) hint.scrollIntoView({ block: 'center' });
}

// A key came: the `in 1` runs and the run goes on (a step ends after it).
function keyCame() {
  if (!waitingForKey()) return;
  api.key();
  const run = ui.paused;
  if (!run) {
    act(api.step);
    return;
  }
  ui.paused = null;
  ui.run = run;
  if (run.motion) {
    document.body.dataset.state = 'running';
    runChannel.port2.postMessage(run.id);
    return;
  }
  // A set speed counts again from now, not from before the wait.
  run.start = performance.now();
  run.startCount = machine().instructions;
  if (Number($('speed') ? $('speed').value : 0) === 0) {
    document.body.dataset.state = 'running';
    renderCounts();
    runChannel.port2.postMessage(run.id);
  } else {
    requestAnimationFrame(runFrame);
  }
}

// The keys the program sees: characters, Enter, Backspace and Delete (Tab,
// arrows and shortcuts keep their use in the page). While a run goes on, the
// key test before the next instruction takes such a key and passes it over,
// as at the simulator's terminal; Escape stops the run (onKey in app.js).
function onOutputKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey) return;
  if (event.key.length !== 1 && !['Enter', 'Backspace', 'Delete'].includes(event.key)) return;
  event.preventDefault();
  keyCame();
}
