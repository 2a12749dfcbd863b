// The playground page: an editor, the assembler's listing and symbols, and
// live views of the machine, all over the WebAssembly module built from the
// assembler library and the machine core (playground.cpp). Runs go in slices,
// one per animation frame, so that the page never freezes.
'use strict';

const $ = (id) => document.getElementById(id);

// Run states as playground.cpp numbers them.
const READY = 0, EMPTY = 4;
const STATE_NAMES = ['ready', 'halted', 'stopped', 'break', 'empty'];
// How a run treats breakpoints (playground.cpp's BreakpointUse).
const IGNORE_BREAKPOINTS = 0, STOP_AT_ANY = 1, PASS_THE_FIRST = 2;

const MEMORY_SIZE = 16384;
const STACK_TOP = 0x3FFF;
const LINE_HEIGHT = 18;   // editor lines, as in style.css
const ROW_HEIGHT = 16;    // memory rows, as in style.css
const ROW_BYTES = 16;
const TRACE_LINES = 40;
const STACK_ROWS = 64;
const FRAME_BUDGET_MS = 12;   // running time per animation frame at full speed

let M = null;     // the WebAssembly module
let api = null;   // its functions
const ui = {
  assembled: false,
  edited: false,        // the source changed since it was assembled
  errorLine: 0,
  lineToAddress: new Map(),
  textLines: [],        // for each source line the assembler numbered, the editor row it begins on
  breakpoints: new Set(),
  run: null,            // while a run animates: { breakpoints, start, startCount }
  rate: 10000,          // instructions per millisecond at full speed, as last measured
  shownLine: 0,         // the current line the editor last scrolled to
};

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');
const esc = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');

function bindApi(mod) {
  const f = (name, result, args) => mod.cwrap(name, result, args);
  return {
    assemble: f('pg_assemble', 'number', ['number']),
    listing: f('pg_listing', 'string', []),
    errorLine: f('pg_error_line', 'number', []),
    symbols: f('pg_symbols', 'string', []),
    lineMap: f('pg_line_map', 'number', []),
    lineCount: f('pg_line_count', 'number', []),
    textLines: f('pg_text_lines', 'number', []),
    reset: f('pg_reset', 'number', []),
    run: f('pg_run', 'number', ['number', 'number']),
    step: f('pg_step', 'number', []),
    stepBack: f('pg_step_back', 'number', []),
    abort: f('pg_abort', 'number', []),
    ended: f('pg_ended', 'number', []),
    setBreakpoint: f('pg_set_breakpoint', null, ['number', 'number']),
    registers: f('pg_registers', 'number', []),
    memory: f('pg_memory', 'number', []),
    mnemonic: f('pg_mnemonic', 'string', ['number']),
    length: f('pg_instruction_length', 'number', ['number']),
    changedCount: f('pg_changed_count', 'number', []),
    changedAddresses: f('pg_changed_addresses', 'number', []),
    console: f('pg_console', 'string', []),
    trace: f('pg_trace', 'string', ['number']),
  };
}

// The module's memory may grow, so its views are fetched on every use.
function machine() {
  const base = api.registers() >> 2;
  const r = M.HEAPU32.subarray(base, base + 10);
  return {
    PC: r[0], SP: r[1], IR: r[2], Z: r[3], S: r[4], O: r[5], C: r[6],
    instructions: r[7], clocks: r[8], state: r[9],
  };
}
const memoryBytes = () => M.HEAPU8.subarray(api.memory(), api.memory() + MEMORY_SIZE);
const lineOf = (address) => (ui.assembled ? M.HEAP32[(api.lineMap() >> 2) + address] : 0);
// Line numbers are the assembler's; a line longer than 255 characters is
// several of them, so the editor row of a line is looked up.
const rowOf = (line) => ui.textLines[line - 1] || line;

// --- Assembling -----------------------------------------------------------

