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
