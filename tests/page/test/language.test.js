'use strict';
// The three text tables and switching between them.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

const ENGLISH = {
  minimize: 'Minimize', close: 'Close', news: 'News', more: 'Read more', play: 'Play', cancel: 'Cancel',
  settings: 'Settings', repair: 'Repair client', displayMode: 'Display mode', windowed: 'Window',
  fullscreen: 'Full screen', resolution: 'Resolution', language: 'Language', repairTitle: 'Repair client',
  repairText: 'Checks every file and downloads the damaged ones.', repairButton: 'Repair', save: 'Save',
  noNews: 'No news yet.', website: 'Website', forum: 'Forum', discord: 'Discord', donate: 'Donate',
  online: 'Online', offline: 'Offline', players: 'players', statusUnknown: 'Status unknown',
  ph_manifest: 'Connecting to the update server…', ph_selfupdate: 'Updating the launcher…',
  ph_check: 'Checking game files…', ph_download: 'Downloading updates…', ph_finish: 'Finishing…',
  d_uptodate: 'Ready to play', d_updated: 'Updated – ready to play',
  d_offline: 'Could not check for updates – you can still play',
  d_badsig: 'Update signature mismatch – please tell the staff',
  d_badmanifest: 'Update list is damaged – please tell the staff', d_noconfig: 'Updates are not configured',
  d_failed: 'Update failed', d_cancelled: 'Update cancelled', n_busy: 'Please wait until the update finishes.',
  n_gameMissing: 'Game file not found:', n_gameStartFailed: 'Could not start the game, error',
  n_selfUpdateFailed: 'Could not update the launcher – using the old version.', n_saved: 'Settings saved',
  n_saveFailed: 'Could not save settings', files: 'files', left: 'left',
};

// key: [Lithuanian, Russian]
const FIXED = {
  play: ['Žaisti', 'Играть'], settings: ['Nustatymai', 'Настройки'], repair: ['Taisyti klientą', 'Восстановить клиент'],
  ph_download: ['Atsisiunčiami atnaujinimai…', 'Загрузка обновлений…'], d_uptodate: ['Žaidimas paruoštas', 'Игра готова'],
  d_offline: ['Nepavyko patikrinti atnaujinimų – galite žaisti', 'Не удалось проверить обновления – можно играть'],
  n_busy: ['Palaukite, kol baigsis atnaujinimas.', 'Дождитесь окончания обновления.'],
  n_gameStartFailed: ['Nepavyko paleisti žaidimo, klaida', 'Не удалось запустить игру, ошибка'],
  players: ['žaid.', 'игр.'], files: ['failai', 'файлы'], left: ['liko', 'осталось'],
};

test('the three tables: the same 47 keys, English and the fixed rows word for word', async () => {
  const p = await open();
  const tables = await p.page.evaluate(() => TEXTS);
  assert.equal(Object.keys(ENGLISH).length, 47);
  assert.deepEqual(tables.en, ENGLISH);
  for (const lang of ['lt', 'ru']) {
    assert.deepEqual(Object.keys(tables[lang]).sort(), Object.keys(ENGLISH).sort(), lang);
    for (const [key, text] of Object.entries(tables[lang])) {
      assert.ok(key === 'discord' || (text.trim() && text !== ENGLISH[key]), `${lang}.${key} is translated`);
      assert.equal(text.endsWith('…'), ENGLISH[key].endsWith('…'), `${lang}.${key} ends like the English`);
    }
  }
  for (const [key, [lt, ru]] of Object.entries(FIXED)) assert.deepEqual([tables.lt[key], tables.ru[key]], [lt, ru], key);
  await p.close();
});

test('a language button switches every text at once, then sends setLanguage', async () => {
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
  await p.close();
});

test('a missing text falls back to English, then to its key', async () => {
  const p = await open();
  await p.page.evaluate(() => { delete TEXTS.ru.play; delete TEXTS.ru.d_failed; });
  await p.init({ lang: 'ru' });
  await p.play({ type: 'done', ok: false, canPlay: false, code: 'failed', detail: '', build: '' });
  assert.deepEqual([await p.text('#btnPlay'), await p.text('#phaseText')], ['Play', 'Update failed']);
  await p.play({ type: 'done', ok: false, canPlay: false, code: 'toString', detail: '', build: '' });
  assert.equal(await p.text('#phaseText'), 'd_toString');
  await p.close();
});
