// The playground's views of the machine: status, registers, stack, memory,
// trace, timeline and findings (see app-core.js).
'use strict';

// --- Views of the machine -------------------------------------------------

function render() {
  ui.drawn = ui.countsDrawn = performance.now();
  const m = machine();
  const state = ui.run ? 'running' : !ui.assembled && ui.errorLine ? 'error'
    : ui.limitHit && m.state === READY ? 'limit' : STATE_NAMES[m.state];
  document.body.dataset.state = state;
  const key = $('key');
  if (key) key.hidden = key.disabled = state !== 'waiting';
  if ($('key-hint')) $('key-hint').hidden = state !== 'waiting';
  refreshFindings();
  renderStatus(m, state);
  renderRegisters(m);
  const changed = changedBytes();
  renderStack(m, changed);
  renderCalls();
  renderMemory(m, changed);
  renderWatches();
  const output = show('console', ui.assembled ? api.console() : '');
  if (output) output.scrollTop = output.scrollHeight;
  const trace = show('trace', ui.assembled ? nameOperands(api.trace(TRACE_LINES)) : '');
  if (trace) trace.scrollTop = trace.scrollHeight;
  renderTimeline();
  const line = ui.assembled && m.state !== EMPTY ? lineOf(m.PC) : 0;
  // A stop other than the user's marks its line as an error.
  const fault = state === 'stopped' && !api.userStop() ? line : 0;
  if (fault !== ui.faultLine) {
    ui.faultLine = fault;
    renderGutter();
  }
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
  // The instruction a stop fell on is recorded but did not run: at the stop
  // the text counts the instructions that ran, as the registers do.
  const ran = ui.assembled && api.ended() && STATE_NAMES[machine().state] === 'stopped' ? machine().instructions : -1;
  const [at, of] = ran >= 0 && position === recorded && ran < position ? [ran, ran] : [position, recorded];
  show('timeline-text', `${at.toLocaleString('en')} of ${of.toLocaleString('en')}`);
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
      // The status region is announced: a run says so once, its counts show elsewhere.
      running: 'Running', ready: `Ready at ${where}; ${counts}`,
      halted: `Halted: ${counts}`,
      limit: `Stopped at the limit of ${ui.limit.toLocaleString('en')} instructions at ${where}`,
      stopped: api.userStop() ? `Stopped by you at ${where}` : `Stopped: ${api.stopReason()} at ${where}`,
      break: m.PC === ui.cursorAddress && !ui.breakLines.has(lineOf(m.PC)) ? `At the cursor's line: ${where}; ${counts}`
        : `Breakpoint at ${where}; ${counts}`,
      watch: state === 'watch' ? watchText(where) : '',
      finding: `Finding: ${ui.findings.length ? ui.findings[ui.findings.length - 1].text : ''}; now at ${where}`,
      waiting: `Paused at ${where}, waiting for a key: type one in the Output pane, or press Key`,
    };
    text = words[state] || state;
    if (ui.edited) text += ' (edited: Run, Step or Continue assembles it)';
  }
  const status = show('status', text);
  if (status) status.classList.toggle('failed', state === 'error' || (state === 'stopped' && !api.userStop()));
}

// After a failed assembly the machine views show nothing rather than the
// last run.
function renderRegisters(m) {
  renderPocket(m);
  const table = $('registers');
  if (!table) return;
  const ir = `${hex(m.IR, 2)}h ${api.mnemonic(m.IR) || '?'}`;
  const rows = [
    ['PC', m.PC, `${hex(m.PC, 4)}h (${m.PC})`], ['SP', m.SP, `${hex(m.SP, 4)}h`],
    ['IR', m.IR, ir], ['Z', m.Z, m.Z], ['S', m.S, m.S], ['O', m.O, m.O], ['C', m.C, m.C],
    ['instructions', m.instructions, m.instructions], ['clocks', m.clocks, m.clocks],
  ];
  // The registers and flags the last move changed are marked as the
  // memory's changed bytes are (the counts always change, so they are not).
  const position = ui.assembled ? api.position() : -1;
  if (position !== ui.registersAt) {
    ui.registersBefore = ui.registersAt >= 0 ? ui.registersNow : null;
    ui.registersNow = m;
    ui.registersAt = position;
  }
  const was = ui.registersBefore;
  table.innerHTML = rows.map(([name, value, shown]) => {
    if (!ui.assembled) return `<tr><th scope="row">${name}</th><td id="reg-${name}">-</td></tr>`;
    const changed = was && ['PC', 'SP', 'Z', 'S', 'O', 'C'].includes(name) && was[name] !== value
      ? ' class="changed"' : '';
    return `<tr><th scope="row">${name}</th><td id="reg-${name}" data-value="${value}"${changed}>${shown}</td></tr>`;
  }).join('');
}

