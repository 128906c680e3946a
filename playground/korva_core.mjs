// The KORVA core in a browser or in Node: loads korva-core.wasm and
// assembles a project held in memory. Every text crosses as CP932 bytes
// (Uint8Array); decoding for display is the page's business.
//
//   const core = await loadCore(wasmBytes);
//   const result = core.assemble({ sources: [{ name, text }], definitionFiles: 1,
//                                  base: 'blink', hex: true });
//   result.outcome: 'completed' | 'stopped' | 'refused'
//   result.message, .obj, .listing, .bin, .hex: Uint8Array
//   result.diagnostics: [{ severity: 'error' | 'warning', summary (about the
//                          whole program, placed at the first line it counts),
//                          file, line, column, length, listingLine, message }]
//   (line and column from 1, 0 where there is none; listingLine from 0, or -1)
//   result.words: the program's words, as the listing counts them
//   result.programWords: the chip's program memory (0 without a chip)
//   with symbols: true, result.definitions and .references: [{ name, file,
//   line, column, length }] (name CP932, column in bytes from 1), and
//   result.lineWords: [{ file, line, address, word, mnemonic }], the words
//   each line wrote

const NONE = 0xffffffff;
const OUTCOMES = ['completed', 'stopped', 'refused'];

// The module asks for three calls of the C library's streams, which it
// makes only when it ends: each answers "bad file".
function systemStandIns() {
  const badFile = () => 8;
  return { wasi_snapshot_preview1: { fd_close: badFile, fd_seek: badFile, fd_write: badFile } };
}

function asciiBytes(text) {
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i) & 0x7f;
  return bytes;
}

function bytesOf(value) {
  return typeof value === 'string' ? asciiBytes(value) : value;
}

class Writer {
  constructor() {
    this.parts = [];
    this.size = 0;
  }
  raw(bytes) {
    this.parts.push(bytes);
    this.size += bytes.length;
  }
  number(value) {
    const bytes = new Uint8Array(4);
    new DataView(bytes.buffer).setUint32(0, value, true);
    this.raw(bytes);
  }
  text(bytes) {
    this.number(bytes.length);
    this.raw(bytes);
  }
  into(target) {
    let at = 0;
    for (const part of this.parts) {
      target.set(part, at);
      at += part.length;
    }
  }
}

class Reader {
  constructor(bytes) {
    this.bytes = bytes;
    this.view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    this.at = 0;
  }
  byte() {
    return this.bytes[this.at++];
  }
  number() {
    const value = this.view.getUint32(this.at, true);
    this.at += 4;
    return value;
  }
  text() {
    const size = this.number();
    const text = this.bytes.slice(this.at, this.at + size);
    this.at += size;
    return text;
  }
}

function request({ sources, definitionFiles = 0, base = 'program', hex = true, symbols = false }) {
  const writer = new Writer();
  writer.raw(asciiBytes('KVQ1'));
  writer.number((hex ? 1 : 0) | (symbols ? 2 : 0));
  writer.number(definitionFiles);
  writer.text(bytesOf(base));
  writer.number(sources.length);
  for (const source of sources) {
    writer.text(bytesOf(source.name));
    writer.text(bytesOf(source.text));
  }
  return writer;
}

