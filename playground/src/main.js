// The playground's page: an editor per file of the project, assembly in a
// worker on every edit, the listing beside the editor, the diagnostics as
// squiggles, a chip menu, the examples and the downloads. Texts reach the
// assembler as CP932 bytes and come back as such; they are decoded here.
import { autocompletion, completionKeymap } from '@codemirror/autocomplete';
import { defaultKeymap, history, historyKeymap } from '@codemirror/commands';
import { lintGutter, setDiagnostics } from '@codemirror/lint';
import { EditorState, StateEffect, StateField } from '@codemirror/state';
import { Decoration, EditorView, highlightActiveLine, hoverTooltip, keymap, lineNumbers } from '@codemirror/view';

import { readAnswer, readStyles } from '../korva_core.mjs';
import { decode, encode, positionOfByte } from './cp932.js';
import { linkOf, projectArchive, projectOfLink } from './project_files.js';
import { textOf } from './texts.js';

const STORAGE_KEY = 'korva-playground-project';
const LANGUAGE_KEY = 'korva-playground-language';
const TIME_LIMIT_MS = 5000;
const START = 'START:: 0>W\n        W+01>W\n        ===->START\n';

const element = (id) => document.getElementById(id);
const statusLine = element('status');
const listingBody = element('listing').querySelector('tbody');

const [examples, chips] = await Promise.all([
  fetch('examples.json').then((response) => response.json()),
  fetch('chips/chips.json').then((response) => response.json()),
]);
const chipTexts = new Map();

// The project: its files in assembly order, the one shown, the chip. A
// shared link's project comes first, then the one kept from the last visit.
const linked = await projectOfLink(location.hash, chips);
let project = linked.project || loadStoredProject() ||
  { base: 'program', files: [{ name: 'program.as', text: START }], current: 0, chip: '' };
const states = new Map();
let lastAnswer = null;
// Said after the status until the next edit: why a link was not opened.
let notice = linked.refused || '';
// When the text last changed: the latency of the answer to it is kept on
// the page for the benchmark.
let editedAt = performance.now();

function loadStoredProject() {
  try {
    const stored = JSON.parse(localStorage.getItem(STORAGE_KEY));
    if (stored && Array.isArray(stored.files) && stored.files.length > 0) return stored;
  } catch {
    // A stored project that cannot be read is left alone.
  }
  return null;
}

// Typing stores the project once it pauses, or when the page goes away:
// storage is written synchronously, and a keystroke's answer should not
// wait for it.
let storeTimer = null;
function storeProjectSoon() {
  clearTimeout(storeTimer);
  storeTimer = setTimeout(storeProject, 400);
}
addEventListener('pagehide', () => {
  if (storeTimer !== null) storeProject();
});

function storeProject() {
  clearTimeout(storeTimer);
  storeTimer = null;
  try {
    localStorage.setItem(STORAGE_KEY, JSON.stringify(project));
  } catch {
    // Full or forbidden storage: the project lives on in the page.
  }
}

// --- the editor -----------------------------------------------------------

// The notation's colours, the window's own: spans the core styled, kept in
// place through the edits until the next answer brings new ones.
const setStyles = StateEffect.define();
const styleField = StateField.define({
  create: () => Decoration.none,
  update(decorations, transaction) {
    let next = decorations.map(transaction.changes);
    for (const effect of transaction.effects) if (effect.is(setStyles)) next = effect.value;
    return next;
  },
  provide: (field) => EditorView.decorations.from(field),
});

function styleDecorations(doc, lines) {
  const marks = [];
  for (let i = 0; i < lines.length && i < doc.lines; ++i) {
    const line = doc.line(i + 1);
    for (const span of lines[i]) {
      if (!span.scope) continue;
      const from = line.from + positionOfByte(line.text, span.start);
      const to = line.from + positionOfByte(line.text, span.start + span.length);
      const mark = Decoration.mark({
        class: `k-${span.scope.replace(/\./g, '-')}`,
        attributes: span.colour ? { style: `color: ${span.colour}` } : {},
      });
      if (to > from) marks.push(mark.range(from, to));
    }
  }
  return Decoration.set(marks, true);
}

