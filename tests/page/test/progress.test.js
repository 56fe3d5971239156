'use strict';
// The update state as the player sees it: phase line, bar, file and detail line, buttons.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser, DONE } = require('./harness');

const open = useBrowser(test);

function progress(fields) {
  return { type: 'progress', phase: 'download', file: 'maps/22_22.unr', filesDone: 1, filesTotal: 4,
    bytesDone: 0, bytesTotal: 0, speed: 0, ...fields };
}

// The progress area and the buttons it governs, in one line: 'phase|percent|file|detail bar buttons'.
function area(p) {
  return p.page.evaluate(() => {
    const $ = (id) => document.getElementById(id);
    const lines = ['phaseText', 'percentText', 'fileText', 'detailText'].map((id) => $(id).textContent).join('|');
    const bar = $('bar').classList.contains('busy') ? 'swinging' : $('barFill').style.width;
    const on = [!$('btnPlay').disabled && 'play', !$('btnCancel').hidden && 'cancel',
      !$('btnRepair').disabled && !$('btnRepair2').disabled && 'repair'].filter(Boolean).join(',');
    return `${lines} ${bar} ${on}`;
  });
}

test('phases and progress: swinging bar without totals, counts for other phases than download; the detail line', async () => {
  const p = await open();
  assert.equal(await area(p), '||| 0% repair');
  await p.init();
  assert.equal(await area(p), 'Connecting to the update server…||| swinging cancel');
  await p.play({ type: 'phase', phase: 'check' });
  assert.equal(await area(p), 'Checking game files…||| swinging cancel');
  await p.play(progress({ phase: 'check', file: 'system/L2.ini', filesDone: 3, filesTotal: 10, bytesDone: 1, bytesTotal: 3 }));
  assert.match(await area(p), /^Checking game files…\|33%\|system\/L2\.ini\|3 \/ 10 files 33\.33\d*% cancel$/);
  await p.play(progress({ bytesTotal: 0 }));
  assert.equal(await area(p), 'Downloading updates…||| swinging cancel');
  // A new phase forgets the progress of the one before; an unknown phase shows its key.
  await p.play(progress({ bytesDone: 5, bytesTotal: 10 }), { type: 'phase', phase: 'selfupdate' });
  assert.equal(await area(p), 'Updating the launcher…||| swinging cancel');
  await p.play({ type: 'phase', phase: 'unpack' });
  assert.equal(await p.text('#phaseText'), 'ph_unpack');

  // The download detail line: sizes, speed and time left at their edges.
  const KiB = 1024;
  for (const [bytesDone, bytesTotal, speed, expected] of [
    [0, 1023, 0, '0 B / 1023 B'],
    [1024, 1536, 0, '1.0 KB / 1.5 KB'],
    [0, 2 * KiB ** 4, 0, '0 B / 2048.0 GB'],
    [0, 59400, 1000, '0 B / 58.0 KB · 1000 B/s · left 59 s'],
    [0, 61 * KiB, KiB, '0 B / 61.0 KB · 1.0 KB/s · left 1 min 1 s'],
    [0, 3600 * KiB, KiB, '0 B / 3.5 MB · 1.0 KB/s · left 1 h 0 min'],
    [0, 3725 * KiB, KiB, '0 B / 3.6 MB · 1.0 KB/s · left 1 h 2 min'],
    [1000, 1000, 500, '1000 B / 1000 B · 500 B/s'],
  ]) {
    await p.play(progress({ bytesDone, bytesTotal, speed }));
    assert.equal(await p.text('#detailText'), expected);
  }
  assert.equal(await p.text('#percentText'), '100%');
  await p.close();
});

test('done: every code has its text; Play follows canPlay; a later phase is busy again; the build', async () => {
  const p = await open();
  await p.init();
  const detail = 'maps/22_22.unr: checksum mismatch after download';
  for (const [code, text] of Object.entries({
    uptodate: 'Ready to play', updated: 'Updated – ready to play',
    offline: 'Could not check for updates – you can still play', badsig: 'Update signature mismatch – please tell the staff',
    badmanifest: 'Update list is damaged – please tell the staff', noconfig: 'Updates are not configured',
    failed: 'Update failed', cancelled: 'Update cancelled', later: 'd_later',
  })) {
    const ok = code.startsWith('up');
    await p.play({ type: 'phase', phase: 'check' }, { ...DONE, ok, canPlay: code !== 'badsig', code, detail: ok ? '' : detail });
    assert.equal(await area(p), ok ? `${text}|100%|| 100% play,repair`
      : `${text}||${detail}| 0% ${code === 'badsig' ? '' : 'play,'}repair`);
  }
  await p.play({ type: 'done', ok: true, code: 'uptodate' });
  assert.equal(await area(p), 'Ready to play|100%|| 100% repair', 'canPlay absent counts as false');
  await p.play({ type: 'phase', phase: 'download' });
  assert.equal(await area(p), 'Downloading updates…||| swinging cancel');

  // The version line keeps one build suffix, the latest.
  await p.play({ ...DONE, build: '2025.06.01' }, { ...DONE, build: '2025.06.14 · rc' });
  assert.equal(await p.text('#versionText'), 'v1.0.0 · build 2025.06.14 · rc');
  await p.play({ ...DONE, build: 'r2' }, DONE);
  assert.equal(await p.text('#versionText'), 'v1.0.0 · build r2');
  await p.close();
});