// The machine in one line, shown with the run controls where they are
// pinned (a phone): PC and its line, SP and the stack's top, the flags.
function renderPocket(m) {
  if (!$('pocket')) return;
  let text = '';
  if (ui.assembled) {
    const top = m.SP < STACK_TOP ? `top ${hex(memoryBytes()[m.SP + 1], 2)}h` : 'empty';
    text = `PC ${hex(m.PC, 4)} line ${lineOf(m.PC) || '-'}  SP ${hex(m.SP, 4)} ${top}  ` +
      `Z${m.Z} S${m.S} O${m.O} C${m.C}  ${m.instructions.toLocaleString('en')} instr`;
  }
  show('pocket', text);
}

// The bytes the last instruction changed (the core compares the machine
// with the state before it).
function changedBytes() {
  const changed = new Set();
  if (!ui.assembled) return changed;
  const count = api.changedCount();
  const base = api.changedAddresses() >> 1;
  for (let i = 0; i < count; ++i) changed.add(M.HEAPU16[base + i]);
  return changed;
}

// A watch's stop: the byte, its value before and now.
function watchText(where) {
  const hit = api.watchHit();
  if (!hit) return `Watch at ${where}`;
  const [address, old] = hit.split(' ').map(Number);
  const now = memoryBytes()[address];
  const names = ui.labelAt.get(address);
  return `Watch: byte ${hex(address, 4)}h${names ? ` (${names[0]})` : ''} changed from ${hex(old, 2)}h to ` +
    `${hex(now, 2)}h; now at ${where}`;
}

// An address as a student writes it: decimal, hex (2Ah or 0x2A) or a label.
function parsePlace(text) {
  const t = text.trim();
  let value = NaN;
  if (/^\d+$/.test(t)) value = Number(t);
  else if (/^[0-9a-f]+h$/i.test(t)) value = parseInt(t, 16);
  else if (/^0x[0-9a-f]+$/i.test(t)) value = parseInt(t.slice(2), 16);
  else for (const [address, names] of ui.labelAt) if (names.includes(t)) value = address;
  return value;
}

function addWatch() {
  const address = parsePlace($('watch-address').value);
  if (!ui.assembled || !(address >= 0 && address < MEMORY_SIZE)) {
    show('watch-result', 'Give an address from 0 to 16383, or a label');
    return;
  }
  api.addWatch(address);
  show('watch-result', '');
  renderWatches();
}

// Changes by hand go through the core, which records them: Step back goes
// back over them, and the run goes on from the changed state.
function changeByHand() {
  const which = Number($('change-what').value);
  const address = which === 2 ? parsePlace($('change-address').value) : 0;
  const value = parsePlace($('change-value').value);
  if (!ui.assembled) return;
  stopAnimation();
  ui.paused = null;
  const names = ['PC', 'SP', `byte ${hex(address || 0, 4)}h`];
  const forgotten = Number.isNaN(value) || Number.isNaN(address) ? -1 : api.change(which, address, value);
  const limits = ['PC takes 0 to 12287', 'SP takes 0 to 16383', 'a byte takes an address from 0 to 16383 and a value from 0 to 255'];
  show('change-result', forgotten < 0 ? `Not changed: ${limits[which]}`
    : `Set ${names[which]} = ${hex(value, which === 2 ? 2 : 4)}h${forgotten > 0
      ? `; the ${forgotten.toLocaleString('en')} instructions recorded after this one are forgotten` : ''}`);
  render();
}

// The watched bytes, each with its value and a button that removes it.
function renderWatches() {
  const list = $('watch-list');
  if (!list) return;
  const bytes = memoryBytes();
  const rows = ui.assembled ? api.watches().split('\n').filter(Boolean).map((r) => r.split(' ').map(Number)) : [];
  const html = rows.map(([id, address]) => {
    const names = ui.labelAt.get(address);
    const name = `${hex(address, 4)}h${names ? ` (${esc(names[0])})` : ''}`;
    return `<li>${name} = ${hex(bytes[address], 2)}h <button class="small" data-watch="${id}" ` +
      `aria-label="Stop watching ${name}">Remove</button></li>`;
  }).join('');
  if (list.innerHTML !== html) list.innerHTML = html;
}

