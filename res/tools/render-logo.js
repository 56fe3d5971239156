'use strict';
// Renders res/logo.svg (which draws res/emblem.svg beside the name) into ui/logo.png with a
// transparent background, with Debian's chromium. Run it again after changing either drawing:
//
//   NODE_PATH=tests/page/node_modules node res/tools/render-logo.js
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { launchChromium } = require('./chromium');

const root = path.resolve(__dirname, '..', '..');

(async () => {
  const browser = await launchChromium();
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
