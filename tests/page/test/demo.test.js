'use strict';
// Without a host (an ordinary browser) the page feeds itself sample messages and answers its
// own commands.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

test('state=ready: sample server, status, news and a finished check; commands answered in the page', async () => {
  const p = await open({ host: false, query: '?lang=en&state=ready' });
  assert.deepEqual(await p.page.evaluate(() => [document.title, document.documentElement.lang,
    ...['phaseText', 'versionText', 'statusText'].map((id) => document.getElementById(id).textContent),
    document.querySelectorAll('#links .link-btn').length, document.querySelectorAll('#newsList .news-item').length > 1,
    document.getElementById('bannerImg').style.backgroundImage.startsWith('url("data:image/svg+xml'),
    document.body.dispatchEvent(new MouseEvent('contextmenu', { bubbles: true, cancelable: true }))]),
  ['Crimson Tarn', 'en', 'Ready to play', 'v1.0.0 · build 2025.06.14', 'Online · 1287 players', 4, true, true, true]);
  await p.page.click('#btnPlay');
  assert.equal(await p.text('#toast'), 'Please wait until the update finishes.');
  await p.page.click('#btnSettings');
  await p.page.selectOption('#resSelect', '1920x1080');
  await p.page.click('#btnSettingsSave');
  assert.equal(await p.text('#toast'), 'Settings saved');
  await p.page.click('#btnSettings');
  assert.equal(await p.page.$eval('#resSelect', (s) => s.value), '1920x1080', 'the demonstration keeps what was saved');
  await p.close();
});

test('state=download holds one download, in Lithuanian by default; without it the download runs to its end', async () => {
  const lines = { phase: '#phaseText', percent: '#percentText', detail: '#detailText' };
  const held = await open({ host: false, clock: true, query: '?state=download' });
  assert.deepEqual(await held.texts(lines), { phase: 'Atsisiunčiami atnaujinimai…', percent: '50%',
    detail: '768.0 MB / 1.5 GB · 11.6 MB/s · liko 1 min 6 s' });
  await held.page.clock.runFor(5000);
  assert.equal(await held.text('#percentText'), '50%');
  await held.close();

  const p = await open({ host: false, clock: true, query: '?lang=ru' });
  assert.equal(await p.text('#phaseText'), 'Загрузка обновлений…');
  await p.page.clock.runFor(120 * 50);
  assert.equal(await p.text('#percentText'), '50%');
  await p.page.clock.runFor(120 * 50);
  assert.deepEqual([await p.text('#phaseText'), await p.page.$eval('#btnPlay', (b) => b.disabled)],
    ['Обновлено – можно играть', false]);
  await p.close();
});
