// CP932 (Shift-JIS as Windows writes it) at the page's edge: the browser's
// decoder reads it, and the encoder's table is made from that decoder, so
// the two agree character for character.
const decoder = new TextDecoder('shift_jis');

export function decode(bytes) {
  return decoder.decode(bytes);
}

let table = null;

// Every character the decoder makes of one or two bytes, with those bytes;
// the first spelling wins where two decode alike.
function encoderTable() {
  if (table) return table;
  table = new Map();
  const add = (bytes) => {
    const text = decoder.decode(Uint8Array.from(bytes));
    if (text.length === 0 || text.includes('\ufffd') || [...text].length !== 1) return;
    if (!table.has(text)) table.set(text, bytes);
  };
  for (let byte = 0; byte < 0x80; ++byte) add([byte]);
  for (let byte = 0xa1; byte <= 0xdf; ++byte) add([byte]);
  for (let lead = 0x81; lead <= 0xfc; ++lead) {
    if (lead >= 0xa0 && lead < 0xe0) continue;
    for (let trail = 0x40; trail <= 0xfc; ++trail) {
      if (trail !== 0x7f) add([lead, trail]);
    }
  }
  return table;
}

// The text in CP932, or the first character CP932 cannot hold: its place
// (line from 1, column from 1 in characters) and code point.
export function encode(text) {
  const characters = encoderTable();
  // At most two bytes a character.
  const bytes = new Uint8Array(text.length * 2);
  let size = 0;
  let line = 1;
  let column = 1;
  for (const character of text) {
    const spelled = characters.get(character);
    if (!spelled) {
      const code = character.codePointAt(0).toString(16).toUpperCase().padStart(4, '0');
      return { bytes: null, unencodable: { line, column, character, code: `U+${code}` } };
    }
    for (const byte of spelled) bytes[size++] = byte;
    if (character === '\n') {
      line += 1;
      column = 1;
    } else {
      column += 1;
    }
  }
  return { bytes: bytes.slice(0, size), unencodable: null };
}

// The UTF-16 position in `line` of a CP932 byte column (from 0).
export function positionOfByte(line, byteColumn) {
  const characters = encoderTable();
  let bytes = 0;
  let position = 0;
  for (const character of line) {
    if (bytes >= byteColumn) break;
    bytes += (characters.get(character) || [0x3f]).length;
    position += character.length;
  }
  return position;
}
