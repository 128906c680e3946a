// Assembles in the background. Requests that a newer one overtook while
// waiting are dropped: only the latest edit is assembled, and the answer to
// an older one is never sent. A chip's panel and its configuration lines
// are answered as they come.
import { loadCore } from '../korva_core.mjs';

const ready = fetch('korva-core.wasm')
  .then((response) => response.arrayBuffer())
  .then((bytes) => loadCore(bytes));
let latest = null;
// The system's texts and both tables' forms go to the page once, as soon as
// the core is there.
ready.then((core) => postMessage({
  texts: core.texts(), forms: { classic: core.forms('classic'), enhanced: core.forms('enhanced') },
}));

async function assembleLatest() {
  const core = await ready;
  const request = latest;
  latest = null;
  if (!request) return;
  const started = performance.now();
  const answer = core.answerBytes(request.project);
  const milliseconds = performance.now() - started;
  // The colours of the file shown, by the chip's table, as the window and
  // the editors give them.
  const styles = core.styleBytes(request.project.sources[request.styled].text, request.core);
  // The bytes change hands without a copy, and the page reads them: a
  // structured clone of the read result (thousands of names and words)
  // cost more than the reading. With the page's lazy symbol facts and its
  // kept encodings, the best keystroke on 2,187 lines went from 62 to 37 ms
  // (bench/playground_latency.mjs, both cores busy with a build).
  postMessage({ id: request.id, answer, milliseconds, styles, styled: request.styled },
    [answer.buffer, styles.buffer]);
}

async function answerChip(request) {
  const core = await ready;
  if (request.kind === 'chip') {
    postMessage({ kind: 'chip', name: request.name, panel: core.chip(request.text) });
  } else {
    postMessage({ kind: 'config', serial: request.serial, answer: core.config(request.text, request.choices) });
  }
}

onmessage = (event) => {
  if (event.data.kind) {
    answerChip(event.data);
    return;
  }
  latest = event.data;
  // Every message already queued is taken before the assembly starts.
  setTimeout(assembleLatest, 0);
};
