// Builds the static site into dist/: the page and its worker bundled with
// esbuild, the core (korva-core.wasm), the examples and the chip files.
//   node build.mjs [CORE_WASM] [OUT_FOLDER]
import { copyFileSync, existsSync, mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { build } from 'esbuild';

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, '..');
const core = process.argv[2] || join(root, 'build', 'wasm', 'korva-core.wasm');
const out = process.argv[3] || join(here, 'dist');

rmSync(out, { recursive: true, force: true });
mkdirSync(join(out, 'chips'), { recursive: true });
await build({
  entryPoints: [join(here, 'src', 'main.js'), join(here, 'src', 'worker.js')],
  bundle: true, format: 'esm', minify: true, target: 'es2022', outdir: out, logLevel: 'warning',
});
copyFileSync(join(here, 'index.html'), join(out, 'index.html'));
copyFileSync(join(here, 'src', 'style.css'), join(out, 'style.css'));
copyFileSync(core, join(out, 'korva-core.wasm'));

const chips = readdirSync(join(root, 'chips')).filter((name) => name.endsWith('.inc')).sort();
for (const chip of chips) copyFileSync(join(root, 'chips', chip), join(out, 'chips', chip));
writeFileSync(join(out, 'chips', 'chips.json'), JSON.stringify(chips.map((chip) => chip.slice(0, -4))));

// Each example with its files in project order; a chip file that the
// project names first becomes the example's chip.
const examples = [];
for (const name of readdirSync(join(root, 'examples')).sort()) {
  const folder = join(root, 'examples', name);
  const projectFile = join(folder, `${name}.amk`);
  if (!existsSync(projectFile)) continue;
  const entries = readFileSync(projectFile, 'latin1').split(/\r?\n/).filter((entry) => entry !== '');
  let chip = '';
  if (entries.length > 0 && !existsSync(join(folder, entries[0])) && chips.includes(entries[0])) {
    chip = entries.shift().slice(0, -4);
  }
  const files = entries.map((entry) => ({ name: entry, base64: readFileSync(join(folder, entry)).toString('base64') }));
  examples.push({ name, chip, files });
}
writeFileSync(join(out, 'examples.json'), JSON.stringify(examples));
console.log(`playground: ${out} (${examples.length} examples, ${chips.length} chips)`);
