// The playground's setting up: panes, examples, shortcuts, the controls and
// window.playground; it starts the page once the module is ready (see
// app-core.js).
'use strict';

// --- Setting up -----------------------------------------------------------

function showPane(name) {
  for (const tab of document.querySelectorAll('.tab')) {
    const active = tab.dataset.pane === name;
    tab.classList.toggle('active', active);
    tab.setAttribute('aria-selected', active);
    tab.tabIndex = active ? 0 : -1;   // the tabs pattern: one stop, arrows within
    $(tab.dataset.pane).classList.toggle('hidden', !active);
  }
}

function loadSource(text, example, breakLines) {
  $('source').value = text;
  $('source').scrollTop = 0;
  ui.text = text;
  ui.example = example;
  ui.breakLines = new Set(breakLines);
  renderMenu();
  renderColours();
  assemble();
}

// The program to start with: a link's (a shared program or a named
// example), else on the main page what it showed last (an unedited example
// or the student's program), else hello.asm. The widget brings back its
// edits on this course page.
async function startingProgram() {
  const hello = EXAMPLES.find((e) => e.name === 'hello.asm');
  ui.widgetAddress = location.hash;
  const linked = await linkedProgram(location.hash);
  if (linked && linked.failed) linkFailed();
  if (EMBED) {
    const start = linked && !linked.failed ? linked : { source: hello.source, example: hello, breakLines: [] };
    ui.original = start.source;
    const kept = keptWidgetSource();
    return kept === null ? { ...start, example: null } : { source: kept, example: null, breakLines: [] };
  }
  if (linked && !linked.failed) {
    ui.sharedAddress = Boolean(linked.example.link);
    return linked;
  }
  let showing = null;
  try { showing = localStorage.getItem(SHOWING_KEY); } catch (error) { showing = null; }
  const adopted = adoptOldPrograms();
  if (adopted) showing = `#${adopted}`;
  if (!storedPrograms().length && showing === null) {
    // Kept by an early version of the page: the source and the example it came from.
    const old = readStored(STORE_KEY);
    const from = old && EXAMPLES.find((e) => e.name === old.example && e.source === old.source);
    if (from) showing = from.name;
    else if (old) {
      ui.current = newProgramId();
      return { source: old.source, example: null, breakLines: [], keep: true };
    }
  }
  const example = EXAMPLES.find((e) => e.name === showing);
  if (example) return { source: example.source, example, breakLines: [] };
  const mine = showing && showing.startsWith('#') ? readStored(PROGRAM_PREFIX + showing.slice(1)) : null;
  if (mine) {
    ui.current = showing.slice(1);
    ui.name = mine.name || DEFAULT_NAME;
    ui.lastKept = JSON.stringify(mine);
    return { source: mine.source, example: null, breakLines: mine.breakLines || [] };
  }
  return { source: hello.source, example: hello, breakLines: [] };
}