const view = new EditorView({ parent: element('editor') });

function stateFor(index) {
  if (!states.has(index)) {
    states.set(index, EditorState.create({
      doc: project.files[index].text,
      extensions: [
        lineNumbers(), history(), highlightActiveLine(), lintGutter(), styleField,
        autocompletion({ override: [completeNames] }), wordsHover,
        keymap.of([{ key: 'F12', run: goToDefinition }, ...completionKeymap, ...defaultKeymap, ...historyKeymap]),
        EditorView.updateListener.of((update) => {
          if (!update.docChanged) return;
          project.files[index].text = update.state.doc.toString();
          editedAt = performance.now();
          notice = '';
          storeProjectSoon();
          assemble();
        }),
      ],
    }));
  }
  return states.get(index);
}

function showFile(index) {
  if (view.state && states.has(project.current)) states.set(project.current, view.state);
  project.current = index;
  view.setState(stateFor(index));
  showTabs();
  if (lastAnswer) showSquiggles(lastAnswer);
}

function showTabs() {
  const tabs = element('tabs');
  tabs.replaceChildren(...project.files.map((file, index) => {
    const tab = document.createElement('button');
    tab.className = index === project.current ? 'tab current' : 'tab';
    tab.textContent = file.name;
    tab.addEventListener('click', () => showFile(index));
    return tab;
  }));
}

// --- assembling -----------------------------------------------------------

let worker = null;
let workerReady = false;
let requestId = 0;
let answeredId = 0;
let deadline = null;

// The time limit counts from when the worker can assemble: loading the
// module on a busy machine is not the assembly's time.
function startDeadline() {
  clearTimeout(deadline);
  deadline = setTimeout(() => {
    worker.terminate();
    startWorker();
    statusLine.textContent = `The assembly took longer than ${TIME_LIMIT_MS / 1000} s and was stopped`;
  }, TIME_LIMIT_MS);
}

function startWorker() {
  workerReady = false;
  worker = new Worker('worker.js', { type: 'module' });
  worker.onmessage = (event) => {
    if (event.data.texts) {
      systemTexts = Object.fromEntries(Object.entries(event.data.texts).map(([key, bytes]) => [key, decode(bytes)]));
      forms = event.data.forms;
      showTexts();
      workerReady = true;
      if (answeredId < requestId) startDeadline();
      if (project.chip && chipPanel?.name !== project.chip) requestChipPanel();
      return;
    }
    if (event.data.kind === 'chip') {
      takeChipPanel(event.data);
      return;
    }
    if (event.data.kind === 'config') {
      if (event.data.serial === configSerial) showConfigLines(event.data.answer);
      return;
    }
    if (event.data.id !== requestId) return;
    answeredId = event.data.id;
    clearTimeout(deadline);
    const { answer, styles, ...rest } = event.data;
    lastAnswer = { ...rest, result: readAnswer(answer), styles: readStyles(styles), definitionFiles: project.chip ? 1 : 0 };
    showAnswer(lastAnswer);
  };
}

// --- the chip's panel: its configuration words and its registers ------------

// What the chosen chip's file holds, once the worker has read it; its core
// chooses the table that colours and completes the statements.
let chipPanel = null;
let configSerial = 0;

function chipCore() {
  return chipPanel && chipPanel.name === project.chip ? chipPanel.panel.core : 'classic';
}

async function requestChipPanel() {
  element('chip-open').disabled = !project.chip;
  if (!project.chip) {
    chipPanel = null;
    return;
  }
  const name = project.chip;
  const text = await chipText(name);
  if (name === project.chip) worker.postMessage({ kind: 'chip', name, text });
}

function takeChipPanel({ name, panel }) {
  if (name !== project.chip) return;
  const before = chipCore();
  chipPanel = { name, panel };
  // The styles of the text shown follow the chip's table.
  if (chipCore() !== before) assemble();
}

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');

