// Keeping the student's work (see app-core.js): the student's programs
// apart from the examples and links, their names, files opened from disk,
// another tab changing a stored program, storage that fails, the widget's
// edits per course page, and links that cannot be read.
'use strict';

// The main page keeps every program the student edits, each under its own
// key (`PROGRAM_PREFIX` + id: source, breakpoints, name, when last
// changed), and what the editor shows (`SHOWING_KEY`: an unedited example's
// name, or `#` and the id of a program of the student's). An example or a
// link's program is not the student's until edited: then it becomes a new
// program of the list. Storage is written after a pause in typing
// (`WRITE_DELAY_MS`) and when the page is hidden or left, never per key.
const PROGRAM_PREFIX = 'playground.program.';
const MINE_KEY = 'playground.mine';         // the student's program as the page kept it before the list
const EARLIER_KEY = 'playground.earlier';   // and the one it replaced
const SHOWING_KEY = 'playground.showing';
const DEFAULT_NAME = 'program.asm';
const LINK_LIMIT = 1 << 20;   // bytes a #code= link may unpack to
const WRITE_DELAY_MS = 400;
const TITLE_LENGTH = 40;

function readStored(key) {
  try {
    const value = JSON.parse(localStorage.getItem(key) || 'null');
    return value && typeof value.source === 'string' ? value : null;
  } catch (error) { return null; }
}

// Every failed write is said in the notice: the student's work is not
// stored, and a download keeps it.
function storageFailed(error) {
  const full = error && (error.name === 'QuotaExceededError' || error.code === 22);
  notify(`Your work could not be stored in this browser (${full ? 'its storage is full' : 'storage is turned off'})` +
    ': use Download source in the File menu to keep it.');
  ui.storageFailed = true;
}

function writeItem(key, text) {
  try {
    if (text === null) localStorage.removeItem(key); else localStorage.setItem(key, text);
    if (ui.storageFailed) {
      ui.storageFailed = false;
      notify('');
    }
    return true;
  } catch (error) {
    storageFailed(error);
    return false;
  }
}

const writeStored = (key, value) => writeItem(key, value === null ? null : JSON.stringify(value));

// The student's programs, newest first: {id, source, breakLines, name, updated}.
function storedPrograms() {
  const programs = [];
  try {
    for (let i = 0; i < localStorage.length; ++i) {
      const key = localStorage.key(i);
      if (!key.startsWith(PROGRAM_PREFIX)) continue;
      const program = readStored(key);
      if (program) programs.push({ ...program, id: key.slice(PROGRAM_PREFIX.length) });
    }
  } catch (error) { /* no storage: no programs */ }
  return programs.sort((a, b) => (b.updated || 0) - (a.updated || 0));
}

const newProgramId = () => `${Date.now().toString(36)}-${Math.random().toString(36).slice(2, 8)}`;

// A program's title: its name when the student gave one, else its first
// comment, else its name.
function programTitle(program) {
  if (program.name && program.name !== DEFAULT_NAME) return program.name;
  const comment = program.source.split('\n').find((line) => /;\s*\S/.test(line));
  const text = comment ? comment.slice(comment.indexOf(';')).replace(/^;+\s*/, '').trim() : '';
  return text ? (text.length > TITLE_LENGTH ? `${text.slice(0, TITLE_LENGTH - 3)}...` : text) : DEFAULT_NAME;
}

const mineNow = () => ({ source: getSource(), breakLines: [...ui.breakLines], name: ui.name, updated: Date.now() });

// Called on every change of the source or the breakpoints; `now` writes at
// once (a program set by a script or a message, a breakpoint), else after a
// pause in typing.
function keep(now = false) {
  if (!EMBED && ui.example && getSource() !== ui.example.source) {
    // An example or a link edited: from now on a program of the student's.
    ui.example = null;
    ui.current = newProgramId();
    ui.name = DEFAULT_NAME;
    now = true;
  }
  clearTimeout(ui.writeTimer);
  ui.writePending = true;
  if (now) writeNow(); else ui.writeTimer = setTimeout(writeNow, WRITE_DELAY_MS);
}

// Writes what waits to be stored (also on pagehide and when the page is hidden).
function writeNow() {
  clearTimeout(ui.writeTimer);
  if (!ui.writePending) return;
  ui.writePending = false;
  if (EMBED) {
    keepWidget();
    return;
  }
  writeItem(SHOWING_KEY, ui.example ? (ui.example.link ? '' : ui.example.name) : `#${ui.current}`);
  if (ui.example) return;
  const program = mineNow();
  ui.lastKept = JSON.stringify(program);
  writeItem(PROGRAM_PREFIX + ui.current, ui.lastKept);
  renderMenu();
}

