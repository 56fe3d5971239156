'use strict';
// Without a host (an ordinary browser) the page feeds itself sample messages.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

const LINES = { phase: '#phaseText', percent: '#percentText', version: '#versionText', status: '#statusText' };

test('state=ready: sample server, status, news and a finished check; commands answered in the page', async () => {
  const p = await open({ host: false, query: '?lang=en&state=ready' });
  assert.equal(await p.page.title(), 'Crimson Tarn');
  assert.deepEqual(await p.texts(LINES), { phase: 'Ready to play', percent: '100%',
    version: 'v1.0.0 · build 2025.06.14', status: 'Online · 1287 players' });
  assert.deepEqual(await p.page.evaluate(() => ({
    links: document.querySelectorAll('#links .link-btn').length,
    news: document.querySelectorAll('#newsList .news-item').length > 1,
    image: document.getElementById('bannerImg').style.backgroundImage.startsWith('url("data:image/svg+xml'),
    menu: document.body.dispatchEvent(new MouseEvent('contextmenu', { bubbles: true, cancelable: true })),
  })), { links: 4, news: true, image: true, menu: true });

  await p.page.click('#btnPlay');
  assert.equal(await p.text('#toast'), 'Please wait until the update finishes.');
  await p.page.click('#btnSettings');
  assert.equal(await p.page.$$eval('#resSelect option', (o) => o.length), 5);
  await p.page.selectOption('#resSelect', '1920x1080');
  await p.page.click('#btnSettingsSave');
  assert.equal(await p.text('#toast'), 'Settings saved');
  await p.page.click('#btnSettings');
  assert.equal(await p.page.$eval('#resSelect', (s) => s.value), '1920x1080');
  await p.close();
});

test('language comes from "lang", Lithuanian by default', async () => {
  for (const [query, lang, phase] of [['?state=ready', 'lt', 'Žaidimas paruoštas'],
    ['?lang=ru&state=ready', 'ru', 'Игра готова'], ['?lang=xx&state=ready', 'lt', 'Žaidimas paruoštas']]) {
    const p = await open({ host: false, query });
    assert.deepEqual([await p.page.$eval('html', (n) => n.lang), await p.text('#phaseText')], [lang, phase]);
    await p.close();
  }
});

test('state=download holds one download in the middle', async () => {
  const p = await open({ host: false, clock: true, query: '?lang=en&state=download' });
  const before = await p.texts({ phase: '#phaseText', percent: '#percentText', detail: '#detailText' });
  assert.deepEqual(before, { phase: 'Downloading updates…', percent: '50%',
    detail: '768.0 MB / 1.5 GB · 11.6 MB/s · left 1 min 6 s' });
  await p.page.clock.runFor(5000);
  assert.deepEqual(await p.texts({ phase: '#phaseText', percent: '#percentText', detail: '#detailText' }), before);
  await p.close();
});

test('without "state" the download advances every 120 ms until it is done', async () => {
  const p = await open({ host: false, clock: true, query: '?lang=en' });
  assert.deepEqual(await p.texts({ phase: '#phaseText', percent: '#percentText' }),
    { phase: 'Downloading updates…', percent: '' });
  await p.page.clock.runFor(120 * 50);
  assert.equal(await p.text('#percentText'), '50%');
  await p.page.clock.runFor(120 * 50);
  assert.deepEqual(await p.texts({ phase: '#phaseText', percent: '#percentText' }),
    { phase: 'Updated – ready to play', percent: '100%' });
  assert.equal(await p.page.$eval('#btnPlay', (b) => b.disabled), false);
  await p.close();
});
