'use strict';
// Pictures of the page in each language and state for review, taken while checking that
// nothing spills out of its place: at the window's size, at 150 % display scale (the same
// layout, sharper) and in a view zoomed to 150 % (a smaller layout).
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { useBrowser, ROOT, DONE } = require('./harness');

const open = useBrowser(test);
const OUT = process.env.TARN_SCREENSHOT_DIR || path.join(ROOT, 'build', 'page-screenshots');

const STATES = {
  idle: [{ ...DONE, build: '2025.06.14' }],
  downloading: [{ type: 'phase', phase: 'download' }, { type: 'progress', phase: 'download',
    file: 'staticmeshes/Aden_Castle_Interior_Decorations.usx', filesDone: 17, filesTotal: 48,
    bytesDone: 1288490189, bytesTotal: 2147483648, speed: 7340032 }],
  // The longest sentence of the progress line, with a detail as long as a real one.
  done: [{ ...DONE, ok: false, canPlay: false, code: 'badsig', detail: 'manifest.json: signature does not match the key' }],
  settings: [{ ...DONE, code: 'updated' }, 'click', { type: 'settings', windowed: false, width: 1920, height: 1080,
    lang: 'en', resolutions: [[1024, 768], [1280, 720], [1366, 768], [1600, 900], [1920, 1080]] }],
  notice: [DONE, { type: 'notice', code: 'gameMissing', detail: 'system\\L2.exe' }],
};

// Visible texts and controls that are cut, spill over or leave the window. The file line may
// end in an ellipsis (paths are as long as the server makes them), and news items may lie
// beyond the window inside their scrolling list.
function layoutProblems(page) {
  return page.evaluate(() => {
    const problems = [];
    if (document.documentElement.scrollWidth > innerWidth || document.documentElement.scrollHeight > innerHeight) {
      problems.push('page scrolls');
    }
    for (const node of document.querySelectorAll('button, .phase-text, .detail-text, .status, .news-heading, ' +
      '.banner-kicker, .field-label, .repair-text, .toast, .version, .logo')) {
      const box = node.getBoundingClientRect();
      if (box.width === 0) continue;
      const name = node.id || node.className;
      if (node.scrollWidth > node.clientWidth + 1) problems.push(`${name} is cut`);
      if (!node.closest('.news-list') && (box.left < 0 || box.top < 0 || box.right > innerWidth + 0.5 ||
        box.bottom > innerHeight + 0.5)) problems.push(`${name} leaves the window`);
    }
    return problems;
  });
}

async function show(p, lang, name) {
  await p.reload();
  await p.init({ lang, serverName: 'Crimson Tarn' });
  // The demonstration's news, with its banner picture.
  await p.play({ type: 'status', online: true, players: 1287 }, { type: 'news', data: await p.page.evaluate(() => demoNews()) });
  for (const step of STATES[name]) {
    // The dialog is opened with the mouse, as a player does: no keyboard focus ring in the picture.
    if (step === 'click') await p.page.click('#btnSettings');
    else await p.play(step);
  }
}

const ALL = ['lt', 'en', 'ru'].flatMap((lang) => Object.keys(STATES).map((name) => [lang, name]));
const LAYOUTS = [
  ['', { scale: 1, viewport: { width: 1000, height: 620 } }, ALL],
  ['-scale150', { scale: 1.5, viewport: { width: 1000, height: 620 } }, [['ru', 'downloading'], ['ru', 'settings'], ['lt', 'done']]],
  ['-zoom150', { scale: 1.5, viewport: { width: 667, height: 413 } }, [['ru', 'downloading'], ['ru', 'settings'], ['lt', 'done']]],
];

test('each language and state at 1000 x 620, at 150 % scale and zoomed to 150 %, saved for review', async () => {
  fs.mkdirSync(OUT, { recursive: true });
  for (const [suffix, options, shots] of LAYOUTS) {
    const p = await open({ ...options, motion: 'no-preference' });
    for (const [lang, name] of shots) {
      await show(p, lang, name);
      // Zoomed in, a long progress sentence may end in an ellipsis like the file line.
      const problems = (await layoutProblems(p.page)).filter((x) => suffix !== '-zoom150' || x !== 'phaseText is cut');
      assert.deepEqual(problems, [], `${lang} ${name}${suffix}`);
      await p.page.screenshot({ path: path.join(OUT, `${lang}-${name}${suffix}.png`), animations: 'disabled' });
    }
    await p.close();
  }
});