// Programs kept by the page before the list (My program, My earlier
// program) join the list once.
function adoptOldPrograms() {
  const old = [readStored(EARLIER_KEY), readStored(MINE_KEY)].filter((p) => p && p.source.trim());
  if (!old.length) return null;
  let adopted = null;
  old.forEach((program, i) => {
    adopted = newProgramId() + i;
    if (!writeStored(PROGRAM_PREFIX + adopted, { ...program, updated: Date.now() - old.length + i })) adopted = null;
  });
  if (adopted) {
    writeItem(MINE_KEY, null);
    writeItem(EARLIER_KEY, null);
  }
  return adopted;
}

// Storage refused (a private window of some browsers) is said at once.
function checkStorage() {
  if (writeItem('playground.test', '1')) writeItem('playground.test', null);
}

// The Example menu: the student's programs, newest first, then the
// examples; the File menu lists the programs again, each deletable.
function renderMenu() {
  const menu = $('examples');
  if (!menu) return;
  const programs = storedPrograms();
  const option = (value, text) => `<option value="${esc(value)}">${esc(text)}</option>`;
  let html = option('', '(choose)');
  if (programs.length) {
    html += `<optgroup label="My programs">${programs.map((p) => option(`#${p.id}`, programTitle(p))).join('')}</optgroup>`;
  }
  html += `<optgroup label="Examples">${EXAMPLES.map((e) => option(e.name, e.name)).join('')}</optgroup>`;
  if (menu.innerHTML !== html) menu.innerHTML = html;
  menu.value = ui.example ? (ui.example.link ? '' : ui.example.name) : `#${ui.current}`;
  if ($('program-name') && document.activeElement !== $('program-name')) {
    $('program-name').value = ui.example ? ui.example.name : ui.name;
    $('program-name').disabled = Boolean(ui.example);
  }
  const list = $('program-list');
  if (list) {
    list.innerHTML = programs.map((p) => `<li><button class="small" data-open="${esc(p.id)}">${esc(programTitle(p))}` +
      `</button> <button class="small" data-delete="${esc(p.id)}" aria-label="Delete ${esc(programTitle(p))}" ` +
      `title="Delete this program (Undo in the notice brings it back)">Delete</button></li>`).join('') ||
      '<li class="none">No programs of yours yet: edit one to keep it</li>';
  }
}

function chooseProgram(value) {
  writeNow();
  if (value.startsWith('#')) {
    showProgram(value.slice(1));
    return;
  }
  const example = EXAMPLES.find((e) => e.name === value);
  if (!example) return;
  loadSource(example.source, example, []);
  writeItem(SHOWING_KEY, example.name);
}

function showProgram(id) {
  const program = readStored(PROGRAM_PREFIX + id);
  if (!program) return;
  ui.current = id;
  ui.name = program.name || DEFAULT_NAME;
  ui.lastKept = JSON.stringify(program);
  loadSource(program.source, null, program.breakLines || []);
  writeItem(SHOWING_KEY, `#${id}`);
}

// A program deleted from the File menu; the notice offers it back.
function deleteProgram(id) {
  const key = PROGRAM_PREFIX + id;
  const program = readStored(key);
  if (!program || !writeItem(key, null)) return;
  if (id === ui.current && !ui.example) {
    // The program shown goes: the editor shows the next, or an empty one.
    const next = storedPrograms()[0];
    if (next) showProgram(next.id);
    else {
      ui.current = newProgramId();
      ui.name = DEFAULT_NAME;
      loadSource('', null, []);
    }
  }
  renderMenu();
  notify(`Deleted ${programTitle(program)}.`, () => {
    writeStored(key, program);
    showProgram(id);
  });
}

// Downloads are named after the program: the example shown, or the name the
// student gave (program.asm unless changed).
const programName = () => (ui.example && !ui.example.link ? ui.example.name : ui.name);
const baseName = () => programName().replace(/\.asm$/i, '') || 'program';

