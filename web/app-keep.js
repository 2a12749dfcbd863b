// Keeping the student's work (see app-core.js): the student's own program
// apart from the examples and links, the program's name, files opened from
// disk, another tab changing the stored program, the widget's edits per page,
// and links that cannot be read.
'use strict';

// The main page stores the student's program (`MINE_KEY`: source,
// breakpoints, name) and the one it replaced (`EARLIER_KEY`), and what the
// editor shows (`SHOWING_KEY`: an example's name while it is unedited, or
// empty for the student's program). An example or a link's program is not
// the student's until edited: then it becomes `My program`, and the program
// it replaces becomes `My earlier program`.
const MINE_KEY = 'playground.mine';
const EARLIER_KEY = 'playground.earlier';
const SHOWING_KEY = 'playground.showing';
const MINE = '#mine', EARLIER = '#earlier';   // their values in the Example menu
const DEFAULT_NAME = 'program.asm';
const LINK_LIMIT = 1 << 20;   // bytes a #code= link may unpack to

function readStored(key) {
  try {
    const value = JSON.parse(localStorage.getItem(key) || 'null');
    return value && typeof value.source === 'string' ? value : null;
  } catch (error) { return null; }
}

function writeStored(key, value) {
  try {
    if (value === null) localStorage.removeItem(key); else localStorage.setItem(key, JSON.stringify(value));
  } catch (error) { /* storage full or refused: the page works on */ }
}

const mineNow = () => ({ source: getSource(), breakLines: [...ui.breakLines], name: ui.name });

// Called on every change of the source or the breakpoints.
function keep() {
  if (EMBED) {
    keepWidget();
    return;
  }
  if (ui.conflict) return;   // another tab's program waits for the student's choice
  if (ui.example && getSource() !== ui.example.source) {
    // An example or a link edited: from now on the student's program.
    const mine = readStored(MINE_KEY);
    if (mine && mine.source.trim()) writeStored(EARLIER_KEY, mine);
    ui.example = null;
    ui.name = DEFAULT_NAME;
    renderMenu();
  }
  try {
    localStorage.setItem(SHOWING_KEY, ui.example && !ui.example.link ? ui.example.name : '');
  } catch (error) { /* as above */ }
  if (!ui.example) {
    ui.lastKept = JSON.stringify(mineNow());
    writeStored(MINE_KEY, mineNow());
  }
}

// The Example menu: the student's programs, then the examples.
function renderMenu() {
  const menu = $('examples');
  if (!menu) return;
  const options = [['', '(choose)'], [MINE, 'My program']];
  if (readStored(EARLIER_KEY)) options.push([EARLIER, 'My earlier program']);
  for (const example of EXAMPLES) options.push([example.name, example.name]);
  menu.innerHTML = options.map(([value, text]) => `<option value="${esc(value)}">${esc(text)}</option>`).join('');
  menu.value = ui.example ? (ui.example.link ? '' : ui.example.name) : MINE;
  if ($('program-name')) {
    $('program-name').value = ui.example ? ui.example.name : ui.name;
    $('program-name').disabled = Boolean(ui.example);
  }
}

function chooseProgram(value) {
  if (value === MINE || value === EARLIER) {
    const earlier = readStored(EARLIER_KEY);
    if (value === EARLIER && earlier) {
      // The two swap: what was the student's program becomes the earlier one.
      const mine = readStored(MINE_KEY);
      writeStored(EARLIER_KEY, mine && mine.source.trim() ? mine : null);
      writeStored(MINE_KEY, earlier);
    }
    showMine();
    return;
  }
  const example = EXAMPLES.find((e) => e.name === value);
  if (!example) return;
  loadSource(example.source, example, []);
  keep();
}

function showMine() {
  const mine = readStored(MINE_KEY) || { source: '', breakLines: [], name: DEFAULT_NAME };
  ui.name = mine.name || DEFAULT_NAME;
  loadSource(mine.source, null, mine.breakLines || []);
  keep();
}

// Downloads are named after the program: the example shown, or the name the
// student gave (program.asm unless changed).
const programName = () => (ui.example && !ui.example.link ? ui.example.name : ui.name);
const baseName = () => programName().replace(/\.asm$/i, '') || 'program';

function setName(text) {
  const name = text.trim().replace(/[\\/:*?"<>|\u0000-\u001f]/g, '_').slice(0, 100);
  ui.name = name || DEFAULT_NAME;
  if (!ui.example) keep();
}

// A file from disk becomes the student's program, under its own name.
async function openFile(file) {
  if (!file) return;
  if (file.size > LINK_LIMIT) {
    notify(`${file.name} is larger than 1 MiB: not opened`);
    return;
  }
  const text = await file.text();
  const mine = readStored(MINE_KEY);
  if (!ui.example && getSource().trim()) writeStored(EARLIER_KEY, mineNow());
  else if (mine && mine.source.trim()) writeStored(EARLIER_KEY, mine);
  ui.name = file.name;
  loadSource(text, null, []);
  keep();
  renderMenu();
}

// --- Another tab --------------------------------------------------------------

// Another tab stored a different program: the page says so and offers to
// keep its own (stored again) or to take the other's.
function onStorage(event) {
  if (event.key !== MINE_KEY || event.newValue === null || ui.example) return;
  if (event.newValue === ui.lastKept) return;
  let other;
  try { other = JSON.parse(event.newValue); } catch (error) { return; }
  if (!other || other.source === getSource()) return;
  ui.conflict = other;
  const box = $('tab-notice');
  box.hidden = false;
  $('tab-notice-text').textContent = 'Another tab changed your stored program.';
}

function settleConflict(take) {
  const other = ui.conflict;
  ui.conflict = null;
  $('tab-notice').hidden = true;
  if (take && other) {
    ui.name = other.name || DEFAULT_NAME;
    loadSource(other.source, null, other.breakLines || []);
  }
  keep();
}

// --- The widget's edits, per course page and widget ------------------------

// The widget's key: the course page (as the browser tells it) and the
// widget's own address as it was opened.
const widgetKey = () => `playground.widget ${document.referrer.split('#')[0]} ${ui.widgetAddress}`;

function keepWidget() {
  if (!ui.original) return;
  const source = getSource();
  try {
    if (source === ui.original) localStorage.removeItem(widgetKey());
    else localStorage.setItem(widgetKey(), source);
  } catch (error) { /* as above */ }
}

function keptWidgetSource() {
  try { return localStorage.getItem(widgetKey()); } catch (error) { return null; }
}

function resetWidget() {
  if (ui.original === null) return;
  loadSource(ui.original, null, []);
  keepWidget();
}

// --- Links --------------------------------------------------------------------

// A notice that a link or file could not be read, until the next one.
function notify(text) {
  const box = $('notice');
  if (!box) return;
  box.textContent = text;
  box.hidden = !text;
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
  loadSource(linked.source, linked.example, linked.breakLines);
  keep();
}
