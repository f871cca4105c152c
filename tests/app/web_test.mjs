// The printer application's web page in headless Chromium: both printers are
// listed on the home page, and a default changed on a printer's printing
// defaults page is saved (the caller then reads it back over IPP).
//   node web_test.mjs http://localhost:PORT PRINTER SIDES
import { chromium } from 'playwright-core';

const [base, printer, sides] = process.argv.slice(2);
const expected = process.argv.slice(5);
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

  await page.goto(`${base}/`);
  const home = await page.textContent('body');
  for (const name of [printer, ...expected])
    if (!home.includes(name)) fail(`printer ${name} is not listed on the home page`);

  await page.goto(`${base}/${printer}/printing`);
  const choice = page.locator(`input[name="sides"][value="${sides}"]`);
  if ((await choice.count()) !== 1) {
    fail(`no sides choice ${sides} on the printing defaults page`);
  } else {
    await choice.check();
    await Promise.all([page.waitForLoadState('load'), page.locator('input[type="submit"]').last().click()]);
    await page.goto(`${base}/${printer}/printing`);
    if (!(await page.locator(`input[name="sides"][value="${sides}"]`).isChecked()))
      fail(`sides ${sides} is not checked after saving`);
  }
  if (!process.exitCode) console.log(`ok: web: printers listed, sides default ${sides} saved`);
} finally {
  await browser.close();
}
