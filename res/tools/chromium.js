'use strict';
// Starts Debian's chromium, headless, for the drawing tools here. Nothing is downloaded: the
// browser is the system one, told not to reach out for updates or sync. The tools run with
// NODE_PATH=tests/page/node_modules, where playwright-core is installed.
const { chromium } = require('playwright-core');

function launchChromium() {
  return chromium.launch({
    executablePath: process.env.TARN_CHROMIUM || '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

module.exports = { launchChromium };