function assemble() {
  stopAnimation();
  const source = $('source').value;
  const size = M.lengthBytesUTF8(source) + 1;
  const text = M._malloc(size);
  M.stringToUTF8(source, text, size);
  ui.assembled = api.assemble(text) === 1;
  M._free(text);
  ui.edited = false;
  ui.errorLine = ui.assembled ? 0 : api.errorLine();
  ui.breakpoints.clear();
  ui.lineToAddress.clear();
  const rows = api.textLines() >> 2;
  ui.textLines = Array.from(M.HEAP32.subarray(rows, rows + api.lineCount()));
  if (ui.assembled) {
    const map = M.HEAP32.subarray(api.lineMap() >> 2, (api.lineMap() >> 2) + MEMORY_SIZE);
    map.forEach((line, address) => {
      if (line > 0 && !ui.lineToAddress.has(line)) ui.lineToAddress.set(line, address);
    });
  }
  $('listing').textContent = api.listing();
  showPane('listing');
  renderSymbols();
  renderGutter();
  if (ui.errorLine > 0) scrollEditorTo(ui.errorLine);
  render();
}

function renderSymbols() {
  const rows = ui.assembled ? api.symbols().split('\n').filter((l) => l) : [];
  $('symbols').innerHTML = rows.map((row) => {
    const [name, value] = row.split(' ');
    const mark = ui.breakpoints.has(Number(value)) ? ' breakpoint' : '';
    return `<div class="symbol${mark}" data-address="${value}">${esc(name).padEnd(20)} ` +
      `${value.padStart(5)}  ${hex(Number(value), 4)}h</div>`;
  }).join('');
}

function toggleBreakpoint(address) {
  const on = !ui.breakpoints.has(address);
  if (on) ui.breakpoints.add(address); else ui.breakpoints.delete(address);
  api.setBreakpoint(address, on ? 1 : 0);
  renderGutter();
  renderSymbols();
}

// --- The editor: line numbers, breakpoints, the current and the error line -

// Each editor row shows the number of the first line the assembler read on
// it; a row's breakpoint and error marks stand for every line on it.
function renderGutter() {
  const count = $('source').value.split('\n').length;
  const rowLines = new Map();
  ui.textLines.forEach((row, index) => {
    if (!rowLines.has(row)) rowLines.set(row, []);
    rowLines.get(row).push(index + 1);
  });
  const breakRows = new Set([...ui.breakpoints].map((address) => rowOf(lineOf(address))));
  let html = '';
  for (let row = 1, next = 1; row <= count; ++row) {
    const lines = rowLines.get(row) || [next];
    next = lines[lines.length - 1] + 1;
    const code = lines.find((line) => ui.lineToAddress.has(line));
    let cls = code ? '' : 'nocode';
    if (breakRows.has(row)) cls += ' breakpoint';
    if (lines.includes(ui.errorLine)) cls += ' error';
    const address = code ? ` data-address="${ui.lineToAddress.get(code)}"` : '';
    html += `<div class="${cls}" data-line="${lines[0]}"${address}>${lines[0]}</div>`;
  }
  $('gutter').innerHTML = html + '<div></div><div></div>';
  syncEditorScroll();
}

function renderBackdrop(currentLine) {
  const top = $('source').scrollTop;
  const bar = (line, cls) =>
    `<div class="${cls}" style="position:absolute;left:0;right:0;top:${(rowOf(line) - 1) * LINE_HEIGHT - top}px"></div>`;
  let html = '';
  if (currentLine > 0) html += bar(currentLine, 'current');
  if (ui.errorLine > 0) html += bar(ui.errorLine, 'error');
  const backdrop = $('backdrop');
  if (backdrop.innerHTML !== html) backdrop.innerHTML = html;
  backdrop.dataset.line = currentLine;
}

function syncEditorScroll() {
  $('gutter').scrollTop = $('source').scrollTop;
  renderBackdrop(Number($('backdrop').dataset.line || 0));
}

function scrollEditorTo(line) {
  const source = $('source');
  const top = (rowOf(line) - 1) * LINE_HEIGHT;
  if (top < source.scrollTop || top + LINE_HEIGHT > source.scrollTop + source.clientHeight) {
    source.scrollTop = Math.max(0, top - source.clientHeight / 3);
  }
  syncEditorScroll();
}

// --- Views of the machine -------------------------------------------------

