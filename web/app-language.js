// The language server's answers in the editor: diagnostics once typing
// pauses (in the list under the editor), hover (the mouse resting on
// a word, or Ctrl+I at the cursor), completion (Ctrl+Space) and signature
// help (a blank typed after a mnemonic). The answers come from the server's
// own code in the module (language.cpp) as the protocol's JSON; this file
// only asks at the right place and shows them.
'use strict';

const HOVER_DELAY_MS = 400;
const SIGNATURE_DELAY_MS = 150;
const COMPLETIONS_SHOWN = 8;
const DIAGNOSTICS_DELAY_MS = 500;
const KINDS = { 1: 'error', 2: 'warning' };

// The module analyses the source again only when it changed since it last did.
function askLanguage(call, line, column) {
  const source = getSource();
  if (ui.analysed !== source) {
    const size = M.lengthBytesUTF8(source) + 1;
    const text = M._malloc(size);
    M.stringToUTF8(source, text, size);
    api.languageSource(text);
    M._free(text);
    ui.analysed = source;
  }
  return JSON.parse(call(line, column));
}

// Line (from 0) and column of a place in the text.
function placeOf(offset) {
  const text = getSource();
  const start = text.lastIndexOf('\n', offset - 1) + 1;
  let line = 0;
  for (let i = text.indexOf('\n'); i >= 0 && i < offset; i = text.indexOf('\n', i + 1)) ++line;
  return { line, column: offset - start, start };
}

// The width of one character of the editor's font (it is monospaced).
function charWidth() {
  if (!ui.charWidth) {
    const context = document.createElement('canvas').getContext('2d');
    context.font = getComputedStyle($('source')).font;
    ui.charWidth = context.measureText('0123456789').width / 10;
  }
  return ui.charWidth;
}

