// The playground page and its embeddable widget (embed.html): an editor with
// colours, the assembler's listing and symbols, and live views of the
// machine, all over the WebAssembly module built from the assembler library
// and the machine core (playground.cpp). Runs go in slices, one per
// animation frame, so that the page never freezes. The widget has only some
// of the elements; every view draws only where its element is present.
//
// Classic scripts sharing one global scope, loaded in this order:
// app-core.js (constants, the page's state, the module's functions),
// app-keep.js (keeping the student's work, links), app-editor.js (sharing
// the source, assembling, the editor and its heat column), app-views.js (the views of the machine), app-run.js
// (running), app-language.js (hover, completion and signature help from
// the language server's code), app.js (setting up). Only app.js runs anything at load.
'use strict';

const $ = (id) => document.getElementById(id);

// Run states as playground.cpp numbers them.
const READY = 0, EMPTY = 4, KEY_WAIT = 10;
const STATE_NAMES = ['ready', 'halted', 'stopped', 'break', 'empty', 'watch', '', '', '', 'finding', 'waiting'];
// How a run treats breakpoints (pg_run: with breakpoints or without).
const IGNORE_BREAKPOINTS = 0, STOP_AT_ANY = 1;

const MEMORY_SIZE = 16384;
const STACK_TOP = 0x3FFF;
const LINE_HEIGHT = 18;   // editor lines, as in style.css
const ROW_HEIGHT = 16;    // memory rows, as in style.css
const ROW_BYTES = 16;
const TRACE_LINES = 40;
const STACK_ROWS = 64;
const FRAME_BUDGET_MS = 12;   // running time per task at full speed
const HEAT_SLICE = 1 << 20;   // instructions counted again per task for the heat column
const MOTION_PIECE = 1 << 18; // instructions per piece of a Step over or Step out (one instruction at a time)
const EMBED = document.body.dataset.page === 'embed';
const STORE_KEY = 'playground.source';   // the source as earlier versions of the page kept it
const DIRECTIVES = new Set(['org', 'db', 'dw', 'end']);

let M = null;     // the WebAssembly module
let api = null;   // its functions
const ui = {
  assembled: false,
  edited: false,        // the source changed since it was assembled
  errorLine: 0,
  errorMessage: '',
  warnings: new Map(),  // line -> warning texts
  diagnostics: null,    // the language server's [kind, line, text] rows for the text typed since
  lineToAddress: new Map(),
  textLines: [],        // for each source line the assembler numbered, the editor row it begins on
  labelAt: new Map(),   // address -> label names
  breakLines: new Set(),  // source lines with a breakpoint
  example: null,        // the example the source came from: {name, source}
  sharedAddress: false, // the page's address holds the source as shared
  mnemonics: new Set(),
  run: null,            // while a run animates: { breakpoints, start, startCount, id }
  paused: null,         // a run waiting for a key before an `in 1`, to go on with (null: a step waits)
  runs: 0,              // runs started, for telling a run's tasks from an earlier one's
  renderPending: false, // a frame is asked for to draw the views
  countsDrawn: 0,       // when the counts were last drawn
  drawn: 0,             // when the views were last drawn
  rate: 10000,          // instructions per millisecond at full speed, as last measured
  shownLine: 0,         // the current line the editor last scrolled to
  findings: [],         // the run's findings: {kind, instruction, pc, line, label, text}
  findingLines: new Map(),  // line -> texts of the findings marked on it
  heat: null,           // per line from 0: [instructions, clocks] of the run so far (-1: no instruction)
  heatPending: false,   // a task counting the heat is posted
  heatCounting: false,  // the counts are being brought to the machine's place (the column says so)
  text: undefined,      // the source as last seen, for following an edit
  lineMove: null,       // after edits: the assembler's line -> the line it is on now (0: gone)
  faultLine: 0,         // the line of a stop other than the user's
  name: 'program.asm',  // the student's program's name
  current: '',          // the id of the student's program shown (see app-keep.js)
  conflict: null,       // the id of the program another tab changed, while the student chooses
  lastKept: '',         // the program shown as this tab last stored it
  writePending: false,  // an edit waits to be stored
  writeTimer: 0,
  storageFailed: false, // the last write failed (the notice says so)
  escaped: false,       // Escape was the editor's last key: Tab leaves it
  registersAt: -1,      // the position the registers were last drawn at (-1: none since assembling),
  registersNow: null,   // their values there,
  registersBefore: null,  // and at the position before (the changed ones are marked)
  original: null,       // the widget's program as its page gave it
  widgetAddress: '',    // the widget's fragment as it was opened
  limit: 0,             // instructions a run started by a message may take (0: no limit)
  limitHit: false,      // the last run stopped at that limit
  cursorAddress: -1,    // the address the last Run to cursor went to (its stop is named so)
  analysed: null,       // the source the language server's code last analysed
  completion: null,     // the completion list shown: {items, chosen}
  tipAtCursor: false,   // the tip was asked for at the cursor (the mouse leaving keeps it)
};

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');
const esc = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
// Sets an element's text, leaving it alone when unchanged (a live region
// announces every change).
const show = (id, text) => {
  const e = $(id);
  if (e && e.textContent !== text) e.textContent = text;
  return e;
};