// An answer's bytes read into a result. The names and words of the symbol
// facts are read when first asked for: hovers and completion want them,
// not every keystroke's listing.
export function readAnswer(bytes) {
  const reader = new Reader(bytes);
  const tag = String.fromCharCode(...reader.bytes.slice(0, 4));
  if (tag !== 'KVA1') throw new Error('korva-core answered with no KORVA answer');
  reader.at = 4;
  const result = { outcome: OUTCOMES[reader.byte()] };
  for (const name of ['message', 'obj', 'listing', 'bin', 'hex']) result[name] = reader.text();
  const count = reader.number();
  result.diagnostics = [];
  for (let i = 0; i < count; ++i) {
    const severity = reader.byte() === 1 ? 'warning' : 'error';
    const summary = reader.byte() === 1;
    const file = reader.number();
    const line = reader.number();
    const column = reader.number();
    const length = reader.number();
    const listing = reader.number();
    const message = reader.text();
    result.diagnostics.push({
      severity, summary, file, line, column, length,
      listingLine: listing === NONE ? -1 : listing,
      message,
    });
  }
  result.words = reader.number();
  result.programWords = reader.number();
  const occurrences = () => {
    const found = [];
    const total = reader.number();
    for (let i = 0; i < total; ++i) {
      found.push({ name: reader.text(), file: reader.number(), line: reader.number(),
        column: reader.number(), length: reader.number() });
    }
    return found;
  };
  if (reader.at < bytes.length) {
    let facts = null;
    const symbolFacts = () => {
      if (facts) return facts;
      facts = { definitions: occurrences(), references: occurrences(), lineWords: [] };
      const runs = reader.number();
      for (let i = 0; i < runs; ++i) {
        const file = reader.number();
        const line = reader.number();
        const first = reader.number();
        const count = reader.number();
        for (let j = 0; j < count; ++j) {
          facts.lineWords.push({ file, line, address: first + j, word: reader.number(),
            mnemonic: String.fromCharCode(...reader.text()) });
        }
      }
      return facts;
    };
    for (const name of ['definitions', 'references', 'lineWords']) {
      Object.defineProperty(result, name, { get: () => symbolFacts()[name], enumerable: true });
    }
  }
  return result;
}

export function readStyles(bytes) {
  const reader = new Reader(bytes);
  reader.at = 4;
  const styles = [];
  const styleCount = reader.number();
  for (let i = 0; i < styleCount; ++i) {
    const style = reader.byte();
    const scope = String.fromCharCode(...reader.text());
    const colour = reader.number();
    styles[style] = { scope, colour: colour === NONE ? '' : `#${colour.toString(16).padStart(6, '0')}` };
  }
  const lines = [];
  const lineCount = reader.number();
  for (let i = 0; i < lineCount; ++i) {
    const spans = [];
    const spanCount = reader.number();
    for (let j = 0; j < spanCount; ++j) {
      const start = reader.number();
      const length = reader.number();
      const style = styles[reader.byte()] || { scope: '', colour: '' };
      spans.push({ start, length, ...style });
    }
    lines.push(spans);
  }
  return lines;
}

// The raw request bytes of a project.
export function requestBytes(project) {
  const writer = request(project);
  const bytes = new Uint8Array(writer.size);
  writer.into(bytes);
  return bytes;
}

function readTexts(reader) {
  const found = {};
  const count = reader.number();
  for (let i = 0; i < count; ++i) {
    const key = String.fromCharCode(...reader.text());
    found[key] = reader.text();
  }
  return found;
}

// The chip panel's facts (korva_chip): the core, the configuration words
// with their fields and settings, the registers with their bits.
function readChip(reader) {
  const ascii = (bytes) => String.fromCharCode(...bytes);
  const chip = { core: reader.byte() === 1 ? 'enhanced' : 'classic', banks: reader.number(),
    programWords: reader.number(), factsError: ascii(reader.text()), configWords: [], registers: [] };
  const words = reader.number();
  for (let i = 0; i < words; ++i) {
    const word = { name: ascii(reader.text()), address: reader.number(), blank: reader.number(), fields: [] };
    const fields = reader.number();
    for (let j = 0; j < fields; ++j) {
      const field = { name: ascii(reader.text()), erased: reader.number(), settings: [] };
      if (field.erased === NONE) field.erased = -1;
      const settings = reader.number();
      for (let k = 0; k < settings; ++k) field.settings.push({ name: ascii(reader.text()), description: reader.text() });
      word.fields.push(field);
    }
    chip.configWords.push(word);
  }
  const registers = reader.number();
  for (let i = 0; i < registers; ++i) {
    const register = { address: reader.number(), name: reader.text(), bits: [] };
    for (let bit = 0; bit < 8; ++bit) register.bits.push(reader.text());
    chip.registers.push(register);
  }
  return chip;
}

