'use strict';
// The settings dialog and the one-line toasts.
const test = require('node:test');
const assert = require('node:assert/strict');
const { useBrowser, DONE } = require('./harness');

const open = useBrowser(test);

const SETTINGS = { type: 'settings', windowed: true, width: 1600, height: 900, lang: 'en',
  resolutions: [[1920, 1080], [800, 600], [1600, 900], [1280, 720]] };

async function openDialog() {
  const p = await open();
  await p.init({ lang: 'en' });
  await p.play(DONE);
  await p.page.click('#btnSettings');
  assert.equal(await p.hidden('#settings'), true, 'the dialog waits for the host answer');
  await p.play(SETTINGS);
  assert.equal(await p.hidden('#settings'), false);
  assert.deepEqual(await p.take(), ['{"cmd":"ready"}', '{"cmd":"getSettings"}']);
  return p;
}

test('the dialog: resolutions in order, the current one chosen; Save sends exact text and closes, the others do not', async () => {
  const p = await openDialog();
  assert.deepEqual(await p.page.evaluate(() => [
    [...document.querySelectorAll('#resSelect option')].map((o) => `${o.value}=${o.textContent}`),
    document.getElementById('resSelect').value,
    [...document.querySelectorAll('#modeSeg button')].map((b) => `${b.className}:${b.getAttribute('aria-pressed')}`)]),
  [['1920x1080=1920 × 1080', '800x600=800 × 600', '1600x900=1600 × 900', '1280x720=1280 × 720'], '1600x900',
    ['active:true', ':false']]);
  await p.page.click('#modeSeg [data-mode="fullscreen"]');
  await p.page.selectOption('#resSelect', '800x600');
  await p.page.click('#btnSettingsSave');
  assert.deepEqual(await p.take(), ['{"cmd":"saveSettings","windowed":false,"width":800,"height":600}']);
  assert.equal(await p.hidden('#settings'), true);

  // With no entry equal to the current size, or no list at all, Save keeps the current size.
  for (const resolutions of [[[1024, 768]], []]) {
    await p.play({ ...SETTINGS, windowed: false, width: 1366, height: 768, resolutions });
    await p.page.click('#modeSeg [data-mode="windowed"]');
    await p.page.click('#btnSettingsSave');
    assert.deepEqual(await p.take(), ['{"cmd":"saveSettings","windowed":true,"width":1366,"height":768}']);
  }

  // Cancel, Escape and the backdrop close without sending; Repair closes, then sends repair.
  await p.play(SETTINGS);
  await p.page.click('.settings-title');
  assert.equal(await p.hidden('#settings'), false, 'a press inside the card keeps it open');
  for (const close of [() => p.page.click('#btnSettingsCancel'), () => p.page.keyboard.press('Escape'),
    () => p.page.mouse.click(30, 30), () => p.page.click('#btnRepair2')]) {
    await p.play(SETTINGS);
    await close();
    assert.equal(await p.hidden('#settings'), true);
  }
  assert.deepEqual(await p.take(), ['{"cmd":"repair"}']);
  assert.equal(await p.page.evaluate(() => document.activeElement.id), 'btnSettings', 'focus goes back');
  await p.play({ type: 'phase', phase: 'check' }, SETTINGS);
  assert.equal(await p.page.$eval('#btnRepair2', (b) => b.disabled), true);
  await p.close();
});

test('toasts: notice texts and save results, shown for 4200 ms after the last one', async () => {
  const p = await open({ clock: true });
  await p.init({ lang: 'en' });
  for (const [message, text] of [
    [{ type: 'notice', code: 'busy', detail: '' }, 'Please wait until the update finishes.'],
    [{ type: 'notice', code: 'gameMissing', detail: 'system\\L2.exe' }, 'Game file not found: system\\L2.exe'],
    [{ type: 'notice', code: 'gameStartFailed', detail: '193' }, 'Could not start the game, error 193'],
    [{ type: 'notice', code: 'selfUpdateFailed', detail: '' }, 'Could not update the launcher – using the old version.'],
    [{ type: 'notice', code: 'diskFull', detail: '<b>C:</b>' }, 'n_diskFull <b>C:</b>'],
    [{ type: 'settingsSaved', ok: true }, 'Settings saved'],
    [{ type: 'settingsSaved', ok: false }, 'Could not save settings'],
  ]) {
    await p.play(message);
    assert.deepEqual(await p.page.$eval('#toast', (n) => [n.hidden, n.textContent, n.children.length]), [false, text, 0]);
  }
  const shownAfter = async (ms) => { await p.page.clock.runFor(ms); return !(await p.hidden('#toast')); };
  assert.deepEqual([await shownAfter(4199), await shownAfter(1)], [true, false]);
  await p.play({ type: 'settingsSaved', ok: true });
  await p.page.clock.runFor(3000);
  await p.play({ type: 'notice', code: 'busy', detail: '' });
  assert.deepEqual([await shownAfter(4199), await shownAfter(1)], [true, false], 'a new toast restarts the wait');
  await p.close();
});