function bindApi(mod) {
  const f = (name, result, args) => mod.cwrap(name, result, args);
  return {
    assemble: f('pg_assemble', 'number', ['number']),
    listing: f('pg_listing', 'string', []),
    machineListing: f('pg_machine_listing', 'string', []),
    errorLine: f('pg_error_line', 'number', []),
    errorMessage: f('pg_error_message', 'string', []),
    warnings: f('pg_warnings', 'string', []),
    objectCode: f('pg_object_code', 'string', []),
    symbols: f('pg_symbols', 'string', []),
    lineMap: f('pg_line_map', 'number', []),
    lineCount: f('pg_line_count', 'number', []),
    textLines: f('pg_text_lines', 'number', []),
    reset: f('pg_reset', 'number', []),
    // The cursor's address (Run to cursor), -1 for none.
    run: ((run) => (count, use, cursor = -1) => run(count, use, cursor))(f('pg_run', 'number', ['number', 'number', 'number'])),
    step: f('pg_step', 'number', []),
    stepBack: f('pg_step_back', 'number', []),
    abort: f('pg_abort', 'number', []),
    key: f('pg_key', 'number', []),
    setKeyWaits: f('pg_set_key_waits', null, ['number']),
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
    position: f('pg_position', 'number', []),
    recorded: f('pg_recorded', 'number', []),
    goTo: f('pg_go_to', 'number', ['number']),
    reverseContinue: f('pg_reverse_continue', 'number', []),
    lastWrite: f('pg_last_write', 'number', ['number']),
    traceLine: f('pg_trace_line', 'string', ['number']),
    findingCount: f('pg_finding_count', 'number', []),
    findings: f('pg_findings', 'string', []),
    findingKinds: f('pg_finding_kinds', 'string', []),
    setFindingKinds: f('pg_set_finding_kinds', null, ['number']),
    countHeat: f('pg_count_heat', 'number', ['number']),
    heat: f('pg_heat', 'number', []),
    stopReason: f('pg_stop_reason', 'string', []),
    userStop: f('pg_user_stop', 'number', []),
    outValues: f('pg_out_values', 'string', []),
    frames: f('pg_frames', 'string', []),
    stack: f('pg_stack', 'string', ['number']),
    stepOver: f('pg_step_over', 'number', ['number']),
    stepOut: f('pg_step_out', 'number', ['number']),
    motionPending: f('pg_motion_pending', 'number', []),
    motionGoOn: f('pg_motion_go_on', 'number', ['number']),
    addWatch: f('pg_add_watch', 'number', ['number']),
    deleteWatch: f('pg_delete_watch', null, ['number']),
    watches: f('pg_watches', 'string', []),
    watchHit: f('pg_watch_hit', 'string', []),
    change: f('pg_change', 'number', ['number', 'number', 'number']),
    // The checker's report on the source's own expectations (checking.cpp).
    check: f('ck_check', 'string', ['number', 'string']),
    // The language server's answers (language.cpp): the protocol's JSON.
    languageSource: f('ls_source', null, ['number']),
    languageDiagnostics: f('ls_diagnostics', 'string', []),
    languageHover: f('ls_hover', 'string', ['number', 'number']),
    languageCompletion: f('ls_completion', 'string', ['number', 'number']),
    languageSignature: f('ls_signature_help', 'string', ['number', 'number']),
  };
}

// The module's memory may grow, so its views are fetched on every use.
function machine() {
  const base = api.registers() >> 2;
  const r = M.HEAPU32.subarray(base, base + 12);
  // The counts are 64-bit, low half first: exact as numbers up to 2^53.
  return {
    PC: r[0], SP: r[1], IR: r[2], Z: r[3], S: r[4], O: r[5], C: r[6],
    instructions: r[7] + r[8] * 2 ** 32, clocks: r[9] + r[10] * 2 ** 32, state: r[11],
  };
}
const memoryBytes = () => M.HEAPU8.subarray(api.memory(), api.memory() + MEMORY_SIZE);
function lineOf(address) {
  if (!ui.assembled) return 0;
  const line = M.HEAP32[(api.lineMap() >> 2) + address];
  return ui.lineMove ? ui.lineMove[line] || 0 : line;
}
// Line numbers are the assembler's; a line longer than 255 characters is
// several of them, so the editor row of a line is looked up.
const rowOf = (line) => ui.textLines[line - 1] || line;
