'use strict';
// The server's own content: news list, banner and the online indicator.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

// Each entry of the list as 'TAG.class:date|title|text'.
function newsItems(p) {
  return p.page.$$eval('#newsList > *', (nodes) => nodes.map((n) =>
    `${n.tagName}.${n.className}:${[...n.children].map((c) => c.textContent).join('|')}`));
}

function banner(p) {
  return p.page.evaluate(() => [...['bannerKicker', 'bannerTitle', 'bannerText'].map((id) => document.getElementById(id).textContent),
    document.getElementById('bannerImg').style.backgroundImage, !document.getElementById('bannerLink').hidden]);
}

test('the first 30 of 40 items; only http and https addresses become links; texts as given', async () => {
  const p = await open();
  await p.init();
  const links = ['https://a.example/', 'http://b.example/', 'ftp://c.example/', 'mailto:d@example.com', 'HTTPS://E.EXAMPLE/', 42];
  const news = Array.from({ length: 40 }, (_, i) => ({ date: `d${i}`, title: `t${i}`, text: `x${i}`, link: links[i % 6] }));
  await p.play({ type: 'news', data: { news } });
  const items = await newsItems(p);
  assert.equal(items.length, 30);
  assert.deepEqual(items.slice(0, 3), ['BUTTON.news-item link:d0|t0|x0', 'BUTTON.news-item link:d1|t1|x1', 'DIV.news-item:d2|t2|x2']);
  assert.deepEqual(items.slice(3, 6).concat(items[29]).map((i) => i.split(':')[0]), Array(4).fill('DIV.news-item'));
  await p.take();
  await p.page.click('#newsList > :nth-child(2)');
  assert.deepEqual(await p.take(), ['{"cmd":"openUrl","url":"http://b.example/"}']);

  // News texts: translations with their fallbacks, and markup shown as it is.
  await p.init({ lang: 'lt' });
  const markup = '<b>Big</b> <img src="x" onerror="window.injected = 1">';
  await p.play({ type: 'news', data: { news: [
    { date: 20250614, title: { ru: 'R', en: 'E', lt: 'L' }, text: { ru: 'R', en: 'E' } },
    { title: { ru: 'R', de: 'D' }, text: {} }, { title: markup, text: null }, 'not an item'] } });
  assert.deepEqual(await newsItems(p), ['DIV.news-item:20250614|L|E', 'DIV.news-item:|R|',
    `DIV.news-item:|${markup}|`, 'DIV.news-item:||']);
  assert.deepEqual(await p.page.evaluate(() => [document.querySelectorAll('#newsList b, #newsList img').length,
    window.injected]), [0, undefined]);
  await p.page.evaluate(() => document.querySelector('#langSeg [data-lang="ru"]').click());
  assert.equal((await newsItems(p))[0], 'DIV.news-item:20250614|R|R');
  await p.close();
});

test('banner: texts, allowed image and link addresses, the default without a banner; status', async () => {
  const p = await open();
  assert.equal((await banner(p))[1], 'Lineage II');
  await p.init({ serverName: 'Tarn Test', lang: 'en' });
  const show = (b) => p.play({ type: 'news', data: { banner: b } });
  await show({ kicker: { en: 'New season' }, title: 'Siege <i>week</i>', text: 'Text', image: 'https://img.example/a"b.png', link: 'https://x.example/' });
  assert.deepEqual(await banner(p), ['New season', 'Siege <i>week</i>', 'Text', 'url("https://img.example/a%22b.png")', true]);
  await p.take();
  await p.page.click('#bannerLink');
  assert.deepEqual(await p.take(), ['{"cmd":"openUrl","url":"https://x.example/"}']);

  await show({ image: 'data:image/png;base64,AAAA', link: 'javascript:alert(1)' });
  assert.deepEqual(await banner(p), ['Lineage II · Interlude', '', '', 'url("data:image/png;base64,AAAA")', false]);
  for (const image of ['javascript:alert(1)', 'data:text/html,x', 'file:///c:/a.png', 7]) {
    await show({ image });
    assert.equal((await banner(p))[3], '', String(image));
  }
  // A news document of another shape, or none: the server's name and no news.
  for (const data of [{ news: [] }, [1, 2], null, undefined, { news: 'x', banner: 'y' }]) {
    await show({ title: 'old', link: 'https://old.example/' });
    await p.play(data === undefined ? { type: 'news' } : { type: 'news', data });
    assert.deepEqual(await banner(p), ['Lineage II · Interlude', 'Tarn Test', '', '', false]);
    assert.deepEqual(await newsItems(p), ['DIV.news-empty:']);
    assert.equal(await p.text('#newsList'), 'No news yet.');
  }

  // The online indicator: online with and without players, offline, unknown.
  for (const [fields, text, cls] of [
    [{ online: true, players: 1234 }, 'Online · 1234 players', 'status online'],
    [{ online: true, players: 0 }, 'Online · 0 players', 'status online'],
    [{ online: true, players: -1 }, 'Online', 'status online'],
    [{ online: false, players: 5 }, 'Offline', 'status offline'],
    [{ online: null }, 'Status unknown', 'status'],
  ]) {
    await p.play({ type: 'status', ...fields });
    assert.deepEqual(await p.page.$eval('#status', (n) => [n.hidden, n.textContent.trim(), n.className]), [false, text, cls]);
  }
  await p.close();
});