// The bytes above SP, top first, each with the line of the instruction
// that pushed it; the two bytes of a return address of an open call are
// marked as such (the core tells which: pg_stack). The entries the last
// instruction changed are marked as the memory's changed bytes are.
function renderStack(m, changed) {
  if (!$('stack')) return;
  const bytes = memoryBytes();
  const lines = [];
  const marked = [];
  if (ui.assembled && m.SP !== 0) {
    for (const entry of api.stack(STACK_ROWS).split('\n').filter(Boolean)) {
      const [address, kind, value] = entry.split(' ');
      const a = parseInt(address, 16);
      const byte = (at) => `${hex(at, 4)}: ${hex(bytes[at], 2)}  ${String(bytes[at]).padStart(3)}`;
      if (kind === 'r') {
        const back = parseInt(value, 16);
        marked.push(changed.has(a));
        lines.push(`${byte(a)}  return address ${hex(back, 4)}, to line ${lineOf(back) || '-'}` +
                   ` (call at line ${lineOf(back - 3) || '-'})`);
        if (lines.length < STACK_ROWS) {
          marked.push(changed.has(a + 1));
          lines.push(`${byte(a + 1)}  (return address)`);
        }
      } else {
        marked.push(changed.has(a));
        lines.push(value === '-' ? byte(a) : `${byte(a)}  pushed by line ${lineOf(parseInt(value, 16)) || '-'}`);
      }
    }
    const more = STACK_TOP - m.SP - lines.length;
    if (more > 0) lines.push(`... ${more} more`);
  }
  const html = lines.length ? lines.map((line, i) => (marked[i] ? `<span class="changed">${esc(line)}</span>` : esc(line)))
    .join('\n') : ui.assembled ? '(empty)' : '';
  const stack = $('stack');
  if (stack.innerHTML !== html) stack.innerHTML = html;
}

// The open calls, innermost first: the routine each call went to (with its
// named arguments), where the frame stands and the line of the call; a click
// shows the frame's line.
function renderCalls() {
  const list = $('calls');
  if (!list) return;
  const frames = ui.assembled ? api.frames().split('\n').filter(Boolean) : [];
  const items = frames.map((text) => {
    // After a tab, the routine's arguments named from its stack comment, as the core words them.
    const [where, args] = text.split('\t');
    const [position, routine, call] = where.split(' ').map((part) => (part === '-' ? null : parseInt(part, 16)));
    const names = routine === null ? null : ui.labelAt.get(routine);
    let name = names ? names[0] : routine === null ? '(program)' : hex(routine, 4);
    if (names && position !== routine && position > routine) name += `+${position - routine}`;
    const line = lineOf(position);
    const whence = call === null ? '' : `, called from line ${lineOf(call) || '-'}`;
    // The list numbers the frames itself.
    return `<li tabindex="0" data-line="${line}">${esc(name)} (${hex(position, 4)})${args ? ` ${esc(args)}` : ''}` +
           `${line ? `, line ${line}` : ''}${whence}</li>`;
  });
  const html = items.join('');
  if (list.innerHTML !== html) list.innerHTML = html;
}

// A byte as the memory view's format shows it.
const BYTE_FORMATS = {
  hex: (b) => hex(b, 2),
  decimal: (b) => String(b).padStart(3),
  characters: (b) => (b >= 32 && b < 127 ? ` ${String.fromCharCode(b)}` : ' .'),
};

// Only the rows in sight are drawn; the inner block is as tall as all of them.
function renderMemory(m, changed) {
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
  // Decimal bytes take a character more each: a smaller font keeps 16 of them in the box.
  $('memory').classList.toggle('decimal', $('memory-format').value === 'decimal');
  const first = Math.max(0, Math.floor(view.scrollTop / ROW_HEIGHT) - 2);
  const last = Math.min(MEMORY_SIZE / ROW_BYTES, first + Math.ceil(view.clientHeight / ROW_HEIGHT) + 4);
  const bytes = memoryBytes();
  const length = Math.max(1, api.length(bytes[m.PC]));
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
