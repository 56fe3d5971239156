'use strict';
// Renders res/emblem.svg (the emblem of the page's logo) into the program's icon images,
// res/icon/emblem-<size>.png for the seven sizes of the icon group, transparent around the
// ring, with Debian's chromium. The build assembles them into TarnLauncher.ico.
//
//   NODE_PATH=tests/page/node_modules node res/tools/render-icons.js
//
// Run it again after changing the emblem and commit the images.
const fs = require('node:fs');
const path = require('node:path');
const { launchChromium } = require('./chromium');

const root = path.resolve(__dirname, '..', '..');
const source = process.argv[2] || path.join(root, 'res', 'emblem.svg');
const sizes = [16, 24, 32, 48, 64, 128, 256];

(async () => {
  const browser = await launchChromium();
  try {
    // Inlined as a data address: a blank page may not load file addresses.
    const svgUrl = 'data:image/svg+xml;base64,' + fs.readFileSync(source).toString('base64');
    for (const size of sizes) {
      const page = await browser.newPage({ viewport: { width: size, height: size } });
      await page.setContent(
        '<html><body style="margin:0;background:transparent">' +
        `<img src="${svgUrl}" width="${size}" height="${size}" style="display:block"></body></html>`);
      await page.waitForFunction(() => document.querySelector('img').complete);
      const out = path.join(root, 'res', 'icon', `emblem-${size}.png`);
      await page.screenshot({ path: out, omitBackground: true });
      await page.close();
      console.log(`${out}: ${fs.statSync(out).size} bytes`);
    }
  } finally {
    await browser.close();
  }
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
