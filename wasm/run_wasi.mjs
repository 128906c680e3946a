// Runs a WASI command module under Node with the current folder as its
// root: node wasm/run_wasi.mjs MODULE ARGS... (the exit status is the
// module's).
import { readFile } from 'node:fs/promises';
import process from 'node:process';
import { WASI } from 'node:wasi';

const [modulePath, ...args] = process.argv.slice(2);
const wasi = new WASI({
  version: 'preview1',
  args: [modulePath, ...args],
  env: {},
  preopens: { '.': process.cwd() },
  returnOnExit: true,
});
const module = await WebAssembly.compile(await readFile(modulePath));
const instance = await WebAssembly.instantiate(module, {
  wasi_snapshot_preview1: wasi.wasiImport,
});
process.exitCode = wasi.start(instance);