// The box for hover and signature help, under the row of `line` at `column`.
function showTip(markdown, line, column) {
  const tip = $('tip');
  // The protocol's markdown as the notes use it: `code`, **bold**, paragraphs.
  tip.innerHTML = esc(markdown).replace(/`([^`]*)`/g, '<code>$1</code>')
    .replace(/\*\*([^*]*)\*\*/g, '<b>$1</b>').replace(/\n\n/g, '<br>').replace(/\n/g, ' ');
  placeBelow(tip, line, column);
  tip.hidden = false;
  $('source').setAttribute('aria-describedby', 'tip');
}

function hideTip() {
  $('tip').hidden = true;
  $('source').removeAttribute('aria-describedby');
}

function placeBelow(box, line, column) {
  const source = $('source');
  box.style.top = `${(line + 1) * LINE_HEIGHT - source.scrollTop + 2}px`;
  box.style.left = `${Math.max(0, 6 + column * charWidth() - source.scrollLeft)}px`;
}

function hoverAt(line, column) {
  const answer = askLanguage(api.languageHover, line, column);
  if (answer && answer.contents) showTip(answer.contents.value, line, answer.range ? answer.range.start.character : column);
  else hideTip();
  return answer;
}

function onEditorMouse(event) {
  clearTimeout(ui.hoverTimer);
  if (!$('tip').hidden && !ui.tipAtCursor) hideTip();
  const source = $('source');
  const box = source.getBoundingClientRect();
  const line = Math.floor((event.clientY - box.top + source.scrollTop) / LINE_HEIGHT);
  const column = Math.floor((event.clientX - box.left + source.scrollLeft - 6) / charWidth());
  ui.hoverTimer = setTimeout(() => {
    const lines = getSource().split('\n');
    if (line < lines.length && column >= 0 && column < lines[line].length) {
      ui.tipAtCursor = false;
      hoverAt(line, column);
    }
  }, HOVER_DELAY_MS);
}

// --- Completion ---------------------------------------------------------------

// The word before the cursor that completion replaces (a label's `[` too).
function wordBefore() {
  const source = $('source');
  const at = source.selectionStart;
  const { line, column, start } = placeOf(at);
  const word = getSource().slice(start, at).match(/\[?[A-Za-z0-9]*$/)[0];
  return { at, line, column, word, prefix: word.replace('[', '').toLowerCase() };
}

function openCompletion() {
  const { line, column } = wordBefore();
  ui.completion = { items: askLanguage(api.languageCompletion, line, column).items, chosen: 0 };
  renderCompletion();
}

function closeCompletion() {
  ui.completion = null;
  $('complete').hidden = true;
  $('source').removeAttribute('aria-activedescendant');
  $('source').removeAttribute('aria-controls');
}

// The items that begin with the word typed, as a client filters them.
function shownItems() {
  const { prefix } = wordBefore();
  return ui.completion.items.filter((item) => (item.filterText || item.label).toLowerCase().startsWith(prefix));
}

function renderCompletion() {
  const list = $('complete');
  const items = shownItems();
  if (!items.length) {
    closeCompletion();
    return;
  }
  const chosen = ui.completion.chosen = Math.min(ui.completion.chosen, items.length - 1);
  // A window of the list around the chosen item (the list does not scroll).
  const first = Math.max(0, Math.min(chosen - 3, items.length - COMPLETIONS_SHOWN));
  list.innerHTML = items.slice(first, first + COMPLETIONS_SHOWN).map((item, k) => {
    const i = first + k;
    return `<li id="complete-${i}" role="option" aria-selected="${i === chosen}" aria-setsize="${items.length}" ` +
      `aria-posinset="${i + 1}" data-index="${i}"><b>${esc(item.label)}</b> <span>${esc(item.detail || '')}</span></li>`;
  }).join('');
  const { line, column, word } = wordBefore();
  placeBelow(list, line, column - word.length);
  list.hidden = false;
  $('source').setAttribute('aria-controls', 'complete');
  $('source').setAttribute('aria-activedescendant', `complete-${ui.completion.chosen}`);
}

function acceptCompletion(index = ui.completion.chosen) {
  const item = shownItems()[index];
  closeCompletion();
  if (!item) return;
  const { at, word, prefix } = wordBefore();
  const insert = item.label.startsWith('[') && !word.startsWith('[') ? item.label : item.filterText || item.label;
  editText(at - (insert.startsWith('[') ? word.length : prefix.length), at, insert);
}

// Keys while the list is open: arrows choose, Enter or Tab takes, Escape closes.
function onCompletionKey(event) {
  if (event.ctrlKey && event.key === ' ') {
    event.preventDefault();
    openCompletion();
    return;
  }
  if (event.ctrlKey && (event.key === 'i' || event.key === 'I')) {
    event.preventDefault();
    const { line, column } = placeOf($('source').selectionStart);
    ui.tipAtCursor = true;
    hoverAt(line, column);
    return;
  }
  if (event.key === 'Escape' && !$('tip').hidden) hideTip();
  if (!ui.completion) return;
  const count = shownItems().length;
  const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: 8, PageUp: -8 };
  if (event.key in moves) {
    ui.completion.chosen = Math.max(0, Math.min(count - 1, ui.completion.chosen + moves[event.key]));
    renderCompletion();
  } else if (event.key === 'Enter' || event.key === 'Tab') {
    acceptCompletion();
  } else if (event.key === 'Escape') {
    closeCompletion();
  } else {
    return;
  }
  event.preventDefault();
  event.stopImmediatePropagation();   // the editor's own Enter and Tab do not follow
}

// The server's diagnostics of the text typed, in place of the last
// assembly's error and warnings until the next assembly.
function showDiagnostics() {
  if (!ui.edited) return;
  ui.diagnostics = askLanguage(() => api.languageDiagnostics()).map((d) =>
    [KINDS[d.severity] || 'note', d.range.start.line + 1, d.message]);
  renderMessages();
}

// After typing: the list follows the word; a blank after a mnemonic asks for
// its signature once typing pauses, and the diagnostics follow a longer pause.
function onLanguageInput(event) {
  if (ui.completion) renderCompletion();
  clearTimeout(ui.diagnosticsTimer);
  ui.diagnosticsTimer = setTimeout(showDiagnostics, DIAGNOSTICS_DELAY_MS);
  clearTimeout(ui.signatureTimer);
  if (!$('tip').hidden) hideTip();
  if (event.data !== ' ') return;
  ui.signatureTimer = setTimeout(() => {
    const { line, column } = placeOf($('source').selectionStart);
    const help = askLanguage(api.languageSignature, line, column);
    if (help && help.signatures && help.signatures.length) {
      const signature = help.signatures[0];
      ui.tipAtCursor = true;
      showTip(`\`${signature.label}\`\n\n${signature.documentation.value}`, line, column);
    }
  }, SIGNATURE_DELAY_MS);
}

function setUpLanguage() {
  if (!$('tip')) return;
  const source = $('source');
  source.addEventListener('keydown', onCompletionKey, { capture: true });
  source.addEventListener('input', onLanguageInput);
  source.addEventListener('mousemove', onEditorMouse);
  source.addEventListener('mouseleave', () => {
    clearTimeout(ui.hoverTimer);
    if (!ui.tipAtCursor) hideTip();
  });
  source.addEventListener('blur', () => {
    closeCompletion();
    hideTip();
  });
  source.addEventListener('scroll', () => {
    closeCompletion();
    hideTip();
  });
  // A click on an item takes it (mousedown, before the editor loses focus).
  $('complete').addEventListener('mousedown', (event) => {
    const item = event.target.closest('li');
    if (!item) return;
    event.preventDefault();
    acceptCompletion(Number(item.dataset.index));
  });
}