// Keys: F10 step, Shift+F10 step back, F8 step over, Shift+F8 step out,
// F4 run to cursor, F5 continue, Shift+F5 reverse continue, F9 breakpoint on
// the cursor's line, Escape stop. Each acts as its button (shown in its tooltip).
const KEYS = {
  F10: 'step', 'Shift+F10': 'back', F8: 'over', 'Shift+F8': 'out', F4: 'to-cursor', F5: 'continue',
  'Shift+F5': 'reverse', F9: 'toggle-breakpoint', Escape: 'stop',
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
  if (menu) menu.addEventListener('change', () => chooseProgram(menu.value));
  on('assemble', assemble);
  on('check', checkSource);
  on('run', () => startRun(IGNORE_BREAKPOINTS));
  on('continue', () => startRun(STOP_AT_ANY));
  on('step', () => act(api.step, true));
  on('back', () => act(api.stepBack));
  on('over', () => startMotion(api.stepOver));
  on('out', () => startMotion(api.stepOut));
  on('to-cursor', runToCursor);
  on('watch-add', addWatch);
  on('change', changeByHand);
  if ($('watch-list')) {
    $('watch-list').addEventListener('click', (event) => {
      const id = Number(event.target.dataset.watch || 0);
      if (!id) return;
      api.deleteWatch(id);
      renderWatches();
    });
  }
  if ($('change-what')) {
    const what = () => { $('change-address-label').hidden = $('change-what').value !== '2'; };
    $('change-what').addEventListener('change', what);
    what();
  }
  on('reset', () => act(api.reset));
  on('to-start', () => act(() => api.goTo(0)));
  on('back-n', () => act(() => api.goTo(Math.max(0, api.position() - Math.max(1, Number($('back-count').value) || 1)))));
  on('reverse', () => act(api.reverseContinue));
  on('who-button', () => whoWrote(Number($('who-address').value)));
  if ($('timeline')) $('timeline').addEventListener('input', (event) => act(() => api.goTo(Number(event.target.value))));
  on('stop', stopRun);
  on('key', keyCame);
  on('key-here', keyCame);
  if ($('console')) $('console').addEventListener('keydown', onOutputKey);
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
  on('download-source', () => download(programName(), getSource()));
  on('download-object', () => {
    if (ui.edited || !ui.assembled) assemble();
    if (ui.assembled) download(`${baseName()}.hx`, api.objectCode());
  });
  on('download-listing', () => {
    if (ui.edited || !ui.assembled) assemble();
    if (ui.assembled) download(`${baseName()}.lst`, api.machineListing());
  });
  if ($('program-name')) $('program-name').addEventListener('change', (event) => setName(event.target.value));
  on('open-file', () => $('file-input').click());
  if ($('file-input')) $('file-input').addEventListener('change', (event) => openFile(event.target.files[0]));
  const editor = $('editor');
  editor.addEventListener('dragover', (event) => event.preventDefault());
  editor.addEventListener('drop', (event) => {
    if (EMBED || !event.dataTransfer.files.length) return;
    event.preventDefault();
    openFile(event.dataTransfer.files[0]);
  });
  on('keep-mine', () => settleConflict(false));
  on('take-other', () => settleConflict(true));
  on('reset-source', askResetWidget);
  on('reset-yes', () => resetWidget(true));
  on('reset-no', () => resetWidget(false));
  const programList = $('program-list');
  if (programList) {
    programList.addEventListener('click', (event) => {
      const button = event.target.closest('button');
      if (button?.dataset.open) chooseProgram(`#${button.dataset.open}`);
      if (button?.dataset.delete) deleteProgram(button.dataset.delete);
    });
  }
  if (!EMBED) window.addEventListener('storage', onStorage);
  // What waits to be stored is written when the page is left or hidden.
  window.addEventListener('pagehide', writeNow);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') writeNow();
  });
  window.addEventListener('hashchange', onHashChange);
  document.addEventListener('keydown', onKey);
  setUpEditing();
  setUpLanguage();
  const source = $('source');
  source.addEventListener('scroll', syncEditorScroll);
  new ResizeObserver(syncEditorScroll).observe(source);   // rows in sight
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
  const calls = $('calls');
  if (calls) {
    // A frame's line selected in the editor.
    const showFrame = (event) => {
      const line = Number(event.target.closest('li')?.dataset.line || 0);
      if (line <= 0) return;
      const source = $('source');
      const rows = source.value.split('\n');
      const row = rowOf(line);
      const start = rows.slice(0, row - 1).reduce((n, text) => n + text.length + 1, 0);
      source.focus();
      source.setSelectionRange(start, start + (rows[row - 1] || '').length);
      scrollEditorTo(line);
    };
    calls.addEventListener('click', showFrame);
    calls.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        showFrame(event);
      }
    });
  }
  const tabs = [...document.querySelectorAll('.tab')];
  for (const tab of tabs) {
    tab.setAttribute('aria-controls', tab.dataset.pane);
    tab.addEventListener('click', () => showPane(tab.dataset.pane));
    tab.addEventListener('keydown', (event) => {
      const i = tabs.indexOf(tab), n = tabs.length;
      const target = { ArrowRight: tabs[(i + 1) % n], ArrowLeft: tabs[(i + n - 1) % n], Home: tabs[0],
        End: tabs[n - 1] }[event.key];
      if (!target) return;
      event.preventDefault();
      showPane(target.dataset.pane);
      target.focus();
    });
  }
  if (tabs.length) showPane(tabs.find((t) => t.classList.contains('active')).dataset.pane);
  if ($('memory')) {
    $('memory').addEventListener('scroll', () => renderMemory(machine(), changedBytes()));
    $('memory-rows').addEventListener('click', (event) => {
      const address = byteAt(event);
      if (address === undefined) return;
      $('who-address').value = address;
      if ($('watch-address')) $('watch-address').value = address;
      if ($('change-address')) $('change-address').value = address;
      whoWrote(address);
    });
    $('memory-format').addEventListener('change', () => renderMemory(machine(), changedBytes()));
  }
  if (!EMBED) ui.current = newProgramId();
  const start = await startingProgram();
  loadSource(start.source, start.example, start.breakLines);
  if (start.keep) keep(true);
  if (!EMBED) checkStorage();
  setUpMessages();
}

