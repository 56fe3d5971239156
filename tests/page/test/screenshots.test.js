'use strict';
// Pictures of the page in each language and state for review, taken while checking that
// nothing spills out of its place: at the window's size, at 150 % display scale (the same
// layout, sharper) and in a view zoomed to 150 % (a smaller layout).
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { useBrowser, ROOT } = require('./harness');

const open = useBrowser(test);
const OUT = process.env.TARN_SCREENSHOT_DIR || path.join(ROOT, 'build', 'page-screenshots');

const NEWS = {
  banner: {
    kicker: { lt: 'Naujas sezonas', en: 'New season', ru: 'Новый сезон' },
    title: { lt: 'Raudonojo ežero sezonas prasideda', en: 'The Crimson Tarn season begins', ru: 'Начинается сезон Алого озера' },
    text: {
      lt: 'Nauji įvykiai, atnaujintos pilių apgultys ir dvigubi apdovanojimai visą savaitgalį – prisijunkite!',
      en: 'New events, reworked castle sieges and double rewards all weekend long – join us!',
      ru: 'Новые события, переработанные осады замков и двойные награды все выходные – присоединяйтесь!',
    },
    link: 'https://example.com/season',
  },
  news: Array.from({ length: 8 }, (_, i) => ({
    date: `2025-06-${String(14 - i).padStart(2, '0')}`,
    title: { lt: 'Techninė priežiūra ir serverio perkrovimas', en: 'Maintenance and a server restart', ru: 'Технические работы и перезапуск сервера' },
    text: { lt: 'Trečiadienį nuo 06:00 iki 08:00.', en: 'On Wednesday from 06:00 to 08:00.', ru: 'В среду с 06:00 до 08:00.' },
    link: i % 3 ? 'https://example.com/n' : undefined,
  })),
};

const DOWNLOAD = {
  type: 'progress', phase: 'download', file: 'staticmeshes/Aden_Castle_Interior_Decorations.usx', filesDone: 17,
  filesTotal: 48, bytesDone: 1288490189, bytesTotal: 2147483648, speed: 7340032,
};

const STATES = {
  idle: [{ type: 'done', ok: true, canPlay: true, code: 'uptodate', detail: '', build: '2025.06.14' }],
  downloading: [{ type: 'phase', phase: 'download' }, DOWNLOAD],
  // The longest sentence of the progress line, with a detail as long as a real one.
  done: [{ type: 'done', ok: false, canPlay: false, code: 'badsig', detail: 'manifest.json: signature does not match the public key', build: '' }],
  settings: [{ type: 'done', ok: true, canPlay: true, code: 'updated', detail: '', build: '2025.06.14' },
    { type: 'settings', windowed: false, width: 1920, height: 1080, lang: 'en',
      resolutions: [[1024, 768], [1280, 720], [1366, 768], [1600, 900], [1920, 1080]] }],
  notice: [{ type: 'done', ok: true, canPlay: true, code: 'uptodate', detail: '', build: '' },
    { type: 'notice', code: 'gameMissing', detail: 'system\\L2.exe' }],
};

// Visible texts and controls that are cut, spill over or leave the window. The file line is
// allowed to end in an ellipsis (paths are as long as the server makes them), and news items
// may lie beyond the window inside their scrolling list.
function layoutProblems(page) {
  return page.evaluate(() => {
    const problems = [];
    const view = document.documentElement;
    if (view.scrollWidth > innerWidth || view.scrollHeight > innerHeight) problems.push('page scrolls');
    const nodes = document.querySelectorAll('button, .phase-text, .detail-text, .status, .news-heading, ' +
      '.banner-kicker, .field-label, .repair-text, .toast, .version, .logo');
    for (const node of nodes) {
      const box = node.getBoundingClientRect();
      if (box.width === 0) continue;
      const name = node.id || node.className || node.tagName;
      if (node.scrollWidth > node.clientWidth + 1) problems.push(`${name} is cut`);
      const scrolls = node.closest('.news-list');
      if (!scrolls && (box.left < 0 || box.top < 0 || box.right > innerWidth + 0.5 || box.bottom > innerHeight + 0.5)) {
        problems.push(`${name} leaves the window`);
      }
    }
    return problems;
  });
}

async function show(p, lang, name) {
  await p.init({ lang, serverName: 'Crimson Tarn' });
  await p.play({ type: 'status', online: true, players: 1287 }, { type: 'news', data: NEWS });
  const [first, ...rest] = STATES[name];
  await p.play(first);
  // Opened by a click, as a player does, so that focus follows the mouse rather than the keyboard.
  if (name === 'settings') await p.page.click('#btnSettings');
  await p.play(...rest);
}

test('each language and state at 1000 x 620, saved for review', async () => {
  fs.mkdirSync(OUT, { recursive: true });
  const p = await open({ motion: 'no-preference' });
  for (const lang of ['lt', 'en', 'ru']) {
    for (const name of Object.keys(STATES)) {
      await p.reload();
      await show(p, lang, name);
      assert.deepEqual(await layoutProblems(p.page), [], `${lang} ${name}`);
      await p.page.screenshot({ path: path.join(OUT, `${lang}-${name}.png`), animations: 'disabled' });
    }
  }
  await p.close();
});

test('150 % display scale keeps the layout; a view zoomed to 150 % stays whole', async () => {
  for (const [label, viewport] of [['scale150', { width: 1000, height: 620 }], ['zoom150', { width: 667, height: 413 }]]) {
    const p = await open({ viewport, scale: 1.5, motion: 'no-preference' });
    for (const [lang, name] of [['ru', 'downloading'], ['ru', 'settings'], ['lt', 'done']]) {
      await p.reload();
      await show(p, lang, name);
      let problems = await layoutProblems(p.page);
      // Zoomed in, a long progress sentence may end in an ellipsis like the file line.
      if (label === 'zoom150') problems = problems.filter((x) => x !== 'phaseText is cut');
      assert.deepEqual(problems, [], `${label} ${lang} ${name}`);
      await p.page.screenshot({ path: path.join(OUT, `${lang}-${name}-${label}.png`), animations: 'disabled' });
    }
    await p.close();
  }
});

test('the demonstration in an ordinary browser', async () => {
  for (const [lang, state] of [['en', 'download'], ['ru', 'ready']]) {
    const p = await open({ host: false, clock: true, motion: 'no-preference', query: `?lang=${lang}&state=${state}` });
    assert.deepEqual(await layoutProblems(p.page), [], `demo ${lang} ${state}`);
    await p.page.screenshot({ path: path.join(OUT, `demo-${lang}-${state}.png`), animations: 'disabled' });
    await p.close();
  }
});