function settingOption(setting, index, erased) {
  let text = setting.name + (index === erased ? ' (erased)' : '');
  const description = decode(setting.description);
  if (description) text += ` \u2014 ${description}`;
  const option = new Option(text, setting.name);
  option.selected = index === erased;
  return option;
}

function fillConfigFields(panel) {
  const fields = element('config-fields');
  fields.replaceChildren();
  for (const word of panel.configWords) {
    const group = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = `${word.name} at ${hex(word.address, 4)} (erased ${hex(word.blank, 4)})`;
    group.append(legend);
    for (const field of word.fields) {
      const label = document.createElement('label');
      const select = document.createElement('select');
      select.name = field.name;
      select.dataset.erased = field.erased >= 0 ? field.settings[field.erased].name : '';
      if (field.erased < 0) select.append(new Option('(erased bits)', ''));
      select.append(...field.settings.map((setting, index) => settingOption(setting, index, field.erased)));
      select.addEventListener('change', requestConfigLines);
      label.append(`${field.name} `, select);
      group.append(label);
    }
    fields.append(group);
  }
}

function fillRegisters(panel) {
  const body = element('registers').querySelector('tbody');
  body.replaceChildren(...panel.registers.map((register) => {
    const row = document.createElement('tr');
    const cells = [hex(register.address, 3), decode(register.name), ...register.bits.map(decode).reverse()];
    for (const [index, text] of cells.entries()) {
      const cell = document.createElement('td');
      cell.textContent = text;
      if (index > 0 && text) {
        // A name goes into the program at the caret.
        const button = document.createElement('button');
        button.textContent = text;
        button.addEventListener('click', () => insertAtCaret(text));
        cell.replaceChildren(button);
      }
      row.append(cell);
    }
    return row;
  }));
}

// The fields set to other than their erased setting, as korva-asm --config takes them.
function configChoices() {
  const chosen = [];
  for (const select of element('config-fields').querySelectorAll('select')) {
    if (select.value && select.value !== select.dataset.erased) chosen.push(`${select.name}=${select.value}`);
  }
  return chosen.join(',');
}

async function requestConfigLines() {
  const serial = ++configSerial;
  worker.postMessage({ kind: 'config', serial, text: await chipText(project.chip), choices: configChoices() });
}

function showConfigLines(answer) {
  const lines = element('config-lines');
  lines.textContent = answer.refused || decode(answer.lines).replace(/\r\n/g, '\n');
  lines.dataset.refused = answer.refused ? 'yes' : '';
  element('config-insert').disabled = Boolean(answer.refused);
}

function openChipPanel() {
  if (!chipPanel || chipPanel.name !== project.chip) return;
  const { panel } = chipPanel;
  element('chip-title').textContent = `${project.chip}: ${panel.programWords} words, ${panel.banks} banks, ${panel.core}`;
  fillConfigFields(panel);
  fillRegisters(panel);
  element('config-lines').textContent = '';
  requestConfigLines();
  element('chip-panel').showModal();
}

function insertAtCaret(text) {
  const position = view.state.selection.main.head;
  view.dispatch({ changes: { from: position, insert: text }, selection: { anchor: position + text.length } });
}

element('chip-open').addEventListener('click', openChipPanel);
element('chip-close').addEventListener('click', () => element('chip-panel').close());
element('config-insert').addEventListener('click', () => {
  // The lines go in front of the caret's line.
  const line = view.state.doc.lineAt(view.state.selection.main.head);
  view.dispatch({ changes: { from: line.from, insert: element('config-lines').textContent } });
  element('chip-panel').close();
  view.focus();
});
element('config-copy').addEventListener('click', () => {
  navigator.clipboard?.writeText(element('config-lines').textContent);
});

async function chipText(chip) {
  if (!chipTexts.has(chip)) {
    const response = await fetch(`chips/${chip}.inc`);
    chipTexts.set(chip, new Uint8Array(await response.arrayBuffer()));
  }
  return chipTexts.get(chip);
}

// A file's text as last encoded: a keystroke changes one file, and the
// others keep their bytes.
const encodings = new WeakMap();

