'use strict';
// The update state as the player sees it: phase line, bar, file and detail line, buttons.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

const LINES = { phase: '#phaseText', percent: '#percentText', file: '#fileText', detail: '#detailText' };

function progress(fields) {
  return {
    type: 'progress', phase: 'download', file: 'maps/22_22.unr', filesDone: 1, filesTotal: 4,
    bytesDone: 0, bytesTotal: 0, speed: 0, ...fields,
  };
}

async function bar(p) {
  return p.page.$eval('.bar', (n) => ({
    busy: n.classList.contains('busy'), width: document.getElementById('barFill').style.width,
  }));
}

async function buttons(p) {
  return p.page.evaluate(() => ({
    play: !document.getElementById('btnPlay').disabled,
    cancel: !document.getElementById('btnCancel').hidden,
    repair: !document.getElementById('btnRepair').disabled && !document.getElementById('btnRepair2').disabled,
  }));
}

test('phases and progress: counts for checks, the busy bar without totals', async () => {
  const p = await open();
  await p.init();
  await p.play({ type: 'phase', phase: 'check' });
  assert.deepEqual(await p.texts(LINES), { phase: 'Checking game files…', percent: '', file: '', detail: '' });
  assert.deepEqual(await bar(p), { busy: true, width: '' });

  await p.play(progress({ phase: 'check', file: 'system/L2.ini', filesDone: 3, filesTotal: 10, bytesDone: 1, bytesTotal: 3 }));
  assert.deepEqual(await p.texts(LINES),
    { phase: 'Checking game files…', percent: '33%', file: 'system/L2.ini', detail: '3 / 10 files' });
  assert.equal((await bar(p)).busy, false);
  assert.match((await bar(p)).width, /^33\.33/);

  await p.play(progress({ bytesTotal: 0 }));
  assert.deepEqual(await p.texts(LINES), { phase: 'Downloading updates…', percent: '', file: '', detail: '' });
  assert.deepEqual(await bar(p), { busy: true, width: '' });

  // A new phase forgets the progress of the one before.
  await p.play(progress({ bytesDone: 5, bytesTotal: 10 }), { type: 'phase', phase: 'selfupdate' });
  assert.deepEqual(await p.texts(LINES), { phase: 'Updating the launcher…', percent: '', file: '', detail: '' });
  await p.play({ type: 'phase', phase: 'unpack' });
  assert.equal(await p.text('#phaseText'), 'ph_unpack');
  await p.close();
});

test('download detail line: sizes, speed and time left at their edges', async () => {
  const p = await open();
  await p.init();
  const KiB = 1024;
  const cases = [
    [0, 1023, 0, '0 B / 1023 B'],
    [1024, 1536, 0, '1.0 KB / 1.5 KB'],
    [0, 2 * 1024 ** 4, 0, '0 B / 2048.0 GB'],
    [0, 59400, 1000, '0 B / 58.0 KB · 1000 B/s · left 59 s'],
    [0, 61 * KiB, KiB, '0 B / 61.0 KB · 1.0 KB/s · left 1 min 1 s'],
    [0, 3600 * KiB, KiB, '0 B / 3.5 MB · 1.0 KB/s · left 1 h 0 min'],
    [0, 3725 * KiB, KiB, '0 B / 3.6 MB · 1.0 KB/s · left 1 h 2 min'],
    [1000, 1000, 500, '1000 B / 1000 B · 500 B/s'],
  ];
  for (const [bytesDone, bytesTotal, speed, expected] of cases) {
    await p.play(progress({ bytesDone, bytesTotal, speed }));
    assert.equal(await p.text('#detailText'), expected);
  }
  assert.equal(await p.text('#percentText'), '100%');
  await p.close();
});

test('done: every code has its text; Play, Cancel and repair follow the state', async () => {
  const p = await open();
  assert.deepEqual(await buttons(p), { play: false, cancel: false, repair: true });
  await p.init();
  assert.deepEqual(await buttons(p), { play: false, cancel: true, repair: false });
  const codes = {
    uptodate: 'Ready to play', updated: 'Updated – ready to play',
    offline: 'Could not check for updates – you can still play',
    badsig: 'Update signature mismatch – please tell the staff',
    badmanifest: 'Update list is damaged – please tell the staff', noconfig: 'Updates are not configured',
    failed: 'Update failed', cancelled: 'Update cancelled', later: 'd_later',
  };
  for (const [code, text] of Object.entries(codes)) {
    const ok = code === 'uptodate' || code === 'updated';
    const detail = ok ? '' : 'maps/22_22.unr: checksum mismatch after download';
    await p.play({ type: 'phase', phase: 'check' }, { type: 'done', ok, canPlay: code !== 'badsig', code, detail, build: '' });
    assert.deepEqual(await p.texts(LINES), { phase: text, percent: ok ? '100%' : '', file: detail, detail: '' });
    assert.deepEqual(await bar(p), { busy: false, width: ok ? '100%' : '0%' });
    assert.deepEqual(await buttons(p), { play: code !== 'badsig', cancel: false, repair: true });
  }
  await p.play({ type: 'done', ok: true, code: 'uptodate', detail: '', build: '' });
  assert.equal((await buttons(p)).play, false, 'canPlay absent counts as false');

  // A run started later (check, repair or automatic) makes the page busy again.
  await p.play({ type: 'phase', phase: 'download' });
  assert.deepEqual(await buttons(p), { play: false, cancel: true, repair: false });
  assert.equal(await p.text('#phaseText'), 'Downloading updates…');
  await p.close();
});

test('version line keeps one build suffix, the latest', async () => {
  const p = await open();
  await p.init({ version: '1.0.0' });
  const done = (build) => ({ type: 'done', ok: true, canPlay: true, code: 'uptodate', detail: '', build });
  await p.play(done('2025.06.01'), done('2025.06.14 · rc'));
  assert.equal(await p.text('#versionText'), 'v1.0.0 · build 2025.06.14 · rc');
  await p.play(done('r2'), done(''));
  assert.equal(await p.text('#versionText'), 'v1.0.0 · build r2');
  await p.close();
});
