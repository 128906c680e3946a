// The playground in Debian's Chromium, driven headless by playwright-core:
// a program typed in, its colours, listing, squiggles and error rows, F12
// and completion; the place of a
// mark after Japanese text; a character CP932 cannot hold; a chip and the
// HEX downloaded, byte for byte korva-asm's; the chip's panel with its
// configuration lines and registers; an enhanced chip's colours and
// completion; every example's listing and
// HEX as korva-asm writes them; the project as a zip and as a shared link;
// hostile links refused; and no request beyond the site's own files.
//   node tests/browser_test.mjs SITE_FOLDER KORVA_ASM SOURCE_ROOT
import { execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import process from 'node:process';

import { chromium } from 'playwright-core';

import { serve } from '../serve.mjs';

const [site, korvaAsm, root] = process.argv.slice(2);
const server = await serve(site);
const origin = `http://127.0.0.1:${server.address().port}`;
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox'],
});
let failures = 0;
const fail = (what) => {
  console.log(`FAILED: ${what}`);
  failures += 1;
};
const check = (ok, what) => {
  if (!ok) fail(what);
};

const work = mkdtempSync(join(tmpdir(), 'korva-playground-'));

// korva-asm's outputs for files written into a fresh folder (or a copy of
// `folder`), run with `args`.
function korvaAsmOutputs(args, files, folder) {
  const place = mkdtempSync(join(work, 'run-'));
  if (folder) cpSync(folder, place, { recursive: true });
  for (const [name, bytes] of Object.entries(files || {})) writeFileSync(join(place, name), bytes);
  try {
    execFileSync(korvaAsm, ['--hex', ...args], {
      cwd: place, stdio: 'ignore', env: { ...process.env, KORVA_CHIPS_DIR: join(root, 'chips') },
    });
  } catch {
    // Errors in the listing end korva-asm with status 1; the files stand.
  }
  return (base, extension) => readFileSync(join(place, `${base}.${extension}`));
}

async function downloaded(page, button) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  return readFileSync(await download.path());
}

async function replaceProgram(page, text) {
  await page.click('.cm-content');
  await page.keyboard.press('Control+A');
  await page.keyboard.insertText(text);
}

const status = (page) => page.textContent('#status');
const waitForStatus = (page, pattern) =>
  page.waitForFunction((source) => new RegExp(source).test(document.getElementById('status').textContent),
    pattern.source, { timeout: 30000 });

const page = await browser.newPage({ viewport: { width: 1280, height: 800 }, acceptDownloads: true });
const foreign = [];
page.on('request', (request) => {
  if (!request.url().startsWith(`${origin}/`)) foreign.push(request.url());
});
page.on('pageerror', (error) => fail(`page error: ${error.message}`));
await page.goto(`${origin}/`);
// The program a first visit starts with assembles clean.
await waitForStatus(page, /^0 errors, /);

// Typed: an error on line 2, marked in the editor and in the listing; a
// click on the error row puts the caret on that line.
await replaceProgram(page, 'START:: 0>W\nbogus statement\n===->START\n');
await waitForStatus(page, /^1 errors, /);
check(await page.locator('#listing tbody tr').count() >= 3, 'the listing has the three lines');
check(await page.locator('#listing tr.error').count() === 1, 'one error row');
check(await page.locator('.cm-lintRange-error').count() >= 1, 'a squiggle under the error');
check((await page.textContent('[class*="k-entity-name-label-global"]')) === 'START',
  'the label is coloured as a global label');
await page.click('#listing tr.error');
check((await page.textContent('.cm-activeLine')) === 'bogus statement', 'the error row leads to line 2');

// A statement's hover gives its word and mnemonic; F12 on a name goes to
// its definition; completion offers the names the program defines.
await replaceProgram(page, 'START:: 0>W\n        NOP\nLOOP:   NOP\n        ===->LOOP\n');
await waitForStatus(page, /^0 errors, /);
await page.keyboard.press('Control+End');
await page.keyboard.press('ArrowUp');
await page.keyboard.press('End');
await page.keyboard.press('ArrowLeft');
await page.keyboard.press('F12');
check((await page.textContent('.cm-activeLine')) === 'LOOP:   NOP', 'F12 goes to the definition of LOOP');
const nop = await page.locator('.cm-line').nth(1).boundingBox();  // over its text: "        NOP"
await page.mouse.move(nop.x + 70, nop.y + nop.height / 2);
await page.waitForSelector('.k-words', { timeout: 30000 });
check((await page.textContent('.k-words')) === '0001 0000 NOP', `the hover of NOP: ${await page.textContent('.k-words')}`);
await page.mouse.move(0, 0);
await page.keyboard.press('Control+End');
await page.keyboard.insertText('        ===->LO');
await page.keyboard.press('Control+Space');
await page.waitForSelector('.cm-tooltip-autocomplete', { timeout: 30000 });
check((await page.textContent('.cm-tooltip-autocomplete')).includes('LOOP'), 'completion offers LOOP');
await page.keyboard.press('Escape');