function render() {
  const m = machine();
  const state = ui.run ? 'running' : !ui.assembled && ui.errorLine ? 'error' : STATE_NAMES[m.state];
  document.body.dataset.state = state;
  renderStatus(m, state);
  renderRegisters(m);
  renderStack(m);
  renderMemory(m);
  const output = $('console');
  output.textContent = ui.assembled ? api.console() : '';
  output.scrollTop = output.scrollHeight;
  const trace = $('trace');
  trace.textContent = ui.assembled ? api.trace(TRACE_LINES) : '';
  trace.scrollTop = trace.scrollHeight;
  const line = ui.assembled && m.state !== EMPTY ? lineOf(m.PC) : 0;
  renderBackdrop(line);
  if (line > 0 && line !== ui.shownLine) scrollEditorTo(line);
  ui.shownLine = line;
}

function renderStatus(m, state) {
  let text;
  if (!ui.assembled) {
    text = ui.errorLine ? `Assembly error on line ${ui.errorLine}` : 'Assemble a program to run it';
  } else {
    const where = `PC ${hex(m.PC, 4)}, line ${lineOf(m.PC) || '-'}`;
    const counts = `${m.instructions.toLocaleString('en')} instructions`;
    const words = {
      running: `Running: ${counts}`, ready: `Ready at ${where}; ${counts}`,
      halted: `Halted: ${counts}`, stopped: `Stopped at ${where}`,
      break: `Breakpoint at ${where}; ${counts}`,
    };
    text = words[state] || state;
    if (ui.edited) text += ' (source changed: Assemble to load it)';
  }
  $('status').textContent = text;
}

function renderRegisters(m) {
  const ir = `${hex(m.IR, 2)}h ${api.mnemonic(m.IR) || '?'}`;
  const rows = [
    ['PC', m.PC, `${hex(m.PC, 4)}h (${m.PC})`], ['SP', m.SP, `${hex(m.SP, 4)}h`],
    ['IR', m.IR, ir], ['Z', m.Z, m.Z], ['S', m.S, m.S], ['O', m.O, m.O], ['C', m.C, m.C],
    ['instructions', m.instructions, m.instructions], ['clocks', m.clocks, m.clocks],
  ];
  $('registers').innerHTML = rows.map(([name, value, shown]) =>
    `<tr><td>${name}</td><td id="reg-${name}" data-value="${value}">${shown}</td></tr>`).join('');
}

// The bytes above SP, top first.
function renderStack(m) {
  const bytes = memoryBytes();
  const lines = [];
  if (m.SP !== 0) {
    for (let a = m.SP + 1; a <= STACK_TOP && lines.length < STACK_ROWS; ++a) {
      lines.push(`${hex(a, 4)}: ${hex(bytes[a], 2)}  ${String(bytes[a]).padStart(3)}`);
    }
    const more = STACK_TOP - m.SP - lines.length;
    if (more > 0) lines.push(`... ${more} more`);
  }
  $('stack').textContent = lines.length ? lines.join('\n') : '(empty)';
}

// Only the rows in sight are drawn; the inner block is as tall as all of them.
function renderMemory(m) {
  const view = $('memory');
  const rows = $('memory-rows');
  rows.style.height = `${(MEMORY_SIZE / ROW_BYTES) * ROW_HEIGHT}px`;
  const pcRow = Math.floor(m.PC / ROW_BYTES);
  if ($('follow').checked && ui.assembled) {
    const top = pcRow * ROW_HEIGHT;
    if (top < view.scrollTop || top + ROW_HEIGHT > view.scrollTop + view.clientHeight) {
      view.scrollTop = Math.max(0, top - view.clientHeight / 3);
    }
  }
  const first = Math.max(0, Math.floor(view.scrollTop / ROW_HEIGHT) - 2);
  const last = Math.min(MEMORY_SIZE / ROW_BYTES, first + Math.ceil(view.clientHeight / ROW_HEIGHT) + 4);
  const bytes = memoryBytes();
  const length = Math.max(1, api.length(bytes[m.PC]));
  const changed = new Set();
  const count = api.changedCount();
  const base = api.changedAddresses() >> 1;
  for (let i = 0; i < count; ++i) changed.add(M.HEAPU16[base + i]);
  let html = '';
  for (let row = first; row < last; ++row) {
    let line = `<span class="addr">${hex(row * ROW_BYTES, 4)}</span> `;
    for (let i = 0; i < ROW_BYTES; ++i) {
      const a = row * ROW_BYTES + i;
      let cls = '';
      if (ui.assembled && a >= m.PC && a < m.PC + length) cls += ' pc';
      if (changed.has(a)) cls += ' changed';
      if (a === m.SP) cls += ' sp';
      const text = hex(bytes[a], 2);
      line += cls ? ` <span class="${cls.trim()}" data-address="${a}">${text}</span>` : ` ${text}`;
    }
    html += `<div style="top:${row * ROW_HEIGHT}px">${line}</div>`;
  }
  rows.innerHTML = html;
}

