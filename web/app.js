// The playground page and its embeddable widget (embed.html): an editor with
// colours, the assembler's listing and symbols, and live views of the
// machine, all over the WebAssembly module built from the assembler library
// and the machine core (playground.cpp). Runs go in slices, one per
// animation frame, so that the page never freezes. The widget has only some
// of the elements; every view draws only where its element is present.
'use strict';

const $ = (id) => document.getElementById(id);

// Run states as playground.cpp numbers them.
const READY = 0, EMPTY = 4;
const STATE_NAMES = ['ready', 'halted', 'stopped', 'break', 'empty', '', '', '', '', 'finding'];
// How a run treats breakpoints (playground.cpp's BreakpointUse).
const IGNORE_BREAKPOINTS = 0, STOP_AT_ANY = 1, PASS_THE_FIRST = 2;

const MEMORY_SIZE = 16384;
const STACK_TOP = 0x3FFF;
const LINE_HEIGHT = 18;   // editor lines, as in style.css
const ROW_HEIGHT = 16;    // memory rows, as in style.css
const ROW_BYTES = 16;
const TRACE_LINES = 40;
const STACK_ROWS = 64;
const FRAME_BUDGET_MS = 12;   // running time per task at full speed
const HEAT_SLICE = 1 << 20;   // instructions counted again per task for the heat column
const EMBED = document.body.dataset.page === 'embed';
const STORE_KEY = 'playground.source';   // the main page's kept source
const DIRECTIVES = new Set(['org', 'db', 'dw', 'end']);

let M = null;     // the WebAssembly module
let api = null;   // its functions
const ui = {
  assembled: false,
  edited: false,        // the source changed since it was assembled
  errorLine: 0,
  errorMessage: '',
  warnings: new Map(),  // line -> warning texts
  lineToAddress: new Map(),
  textLines: [],        // for each source line the assembler numbered, the editor row it begins on
  labelAt: new Map(),   // address -> label names
  breakLines: new Set(),  // source lines with a breakpoint
  example: null,        // the example the source came from: {name, source}
  sharedAddress: false, // the page's address holds the source as shared
  mnemonics: new Set(),
  run: null,            // while a run animates: { breakpoints, start, startCount, id }
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
};

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');
const esc = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
const show = (id, text) => { const e = $(id); if (e) e.textContent = text; return e; };

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
const lineOf = (address) => (ui.assembled ? M.HEAP32[(api.lineMap() >> 2) + address] : 0);
// Line numbers are the assembler's; a line longer than 255 characters is
// several of them, so the editor row of a line is looked up.
const rowOf = (line) => ui.textLines[line - 1] || line;

// --- Keeping and sharing the source ----------------------------------------

