// The printer application's web page in headless Chromium: the printers are
// listed on the home page, a sides default set on a printer's printing
// defaults page is saved (the caller then reads it back over IPP), and the
// printer's page prints a test page (the caller checks the job).
//   node web_test.mjs http://localhost:PORT PRINTER SIDES [OTHER-PRINTER...]
import { chromium } from 'playwright-core';

const [base, printer, sides, ...others] = process.argv.slice(2);
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
  // Clicks a form's button and waits for the page its POST leads to.
  const submit = (button) => Promise.all([page.waitForNavigation(), button.click()]);
  await page.goto(`${base}/`);
  const home = await page.textContent('body');
  for (const name of [printer, ...others])
    if (!home.includes(name)) fail(`printer ${name} is not listed on the home page`);

  const choice = () => page.locator(`input[name="sides"][value="${sides}"]`);
  await page.goto(`${base}/${printer}/printing`);
  await choice().check();
  await submit(page.locator('input[type="submit"]').last());
  await page.goto(`${base}/${printer}/printing`);
  if (!(await choice().isChecked())) fail(`sides ${sides} is not checked after saving`);

  await page.goto(`${base}/${printer}/`);
  await submit(page.locator('input[type="submit"][value="Print Test Page"]'));
  if (!process.exitCode) console.log(`ok: web: printers listed, sides default ${sides} saved`);
} finally {
  await browser.close();
}
