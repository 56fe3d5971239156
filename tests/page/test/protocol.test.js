'use strict';
// The page's side of the host protocol: what it sends, when, and how it reads messages.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser, DONE } = require('./harness');

const open = useBrowser(test);

test('before init: "ready" sent once as JSON text, the file\'s Lithuanian texts, nothing drawn; messages; init', async () => {
  const p = await open();
  assert.deepEqual(await p.take(), ['{"cmd":"ready"}']);
  assert.deepEqual(await p.page.evaluate(() => ({
    title: document.title,
    lang: document.documentElement.lang,
    shown: ['btnPlay', 'btnCancel', 'status'].map((id) => !document.getElementById(id).disabled && !document.getElementById(id).hidden),
    links: document.getElementById('links').children.length,
    bar: document.querySelector('.bar').id,
    banner: document.getElementById('bannerKicker').textContent + '/' + document.getElementById('bannerTitle').textContent,
    // Each translated element starts with its own Lithuanian text and tooltip.
    wrong: [...document.querySelectorAll('[data-i18n]')].filter((n) => n.textContent !== TEXTS.lt[n.dataset.i18n])
      .concat([...document.querySelectorAll('[data-i18n-title]')].filter((n) => n.title !== TEXTS.lt[n.dataset.i18nTitle]
        || n.getAttribute('aria-label') !== n.title)).map((n) => n.id),
  })), { title: 'TarnLauncher', lang: 'lt', shown: [false, false, false], links: 0, bar: 'bar',
    banner: 'Lineage II · Interlude/Lineage II', wrong: [] });

  // Messages arrive as objects or JSON text; unknown types and bad text are ignored.
  await p.play('not json', 42, null, [1], { type: 'nope' }, { notype: true });
  assert.equal(await p.hidden('#status'), true);
  await p.play('{"type":"status","online":false}');
  assert.equal(await p.text('#statusText'), 'Neveikia');
  await p.play({ type: 'status', online: true, players: 7 });
  assert.equal(await p.text('#statusText'), 'Veikia · 7 žaid.');

  // init: title, version, language, links in fixed order, busy from the start.
  await p.init({ lang: 'ru', links: { donate: true, shop: true, forum: false, discord: 'yes', website: true } });
  assert.deepEqual(await p.page.$$eval('#links button', (b) => b.map((n) => `${n.className}=${n.textContent}`)),
    ['link-btn website=Сайт', 'link-btn donate=Поддержать']);
  assert.equal(await p.page.title(), 'Tarn Test');
  assert.deepEqual(await p.texts({ version: '#versionText', phase: '#phaseText' }),
    { version: 'v1.0.0', phase: 'Подключение к серверу обновлений…' });
  await p.init({ lang: 'de', links: null });
  assert.equal(await p.page.$eval('html', (n) => n.lang), 'lt');
  assert.equal(await p.page.$$eval('#links button', (b) => b.length), 0);
  await p.close();
});

test('buttons send their commands; drag only for a left press on the header outside buttons', async () => {
  const p = await open();
  await p.init();
  await p.play({ type: 'status', online: true, players: 3 });
  await p.page.click('#btnCancel');
  await p.play(DONE);
  for (const sel of ['#btnMin', '#btnClose', '#btnPlay', '#btnRepair', '#btnSettings', '.link-btn.website',
    '.link-btn.forum', '.link-btn.discord', '.link-btn.donate']) await p.page.click(sel);
  assert.deepEqual(await p.take(), ['{"cmd":"ready"}', '{"cmd":"cancel"}', '{"cmd":"minimize"}', '{"cmd":"close"}',
    '{"cmd":"play"}', '{"cmd":"repair"}', '{"cmd":"getSettings"}', '{"cmd":"link","name":"website"}',
    '{"cmd":"link","name":"forum"}', '{"cmd":"link","name":"discord"}', '{"cmd":"link","name":"donate"}']);

  for (const [selector, button] of [['.logo', 'left'], ['#status', 'left'], ['.header', 'right'],
    ['#btnMin svg', 'left'], ['#banner', 'left']]) {
    const box = await p.page.locator(selector).boundingBox();
    await p.page.mouse.move(box.x + 5, box.y + 5);
    await p.page.mouse.down({ button });
    await p.page.mouse.up({ button });
  }
  assert.deepEqual(await p.take(), ['{"cmd":"drag"}', '{"cmd":"drag"}', '{"cmd":"minimize"}']);
  assert.equal(await p.page.evaluate(() => document.body.dispatchEvent(
    new MouseEvent('contextmenu', { bubbles: true, cancelable: true }))), false, 'no context menu');
  await p.close();
});

test('every control is reachable with Tab and shows a focus ring', async () => {
  const p = await open();
  await p.init();
  await p.play({ type: 'news', data: { banner: { link: 'https://b/' }, news: [{ title: 'N', link: 'https://n/' }] } }, DONE);
  const seen = [];
  for (let i = 0; i < 11; i++) {
    await p.page.keyboard.press('Tab');
    seen.push(await p.page.evaluate(() => {
      const n = document.activeElement;
      return (n.id || n.className) + (n.matches(':focus-visible') && getComputedStyle(n).outlineStyle !== 'none' ? '' : ' (no ring)');
    }));
  }
  assert.deepEqual(seen, ['btnMin', 'btnClose', 'bannerLink', 'news-item link', 'link-btn website', 'link-btn forum',
    'link-btn discord', 'link-btn donate', 'btnSettings', 'btnRepair', 'btnPlay']);
  await p.close();
});
