'use strict';
// The settings dialog and the one-line toasts.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser } = require('./harness');

const open = useBrowser(test);

const SETTINGS = {
  type: 'settings', windowed: true, width: 1600, height: 900, lang: 'en',
  resolutions: [[1920, 1080], [800, 600], [1600, 900], [1280, 720]],
};

async function openDialog(p, message = SETTINGS) {
  await p.init({ lang: 'en' });
  await p.play({ type: 'done', ok: true, canPlay: true, code: 'uptodate', detail: '', build: '' });
  await p.page.click('#btnSettings');
  assert.equal(await p.hidden('#settings'), true, 'the dialog waits for the host answer');
  await p.play(message);
  assert.equal(await p.hidden('#settings'), false);
  await p.clearPosted();
}

test('the dialog shows the host settings: resolutions in order, the current one, the mode', async () => {
  const p = await open();
  await openDialog(p);
  assert.deepEqual(await p.page.evaluate(() => ({
    options: [...document.querySelectorAll('#resSelect option')].map((o) => `${o.value}=${o.textContent}`),
    value: document.getElementById('resSelect').value,
    modes: [...document.querySelectorAll('#modeSeg button')].map((b) => `${b.className}:${b.getAttribute('aria-pressed')}`),
  })), {
    options: ['1920x1080=1920 × 1080', '800x600=800 × 600', '1600x900=1600 × 900', '1280x720=1280 × 720'],
    value: '1600x900',
    modes: ['active:true', ':false'],
  });
  await p.close();
});

test('Save sends the chosen mode and resolution as exact text and closes', async () => {
  const p = await open();
  await openDialog(p);
  await p.page.click('#modeSeg [data-mode="fullscreen"]');
  await p.page.selectOption('#resSelect', '800x600');
  await p.page.click('#btnSettingsSave');
  assert.deepEqual(await p.posted(), ['{"cmd":"saveSettings","windowed":false,"width":800,"height":600}']);
  assert.equal(await p.hidden('#settings'), true);

  // With no entry equal to the current size, or no list at all, Save keeps the current size.
  for (const resolutions of [[[1024, 768]], []]) {
    await p.page.click('#btnSettings');
    await p.play({ ...SETTINGS, windowed: false, width: 1366, height: 768, resolutions });
    await p.clearPosted();
    await p.page.click('#modeSeg [data-mode="windowed"]');
    await p.page.click('#btnSettingsSave');
    assert.deepEqual(await p.posted(), ['{"cmd":"saveSettings","windowed":true,"width":1366,"height":768}']);
  }
  await p.close();
});

test('Cancel, Escape and a press on the backdrop close without sending; the card does not', async () => {
  const p = await open();
  await openDialog(p);
  await p.page.click('.settings-title');
  assert.equal(await p.hidden('#settings'), false, 'a press inside the card keeps it open');
  const closers = [
    () => p.page.click('#btnSettingsCancel'),
    () => p.page.keyboard.press('Escape'),
    () => p.page.mouse.click(30, 30),
  ];
  for (const close of closers) {
    await p.play(SETTINGS);
    assert.equal(await p.hidden('#settings'), false);
    await close();
    assert.equal(await p.hidden('#settings'), true);
  }
  assert.deepEqual(await p.posted(), []);
  assert.equal(await p.page.evaluate(() => document.activeElement.id), 'btnSettings');
  await p.close();
});

test('Repair in the dialog closes it, then sends repair; it is disabled while busy', async () => {
  const p = await open();
  await openDialog(p);
  await p.page.click('#btnRepair2');
  assert.equal(await p.hidden('#settings'), true);
  assert.deepEqual(await p.posted(), ['{"cmd":"repair"}']);
  await p.play({ type: 'phase', phase: 'check' }, SETTINGS);
  assert.equal(await p.page.$eval('#btnRepair2', (b) => b.disabled), true);
  await p.close();
});

test('toasts: notice texts and save results, shown for 4200 ms after the last one', async () => {
  const p = await open({ clock: true });
  await p.init({ lang: 'en' });
  const cases = [
    [{ type: 'notice', code: 'busy', detail: '' }, 'Please wait until the update finishes.'],
    [{ type: 'notice', code: 'gameMissing', detail: 'system\\L2.exe' }, 'Game file not found: system\\L2.exe'],
    [{ type: 'notice', code: 'gameStartFailed', detail: '193' }, 'Could not start the game, error 193'],
    [{ type: 'notice', code: 'selfUpdateFailed', detail: '' }, 'Could not update the launcher – using the old version.'],
    [{ type: 'notice', code: 'diskFull', detail: '<b>C:</b>' }, 'n_diskFull <b>C:</b>'],
    [{ type: 'settingsSaved', ok: true }, 'Settings saved'],
    [{ type: 'settingsSaved', ok: false }, 'Could not save settings'],
  ];
  for (const [message, text] of cases) {
    await p.play(message);
    assert.deepEqual(await p.page.$eval('#toast', (n) => [n.hidden, n.textContent, n.children.length]), [false, text, 0]);
  }

  await p.page.clock.runFor(4199);
  assert.equal(await p.hidden('#toast'), false);
  await p.page.clock.runFor(1);
  assert.equal(await p.hidden('#toast'), true);

  await p.play({ type: 'settingsSaved', ok: true });
  await p.page.clock.runFor(3000);
  await p.play({ type: 'notice', code: 'busy', detail: '' });
  await p.page.clock.runFor(4199);
  assert.equal(await p.hidden('#toast'), false, 'a new toast restarts the wait');
  await p.page.clock.runFor(1);
  assert.equal(await p.hidden('#toast'), true);
  await p.close();
});
