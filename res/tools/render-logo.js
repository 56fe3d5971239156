'use strict';
// Renders res/logo.svg (which draws res/emblem.svg beside the name) into ui/logo.png with a
// transparent background, using the same Debian chromium as the page tests. Run it after
// changing either drawing: npm run logo
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { launchBrowser } = require('../test/browser');

const root = path.resolve(__dirname, '..', '..', '..');

(async () => {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ viewport: { width: 800, height: 200 } });
    await page.goto(pathToFileURL(path.join(root, 'res', 'logo.svg')).href);
    await page.waitForFunction(() => {
      const img = document.querySelector('image');
      return img && img.getBBox().width > 0;
    });
    await page.screenshot({ path: path.join(root, 'ui', 'logo.png'), omitBackground: true });
  } finally {
    await browser.close();
  }
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