// The project stays in the browser's storage: a reload right after a
// keystroke shows it again.
await replaceProgram(page, 'KEPT::  NOP\n');
await page.reload();
await waitForStatus(page, /errors, /);
check((await page.textContent('.cm-content')).includes('KEPT::  NOP'), 'a reload keeps the typed program');

// After full-width text the mark sits under the name the assembler blames.
await replaceProgram(page, 'ループ::  (UNDEF1)+1\n');
await waitForStatus(page, /^1 errors, /);
check((await page.textContent('.cm-lintRange-error')) === 'UNDEF1', 'the mark after ループ is under UNDEF1');

// A character CP932 cannot hold is named, and nothing is assembled.
await replaceProgram(page, 'START:: 0>W ; café\n');
await waitForStatus(page, /U\+00E9 cannot be written in Shift-JIS/);
check((await status(page)).startsWith('program.as:1: '), 'the refusal names the file and line');

// A chip's names, and the HEX as korva-asm --chip writes it.
await page.selectOption('#chip', '16F84A');
const program = 'START:: (STATUS)_BITRP0<1\n        00>(TRISB)\n        (STATUS)_BITRP0<0\n        ===->START\n';
await replaceProgram(page, program);
await waitForStatus(page, /^0 errors, /);
check((await status(page)).includes('% of program memory'), 'the share of the chip\'s program memory');
const hex = await downloaded(page, '#download-hex');
const chipRun = korvaAsmOutputs(['--chip', '16F84A', 'program.as'],
  { 'program.as': program.replace(/\n/g, '\r\n') });
check(hex.equals(chipRun('program', 'hex')), 'the downloaded HEX is korva-asm --chip\'s');

// The chip's panel, by keyboard: a configuration field set gives
// korva-asm --config's lines, the registers list their bits, and the lines
// go into the program, which then has its configuration word.
await page.focus('#chip-open');
await page.keyboard.press('Enter');
await page.waitForSelector('#chip-panel[open]', { timeout: 30000 });
check((await page.textContent('#registers')).includes('RB7'), 'the panel lists PORTB\'s bits');
await page.selectOption('#config-fields select[name="FOSC"]', 'XT');
await page.waitForFunction(() => document.getElementById('config-lines').textContent.includes('FOSC=XT\n'), null,
  { timeout: 30000 });
const configLines = execFileSync(korvaAsm, ['--chip', '16F84A', '--config', 'FOSC=XT'],
  { env: { ...process.env, KORVA_CHIPS_DIR: join(root, 'chips') }, encoding: 'latin1' }).replace(/\r\n/g, '\n');
check((await page.textContent('#config-lines')) === configLines, `the panel's lines: ${await page.textContent('#config-lines')}`);
await page.keyboard.press('Escape');
check(await page.locator('#chip-panel[open]').count() === 0, 'Escape closes the panel');
await page.click('#chip-open');
await page.selectOption('#config-fields select[name="FOSC"]', 'XT');
await page.waitForFunction(() => document.getElementById('config-lines').textContent.includes('FOSC=XT\n'), null,
  { timeout: 30000 });
const warningsBefore = Number((await status(page)).match(/^0 errors, (\d+) warnings/)[1]);
await page.click('#config-insert');
await waitForStatus(page, new RegExp(`^0 errors, ${warningsBefore - 1} warnings`));
check(!(await status(page)).includes('no configuration word'), `the configuration word is written: ${await status(page)}`);
const configured = await downloaded(page, '#download-hex');
const shownText = (await page.locator('.cm-line').allTextContents()).join('\r\n');
check(shownText.includes(configLines.replace(/\n/g, '\r\n')), 'the lines are in the program');
const configuredRun = korvaAsmOutputs(['--chip', '16F84A', 'program.as'], { 'program.as': shownText });
check(configured.equals(configuredRun('program', 'hex')), 'the HEX with the inserted configuration lines');

// An enhanced chip's forms are coloured and completed by its table.
await page.selectOption('#chip', '16F1827');
await replaceProgram(page, '        FSR0+=1\n');
await waitForStatus(page, /^0 errors, /);
await page.waitForFunction(() => document.querySelectorAll('[class*="k-invalid"]').length === 0, null,
  { timeout: 30000 });
await page.keyboard.press('Control+End');
await page.keyboard.insertText('        RESET');
await page.keyboard.press('Control+Space');
await page.waitForSelector('.cm-tooltip-autocomplete', { timeout: 30000 });
check((await page.textContent('.cm-tooltip-autocomplete')).includes('RESET CHIP'), 'completion offers RESET CHIP on the 16F1827');
await page.keyboard.press('Escape');
await page.selectOption('#chip', '');
await page.waitForSelector('[class*="k-invalid"]', { timeout: 30000 });

