// The browser's core against korva-asm: every example project and every
// case file gives the same .obj, .out, .bin and .hex; a stopped assembly,
// the diagnostics' places, the styles after Japanese text and by the chip's core, the
// chip panel's facts and configuration lines, and requests broken on
// purpose (cut short, a zero byte, random bytes) get an answer, never a trap.
//   node browser_core_test.mjs KORVA_CORE_WASM KORVA_ASM SOURCE_ROOT
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import process from 'node:process';

import { loadCore, requestBytes } from '../../playground/korva_core.mjs';

const [wasmPath, korvaAsm, root] = process.argv.slice(2);
const core = await loadCore(readFileSync(wasmPath));
let failures = 0;
let checked = 0;
const fail = (what) => {
  console.log(`FAILED: ${what}`);
  failures += 1;
};
const equal = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);
const cp932 = (bytes) => Uint8Array.from(bytes);

// A project's entries: its lines up to "end", as the project file holds them.
function projectEntries(bytes) {
  const text = Buffer.from(bytes).toString('latin1');
  const entries = [];
  for (const line of text.split(/\r\n|\n/)) {
    if (line === 'end') break;
    if (line !== '') entries.push(line);
  }
  return entries;
}

// The files of the entries as korva-asm reads them: beside the project, else
// (a chip file's name alone) from the chip folder.
function entrySources(folder, entries) {
  return entries.map((entry) => {
    const beside = join(folder, entry);
    const file = existsSync(beside) ? beside : join(root, 'chips', entry);
    return { name: Buffer.from(entry, 'latin1'), text: cp932(readFileSync(file)) };
  });
}