function encodedText(file) {
  const known = encodings.get(file);
  if (known && known.text === file.text) return known.encoded;
  const encoded = encode(file.text.replace(/\r?\n/g, '\r\n'));
  encodings.set(file, { text: file.text, encoded });
  return encoded;
}

// The files as the assembler reads them: CP932, lines ending in CR LF.
function encodedSources() {
  const sources = [];
  for (const [index, file] of project.files.entries()) {
    const encoded = encodedText(file);
    if (encoded.unencodable) return { refused: { index, ...encoded.unencodable } };
    sources.push({ name: encode(file.name).bytes || 'file.as', text: encoded.bytes });
  }
  return { sources };
}

async function assemble() {
  const { sources, refused } = encodedSources();
  const id = ++requestId;
  if (refused) {
    clearTimeout(deadline);
    const file = project.files[refused.index].name;
    statusLine.textContent = `${file}:${refused.line}: ${refused.code} cannot be written in Shift-JIS (CP932); nothing was assembled`;
    return;
  }
  const definitions = project.chip ? [{ name: `${project.chip}.inc`, text: await chipText(project.chip) }] : [];
  if (id !== requestId) return;
  if (workerReady) startDeadline();
  worker.postMessage({
    id,
    core: chipCore(),
    project: {
      sources: [...definitions, ...sources], definitionFiles: definitions.length, base: project.base, hex: true, symbols: true,
    },
    styled: definitions.length + project.current,
  });
}

// --- showing the answer -----------------------------------------------------

function showAnswer(answer) {
  const { result } = answer;
  showListing(answer);
  showSquiggles(answer);
  if (answer.styled - answer.definitionFiles === project.current) {
    view.dispatch({ effects: setStyles.of(styleDecorations(view.state.doc, answer.styles)) });
  }
  const errors = result.diagnostics.filter((d) => d.severity === 'error').length;
  const warnings = result.diagnostics.length - errors;
  if (result.outcome === 'completed') {
    const summaries = result.diagnostics.filter((d) => d.summary).map((d) => ` — ${decode(d.message)}`);
    const { words } = result;
    const share = result.programWords > 0 ? ` (${(100 * words / result.programWords).toFixed(1)} % of program memory)` : '';
    statusLine.textContent = `${errors} errors, ${warnings} warnings, ${words} words${share}, ${answer.milliseconds.toFixed(1)} ms${summaries.join('')}`;
  } else {
    statusLine.textContent = decode(result.message);
  }
  if (notice) statusLine.textContent += ` — ${notice}`;
  document.body.dataset.latency = (performance.now() - editedAt).toFixed(1);
  // Scripts that drive the page wait for this to change.
  document.body.dataset.answered = String(answer.id);
}

function showListing(answer) {
  const { result } = answer;
  const errorsByLine = new Map();
  for (const diagnostic of result.diagnostics) {
    if (diagnostic.severity === 'error' && diagnostic.listingLine >= 0) errorsByLine.set(diagnostic.listingLine, diagnostic);
  }
  const lines = decode(result.listing).split('\r\n');
  if (lines.length > 0 && lines[lines.length - 1] === '') lines.pop();
  // A keystroke changes a line or two of the listing: only rows whose text
  // or error changed are made again. On 2,187 lines in Chromium this takes
  // a keystroke's whole time to listing and squiggles from 197 to 66 ms
  // (medians of 120 keys, bench/playground_latency.mjs).
  const rows = listingBody.rows;
  while (rows.length > lines.length) listingBody.lastElementChild.remove();
  for (const [index, line] of lines.entries()) {
    const diagnostic = errorsByLine.get(index);
    const title = diagnostic ? decode(diagnostic.message) : '';
    const row = index < rows.length ? rows[index] : listingBody.appendChild(document.createElement('tr'));
    if (row.dataset.line === line && (row.title || '') === title) {
      row.onclick = diagnostic ? () => jumpTo(answer, diagnostic) : null;
      continue;
    }
    row.dataset.line = line;
    row.replaceChildren(...line.split('\t').map((cell) => {
      const td = document.createElement('td');
      td.textContent = cell;
      return td;
    }));
    row.className = diagnostic ? 'error' : '';
    row.title = title;
    row.onclick = diagnostic ? () => jumpTo(answer, diagnostic) : null;
  }
}

