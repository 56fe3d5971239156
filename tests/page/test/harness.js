'use strict';
// Opens the launcher page from ui/ in chromium with a fake web view host in place of the
// launcher window: it records every command the page posts and plays host messages to it.
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const ROOT = path.resolve(__dirname, '..', '..', '..');
const PAGE = pathToFileURL(path.join(ROOT, 'ui', 'index.html')).href;

// Debian's chromium: nothing is ever downloaded, and it is told not to reach out for updates or
// sync. playwright-core gives every launch a fresh temporary profile of its own.
function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.TARN_CHROMIUM || '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Runs in the page before its own script. Like WebView2 after PostWebMessageAsJson, a played
// message reaches the listeners as an already parsed object in the event's data.
function installFakeHost() {
  const listeners = [];
  window.__posted = [];
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage(message) { window.__posted.push(message); },
    addEventListener(type, listener) { if (type === 'message') listeners.push(listener); },
    removeEventListener() {},
  };
  window.__play = (data) => { for (const listener of listeners) listener({ data }); };
}

const INIT = {
  type: 'init', serverName: 'Tarn Test', version: '1.0.0', lang: 'en',
  links: { website: true, forum: true, discord: true, donate: true }, news: true, status: true,
};
const DONE = { type: 'done', ok: true, canPlay: true, code: 'uptodate', detail: '', build: '' };

class Launcher {
  constructor(page, errors) {
    this.page = page;
    this.errors = errors;
  }

  // Plays host messages in order; each is an object (as WebView2 delivers) or a JSON text.
  async play(...messages) {
    for (const message of messages) await this.page.evaluate((m) => window.__play(m), message);
  }

  init(fields = {}) {
    return this.play({ ...INIT, ...fields });
  }

  // The commands posted since the last call, as the exact texts the host would receive.
  take() {
    return this.page.evaluate(() => window.__posted.splice(0));
  }

  text(selector) {
    return this.page.$eval(selector, (n) => n.textContent);
  }

  // textContent of several elements at once, keyed as given.
  texts(selectors) {
    return this.page.evaluate((list) => Object.fromEntries(
      Object.entries(list).map(([k, s]) => [k, document.querySelector(s).textContent])), selectors);
  }

  hidden(selector) {
    return this.page.$eval(selector, (n) => n.hidden);
  }

  // A fresh page state in the same tab, with the same fake host and clock.
  reload() {
    return this.page.goto(this.page.url());
  }

  async close() {
    await this.page.context().close();
    assert.deepEqual(this.errors.map(String), [], 'the page threw');
  }
}

// Reduced motion unless asked otherwise: no entrance animations for clicks to wait out.
async function openPage(browser, { host = true, clock = false, query = '', viewport, scale, motion } = {}) {
  const context = await browser.newContext({
    viewport: viewport || { width: 1000, height: 620 },
    deviceScaleFactor: scale || 1,
    reducedMotion: motion || 'reduce',
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (err) => errors.push(err));
  if (clock) {
    // Time stands still until a test moves it with page.clock.runFor.
    await page.clock.install({ time: 0 });
    await page.clock.pauseAt(1000);
  }
  if (host) await page.addInitScript(installFakeHost);
  await page.goto(PAGE + query);
  return new Launcher(page, errors);
}

// One browser per test file, started before the first test and closed after the last.
function useBrowser(hooks) {
  const shared = {};
  hooks.before(async () => { shared.browser = await launchBrowser(); });
  hooks.after(() => shared.browser && shared.browser.close());
  return (options) => openPage(shared.browser, options);
}

module.exports = { useBrowser, ROOT, DONE };