function compareWithKorvaAsm(name, folder, args, project) {
  const work = mkdtempSync(join(tmpdir(), 'korva-core-'));
  try {
    cpSync(folder, work, { recursive: true });
    try {
      execFileSync(korvaAsm, ['--hex', ...args], {
        cwd: work, stdio: 'ignore', env: { ...process.env, KORVA_CHIPS_DIR: join(root, 'chips') },
      });
    } catch {
      // Errors in the listing end korva-asm with status 1; the files stand.
    }
    const result = core.assemble(project);
    const base = project.base;
    for (const [output, bytes] of [['obj', result.obj], ['out', result.listing],
      ['bin', result.bin], ['hex', result.hex]]) {
      const file = join(work, `${base}.${output}`);
      if (!existsSync(file)) {
        fail(`${name}: korva-asm wrote no ${base}.${output}`);
      } else if (!equal(bytes, readFileSync(file))) {
        fail(`${name}: ${base}.${output} differs`);
      }
    }
    checked += 1;
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
}

for (const example of readdirSync(join(root, 'examples')).sort()) {
  const folder = join(root, 'examples', example);
  const projectFile = join(folder, `${example}.amk`);
  if (!existsSync(projectFile)) continue;
  const entries = projectEntries(readFileSync(projectFile));
  compareWithKorvaAsm(`example ${example}`, folder, [`${example}.amk`],
    { sources: entrySources(folder, entries), base: example });
}
// The files below a folder, by their paths from it (Node 18 has no
// recursive readdir).
function filesBelow(folder, prefix = '') {
  return readdirSync(folder, { withFileTypes: true }).flatMap((entry) =>
    entry.isDirectory() ? filesBelow(join(folder, entry.name), `${prefix}${entry.name}/`)
      : [`${prefix}${entry.name}`]);
}
const cases = join(root, 'tests', 'cases');
for (const entry of filesBelow(cases).sort()) {
  if (!entry.endsWith('.as')) continue;
  const file = join(cases, entry);
  const name = basename(entry);
  const base = name.slice(0, -3);
  const folder = mkdtempSync(join(tmpdir(), 'korva-case-'));
  cpSync(file, join(folder, name));
  compareWithKorvaAsm(`case ${entry}`, folder, [name],
    { sources: [{ name, text: cp932(readFileSync(file)) }], base });
  rmSync(folder, { recursive: true, force: true });
}

// A stop in pass 1 answers with its message and no .obj.
const stopped = core.assemble({ sources: [{ name: 'a.as', text: 'A:: NOP\r\nA:: NOP\r\n' }] });
if (stopped.outcome !== 'stopped' || stopped.message.length === 0 || stopped.obj.length !== 0) {
  fail(`a label defined twice: ${stopped.outcome}`);
}

// ループ::  (UNDEF1)+1: the name's place is in bytes, from 1, after the
// six bytes of the three full-width characters.
const japanese = Uint8Array.from([0x83, 0x8b, 0x81, 0x5b, 0x83, 0x76,
  ...Buffer.from('::  (UNDEF1)+1\r\n', 'latin1')]);
const marked = core.assemble({ sources: [{ name: 'a.as', text: japanese }] });
const undefinedName = marked.diagnostics.find((d) => d.severity === 'error');
if (!undefinedName || undefinedName.line !== 1 || undefinedName.column !== 12 ||
    undefinedName.length !== 6 || undefinedName.listingLine !== 0) {
  fail(`the undefined name's place: ${JSON.stringify(undefinedName)}`);
}

// The colours of a line are the editors' styles, in the line's bytes: the
// label after six bytes of full-width text, the register operand after it.
const styled = core.styles(japanese);
const scopes = styled[0].map((span) => `${span.start}+${span.length} ${span.scope}`);
if (styled.length !== 2 || scopes[0] !== '0+6 entity.name.label.global.korva' ||
    !scopes.includes('10+8 variable.other.register.korva')) {
  fail(`the styles of the Japanese line: ${scopes.join(', ')}`);
}

// An enhanced chip's statements are coloured by its own table: FSR0+=1 is
// ADDFSR there and fits no classic form.
const scopeOf = (family) => core.styles('        FSR0+=1\r\n', family)[0].map((span) => span.scope);
if (!scopeOf('enhanced').includes('keyword.operator.korva') || scopeOf('enhanced').includes('invalid.illegal.korva') ||
    !scopeOf('classic').includes('invalid.illegal.korva')) {
  fail(`the styles of FSR0+=1: enhanced ${scopeOf('enhanced')}, classic ${scopeOf('classic')}`);
}
const formTexts = (family) => core.forms(family).map((form) => form.text);
if (formTexts('enhanced').length <= formTexts('classic').length || !formTexts('enhanced').includes('@++>W') ||
    formTexts('classic').includes('@++>W')) {
  fail(`the forms by core: ${formTexts('enhanced').length} enhanced, ${formTexts('classic').length} classic`);
}

// The chip panel reads the chip files as korva-asm does: the core, the
// configuration words and the registers with their bits; the lines of a
// choice are korva-asm --config's, and a setting the chip lacks is refused.
const chipFile = (name) => cp932(readFileSync(join(root, 'chips', `${name}.inc`)));
const ascii = (bytes) => Buffer.from(bytes).toString('latin1');
const classicChip = core.chip(chipFile('16F877A'));
const portb = classicChip.registers.find((register) => ascii(register.name) === 'PORTB');
const fosc = classicChip.configWords[0]?.fields.find((field) => field.name === 'FOSC');
if (classicChip.core !== 'classic' || classicChip.programWords !== 8192 || classicChip.configWords.length !== 1 ||
    classicChip.configWords[0].address !== 0x2007 || !fosc || fosc.settings[fosc.erased]?.name !== 'EXTRC' ||
    !portb || portb.address !== 6 || ascii(portb.bits[7]) !== 'RB7') {
  fail(`the 16F877A's panel: ${classicChip.core}, ${classicChip.programWords} words, ${classicChip.registers.length} registers`);
}
const enhancedChip = core.chip(chipFile('16F1827'));
if (enhancedChip.core !== 'enhanced' || enhancedChip.banks !== 32 ||
    enhancedChip.configWords.map((word) => word.address).join() !== `${0x8007},${0x8008}`) {
  fail(`the 16F1827's panel: ${enhancedChip.core}, ${enhancedChip.banks} banks`);
}
for (const [chip, choices] of [['16F877A', 'FOSC=XT,WDTE=OFF'], ['16F1827', 'FOSC=INTOSC'], ['16F84A', 'CP=ON']]) {
  const lines = core.config(chipFile(chip), choices);
  const args = ['--chip', chip, '--config', choices];
  const expected = execFileSync(korvaAsm, args, { env: { ...process.env, KORVA_CHIPS_DIR: join(root, 'chips') } });
  if (!lines.lines || !equal(lines.lines, expected)) fail(`the configuration lines of ${chip} ${choices}: ${lines.refused}`);
}
const refused = core.config(chipFile('16F877A'), 'FOSC=NOPE');
if (!refused.refused || !refused.refused.includes('NOPE')) fail(`FOSC=NOPE: ${JSON.stringify(refused)}`);
if (!core.chip(cp932(Buffer.from('; no facts\r\n'))).configWords || core.config(cp932([]), 'FOSC=XT').lines) {
  fail('a chip file without facts');
}

// The words a line with errors did not write are counted once, for the
// whole program.
const summaries = marked.diagnostics.filter((d) => d.summary);
if (summaries.length !== 1 || summaries[0].severity !== 'warning' ||
    marked.diagnostics.filter((d) => !d.summary).some((d) => d.severity !== 'error')) {
  fail(`the summary of unwritten words: ${JSON.stringify(marked.diagnostics)}`);
}

// Broken requests are refused with a reason, and the module stays usable.
const whole = requestBytes({ sources: [{ name: 'a.as', text: 'NOP\r\n' }] });
const broken = [
  ['empty', new Uint8Array(0)],
  ['not a request', Uint8Array.from(Buffer.from('hello world, no request'))],
  ['cut inside the text', whole.slice(0, whole.length - 2)],
  ['cut inside a length', whole.slice(0, 14)],
  ['a zero byte', requestBytes({ sources: [{ name: 'a.as', text: 'NOP\0\r\n' }] })],
];
for (const [what, bytes] of broken) {
  const answer = core.assembleBytes(bytes);
  if (answer.outcome !== 'refused' || answer.message.length === 0) fail(`${what}: ${answer.outcome}`);
}
let seed = 12345;
const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
for (let i = 0; i < 200; ++i) {
  const bytes = whole.slice();
  for (let j = 0; j < 3; ++j) bytes[Math.floor(random() * bytes.length)] = Math.floor(random() * 256);
  core.assembleBytes(bytes);  // any answer will do; a trap would throw
}
const again = core.assemble({ sources: [{ name: 'a.as', text: 'NOP\r\n' }] });
if (again.outcome !== 'completed' || !equal(again.bin, [0, 0])) fail('the module after broken requests');

console.log(`browser core: ${checked} projects as korva-asm writes them, ${failures} failures`);
process.exit(failures === 0 ? 0 : 1);
