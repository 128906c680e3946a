// The project as files to take away (a zip of its sources and its .amk)
// and as a link that carries it in the address's fragment, compressed. A
// link is data only: it is read within limits and checked before use.
import { encode } from './cp932.js';

export const LINK_LIMIT = 256 * 1024;          // characters of the fragment
export const PROJECT_LIMIT = 1024 * 1024;      // bytes of the project's text
const FILE_LIMIT = 64;
const NAME_LIMIT = 99;

// --- zip (stored, no compression) ------------------------------------------

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let crc = 0xffffffff;
  for (const byte of bytes) crc = crcTable[(crc ^ byte) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

// A zip archive of the named byte strings, each stored as it is.
export function zipOf(entries) {
  const parts = [];
  const central = [];
  let offset = 0;
  for (const { name, bytes } of entries) {
    const crc = crc32(bytes);
    const header = new DataView(new ArrayBuffer(30));
    header.setUint32(0, 0x04034b50, true);
    header.setUint16(4, 10, true);
    header.setUint32(14, crc, true);
    header.setUint32(18, bytes.length, true);
    header.setUint32(22, bytes.length, true);
    header.setUint16(26, name.length, true);
    parts.push(new Uint8Array(header.buffer), name, bytes);
    const record = new DataView(new ArrayBuffer(46));
    record.setUint32(0, 0x02014b50, true);
    record.setUint16(4, 20, true);
    record.setUint16(6, 10, true);
    record.setUint32(16, crc, true);
    record.setUint32(20, bytes.length, true);
    record.setUint32(24, bytes.length, true);
    record.setUint16(28, name.length, true);
    record.setUint32(42, offset, true);
    central.push(new Uint8Array(record.buffer), name);
    offset += 30 + name.length + bytes.length;
  }
  const centralSize = central.reduce((size, part) => size + part.length, 0);
  const end = new DataView(new ArrayBuffer(22));
  end.setUint32(0, 0x06054b50, true);
  end.setUint16(8, entries.length, true);
  end.setUint16(10, entries.length, true);
  end.setUint32(12, centralSize, true);
  end.setUint32(16, offset, true);
  return new Blob([...parts, ...central, new Uint8Array(end.buffer)]);
}

// The project's sources in CP932 with CR LF line ends and its .amk, which
// names the chip first when there is one; null with the reason when a text
// cannot be written in CP932.
export function projectArchive(project) {
  const entries = [];
  const listed = project.chip ? [`${project.chip}.inc`] : [];
  for (const file of project.files) {
    const name = encode(file.name);
    const text = encode(file.text.replace(/\r?\n/g, '\r\n'));
    if (!name.bytes || !text.bytes) return { refused: `${file.name} cannot be written in Shift-JIS (CP932)` };
    entries.push({ name: name.bytes, bytes: text.bytes });
    listed.push(file.name);
  }
  const amk = encode(listed.map((entry) => `${entry}\r\n`).join(''));
  entries.push({ name: encode(`${project.base}.amk`).bytes, bytes: amk.bytes });
  return { zip: zipOf(entries) };
}

// --- links -------------------------------------------------------------------------

function base64url(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function bytesOfBase64url(text) {
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}

async function transformed(bytes, stream) {
  const reader = new Blob([bytes]).stream().pipeThrough(stream).getReader();
  const chunks = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > PROJECT_LIMIT) {
      await reader.cancel();
      return null;
    }
    chunks.push(value);
  }
  return new Uint8Array(await new Blob(chunks).arrayBuffer());
}

export async function linkOf(project) {
  const json = new TextEncoder().encode(JSON.stringify({
    v: 1, base: project.base, chip: project.chip, files: project.files.map(({ name, text }) => ({ name, text })),
  }));
  return `#p=${base64url(await transformed(json, new CompressionStream('deflate-raw')))}`;
}

// The project a fragment carries, or the reason it carries none.
export async function projectOfLink(fragment, chips) {
  const data = fragment.startsWith('#p=') ? fragment.slice(3) : null;
  if (data === null) return { refused: null };
  if (data.length > LINK_LIMIT) return { refused: `the link is longer than ${LINK_LIMIT / 1024} K characters; it was not opened` };
  let json;
  try {
    const bytes = await transformed(bytesOfBase64url(data), new DecompressionStream('deflate-raw'));
    if (!bytes) return { refused: `the linked project is larger than ${PROJECT_LIMIT / 1024 / 1024} MB; it was not opened` };
    json = JSON.parse(new TextDecoder('utf-8', { fatal: true }).decode(bytes));
  } catch {
    return { refused: 'the link holds no project that can be read; it was not opened' };
  }
  const files = Array.isArray(json?.files) ? json.files : null;
  const valid = json?.v === 1 && files && files.length > 0 && files.length <= FILE_LIMIT &&
    files.every((file) => typeof file?.name === 'string' && file.name.length > 0 &&
      file.name.length <= NAME_LIMIT && !/[\\/:]/.test(file.name) && typeof file.text === 'string') &&
    typeof json.base === 'string' && json.base.length > 0 && json.base.length <= NAME_LIMIT &&
    (json.chip === '' || chips.includes(json.chip));
  if (!valid) return { refused: 'the link holds no project that can be read; it was not opened' };
  return {
    project: { base: json.base, chip: json.chip, current: 0, files: files.map(({ name, text }) => ({ name, text })) },
  };
}