// A course page, from any origin, talks to the page in its frame through
// messages: the page says when it is ready, hands out and takes the source,
// runs it (at most `limit` instructions, 10 million unless given) and tells
// how each run ended (runEnded in app-run.js).
const MESSAGE_RUN_LIMIT = 10000000;

function setUpMessages() {
  if (window.parent === window) return;
  window.addEventListener('message', (event) => {
    if (event.source !== window.parent || !event.data || typeof event.data.type !== 'string') return;
    const data = event.data;
    if (data.type === 'playground:getSource') {
      event.source.postMessage({ type: 'playground:source', source: getSource() },
        event.origin === 'null' ? '*' : event.origin);
    } else if (data.type === 'playground:setSource' && typeof data.source === 'string') {
      setSource(data.source);
      writeNow();
    } else if (data.type === 'playground:run') {
      // A run going on ends without a message of its own: the one message
      // answers this run.
      if (ui.run || waitingForKey()) {
        ui.paused = null;
        stopAnimation();
        api.abort();
      }
      const limit = Number.isInteger(data.limit) && data.limit > 0 ? data.limit : MESSAGE_RUN_LIMIT;
      if (readyToRun(true)) api.reset();
      startRun(IGNORE_BREAKPOINTS, limit);
    }
  });
  window.parent.postMessage({ type: 'playground:ready' }, '*');
}

window.playground = {
  getSource,
  setSource,
  objectCode: () => (ui.assembled ? api.objectCode() : ''),
  shareAddress,
};

// The theme: the one the student chose on this browser, else the system's.
const THEME_KEY = 'playground.theme';
function setTheme(theme) {
  document.documentElement.dataset.theme = theme;
  const button = $('theme');
  if (button) button.setAttribute('aria-pressed', theme === 'dark');
}
function chosenTheme() {
  let chosen = null;
  try { chosen = localStorage.getItem(THEME_KEY); } catch (error) { chosen = null; }
  if (chosen === 'dark' || chosen === 'light') return chosen;
  return matchMedia('(prefers-color-scheme: dark)').matches ? 'dark' : 'light';
}
setTheme(chosenTheme());
// The system's choice changing while the page is open (no switch chosen).
matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => setTheme(chosenTheme()));
on('theme', () => {
  const theme = document.documentElement.dataset.theme === 'dark' ? 'light' : 'dark';
  setTheme(theme);
  try { localStorage.setItem(THEME_KEY, theme); } catch (error) { /* the page works on */ }
});

createPlayground().then((mod) => {
  M = mod;
  api = bindApi(mod);
  setUp();
});