function readForms(reader) {
  const found = [];
  const count = reader.number();
  for (let i = 0; i < count; ++i) {
    found.push({ text: String.fromCharCode(...reader.text()), mnemonic: String.fromCharCode(...reader.text()) });
  }
  return found;
}

export async function loadCore(wasmBytes) {
  const { instance } = await WebAssembly.instantiate(wasmBytes, systemStandIns());
  const core = instance.exports;
  core._initialize();
  // Bytes handed to the module, which frees them.
  const given = (bytes) => {
    const at = core.korva_alloc(bytes.length);
    new Uint8Array(core.memory.buffer, at, bytes.length).set(bytes);
    return [at, bytes.length];
  };
  // An answer's bytes, copied out; the module's buffer is freed.
  const taken = (answer) => {
    try {
      const data = core.korva_answer_data(answer);
      return new Uint8Array(core.memory.buffer, data, core.korva_answer_size(answer)).slice();
    } finally {
      core.korva_answer_free(answer);
    }
  };
  const read = (bytes) => {
    const reader = new Reader(bytes);
    reader.at = 4;
    return reader;
  };
  // Hands over request bytes as they are (tests break them on purpose).
  const answerBytes = (bytes) => taken(core.korva_assemble(...given(bytes)));
  const assembleBytes = (bytes) => readAnswer(answerBytes(bytes));
  const styleBytes = (text, family) => {
    const bytes = bytesOf(text);
    const request = new Uint8Array(bytes.length + 1);
    request[0] = family === 'enhanced' ? 1 : 0;
    request.set(bytes, 1);
    return taken(core.korva_styles(...given(request)));
  };
  return {
    assemble: (project) => assembleBytes(requestBytes(project)),
    assembleBytes,
    // The answer's bytes as they are, for readAnswer elsewhere (the page
    // reads what its worker hands over).
    answerBytes: (project) => answerBytes(requestBytes(project)),
    // The styles of a text's lines by the table of `family` ('classic' or
    // 'enhanced', the chip's core): per line, spans of byte columns with
    // the TextMate scope of their style ('' for plain text) and the colour
    // the window draws it in ('' for none).
    styles: (text, family = 'classic') => readStyles(styleBytes(text, family)),
    // The same as bytes, for readStyles elsewhere.
    styleBytes,
    // The system's texts the page shows, by key, as CP932 bytes.
    texts: () => readTexts(read(taken(core.korva_texts()))),
    // The forms of the table of `family` in table order: { text, mnemonic } (ASCII).
    forms: (family = 'classic') => readForms(read(taken(core.korva_forms(family === 'enhanced' ? 1 : 0)))),
    // What a chip file holds: { core, banks, programWords, factsError,
    // configWords: [{ name, address, blank, fields: [{ name, erased (the
    // setting's index, -1 for none), settings: [{ name, description }] }] }],
    // registers: [{ address, name, bits: [8 names, bit 0 first] }] };
    // descriptions and register and bit names are CP932 bytes.
    chip: (text) => readChip(read(taken(core.korva_chip(...given(bytesOf(text)))))),
    // The lines that put the configuration words of the chip file `text`
    // with `choices` ('FOSC=XT,WDTE=OFF') in a program: { lines } as CP932
    // bytes, or { refused } with the reason.
    config: (text, choices) => {
      const writer = new Writer();
      writer.raw(asciiBytes('KVK1'));
      writer.text(bytesOf(text));
      writer.text(bytesOf(choices));
      const bytes = new Uint8Array(writer.size);
      writer.into(bytes);
      const reader = read(taken(core.korva_config(...given(bytes))));
      const refused = reader.byte() === 1;
      const said = reader.text();
      return refused ? { refused: String.fromCharCode(...said) } : { lines: said };
    },
  };
}
