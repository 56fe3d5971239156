'use strict';
// The three text tables and switching between them.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

// Each text is checked where the page shows it (progress, toasts, status, news, switching).
test('the three tables: the same keys, all translated', async () => {
  const p = await open();
  const tables = await p.page.evaluate(() => TEXTS);
  const ENGLISH = tables.en;
  for (const lang of ['lt', 'ru']) {
    assert.deepEqual(Object.keys(tables[lang]).sort(), Object.keys(ENGLISH).sort(), lang);
    for (const [key, text] of Object.entries(tables[lang])) {
      assert.ok(key === 'discord' || (text.trim() && text !== ENGLISH[key]), `${lang}.${key} is translated`);
      assert.equal(text.endsWith('…'), ENGLISH[key].endsWith('…'), `${lang}.${key} ends like the English`);
    }
  }
  await p.close();
});

test('a language button switches every text at once, then sends setLanguage; a missing text falls back', async () => {
  const p = await open();
  await p.init({ lang: 'en' });
  await p.play({ type: 'status', online: true, players: 12 },
    { type: 'settings', windowed: true, width: 800, height: 600, lang: 'en', resolutions: [[800, 600]] });
  await p.take();
  await p.page.click('#langSeg [data-lang="ru"]');
  assert.deepEqual(await p.take(), ['{"cmd":"setLanguage","lang":"ru"}']);
  assert.deepEqual(await p.page.evaluate(() => {
    const $ = (id) => document.getElementById(id);
    return [document.documentElement.lang, $('btnPlay').textContent, $('btnSettings').title,
      $('btnRepair').getAttribute('aria-label'), $('newsList').textContent, $('statusText').textContent,
      $('phaseText').textContent, [...document.querySelectorAll('#links, #langSeg [aria-pressed="true"]')]
        .map((n) => n.textContent).join('/'), $('settings').hidden];
  }), ['ru', 'Играть', 'Настройки', 'Восстановить клиент', 'Новостей пока нет.', 'Онлайн · 12 игр.',
    'Подключение к серверу обновлений…', 'СайтФорумDiscordПоддержать/Русский', false]);

  // A missing text falls back to English, then to its key.
  await p.page.evaluate(() => { delete TEXTS.ru.play; delete TEXTS.ru.d_failed; });
  await p.init({ lang: 'ru' });
  await p.play({ type: 'done', ok: false, canPlay: false, code: 'failed', detail: '', build: '' });
  assert.deepEqual([await p.text('#btnPlay'), await p.text('#phaseText')], ['Play', 'Update failed']);
  await p.play({ type: 'done', ok: false, canPlay: false, code: 'toString', detail: '', build: '' });
  assert.equal(await p.text('#phaseText'), 'd_toString');
  await p.close();
});
