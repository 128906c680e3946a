// The page's own texts in English and Japanese, side by side. The listing's
// column titles in Japanese are the system's own, which the core gives
// (korva_texts), as the window shows them.
export const PAGE_TEXTS = {
  example: { en: 'Example', ja: '例題' },
  chip: { en: 'Chip', ja: 'チップ' },
  share: { en: 'Share link', ja: '共有リンク' },
  none: { en: '(none)', ja: '(なし)' },
  chipPanel: { en: 'Chip…', ja: 'チップ…' },
  configuration: { en: 'Configuration', ja: 'コンフィギュレーション' },
  insert: { en: "Insert before the caret's line", ja: 'カーソルの行の前に挿入' },
  copy: { en: 'Copy', ja: 'コピー' },
  registers: { en: 'Registers', ja: 'レジスタ' },
  register: { en: 'Register', ja: 'レジスタ' },
  close: { en: 'Close', ja: '閉じる' },
  address: { en: 'Address' },
  code: { en: 'Code' },
  label: { en: 'Label' },
  statement: { en: 'Statement' },
  remark: { en: 'Remark' },
  error: { en: 'Error' },
};

// The text of `key` in `language`: the page's, else the system's (decoded),
// else the English one.
export function textOf(key, language, systemTexts) {
  const own = PAGE_TEXTS[key] || {};
  if (language === 'ja') return own.ja || systemTexts[key] || own.en || key;
  return own.en || key;
}
