'use strict';
// Starts Debian's chromium for the page tests. Nothing is ever downloaded: the
// browser is the system one, and it is told not to reach out for updates or sync.
// playwright-core gives every launch a fresh temporary profile of its own.
const { chromium } = require('playwright-core');

const CHROMIUM = process.env.TARN_CHROMIUM || '/usr/bin/chromium';

function launchBrowser() {
  return chromium.launch({
    executablePath: CHROMIUM,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
  });
}

module.exports = { launchBrowser };