// Every example: its listing and HEX as korva-asm writes them. Each in a
// page of its own: Chromium refuses a tab's eleventh download in a row.
const examples = JSON.parse(readFileSync(join(site, 'examples.json'), 'utf8'));
for (const example of examples) {
  const tab = await browser.newPage({ acceptDownloads: true });
  tab.on('pageerror', (error) => fail(`page error: ${error.message}`));
  await tab.goto(`${origin}/`);
  await waitForStatus(tab, /errors, /);
  const before = await tab.getAttribute('body', 'data-answered');
  await tab.selectOption('#examples', example.name);
  await tab.waitForFunction((previous) => document.body.dataset.answered !== previous, before, { timeout: 30000 });
  const listing = await downloaded(tab, '#download-out');
  const exampleHex = await downloaded(tab, '#download-hex');
  const args = example.chip ? ['--chip', example.chip, `${example.name}.amk`] : [`${example.name}.amk`];
  const run = korvaAsmOutputs(args, null, join(root, 'examples', example.name));
  check(listing.equals(run(example.name, 'out')), `example ${example.name}: the listing`);
  check(exampleHex.equals(run(example.name, 'hex')), `example ${example.name}: the HEX`);
  check((await status(tab)).startsWith('0 errors'), `example ${example.name}: ${await status(tab)}`);
  await tab.close();
}

// The project as a zip: its sources in CP932 and an .amk that names the
// chip first (read back by Python's zipfile); the last example's.
const last = examples[examples.length - 1];
const answered = await page.getAttribute('body', 'data-answered');
await page.selectOption('#examples', last.name);
await page.waitForFunction((previous) => document.body.dataset.answered !== previous, answered, { timeout: 30000 });
const zip = await downloaded(page, '#download-zip');
const zipPath = join(work, 'project.zip');
writeFileSync(zipPath, zip);
const listed = execFileSync('python3', ['-c', `
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None
    for name in z.namelist():
        print(name, z.read(name).hex())`, zipPath], { encoding: 'utf8' }).trim().split('\n');
const files = Object.fromEntries(listed.map((line) => line.split(' ')));
const amk = Buffer.from(files[`${last.name}.amk`] || '', 'hex').toString('latin1');
const expectedAmk = [...(last.chip ? [`${last.chip}.inc`] : []), ...last.files.map((f) => f.name)]
  .map((entry) => `${entry}\r\n`).join('');
check(amk === expectedAmk, `the zip's project file: ${JSON.stringify(amk)}`);
check(last.files.every((f) => files[f.name] === Buffer.from(f.base64, 'base64').toString('hex')),
  'the zip holds each source byte for byte');

// A shared link opens the same project in a fresh page; hostile links are
// refused with a message and leave the page working.
await page.click('#share');
await page.waitForFunction(() => location.hash.startsWith('#p='), null, { timeout: 30000 });
const link = page.url();
const fresh = await browser.newPage();
fresh.on('pageerror', (error) => fail(`page error with a shared link: ${error.message}`));
await fresh.goto(link);
try {
  await waitForStatus(fresh, /^0 errors, /);
} catch {
  fail(`the shared link gave: ${await fresh.textContent('#status')}`);
}
check((await fresh.textContent('#tabs')).includes(last.files[0].name), 'the link opens its project');
await fresh.close();
const hostile = [
  ['#p=!!!not-base64!!!', /no project that can be read/],
  ['#p=' + 'A'.repeat(300 * 1024), /longer than 256 K characters/],
];
// 2 MB of blanks, compressed to a few kilobytes.
const bomb = execFileSync('python3', ['-c', `
import base64, zlib
c = zlib.compressobj(9, zlib.DEFLATED, -15)
data = c.compress(b'{"v":1,"files":[{"name":"a.as","text":"' + b' ' * (2 * 1024 * 1024) + b'"}]}') + c.flush()
print(base64.urlsafe_b64encode(data).decode().rstrip('='))`], { encoding: 'utf8' }).trim();
hostile.push([`#p=${bomb}`, /larger than 1 MB/]);
for (const [fragment, expected] of hostile) {
  const other = await browser.newPage();
  other.on('pageerror', (error) => fail(`page error with a hostile link: ${error.message}`));
  await other.goto(`${origin}/${fragment}`);
  try {
    await waitForStatus(other, expected);
  } catch {
    fail(`the hostile link ${fragment.slice(0, 24)}… gave: ${await other.textContent('#status')}`);
  }
  await other.close();
}

// In Japanese the listing's titles are the system's own.
await page.selectOption('#language', 'ja');
const titles = await page.$$eval('#listing th', (cells) => cells.map((cell) => cell.textContent));
check(titles.join(' ') === 'ｱﾄﾞﾚｽ ｺｰﾄﾞ ﾗﾍﾞﾙ ｽﾃｰﾄﾒﾝﾄ ｺﾒﾝﾄ ｴﾗｰ', `the Japanese column titles: ${titles.join(' ')}`);
check((await page.textContent('#share')) === '共有リンク', 'the Japanese share button');
await page.selectOption('#language', 'en');
check((await page.textContent('#listing th')) === 'Address', 'back to English');

check(foreign.length === 0, `requests beyond the site: ${foreign.join(' ')}`);
await browser.close();
server.close();
rmSync(work, { recursive: true, force: true });
console.log(`playground in Chromium: ${examples.length} examples, ${failures} failures`);
process.exit(failures === 0 ? 0 : 1);