// --- Running --------------------------------------------------------------

function startRun(breakpoints) {
  if (!ui.assembled || ui.run) return;
  // Run starts again from the top once a run has ended.
  if (breakpoints === IGNORE_BREAKPOINTS && api.ended()) api.reset();
  const m = machine();
  ui.run = { breakpoints, first: true, start: performance.now(), startCount: m.instructions };
  render();
  requestAnimationFrame(runFrame);
}

// At full speed a frame runs slices until its time is spent, each sized by
// the last measured rate to fill the time left (mostly one slice: only the
// last instructions of a slice keep undo records, so long slices run
// fastest); at a set speed it runs the instructions that are due by now.
function runFrame(now) {
  const run = ui.run;
  if (run === null) return;
  const speed = Number($('speed').value);
  const slice = (count) => {
    const use = run.breakpoints === IGNORE_BREAKPOINTS ? IGNORE_BREAKPOINTS
      : run.first ? PASS_THE_FIRST : STOP_AT_ANY;
    run.first = false;
    const before = machine().instructions;
    const started = performance.now();
    const state = api.run(count, use);
    const took = performance.now() - started;
    if (took >= 1) ui.rate = Math.max(1000, ((machine().instructions - before) >>> 0) / took);
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
    while (state === READY && left() > 1);
  }
  if (state !== READY) ui.run = null;
  render();
  if (ui.run) requestAnimationFrame(runFrame);
}

function stopAnimation() {
  ui.run = null;
}

function stopRun() {
  if (!ui.run) return;
  stopAnimation();
  api.abort();
  render();
}

function act(operation) {
  if (!ui.assembled) return;
  stopAnimation();
  operation();
  render();
}

// --- Setting up -----------------------------------------------------------

function showPane(name) {
  for (const tab of document.querySelectorAll('.tab')) {
    tab.classList.toggle('active', tab.dataset.pane === name);
    $(tab.dataset.pane).classList.toggle('hidden', tab.dataset.pane !== name);
  }
}

function loadExample(name) {
  const example = EXAMPLES.find((e) => e.name === name);
  if (!example) return;
  $('source').value = example.source;
  $('source').scrollTop = 0;
  assemble();
}

function setUp() {
  const menu = $('examples');
  for (const example of EXAMPLES) menu.add(new Option(example.name, example.name));
  menu.addEventListener('change', () => loadExample(menu.value));
  $('assemble').addEventListener('click', assemble);
  $('run').addEventListener('click', () => startRun(IGNORE_BREAKPOINTS));
  $('continue').addEventListener('click', () => startRun(STOP_AT_ANY));
  $('step').addEventListener('click', () => act(api.step));
  $('back').addEventListener('click', () => act(api.stepBack));
  $('reset').addEventListener('click', () => act(api.reset));
  $('stop').addEventListener('click', stopRun);
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') stopRun();
  });
  const source = $('source');
  source.addEventListener('scroll', syncEditorScroll);
  source.addEventListener('input', () => {
    ui.edited = true;
    renderGutter();
    render();
  });
  $('gutter').addEventListener('click', (event) => {
    const address = event.target.dataset.address;
    if (address !== undefined) toggleBreakpoint(Number(address));
  });
  $('symbols').addEventListener('click', (event) => {
    const row = event.target.closest('.symbol');
    if (row) toggleBreakpoint(Number(row.dataset.address));
  });
  for (const tab of document.querySelectorAll('.tab')) {
    tab.addEventListener('click', () => showPane(tab.dataset.pane));
  }
  $('memory').addEventListener('scroll', () => renderMemory(machine()));
  menu.value = 'hello.asm';
  loadExample('hello.asm');
}

createPlayground().then((mod) => {
  M = mod;
  api = bindApi(mod);
  setUp();
});
