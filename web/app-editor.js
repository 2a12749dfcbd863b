// The playground's source: kept and shared, assembled, and the editor with
// its colours, gutter, markers and heat column (see app-core.js).
'use strict';

// --- Keeping and sharing the source ----------------------------------------

// The source as deflate-raw in base64url without padding, for `#code=`.
async function packSource(text) {
  const stream = new Blob([text]).stream().pipeThrough(new CompressionStream('deflate-raw'));
  const bytes = new Uint8Array(await new Response(stream).arrayBuffer());
  let binary = '';
  for (const b of bytes) binary += String.fromCharCode(b);
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
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
  ui.heatCounting = false;
  ui.registersAt = -1;
  ui.lineMove = null;   // marks are the assembler's again, for this text
  ui.text = source;
  ui.faultLine = 0;
  show('who-result', '');  // it spoke of the run before
  ui.errorLine = ui.assembled ? 0 : api.errorLine();
  ui.errorMessage = api.errorMessage().trim();
  ui.warnings.clear();
  ui.diagnostics = null;
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

// Check: the source's own "; expect:" lines run by the checker's core, its
// report shown as the checker prints it for a file of the program's name.
function checkSource() {
  const source = getSource();
  const size = M.lengthBytesUTF8(source) + 1;
  const text = M._malloc(size);
  M.stringToUTF8(source, text, size);
  const report = api.check(text, programName());
  M._free(text);
  show('check-report', report);
  showPane('check-report');
  show('status', `Check: ${report.trim().split('\n').pop()}`);
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

// The error and the warnings under the editor, each with its line: the
// last assembly's, or the language server's for the text typed since.
function renderMessages() {
  const list = $('messages');
  if (!list) return;
  const rows = [];
  if (ui.diagnostics) {
    rows.push(...ui.diagnostics);
  } else {
    if (ui.errorLine > 0 || ui.errorMessage) rows.push(['error', ui.errorLine, ui.errorMessage]);
    for (const [line, texts] of [...ui.warnings].sort((a, b) => a[0] - b[0])) {
      for (const text of texts) rows.push(['warning', line, text]);
    }
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
  if (!ui.example) keep(true);
}

// --- The editor: colours, line numbers, breakpoints and markers ------------

const getSource = () => $('source').value;

// Sets the source as if typed: kept, shown in colour, the example marked edited.
function setSource(text) {
  $('source').value = text;
  sourceEdited();
  writeNow();
}

// A keystroke redraws only what it changed: the colours of its lines, the
// gutter and heat when lines moved, and the status once when the source
// first differs from the one assembled; the machine views stay as they are.
function sourceEdited() {
  const wasEdited = ui.edited;
  ui.edited = true;
  const moved = followEdit(ui.text, getSource());
  ui.text = getSource();
  if (ui.sharedAddress && !EMBED) {
    // The address no longer describes the source: a reload keeps the edit.
    history.replaceState(null, '', location.pathname + location.search);
    ui.sharedAddress = false;
  }
  keep();
  // Drawn without reading the layout (the textarea's own scroll event keeps
  // the copies in line): a read here made the browser lay out the page.
  renderColours();
  if (moved) {
    renderGutter(false);   // a change within lines leaves the gutter and heat as they are
    renderBackdrop(ui.shownLine ? lineOf(machine().PC) : 0);   // the current line, moved
  }
  if (!wasEdited && ui.assembled) renderStatus(machine(), document.body.dataset.state);
}

// After an edit the marks of the last assembly follow their lines: lines
// above the changed stretch keep their numbers, lines below it move by the
// lines inserted or deleted, and the marks inside it go until the source is
// assembled again (unless the stretch kept its number of lines). Says
// whether lines moved.
function followEdit(before, after) {
  if (before === undefined || before === after) return false;
  const a = before.split('\n'), b = after.split('\n');
  let head = 0;
  while (head < a.length && head < b.length && a[head] === b[head]) ++head;
  let tail = 0;
  while (tail < a.length - head && tail < b.length - head && a[a.length - 1 - tail] === b[b.length - 1 - tail]) ++tail;
  const shift = b.length - a.length;
  if (shift === 0) return false;   // a change within lines moves nothing
  const move = (n) => (n <= head ? n : n > a.length - tail ? n + shift : 0);
  const moveKeys = (map) => new Map([...map].map(([line, v]) => [move(line), v]).filter(([line]) => line > 0));
  ui.breakLines = new Set([...ui.breakLines].map(move).filter((line) => line > 0));
  ui.errorLine = move(ui.errorLine);
  ui.faultLine = move(ui.faultLine);
  ui.warnings = moveKeys(ui.warnings);
  ui.findingLines = moveKeys(ui.findingLines);
  ui.lineToAddress = moveKeys(ui.lineToAddress);
  ui.textLines = [];   // rows are lines until the next assembly
  const lines = (ui.lineMove || []).length || (ui.assembled ? api.lineCount() + 1 : 0);
  ui.lineMove = ui.lineMove ? ui.lineMove.map((n) => (n ? move(n) : 0))
    : Array.from({ length: lines }, (_, n) => move(n));
  if (ui.heat) ui.heat = movedHeat(ui.heat);
  return true;
}

// Heat counts by the assembler's lines, moved to where those lines are now.
function movedHeat(heat) {
  if (!ui.lineMove) return heat;
  const moved = new Float64Array(2 * (getSource().split('\n').length + 1)).fill(-1);
  for (let line = 1; 2 * line + 1 < heat.length; ++line) {
    const to = ui.lineMove[line];
    if (to > 0 && 2 * to + 1 < moved.length) moved.set([heat[2 * line], heat[2 * line + 1]], 2 * to);
  }
  return moved;
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

// The source in colour: the rows in sight and a screen's worth either side,
// one element a line after a spacer that stands for the rows above (so the
// box scrolls with the textarea). A keystroke draws only its line again;
// drawing every line made each key lay out thousands of rows.
function renderColours() {
  const lines = getSource().split('\n');
  lines.push('\0');   // a last row, as the textarea has room below its last line
  const rows = ui.editorRows || 60;
  const first = Math.max(0, Math.min(Math.floor((ui.editorTop || 0) / LINE_HEIGHT) - rows, lines.length - 3 * rows));
  const shown = lines.slice(first, first + 3 * rows);
  const box = $('highlight');
  box.dataset.first = first;
  patchRows(box, [`\0${first}`, ...shown], (i) => (i === 0 ? `<div style="height:${first * LINE_HEIGHT}px"></div>`
    : first + i < lines.length ? `<div>${colourLine(shown[i - 1])}</div>` : '<div></div>'));
}

// Brings the children of box, one element a row, to the rows named by keys:
// the rows before the first key that changed and after the last stay, those
// between are drawn again from html(i). A row's key is its text or its HTML.
function patchRows(box, keys, html) {
  const old = box.rowKeys && box.children.length === box.rowKeys.length ? box.rowKeys : [];
  if (!old.length) box.textContent = '';
  let head = 0;
  while (head < keys.length && head < old.length && keys[head] === old[head]) ++head;
  let tail = 0;
  while (tail < keys.length - head && tail < old.length - head &&
         keys[keys.length - 1 - tail] === old[old.length - 1 - tail]) ++tail;
  const rows = box.children;
  if (head < old.length - tail) {
    const range = document.createRange();
    range.setStartBefore(rows[head]);
    range.setEndAfter(rows[old.length - tail - 1]);
    range.deleteContents();
  }
  let text = '';
  for (let i = head; i < keys.length - tail; ++i) text += html(i);
  if (text && head === 0) box.insertAdjacentHTML('afterbegin', text);
  else if (text) rows[head - 1].insertAdjacentHTML('afterend', text);
  box.rowKeys = keys;
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

function renderGutter(sync = true) {
  const count = getSource().split('\n').length;
  const linesOf = rowLines();
  const rows = [];
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
    if (ui.faultLine && lines.includes(ui.faultLine)) {
      cls += ' error';
      titles.push(`stopped: ${api.stopReason()}`);
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
    rows.push(`<div class="${cls}" data-line="${lines[0]}"${code ? ` data-code="${code}"` : ''}${title}>${lines[0]}</div>`);
  }
  rows.push('<div></div>', '<div></div>');
  patchRows($('gutter'), rows, (i) => rows[i]);
  renderHeat();
  if (sync) syncEditorScroll();
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
      // A count that takes more than one task says it is counting.
      if (!ui.heatCounting) {
        ui.heatCounting = true;
        renderHeat();
      }
      scheduleHeat();
      return;
    }
    const base = api.heat() >> 3;
    ui.heat = movedHeat(M.HEAPF64.slice(base, base + 2 * (api.lineCount() + 1)));
    ui.heatCounting = false;
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
  const rows = [];
  for (let row = 1, next = 1; row <= count; ++row) {
    const lines = linesOf.get(row) || [next];
    next = lines[lines.length - 1] + 1;
    if (ui.heatCounting && lines.some((line) => ui.lineToAddress.has(line))) {
      rows.push(`<div class="counting" title="line ${lines[0]}: counting">...</div>`);
      continue;
    }
    const code = lines.filter((line) => at(line, 0) >= 0);
    if (!code.length) {
      rows.push('<div></div>');
      continue;
    }
    const runs = code.reduce((sum, line) => sum + at(line, 0), 0);
    const clocks = code.reduce((sum, line) => sum + at(line, 1), 0);
    const share = total ? ((100 * clocks) / total).toFixed(1) : '0.0';
    const title = `line ${lines[0]}: ran ${runs.toLocaleString('en')} times, ${clocks.toLocaleString('en')} clocks ` +
      `(${share}% of the run's clocks)`;
    // Warmer with the logarithm of the count, against the line that ran
    // most but at least 100 times: lines that ran once or twice stay cool.
    const warmth = Math.log1p(runs) / Math.log1p(Math.max(most, 100));
    const style = runs ? ` style="background:hsl(${40 - 40 * warmth},95%,${92 - 22 * warmth}%)"` : '';
    rows.push(`<div class="${runs ? 'ran' : 'never'}" data-line="${lines[0]}" data-runs="${runs}" ` +
      `data-clocks="${clocks}" title="${title}"${style}>${runs ? shortCount(runs) : '0'}</div>`);
  }
  rows.push('<div></div>', '<div></div>');
  patchRows(column, rows, (i) => rows[i]);
}

// The current line's and the error's bars, placed by the editor's scroll
// position as its last scroll left it (reading it again would lay out the page).
function renderBackdrop(currentLine) {
  const top = ui.editorTop || 0;
  const bar = (line, cls) =>
    `<div class="${cls}" style="position:absolute;left:0;right:0;top:${(rowOf(line) - 1) * LINE_HEIGHT - top}px"></div>`;
  let html = '';
  if (currentLine > 0) html += bar(currentLine, currentLine === ui.faultLine ? 'current error' : 'current');
  if (ui.errorLine > 0) html += bar(ui.errorLine, 'error');
  const backdrop = $('backdrop');
  if (backdrop.innerHTML !== html) backdrop.innerHTML = html;
  backdrop.dataset.line = currentLine;
}

function syncEditorScroll() {
  const source = $('source');
  ui.editorTop = source.scrollTop;
  ui.editorRows = Math.ceil(source.clientHeight / LINE_HEIGHT) + 1;
  renderColours();   // the rows now in sight
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

// --- Editing keys: indent, outdent, Enter, comments, find ------------------

// The assembler's columns: labels at the margin, instructions at the next
// multiple of INDENT (as the examples are laid out).
const INDENT = 8;

// Replaces the text from `start` to `end` as typed, so that the text box's
// Undo takes it back, and selects [selectStart, selectEnd] of the new text.
function editText(start, end, text, selectStart = start + text.length, selectEnd = selectStart) {
  const source = $('source');
  const focused = document.activeElement;
  source.focus({ preventScroll: true });   // the edit goes to the focused element
  source.setSelectionRange(start, end);
  if (!document.execCommand('insertText', false, text)) {
    source.setRangeText(text, start, end, 'end');
    sourceEdited();
  }
  source.setSelectionRange(selectStart, selectEnd);
  if (focused && focused !== source) focused.focus({ preventScroll: true });
}

// The whole lines the selection touches: [start, end) in the text.
function selectedLines() {
  const source = $('source'), text = source.value;
  const start = text.lastIndexOf('\n', source.selectionStart - 1) + 1;
  let last = source.selectionEnd;
  if (last > source.selectionStart && text[last - 1] === '\n') --last;   // a selection ending at a line's start
  const end = text.indexOf('\n', last);
  return [start, end < 0 ? text.length : end];
}

// Tab: the cursor goes to the next column (a selection over lines indents
// each); Shift+Tab takes a column off each selected line.
function indentLines(outdent) {
  const source = $('source'), text = source.value;
  const [start, end] = selectedLines();
  const multi = text.slice(source.selectionStart, source.selectionEnd).includes('\n');
  if (!outdent && !multi) {
    const column = source.selectionStart - start;
    editText(source.selectionStart, source.selectionEnd, ' '.repeat(INDENT - (column % INDENT)));
    return;
  }
  const lines = text.slice(start, end).split('\n');
  const changed = lines.map((line) => (outdent ? line.replace(new RegExp(`^ {1,${INDENT}}|^\\t`), '')
    : line ? ' '.repeat(INDENT) + line : line)).join('\n');
  if (changed !== lines.join('\n')) editText(start, end, changed, start, start + changed.length);
}

// Enter keeps the indentation: the next line starts where this line's
// instruction does (after a label, at the instruction's column).
function newLine() {
  const source = $('source'), text = source.value;
  const start = text.lastIndexOf('\n', source.selectionStart - 1) + 1;
  const head = text.slice(start, source.selectionStart).match(/^(\[\S*\s+|\s*)/)[0];
  editText(source.selectionStart, source.selectionEnd, `\n${' '.repeat(head.length)}`);
}

// Ctrl+/: the selected lines commented out with `; `, or back when all are.
function toggleComments() {
  const [start, end] = selectedLines();
  const lines = $('source').value.slice(start, end).split('\n');
  const all = lines.every((line) => !line.trim() || line.startsWith(';'));
  const changed = lines.map((line) => (all ? line.replace(/^; ?/, '') : line.trim() ? `; ${line}` : line)).join('\n');
  editText(start, end, changed, start, start + changed.length);
}

// The editor's keys. Escape first lets the next Tab leave the editor, as a
// keyboard user expects of a page (the manual says so).
function onSourceKey(event) {
  const escaped = ui.escaped;
  ui.escaped = event.key === 'Escape';
  if (event.altKey || event.metaKey) return;
  const ctrl = event.ctrlKey;
  if (event.key === 'Tab' && !ctrl) {
    if (escaped) return;
    event.preventDefault();
    indentLines(event.shiftKey);
  } else if (event.key === 'Enter' && !ctrl && !event.shiftKey) {
    event.preventDefault();
    newLine();
  } else if (ctrl && event.key === '/') {
    event.preventDefault();
    toggleComments();
  } else if (ctrl && (event.key === 'f' || event.key === 'F' || event.key === 'h') && $('find-bar')) {
    event.preventDefault();
    openFind(event.key === 'h');
  }
}

// --- Find and replace in the source ------------------------------------------

function openFind(replace) {
  const bar = $('find-bar');
  bar.hidden = false;
  const source = $('source');
  const selected = source.value.slice(source.selectionStart, source.selectionEnd);
  if (selected && !selected.includes('\n')) $('find-text').value = selected;
  (replace ? $('replace-text') : $('find-text')).focus();
  $('find-text').select();
  findNext(false);
}

function closeFind() {
  $('find-bar').hidden = true;
  $('source').focus();
}

// Selects the next match from the cursor (wrapping round); says how many there are.
function findNext(after = true) {
  const needle = $('find-text').value;
  const source = $('source'), text = source.value;
  if (!needle) {
    show('find-count', '');
    return false;
  }
  let count = 0;
  for (let i = text.indexOf(needle); i >= 0; i = text.indexOf(needle, i + needle.length)) ++count;
  const from = after ? source.selectionEnd : source.selectionStart;
  let at = text.indexOf(needle, from);
  if (at < 0) at = text.indexOf(needle);
  show('find-count', count ? `${count} found` : 'not found');
  if (at < 0) return false;
  source.setSelectionRange(at, at + needle.length);
  scrollEditorTo(text.slice(0, at).split('\n').length);
  return true;
}

function replaceOne() {
  const source = $('source');
  const needle = $('find-text').value;
  if (needle && source.value.slice(source.selectionStart, source.selectionEnd) === needle) {
    editText(source.selectionStart, source.selectionEnd, $('replace-text').value);
  }
  findNext();
}

function replaceAll() {
  const needle = $('find-text').value;
  if (!needle) return;
  const text = getSource();
  const replaced = text.split(needle).join($('replace-text').value);
  if (replaced !== text) editText(0, text.length, replaced, 0);
  findNext(false);
}

function setUpEditing() {
  $('source').addEventListener('keydown', onSourceKey);
  if (!$('find-bar')) return;
  on('find-next', () => findNext());
  on('replace-one', replaceOne);
  on('replace-all', replaceAll);
  on('find-close', closeFind);
  $('find-text').addEventListener('input', () => findNext(false));
  $('find-bar').addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      event.preventDefault();
      event.stopPropagation();
      closeFind();
    } else if (event.key === 'Enter' && event.target.id === 'find-text') {
      event.preventDefault();
      findNext();
    }
  });
}