function setName(text) {
  const name = text.trim().replace(/[\\/:*?"<>|\u0000-\u001f]/g, '_').slice(0, 100);
  ui.name = name || DEFAULT_NAME;
  if (!ui.example) keep(true);
}

// A file from disk becomes the student's program, under its own name.
async function openFile(file) {
  if (!file) return;
  if (file.size > LINK_LIMIT) {
    notify(`${file.name} is larger than 1 MiB: not opened`);
    return;
  }
  const text = await file.text();
  writeNow();
  ui.current = newProgramId();
  ui.name = file.name;
  loadSource(text, null, []);
  keep(true);
}

// --- Another tab --------------------------------------------------------------

// Another tab stored another version of the program shown: this tab's
// version moves at once to a program of its own, so that both are kept and
// what is typed meanwhile is stored; the notice offers the other tab's.
function onStorage(event) {
  if (ui.example || event.key !== PROGRAM_PREFIX + ui.current || event.newValue === null) return;
  if (event.newValue === ui.lastKept) return;
  let other;
  try { other = JSON.parse(event.newValue); } catch (error) { return; }
  if (!other || other.source === getSource()) return;
  ui.conflict = ui.current;
  ui.current = newProgramId();
  keep(true);
  $('tab-notice').hidden = false;
  $('tab-notice-text').textContent = 'Another tab changed this program: yours here is kept as a program of its own.';
}

function settleConflict(take) {
  const other = ui.conflict;
  ui.conflict = null;
  $('tab-notice').hidden = true;
  if (take && other) showProgram(other);
}

// --- The widget's edits, per course page and widget ------------------------

// The widget's key: the course page and the widget's own address as it was
// opened. The course page names itself with the `page` parameter of the
// widget's address (`embed.html?page=lesson-1#example=count.asm`); without
// it the browser's referrer stands for it, which a course page of another
// origin gives only as its origin.
function widgetKey() {
  const page = new URLSearchParams(location.search).get('page');
  const course = page !== null ? `page=${page}` : document.referrer.split('#')[0];
  return `playground.widget ${course} ${ui.widgetAddress}`;
}

function keepWidget() {
  if (ui.original === null) return;
  const source = getSource();
  writeItem(widgetKey(), source === ui.original ? null : source);
}

function keptWidgetSource() {
  try { return localStorage.getItem(widgetKey()); } catch (error) { return null; }
}

// The widget's Reset asks first; the original replaces the answer as an
// edit of the text box, so that Undo (Ctrl+Z) brings the answer back.
function askResetWidget() {
  if (ui.original === null || getSource() === ui.original) return;
  $('reset-ask').hidden = false;
  $('reset-yes').focus();
}

function resetWidget(yes) {
  $('reset-ask').hidden = true;
  const source = $('source');
  source.focus();
  if (!yes) return;
  source.select();
  if (!document.execCommand('insertText', false, ui.original) || getSource() !== ui.original) setSource(ui.original);
  source.setSelectionRange(0, 0);
  source.scrollTop = 0;
  keep(true);
}

// --- Links --------------------------------------------------------------------

// A notice (a link or file that could not be read, storage that failed, a
// program deleted), until the next one; `undo`, when given, is offered as a button.
function notify(text, undo = null) {
  const box = $('notice');
  if (!box) return;
  box.textContent = text;
  box.hidden = !text;
  if (!undo) return;
  const button = document.createElement('button');
  button.className = 'small';
  button.textContent = 'Undo';
  button.addEventListener('click', () => {
    notify('');
    undo();
  });
  box.append(' ', button);
}

// Unpacks a #code= link, refusing one that unpacks to more than LINK_LIMIT
// bytes before unpacking it whole, or that holds no program.
async function unpackSource(code) {
  const base64 = code.replace(/-/g, '+').replace(/_/g, '/');
  if (!/^[A-Za-z0-9+/]+$/.test(base64)) throw new Error('not base64url');
  const binary = atob(base64 + '='.repeat((4 - (base64.length % 4)) % 4));
  const bytes = Uint8Array.from(binary, (c) => c.charCodeAt(0));
  const reader = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
  const parts = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > LINK_LIMIT) {
      reader.cancel().catch(() => {});
      throw new Error('unpacks to more than 1 MiB');
    }
    parts.push(value);
  }
  const text = new TextDecoder('utf-8', { fatal: true }).decode(await new Blob(parts).arrayBuffer());
  if (!text) throw new Error('empty');
  return text;
}

// The program a link's fragment holds: {source, example, breakLines}, null
// when it names none, or {failed} when it names one that cannot be read.
async function linkedProgram(hash) {
  const params = new URLSearchParams(hash.slice(1));
  const breakLines = (params.get('bp') || '').split(',').filter((n) => /^\d+$/.test(n)).map(Number);
  if (params.has('code')) {
    try {
      const source = await unpackSource(params.get('code'));
      const example = EXAMPLES.find((e) => e.source === source) ||
        { name: 'the link\'s program', source, link: true };
      return { source, example, breakLines };
    } catch (error) {
      return { failed: error.message };
    }
  }
  const named = EXAMPLES.find((e) => e.name === params.get('example'));
  if (named) return { source: named.source, example: named, breakLines };
  return params.has('example') ? { failed: 'no such example' } : null;
}

function linkFailed() {
  notify('This link\'s program could not be read (the address may be cut or damaged); ' +
    (EMBED ? 'the widget shows its example.' : 'your stored program stays.'));
  history.replaceState(null, '', location.pathname + location.search);
}

// The address of an open tab changed to another link: its program is shown,
// the student's own staying under My program.
async function onHashChange() {
  if (ui.ownHash === location.hash) return;
  const linked = await linkedProgram(location.hash);
  if (!linked) return;
  if (linked.failed) {
    linkFailed();
    return;
  }
  notify('');
  ui.sharedAddress = Boolean(linked.example.link);
  writeNow();
  loadSource(linked.source, linked.example, linked.breakLines);
  writeItem(SHOWING_KEY, linked.example.link ? '' : linked.example.name);
}
