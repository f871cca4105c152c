// What the printer says, as the web page shows it in headless Chromium: the
// printer's status page names its state reasons, the Supplies page its
// supplies (or that their levels are unknown), and the printer's own page
// its model and lifetime page count.
//   node link_web_test.mjs http://localhost:PORT PRINTER [TEXT-ON-A-PAGE ...]
// Each TEXT is PAGE=WORDS: the printer's page PAGE ("" for its status page,
// "supplies", "printer-says") must show WORDS.
import { chromium } from 'playwright-core';

const [base, printer, ...expected] = process.argv.slice(2);
const fail = (message) => {
  console.error(`FAIL: web: ${message}`);
  process.exitCode = 1;
};
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--headless=new'],
  timeout: 30000,
});
try {
  const page = await browser.newPage();
  page.setDefaultTimeout(15000);
  for (const item of expected) {
    const at = item.indexOf('=');
    const path = item.slice(0, at), words = item.slice(at + 1);
    await page.goto(`${base}/${printer}/${path}`);
    const text = await page.textContent('body');
    if (!text.includes(words)) fail(`${printer}/${path} does not show "${words}"`);
  }
  if (!process.exitCode) console.log(`ok: web: ${printer}: ${expected.join('; ')}`);
} finally {
  await browser.close();
}
