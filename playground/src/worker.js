// Assembles in the background. Requests that a newer one overtook while
// waiting are dropped: only the latest edit is assembled, and the answer to
// an older one is never sent.
import { loadCore } from '../korva_core.mjs';

const ready = fetch('korva-core.wasm')
  .then((response) => response.arrayBuffer())
  .then((bytes) => loadCore(bytes));
let latest = null;
// The system's texts go to the page once, as soon as the core is there.
ready.then((core) => postMessage({ texts: core.texts(), forms: core.forms() }));

async function assembleLatest() {
  const core = await ready;
  const request = latest;
  latest = null;
  if (!request) return;
  const started = performance.now();
  const result = core.assemble(request.project);
  const milliseconds = performance.now() - started;
  // The colours of the file shown, as the window and the editors give them.
  const styles = core.styles(request.project.sources[request.styled].text);
  postMessage({ id: request.id, result, milliseconds, styles, styled: request.styled });
}

onmessage = (event) => {
  latest = event.data;
  // Every message already queued is taken before the assembly starts.
  setTimeout(assembleLatest, 0);
};
