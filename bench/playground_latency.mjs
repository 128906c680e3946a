// The playground's time from a keystroke to the listing and the squiggles
// of the new text, measured in the page (Debian's Chromium, headless, driven
// by playwright-core): one key at a time at the end of the project's last
// file, each answer waited for. Not a test: it reports the figures.
//   node bench/playground_latency.mjs SITE_FOLDER PROJECT_FOLDER [CHIP] [KEYS]
// PROJECT_FOLDER holds the sources of a project by korva-bench-project
// (defs.inc and main.as).
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import process from 'node:process';

import { chromium } from '../playground/node_modules/playwright-core/index.mjs';
import { serve } from '../playground/serve.mjs';

const [site, folder, chip = '', keys = '40'] = process.argv.slice(2);
const order = ['defs.inc', 'main.as'].filter((name) => readdirSync(folder).includes(name));
const decoder = new TextDecoder('shift_jis');
const files = order.map((name) => ({ name, text: decoder.decode(readFileSync(join(folder, name))).replace(/\r\n/g, '\n') }));
const lines = files.reduce((count, file) => count + file.text.split('\n').length - 1, 0);
const project = { base: 'bench', files, current: files.length - 1, chip };

const server = await serve(site);
const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
await page.addInitScript((stored) => localStorage.setItem('korva-playground-project', stored), JSON.stringify(project));
await page.goto(`http://127.0.0.1:${server.address().port}/`);
await page.waitForFunction(() => document.body.dataset.answered !== undefined, null, { timeout: 30000 });
await page.click('.cm-content');
await page.keyboard.press('Control+End');

const latencies = [];
for (let i = 0; i < Number(keys); ++i) {
  const before = await page.getAttribute('body', 'data-answered');
  await page.keyboard.press(i % 2 === 0 ? 'Space' : 'Backspace');
  await page.waitForFunction((previous) => document.body.dataset.answered !== previous, before, { timeout: 30000 });
  latencies.push(Number(await page.getAttribute('body', 'data-latency')));
}
await browser.close();
server.close();
latencies.sort((a, b) => a - b);
const at = (share) => latencies[Math.min(latencies.length - 1, Math.floor(share * latencies.length))];
console.log(`${lines} lines${chip ? ` for the ${chip}` : ''}: keystroke to listing and squiggles ` +
  `median ${at(0.5).toFixed(1)} ms, 90th percentile ${at(0.9).toFixed(1)} ms, ` +
  `best ${latencies[0].toFixed(1)} ms (${latencies.length} keys)`);
