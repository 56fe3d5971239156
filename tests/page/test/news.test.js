'use strict';
// The server's own content: news list, banner and the online indicator.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

function newsItems(p) {
  return p.page.$$eval('#newsList > *', (nodes) => nodes.map((n) => ({
    tag: n.tagName, cls: n.className, lines: [...n.children].map((c) => c.textContent),
  })));
}

function banner(p) {
  return p.page.evaluate(() => ({
    kicker: document.getElementById('bannerKicker').textContent,
    title: document.getElementById('bannerTitle').textContent,
    text: document.getElementById('bannerText').textContent,
    image: document.getElementById('bannerImg').style.backgroundImage,
    link: !document.getElementById('bannerLink').hidden,
  }));
}

test('the first 30 of 40 items; only http and https addresses become links', async () => {
  const p = await open();
  await p.init();
  const links = ['https://a.example/', 'http://b.example/', 'ftp://c.example/', 'mailto:d@example.com',
    'HTTPS://E.EXAMPLE/', 42];
  const news = Array.from({ length: 40 }, (_, i) => ({ date: `d${i}`, title: `t${i}`, text: `x${i}`, link: links[i % 6] }));
  await p.play({ type: 'news', data: { news } });
  const items = await newsItems(p);
  assert.equal(items.length, 30);
  assert.deepEqual(items.slice(0, 6).map((i) => [i.tag, i.cls]), [
    ['BUTTON', 'news-item link'], ['BUTTON', 'news-item link'], ['DIV', 'news-item'],
    ['DIV', 'news-item'], ['DIV', 'news-item'], ['DIV', 'news-item']]);
  assert.deepEqual(items[29].lines, ['d29', 't29', 'x29']);
  await p.clearPosted();
  await p.page.click('#newsList > :nth-child(2)');
  assert.deepEqual(await p.posted(), ['{"cmd":"openUrl","url":"http://b.example/"}']);
  await p.close();
});

test('news texts: translations with their fallbacks, and markup shown as it is', async () => {
  const p = await open();
  await p.init({ lang: 'lt' });
  const markup = '<b>Big</b> <img src="x" onerror="window.injected = 1">';
  await p.play({
    type: 'news', data: {
      news: [
        { date: 20250614, title: { ru: 'R', en: 'E', lt: 'L' }, text: { ru: 'R', en: 'E' } },
        { title: { ru: 'R', de: 'D' }, text: {} },
        { title: markup, text: null },
        'not an item',
      ],
    },
  });
  assert.deepEqual((await newsItems(p)).map((i) => i.lines),
    [['20250614', 'L', 'E'], ['', 'R', ''], ['', markup, ''], ['', '', '']]);
  assert.deepEqual(await p.page.evaluate(() => [document.querySelectorAll('#newsList b, #newsList img').length,
    window.injected]), [0, undefined]);
  await p.page.evaluate(() => document.querySelector('#langSeg [data-lang="ru"]').click());
  assert.deepEqual((await newsItems(p))[0].lines, ['20250614', 'R', 'R']);
  await p.close();
});

test('banner: texts, image and link addresses that are allowed', async () => {
  const p = await open();
  assert.equal((await banner(p)).title, 'Lineage II');
  await p.init({ serverName: 'Tarn Test', lang: 'en' });
  const show = (b) => p.play({ type: 'news', data: { banner: b } });

  await show({ kicker: { en: 'New season' }, title: 'Siege <i>week</i>', text: 'Text', image: 'https://img.example/a"b.png', link: 'https://x.example/' });
  assert.deepEqual(await banner(p), { kicker: 'New season', title: 'Siege <i>week</i>', text: 'Text',
    image: 'url("https://img.example/a%22b.png")', link: true });
  await p.clearPosted();
  await p.page.click('#bannerLink');
  assert.deepEqual(await p.posted(), ['{"cmd":"openUrl","url":"https://x.example/"}']);

  await show({ image: 'data:image/png;base64,AAAA', link: 'javascript:alert(1)' });
  assert.deepEqual(await banner(p), { kicker: 'Lineage II · Interlude', title: '', text: '',
    image: 'url("data:image/png;base64,AAAA")', link: false });
  for (const image of ['javascript:alert(1)', 'data:text/html,x', 'file:///c:/a.png', 7]) {
    await show({ image });
    assert.equal((await banner(p)).image, '', String(image));
  }
  // Without a banner (or with a news document of another shape): the server's name, no news.
  for (const data of [{ news: [] }, [1, 2], null, undefined, { news: 'x', banner: 'y' }]) {
    await show({ title: 'old', link: 'https://old.example/' });
    await p.play(data === undefined ? { type: 'news' } : { type: 'news', data });
    assert.deepEqual(await banner(p), { kicker: 'Lineage II · Interlude', title: 'Tarn Test', text: '', image: '', link: false });
    assert.deepEqual(await newsItems(p), [{ tag: 'DIV', cls: 'news-empty', lines: [] }]);
    assert.equal(await p.text('#newsList'), 'No news yet.');
  }
  await p.close();
});

test('status: online with and without players, offline, unknown', async () => {
  const p = await open();
  await p.init({ lang: 'en' });
  const cases = [
    [{ online: true, players: 1234 }, 'Online · 1234 players', 'online'],
    [{ online: true, players: 0 }, 'Online · 0 players', 'online'],
    [{ online: true, players: -1 }, 'Online', 'online'],
    [{ online: false, players: 5 }, 'Offline', 'offline'],
    [{ online: null }, 'Status unknown', ''],
  ];
  for (const [fields, text, cls] of cases) {
    await p.play({ type: 'status', ...fields });
    assert.deepEqual(await p.page.$eval('#status', (n) => [n.hidden, n.textContent.trim(), n.className]),
      [false, text, cls ? `status ${cls}` : 'status']);
  }
  await p.close();
});