// The project file a diagnostic is in, or -1 for the chip's file or none.
function projectFileOf(answer, diagnostic) {
  const index = diagnostic.file - answer.definitionFiles;
  return diagnostic.line > 0 && index >= 0 && index < project.files.length ? index : -1;
}

function jumpTo(answer, diagnostic) {
  const index = projectFileOf(answer, diagnostic);
  if (index < 0) return;
  if (index !== project.current) showFile(index);
  const line = view.state.doc.line(Math.min(diagnostic.line, view.state.doc.lines));
  view.dispatch({ selection: { anchor: line.from }, scrollIntoView: true });
  view.focus();
}

function showSquiggles(answer) {
  const doc = view.state.doc;
  const marks = [];
  for (const diagnostic of answer.result.diagnostics) {
    // A summary of the whole program stands in the status line, not on a line.
    if (diagnostic.summary) continue;
    if (projectFileOf(answer, diagnostic) !== project.current || diagnostic.line > doc.lines) continue;
    const line = doc.line(diagnostic.line);
    const start = diagnostic.column > 0 ? positionOfByte(line.text, diagnostic.column - 1) : 0;
    const end = diagnostic.column > 0 ? positionOfByte(line.text, diagnostic.column - 1 + diagnostic.length) : line.length;
    marks.push({
      from: line.from + start,
      to: line.from + Math.max(end, Math.min(start + 1, line.length)),
      severity: diagnostic.severity,
      message: decode(diagnostic.message),
    });
  }
  view.dispatch(setDiagnostics(view.state, marks));
}

// --- a statement's words on hover ---------------------------------------------

const hex4 = (value) => value.toString(16).toUpperCase().padStart(4, '0');

// The words the line under the pointer wrote, with their mnemonics, as the
// language server's hover gives them.
const wordsHover = hoverTooltip((target, position) => {
  if (!lastAnswer || !lastAnswer.result.lineWords) return null;
  const line = target.state.doc.lineAt(position);
  const file = lastAnswer.definitionFiles + project.current;
  const words = lastAnswer.result.lineWords.filter((word) => word.file === file && word.line === line.number);
  if (words.length === 0) return null;
  return {
    pos: line.from,
    end: line.to,
    above: true,
    create: () => {
      const dom = document.createElement('pre');
      dom.className = 'k-words';
      dom.textContent = words.map((word) => `${hex4(word.address)} ${hex4(word.word)} ${word.mnemonic || 'data'}`).join('\n');
      return { dom };
    },
  };
});

// --- names: go to definition, completion --------------------------------------

let forms = { classic: [], enhanced: [] };

// The occurrence of a name (definition or use) at the caret in the file shown.
function occurrenceAt(state, position) {
  if (!lastAnswer || !lastAnswer.result.definitions) return null;
  const line = state.doc.lineAt(position);
  const file = lastAnswer.definitionFiles + project.current;
  const { definitions, references } = lastAnswer.result;
  for (const occurrence of [...references, ...definitions]) {
    if (occurrence.file !== file || occurrence.line !== line.number) continue;
    const from = line.from + positionOfByte(line.text, occurrence.column - 1);
    const to = line.from + positionOfByte(line.text, occurrence.column - 1 + occurrence.length);
    if (position >= from && position <= to) return occurrence;
  }
  return null;
}

const sameBytes = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);

function goToDefinition(target) {
  const occurrence = occurrenceAt(target.state, target.state.selection.main.head);
  if (!occurrence) return false;
  const definition = lastAnswer.result.definitions.find((d) => sameBytes(d.name, occurrence.name));
  const index = definition ? definition.file - lastAnswer.definitionFiles : -1;
  if (index < 0 || index >= project.files.length) return false;
  if (index !== project.current) showFile(index);
  const line = view.state.doc.line(Math.min(definition.line, view.state.doc.lines));
  const anchor = line.from + positionOfByte(line.text, definition.column - 1);
  view.dispatch({ selection: { anchor }, scrollIntoView: true });
  view.focus();
  return true;
}