// The source as deflate-raw in base64url without padding, for `#code=`.
async function packSource(text) {
  const stream = new Blob([text]).stream().pipeThrough(new CompressionStream('deflate-raw'));
  const bytes = new Uint8Array(await new Response(stream).arrayBuffer());
  let binary = '';
  for (const b of bytes) binary += String.fromCharCode(b);
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

async function unpackSource(code) {
  const base64 = code.replace(/-/g, '+').replace(/_/g, '/');
  const binary = atob(base64 + '='.repeat((4 - (base64.length % 4)) % 4));
  const bytes = Uint8Array.from(binary, (c) => c.charCodeAt(0));
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
  return new Response(stream).text();
}

async function shareAddress() {
  const lines = [...ui.breakLines].sort((a, b) => a - b);
  let hash = `#code=${await packSource(getSource())}`;
  if (lines.length) hash += `&bp=${lines.join(',')}`;
  const page = EMBED ? 'index.html' : location.pathname;
  return new URL(page + hash, location.href).href;
}

async function share() {
  const address = await shareAddress();
  history.replaceState(null, '', address);
  ui.sharedAddress = true;
  const field = $('share-link');
  field.value = address;
  field.hidden = false;
  field.select();
  navigator.clipboard?.writeText(address).catch(() => {});
  show('status', `Share: the address holds the program (${address.length.toLocaleString('en')} characters)`);
}

function download(name, text) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

const baseName = () => (ui.example ? ui.example.name.replace(/\.asm$/, '') : 'program');

function keep() {
  if (EMBED) return;
  try {
    localStorage.setItem(STORE_KEY, JSON.stringify({ source: getSource(), example: ui.example?.name }));
  } catch (error) { /* storage full or refused: the page works on */ }
}

// --- Assembling -----------------------------------------------------------

function assemble() {
  stopAnimation();
  const source = getSource();
  const size = M.lengthBytesUTF8(source) + 1;
  const text = M._malloc(size);
  M.stringToUTF8(source, text, size);
  ui.assembled = api.assemble(text) === 1;
  M._free(text);
  ui.edited = false;
  ui.heat = null;
  show('who-result', '');  // it spoke of the run before
  ui.errorLine = ui.assembled ? 0 : api.errorLine();
  ui.errorMessage = api.errorMessage().trim();
  ui.warnings.clear();
  for (const row of api.warnings().split('\n').filter((r) => r)) {
    const [line, message] = row.split('\t');
    const texts = ui.warnings.get(Number(line)) || [];
    ui.warnings.set(Number(line), [...texts, message]);
  }
  ui.lineToAddress.clear();
  ui.labelAt.clear();
  const rows = api.textLines() >> 2;
  ui.textLines = Array.from(M.HEAP32.subarray(rows, rows + api.lineCount()));
  if (ui.assembled) {
    const map = M.HEAP32.subarray(api.lineMap() >> 2, (api.lineMap() >> 2) + MEMORY_SIZE);
    map.forEach((line, address) => {
      if (line > 0 && !ui.lineToAddress.has(line)) ui.lineToAddress.set(line, address);
    });
    for (const row of api.symbols().split('\n').filter((r) => r)) {
      const [name, value] = row.split(' ');
      ui.labelAt.set(Number(value), [...(ui.labelAt.get(Number(value)) || []), name]);
    }
  }
  // Breakpoints stay on their lines while those lines still place bytes.
  for (const line of [...ui.breakLines]) {
    if (ui.lineToAddress.has(line)) api.setBreakpoint(ui.lineToAddress.get(line), 1);
    else ui.breakLines.delete(line);
  }
  show('listing', ui.assembled ? api.machineListing() : api.listing());
  if ($('listing')) showPane('listing');
  renderSymbols();
  renderMessages();
  renderGutter();
  if (ui.errorLine > 0) scrollEditorTo(ui.errorLine);
  render();
}

function renderSymbols() {
  const pane = $('symbols');
  if (!pane) return;
  const rows = ui.assembled ? api.symbols().split('\n').filter((l) => l) : [];
  const breakAddresses = new Set([...ui.breakLines].map((line) => ui.lineToAddress.get(line)));
  pane.innerHTML = rows.map((row) => {
    const [name, value] = row.split(' ');
    const on = breakAddresses.has(Number(value));
    return `<div class="symbol${on ? ' breakpoint' : ''}" data-address="${value}" tabindex="0" role="button" ` +
      `aria-pressed="${on}">${esc(name).padEnd(20)} ${value.padStart(5)}  ${hex(Number(value), 4)}h</div>`;
  }).join('');
}

// The error and the warnings under the editor, each with its line.
function renderMessages() {
  const list = $('messages');
  if (!list) return;
  const rows = [];
  if (ui.errorLine > 0 || ui.errorMessage) rows.push(['error', ui.errorLine, ui.errorMessage]);
  for (const [line, texts] of [...ui.warnings].sort((a, b) => a[0] - b[0])) {
    for (const text of texts) rows.push(['warning', line, text]);
  }
  list.innerHTML = rows.map(([kind, line, text]) =>
    `<li class="${kind}">${line ? `line ${line}: ` : ''}${kind}: ${esc(text)}</li>`).join('');
  list.hidden = rows.length === 0;
}

function toggleBreakLine(line) {
  if (!ui.assembled || !ui.lineToAddress.has(line)) return;
  const on = !ui.breakLines.has(line);
  if (on) ui.breakLines.add(line); else ui.breakLines.delete(line);
  api.setBreakpoint(ui.lineToAddress.get(line), on ? 1 : 0);
  renderGutter();
  renderSymbols();
}

// --- The editor: colours, line numbers, breakpoints and markers ------------

const getSource = () => $('source').value;

// Sets the source as if typed: kept, shown in colour, the example marked edited.
function setSource(text) {
  $('source').value = text;
  sourceEdited();
}

function sourceEdited() {
  ui.edited = true;
  if (ui.sharedAddress) {
    // The address no longer describes the source: a reload keeps the edit.
    history.replaceState(null, '', location.pathname + location.search);
    ui.sharedAddress = false;
  }
  keep();
  renderExampleName();
  renderColours();
  renderGutter();
  render();
}

function renderExampleName() {
  const menu = $('examples');
  if (!menu) return;
  for (const option of menu.options) {
    const edited = ui.example && option.value === ui.example.name && getSource() !== ui.example.source;
    option.textContent = option.value ? option.value + (edited ? ' (edited)' : '') : '(choose)';
  }
  menu.value = ui.example ? ui.example.name : '';
}

// One line in colour: label definitions, mnemonics, directives, names,
// numbers and the comment.
function colourLine(line) {
  const semicolon = line.indexOf(';');
  const code = semicolon < 0 ? line : line.slice(0, semicolon);
  let html = code.replace(/(\[[A-Za-z][A-Za-z0-9]*)|([A-Za-z][A-Za-z0-9]*)|(\d+)|[^[A-Za-z0-9]+|\[/g,
    (text, label, word, number) => {
      if (label) return `<span class="t-label">${esc(label)}</span>`;
      if (number) return `<span class="t-number">${number}</span>`;
      if (!word) return esc(text);
      const lower = word.toLowerCase();
      const cls = ui.mnemonics.has(lower) ? 't-op' : DIRECTIVES.has(lower) ? 't-directive' : 't-name';
      return `<span class="${cls}">${esc(word)}</span>`;
    });
  if (semicolon >= 0) html += `<span class="t-comment">${esc(line.slice(semicolon))}</span>`;
  return html;
}

function renderColours() {
  $('highlight').innerHTML = getSource().split('\n').map(colourLine).join('\n') + '\n ';
  syncEditorScroll();
}

// Each editor row shows the number of the first line the assembler read on
// it; a row's marks stand for every line on it, and its breakpoint is on the
// first of them that placed bytes (data-code).
function rowLines() {
  const lines = new Map();
  ui.textLines.forEach((row, index) => {
    if (!lines.has(row)) lines.set(row, []);
    lines.get(row).push(index + 1);
  });
  return lines;
}

function renderGutter() {
  const count = getSource().split('\n').length;
  const linesOf = rowLines();
  let html = '';
  for (let row = 1, next = 1; row <= count; ++row) {
    const lines = linesOf.get(row) || [next];
    next = lines[lines.length - 1] + 1;
    const code = lines.find((line) => ui.lineToAddress.has(line));
    let cls = code ? '' : 'nocode';
    const titles = [];
    if (lines.some((line) => ui.breakLines.has(line))) cls += ' breakpoint';
    for (const line of lines.filter((l) => ui.warnings.has(l))) {
      cls += ' warning';
      titles.push(...ui.warnings.get(line).map((t) => `warning: ${t}`));
    }
    if (lines.includes(ui.errorLine)) {
      cls += ' error';
      titles.push(`error: ${ui.errorMessage}`);
    }
    for (const line of lines.filter((l) => ui.findingLines.has(l))) {
      cls += ' finding';
      titles.push(...ui.findingLines.get(line).map((t) => `finding: ${t}`));
    }
    const title = titles.length ? ` title="${esc(titles.join('\n')).replace(/"/g, '&quot;')}"` : '';
    html += `<div class="${cls}" data-line="${lines[0]}"${code ? ` data-code="${code}"` : ''}${title}>${lines[0]}</div>`;
  }
  $('gutter').innerHTML = html + '<div></div><div></div>';
  renderHeat();
  syncEditorScroll();
}

// --- The heat column: how often each line ran and its clocks -------------

// The counts follow the machine's place in the run: they are counted again
// from the start (pg_count_heat) in tasks of HEAT_SLICE instructions, and
// drawn when they have caught up; never while a run goes at full speed.
function scheduleHeat() {
  if (!$('heat') || !$('show-heat').checked || ui.heatPending) return;
  ui.heatPending = true;
  setTimeout(() => {
    ui.heatPending = false;
    if (!ui.assembled || (ui.run && Number($('speed').value) === 0)) return;
    if (!api.countHeat(HEAT_SLICE)) {
      scheduleHeat();
      return;
    }
    const base = api.heat() >> 3;
    ui.heat = M.HEAPF64.slice(base, base + 2 * (api.lineCount() + 1));
    renderHeat();
  }, 0);
}

// A count in at most five characters: 7, 4096, 12.3k, 4.1M, 2.0G.
function shortCount(n) {
  if (n < 10000) return String(n);
  const [value, unit] = n < 1e6 ? [n / 1e3, 'k'] : n < 1e9 ? [n / 1e6, 'M'] : [n / 1e9, 'G'];
  return (value < 100 ? value.toFixed(1) : Math.round(value)) + unit;
}

function renderHeat() {
  const column = $('heat');
  if (!column) return;
  const count = getSource().split('\n').length;
  const linesOf = rowLines();
  const heat = ui.assembled ? ui.heat : null;
  const at = (line, k) => (heat && 2 * line + k < heat.length ? heat[2 * line + k] : -1);
  let total = 0, most = 0;
  if (heat) for (let line = 1; 2 * line < heat.length; ++line) {
    total += Math.max(0, at(line, 1));
    most = Math.max(most, at(line, 0));
  }
  let html = '';
  for (let row = 1, next = 1; row <= count; ++row) {
    const lines = linesOf.get(row) || [next];
    next = lines[lines.length - 1] + 1;
    const code = lines.filter((line) => at(line, 0) >= 0);
    if (!code.length) {
      html += '<div></div>';
      continue;
    }
    const runs = code.reduce((sum, line) => sum + at(line, 0), 0);
    const clocks = code.reduce((sum, line) => sum + at(line, 1), 0);
    const share = total ? ((100 * clocks) / total).toFixed(1) : '0.0';
    const title = `line ${lines[0]}: ran ${runs.toLocaleString('en')} times, ${clocks.toLocaleString('en')} clocks ` +
      `(${share}% of the run's clocks)`;
    // Warmer with the logarithm of the count, against the line that ran most.
    const warmth = runs && most > 1 ? Math.log(runs) / Math.log(most) : runs ? 1 : 0;
    const style = runs ? ` style="background:hsl(${40 - 40 * warmth},95%,${92 - 22 * warmth}%)"` : '';
    html += `<div class="${runs ? 'ran' : 'never'}" data-line="${lines[0]}" data-runs="${runs}" ` +
      `data-clocks="${clocks}" title="${title}"${style}>${runs ? shortCount(runs) : '0'}</div>`;
  }
  column.innerHTML = html + '<div></div><div></div>';
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
  const source = $('source');
  $('gutter').scrollTop = source.scrollTop;
  if ($('heat')) $('heat').scrollTop = source.scrollTop;
  $('highlight').scrollTop = source.scrollTop;
  $('highlight').scrollLeft = source.scrollLeft;
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

// The line of the cursor's row that a breakpoint goes on.
function cursorLine() {
  const row = getSource().slice(0, $('source').selectionStart).split('\n').length;
  const lines = rowLines().get(row) || [row];
  return lines.find((line) => ui.lineToAddress.has(line)) || lines[0];
}

// --- Views of the machine -------------------------------------------------

function render() {
  ui.drawn = ui.countsDrawn = performance.now();
  const m = machine();
  const state = ui.run ? 'running' : !ui.assembled && ui.errorLine ? 'error' : STATE_NAMES[m.state];
  document.body.dataset.state = state;
  refreshFindings();
  renderStatus(m, state);
  renderRegisters(m);
  renderStack(m);
  renderMemory(m);
  const output = show('console', ui.assembled ? api.console() : '');
  if (output) output.scrollTop = output.scrollHeight;
  const trace = show('trace', ui.assembled ? nameOperands(api.trace(TRACE_LINES)) : '');
  if (trace) trace.scrollTop = trace.scrollHeight;
  renderTimeline();
  const line = ui.assembled && m.state !== EMPTY ? lineOf(m.PC) : 0;
  renderBackdrop(line);
  if (line > 0 && line !== ui.shownLine) scrollEditorTo(line);
  ui.shownLine = line;
  scheduleHeat();
}

// The slider over the run so far: from the start to the furthest instruction
// recorded, at the machine's position.
function renderTimeline() {
  const slider = $('timeline');
  if (!slider) return;
  const recorded = ui.assembled ? api.recorded() : 0;
  const position = ui.assembled ? api.position() : 0;
  slider.max = recorded;
  if (document.activeElement !== slider || ui.run) slider.value = position;
  slider.disabled = recorded === 0;
  show('timeline-text', `${position.toLocaleString('en')} of ${recorded.toLocaleString('en')}`);
}

// Which instruction last changed a byte: its number and trace line, with a
// button to go to the state it left.
function whoWrote(address) {
  const out = $('who-result');
  if (!ui.assembled || !(address >= 0 && address < MEMORY_SIZE)) {
    out.textContent = 'Give an address from 0 to 16383';
    return;
  }
  stopAnimation();
  const step = api.lastWrite(address);
  const where = `Byte ${hex(address, 4)}h (${address})`;
  if (step === 0) {
    out.textContent = `${where} has not changed since loading`;
    return;
  }
  const trace = api.traceLine(step);
  const pc = parseInt(trace.split(' ')[1], 16);
  out.innerHTML = `${where} was last changed by instruction ${step} (line ${lineOf(pc) || '-'}): ` +
    `<code>${esc(trace)}</code> <button id="who-go" class="small">Go to it</button>`;
  $('who-go').addEventListener('click', () => act(() => api.goTo(step)));
  render();
}

// The findings pane and the gutter's markers follow the run's findings; a
// new one brings the pane to the front.
function refreshFindings() {
  const count = ui.assembled ? api.findingCount() : 0;
  if (count === ui.findings.length) return;
  const grew = count > ui.findings.length;
  ui.findings = (count ? api.findings().split('\n').filter((r) => r) : []).map((row) => {
    const [kind, instruction, pc, line, label, text] = row.split('\t');
    return { kind: Number(kind), instruction: Number(instruction), pc: Number(pc), line: Number(line), label, text };
  });
  ui.findingLines.clear();
  for (const f of ui.findings.filter((f) => f.line > 0)) {
    ui.findingLines.set(f.line, [...(ui.findingLines.get(f.line) || []), f.text]);
  }
  renderGutter();
  renderFindings();
  if (grew && $('findings')) showPane('findings');
}

function renderFindings() {
  const list = $('finding-list');
  if (!list) return;
  const tab = document.querySelector('.tab[data-pane="findings"]');
  tab.textContent = ui.findings.length ? `Findings (${ui.findings.length})` : 'Findings';
  const titles = ui.kindTitles || [];
  list.innerHTML = ui.findings.length === 0 ? '<li class="none">No findings in this run</li>'
    : ui.findings.map((f) => {
      const where = f.line ? `line ${f.line}${f.label ? ` (${esc(f.label)})` : ''}` : hex(f.pc, 4);
      const message = f.text.slice(f.text.indexOf(': ') + 2);
      return `<li tabindex="0" role="button" data-instruction="${f.instruction}" title="Go to the state before ` +
        `instruction ${f.instruction}"><span class="where">${where}</span> <b>${esc(titles[f.kind] || '')}</b> ` +
        `at instruction ${f.instruction}: ${esc(message)}</li>`;
    }).join('');
}

// The kinds to look for, as checkboxes over the findings.
function setUpFindingKinds() {
  const box = $('finding-kinds');
  const rows = api.findingKinds().split('\n').filter((r) => r).map((r) => r.split('\t'));
  ui.kindTitles = rows.map(([, title]) => title);
  if (!box) return;
  box.innerHTML = rows.map(([name, title, on], bit) => `<label><input type="checkbox" data-bit="${bit}"` +
    `${on === '1' ? ' checked' : ''}> ${esc(title)}</label>`).join(' ');
  box.addEventListener('change', () => {
    let kinds = 0;
    for (const input of box.querySelectorAll('input:checked')) kinds |= 1 << Number(input.dataset.bit);
    api.setFindingKinds(kinds);
  });
}

// Trace lines with the label of a word operand that is a label's address:
// "... jmp 12 <loop> | ...".
function nameOperands(text) {
  return text.replace(/^(\d+ [0-9A-F]{4} ([a-z0-9]+) (\d+))( \|)/gm, (line, head, mnemonic, operand, rest) => {
    const names = ui.labelAt.get(Number(operand));
    const opcode = memoryBytes()[parseInt(head.split(' ')[1], 16)];
    return names && api.length(opcode) === 3 ? `${head} <${names[0]}>${rest}` : line;
  });
}

function renderStatus(m, state) {
  let text;
  if (!ui.assembled) {
    text = ui.errorLine ? `Assembly error on line ${ui.errorLine}: ${ui.errorMessage}` : 'Assemble a program to run it';
  } else {
    const where = `PC ${hex(m.PC, 4)}, line ${lineOf(m.PC) || '-'}`;
    const counts = `${m.instructions.toLocaleString('en')} instructions`;
    const words = {
      running: `Running: ${counts}`, ready: `Ready at ${where}; ${counts}`,
      halted: `Halted: ${counts}`, stopped: `Stopped at ${where}`,
      break: `Breakpoint at ${where}; ${counts}`,
      finding: `Finding: ${ui.findings.length ? ui.findings[ui.findings.length - 1].text : ''}; now at ${where}`,
    };
    text = words[state] || state;
    if (ui.edited) text += EMBED ? ' (edited)' : ' (source changed: Assemble to load it)';
  }
  show('status', text);
}

// After a failed assembly the machine views show nothing rather than the
// last run.
function renderRegisters(m) {
  const table = $('registers');
  if (!table) return;
  const ir = `${hex(m.IR, 2)}h ${api.mnemonic(m.IR) || '?'}`;
  const rows = [
    ['PC', m.PC, `${hex(m.PC, 4)}h (${m.PC})`], ['SP', m.SP, `${hex(m.SP, 4)}h`],
    ['IR', m.IR, ir], ['Z', m.Z, m.Z], ['S', m.S, m.S], ['O', m.O, m.O], ['C', m.C, m.C],
    ['instructions', m.instructions, m.instructions], ['clocks', m.clocks, m.clocks],
  ];
  table.innerHTML = rows.map(([name, value, shown]) => (ui.assembled
    ? `<tr><th scope="row">${name}</th><td id="reg-${name}" data-value="${value}">${shown}</td></tr>`
    : `<tr><th scope="row">${name}</th><td id="reg-${name}">-</td></tr>`)).join('');
}

// The bytes above SP, top first.
function renderStack(m) {
  if (!$('stack')) return;
  const bytes = memoryBytes();
  const lines = [];
  if (ui.assembled && m.SP !== 0) {
    for (let a = m.SP + 1; a <= STACK_TOP && lines.length < STACK_ROWS; ++a) {
      lines.push(`${hex(a, 4)}: ${hex(bytes[a], 2)}  ${String(bytes[a]).padStart(3)}`);
    }
    const more = STACK_TOP - m.SP - lines.length;
    if (more > 0) lines.push(`... ${more} more`);
  }
  show('stack', lines.length ? lines.join('\n') : ui.assembled ? '(empty)' : '');
}

// A byte as the memory view's format shows it.
const BYTE_FORMATS = {
  hex: (b) => hex(b, 2),
  decimal: (b) => String(b).padStart(3),
  characters: (b) => (b >= 32 && b < 127 ? ` ${String.fromCharCode(b)}` : ' .'),
};

// Only the rows in sight are drawn; the inner block is as tall as all of them.
function renderMemory(m) {
  const view = $('memory');
  if (!view) return;
  const rows = $('memory-rows');
  if (!ui.assembled) {
    rows.innerHTML = '';
    return;
  }
  rows.style.height = `${(MEMORY_SIZE / ROW_BYTES) * ROW_HEIGHT}px`;
  const pcRow = Math.floor(m.PC / ROW_BYTES);
  if ($('follow').checked) {
    const top = pcRow * ROW_HEIGHT;
    if (top < view.scrollTop || top + ROW_HEIGHT > view.scrollTop + view.clientHeight) {
      view.scrollTop = Math.max(0, top - view.clientHeight / 3);
    }
  }
  const format = BYTE_FORMATS[$('memory-format').value];
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
      if (a >= m.PC && a < m.PC + length) cls += ' pc';
      if (changed.has(a)) cls += ' changed';
      if (a === m.SP) cls += ' sp';
      const names = ui.labelAt.get(a);
      if (names) cls += ' label';
      const title = names ? ` title="${names.join(', ')} = ${a}"` : '';
      const text = format(bytes[a]);
      // Plain bytes are text: a span for each of them made drawing three
      // times slower. A click finds its byte by the column (byteAt).
      line += cls ? ` <span class="${cls.trim()}" data-address="${a}"${title}>${text}</span>` : ` ${text}`;
    }
    html += `<div style="top:${row * ROW_HEIGHT}px" data-row="${row * ROW_BYTES}">${line}</div>`;
  }
  rows.innerHTML = html;
}

// The address of the byte a click in the memory view is on: a marked byte
// says it, a plain one is found by its column in the row's monospaced text
// ("0010  00 01 ...": the address, then a blank and the byte per column).
function byteAt(event) {
  if (event.target.dataset.address !== undefined) return Number(event.target.dataset.address);
  const row = event.target.closest('[data-row]');
  if (!row) return undefined;
  const label = row.querySelector('.addr');
  const charWidth = label.getBoundingClientRect().width / 4;
  const column = (event.clientX - label.getBoundingClientRect().left) / charWidth;
  const width = 1 + BYTE_FORMATS[$('memory-format').value](0).length;
  const index = Math.floor((column - 5) / width);
  return index >= 0 && index < ROW_BYTES ? Number(row.dataset.row) + index : undefined;
}

// --- Running --------------------------------------------------------------

// The widget has no Assemble button: its controls load an edited source first.
function readyToRun() {
  if (EMBED && (ui.edited || !ui.assembled)) assemble();
  return ui.assembled;
}

function startRun(breakpoints) {
  if (ui.run || !readyToRun()) return;
  // Run starts again from the top once a run has ended.
  if (breakpoints === IGNORE_BREAKPOINTS && api.ended()) api.reset();
  const m = machine();
  ui.run = { breakpoints, first: true, start: performance.now(), startCount: m.instructions, id: ++ui.runs };
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
  if (ui.run && ui.run.id === event.data) runFrame(performance.now());
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
    const use = run.breakpoints === IGNORE_BREAKPOINTS ? IGNORE_BREAKPOINTS
      : run.first ? PASS_THE_FIRST : STOP_AT_ANY;
    run.first = false;
    const before = machine().instructions;
    const started = performance.now();
    const state = api.run(count, use);
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
    while (state === READY && left() > 1);
  }
  if (state !== READY) ui.run = null;
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
  if (!ui.run) return;
  stopAnimation();
  api.abort();
  render();
}

function act(operation) {
  if (!readyToRun()) return;
  stopAnimation();
  operation();
  render();
}

// --- Setting up -----------------------------------------------------------

function showPane(name) {
  for (const tab of document.querySelectorAll('.tab')) {
    const active = tab.dataset.pane === name;
    tab.classList.toggle('active', active);
    tab.setAttribute('aria-selected', active);
    $(tab.dataset.pane).classList.toggle('hidden', !active);
  }
}

function loadSource(text, example, breakLines) {
  $('source').value = text;
  $('source').scrollTop = 0;
  ui.example = example;
  ui.breakLines = new Set(breakLines);
  renderExampleName();
  renderColours();
  assemble();
}

function loadExample(name) {
  const example = EXAMPLES.find((e) => e.name === name);
  if (!example) return;
  loadSource(example.source, example, []);
  keep();
}

// The program to start with: a shared one in the address, a named example,
// the source kept from the last visit, or hello.asm.
async function startingProgram() {
  const params = new URLSearchParams(location.hash.slice(1));
  const breakLines = (params.get('bp') || '').split(',').filter((n) => /^\d+$/.test(n)).map(Number);
  if (params.get('code')) {
    try {
      const source = await unpackSource(params.get('code'));
      ui.sharedAddress = true;
      return { source, example: EXAMPLES.find((e) => e.source === source) || null, breakLines };
    } catch (error) {
      console.warn('the address holds no readable program:', error);
    }
  }
  const named = EXAMPLES.find((e) => e.name === params.get('example'));
  if (named) return { source: named.source, example: named, breakLines };
  let kept = null;
  try { kept = EMBED ? null : JSON.parse(localStorage.getItem(STORE_KEY) || 'null'); } catch (error) { kept = null; }
  if (kept && typeof kept.source === 'string') {
    return { source: kept.source, example: EXAMPLES.find((e) => e.name === kept.example) || null, breakLines: [] };
  }
  const hello = EXAMPLES.find((e) => e.name === 'hello.asm');
  return { source: hello.source, example: hello, breakLines: [] };
}

// Keys: F10 step, Shift+F10 step back, F5 continue, Shift+F5 reverse
// continue, F9 breakpoint on the cursor's line, Escape stop. Each acts as its button (shown in its tooltip).
const KEYS = {
  F10: 'step', 'Shift+F10': 'back', F5: 'continue', 'Shift+F5': 'reverse', F9: 'toggle-breakpoint', Escape: 'stop',
};

function onKey(event) {
  const name = (event.shiftKey ? 'Shift+' : '') + event.key;
  const button = KEYS[name] && $(KEYS[name]);
  if (!button) return;
  event.preventDefault();
  if (!button.disabled) button.click();
}

function on(id, handler) {
  const element = $(id);
  if (element) element.addEventListener('click', handler);
}

async function setUp() {
  for (let opcode = 0; opcode < 256; ++opcode) if (api.mnemonic(opcode)) ui.mnemonics.add(api.mnemonic(opcode));
  const menu = $('examples');
  if (menu) {
    for (const example of EXAMPLES) menu.add(new Option(example.name, example.name));
    menu.addEventListener('change', () => loadExample(menu.value));
  }
  on('assemble', assemble);
  on('run', () => startRun(IGNORE_BREAKPOINTS));
  on('continue', () => startRun(STOP_AT_ANY));
  on('step', () => act(api.step));
  on('back', () => act(api.stepBack));
  on('reset', () => act(api.reset));
  on('to-start', () => act(() => api.goTo(0)));
  on('back-n', () => act(() => api.goTo(Math.max(0, api.position() - Math.max(1, Number($('back-count').value) || 1)))));
  on('reverse', () => act(api.reverseContinue));
  on('who-button', () => whoWrote(Number($('who-address').value)));
  if ($('timeline')) $('timeline').addEventListener('input', (event) => act(() => api.goTo(Number(event.target.value))));
  on('stop', stopRun);
  on('share', share);
  setUpFindingKinds();
  if ($('show-heat')) {
    $('show-heat').addEventListener('change', () => {
      $('editor').classList.toggle('no-heat', !$('show-heat').checked);
      scheduleHeat();
    });
  }
  const findingList = $('finding-list');
  if (findingList) {
    const go = (event) => {
      const row = event.target.closest('li[data-instruction]');
      if (row) act(() => api.goTo(Number(row.dataset.instruction) - 1));
    };
    findingList.addEventListener('click', go);
    findingList.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        go(event);
      }
    });
  }
  on('toggle-breakpoint', () => toggleBreakLine(cursorLine()));
  on('download-source', () => download(`${baseName()}.asm`, getSource()));
  on('download-object', () => {
    if (ui.edited || !ui.assembled) assemble();
    if (ui.assembled) download(`${baseName()}.hx`, api.objectCode());
  });
  document.addEventListener('keydown', onKey);
  const source = $('source');
  source.addEventListener('scroll', syncEditorScroll);
  source.addEventListener('input', sourceEdited);
  $('gutter').addEventListener('click', (event) => toggleBreakLine(Number(event.target.dataset.code)));
  const symbols = $('symbols');
  if (symbols) {
    const toggle = (event) => {
      const row = event.target.closest('.symbol');
      if (row) toggleBreakLine(lineOf(Number(row.dataset.address)));
    };
    symbols.addEventListener('click', toggle);
    symbols.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        toggle(event);
      }
    });
  }
  for (const tab of document.querySelectorAll('.tab')) {
    tab.addEventListener('click', () => showPane(tab.dataset.pane));
  }
  if ($('memory')) {
    $('memory').addEventListener('scroll', () => renderMemory(machine()));
    $('memory-rows').addEventListener('click', (event) => {
      const address = byteAt(event);
      if (address === undefined) return;
      $('who-address').value = address;
      whoWrote(address);
    });
    $('memory-format').addEventListener('change', () => renderMemory(machine()));
  }
  const start = await startingProgram();
  loadSource(start.source, start.example, start.breakLines);
}

window.playground = {
  getSource,
  setSource,
  objectCode: () => (ui.assembled ? api.objectCode() : ''),
  shareAddress,
};

createPlayground().then((mod) => {
  M = mod;
  api = bindApi(mod);
  setUp();
});
