// Serves a folder of static files on 127.0.0.1 (the built site, dist/):
//   node serve.mjs [FOLDER] [PORT]    (port 0: any free one)
// Also imported by the browser tests, which start it on a free port.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
  '.css': 'text/css', '.json': 'application/json', '.wasm': 'application/wasm',
  '.inc': 'application/octet-stream',
};

export function serve(folder, port = 0) {
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = normalize(join(folder, path.endsWith('/') ? `${path}index.html` : path));
    if (!file.startsWith(normalize(folder) + sep)) {
      response.writeHead(403).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, { 'Content-Type': TYPES[extname(file)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => {
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const folder = process.argv[2] || join(fileURLToPath(new URL('.', import.meta.url)), 'dist');
  const server = await serve(folder, Number(process.argv[3] || 8080));
  console.log(`KORVA playground: http://127.0.0.1:${server.address().port}/`);
}