// The names the program defines (the chip's too) and the notation's forms
// that begin with the word before the caret.
function completeNames(context) {
  const word = context.matchBefore(/[^\s;:()+\-*/<>=^\\]+/);
  if (!word || (word.from === word.to && !context.explicit)) return null;
  const names = new Set((lastAnswer?.result.definitions || []).map((d) => decode(d.name)));
  const options = [...names].map((name) => ({ label: name, type: 'variable' }));
  for (const form of forms[chipCore()]) {
    const label = form.text.replace(/@/g, '…');
    options.push({ label, type: 'keyword', detail: form.mnemonic.trim(), apply: form.text.replace(/@/g, '') });
  }
  return { from: word.from, options, validFor: /^[^\s;:()]*$/ };
}

// --- menus and downloads --------------------------------------------------------

function fillMenus() {
  const chipMenu = element('chip');
  chipMenu.replaceChildren(new Option('(none)', ''), ...chips.map((chip) => new Option(chip, chip)));
  chipMenu.value = project.chip;
  chipMenu.addEventListener('change', () => {
    project.chip = chipMenu.value;
    storeProject();
    requestChipPanel();
    assemble();
  });
  const exampleMenu = element('examples');
  exampleMenu.replaceChildren(new Option('…', ''), ...examples.map((example) => new Option(example.name, example.name)));
  exampleMenu.addEventListener('change', () => {
    const example = examples.find((candidate) => candidate.name === exampleMenu.value);
    if (example) openExample(example);
  });
}

function bytesOfBase64(text) {
  return Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
}

function openExample(example) {
  const files = example.files.map((file) => ({ name: file.name, text: decode(bytesOfBase64(file.base64)) }));
  project = { base: example.name, files, current: 0, chip: example.chip };
  element('chip').value = project.chip;
  requestChipPanel();
  states.clear();
  storeProject();
  view.setState(stateFor(0));
  showTabs();
  assemble();
}

function save(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function download(extension, bytes) {
  save(new Blob([bytes], { type: 'application/octet-stream' }), `${project.base}.${extension}`);
}

for (const [id, extension, field] of [['download-hex', 'hex', 'hex'], ['download-bin', 'bin', 'bin'],
  ['download-out', 'out', 'listing'], ['download-obj', 'obj', 'obj']]) {
  element(id).addEventListener('click', () => {
    if (lastAnswer) download(extension, lastAnswer.result[field]);
  });
}

element('download-zip').addEventListener('click', () => {
  const archive = projectArchive(project);
  if (archive.refused) {
    statusLine.textContent = archive.refused;
    return;
  }
  save(archive.zip, `${project.base}.zip`);
});

element('share').addEventListener('click', async () => {
  window.history.replaceState(null, '', await linkOf(project));
  statusLine.textContent = 'The address now carries the project: copy it to share it (nothing leaves this machine)';
});

// --- the interface's language ----------------------------------------------

let systemTexts = {};
let language = localStorage.getItem(LANGUAGE_KEY) || (navigator.language.startsWith('ja') ? 'ja' : 'en');

function showTexts() {
  document.documentElement.lang = language;
  element('language').value = language;
  for (const labelled of document.querySelectorAll('[data-text]')) {
    labelled.textContent = textOf(labelled.dataset.text, language, systemTexts);
  }
  element('chip').options[0].textContent = textOf('none', language, systemTexts);
}

element('language').addEventListener('change', () => {
  language = element('language').value;
  localStorage.setItem(LANGUAGE_KEY, language);
  showTexts();
});

fillMenus();
showTexts();
startWorker();
requestChipPanel();
view.setState(stateFor(project.current < project.files.length ? project.current : 0));
showTabs();
assemble();

