// Driving the page in Debian's headless Chromium (puppeteer-core), for the page's tests and its
// benchmarks: the browser as both launch it, a fresh tab on the page once it is ready, and files
// given to its file inputs as a user drops them.
'use strict';
const path = require('path');
const puppeteer = require('puppeteer-core');

// The demo sample's files in `folder`, as vexmara-make-sample writes them.
function sampleFiles(folder) {
  return ['sample.app', 'sample.ani', 'lower.tex', 'lower.tga', 'upper.tex', 'upper.tga']
    .map((file) => path.join(folder, file));
}

// Chromium with WebGL drawn by SwiftShader, so that a machine without a GPU draws the same.
function launch(extraArgs = []) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: 'new',
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
           '--window-size=1200,800', ...extraArgs],
  });
}

// A new tab on the page at `address`, once the page says it is ready; `watch` is given the tab
// before the page loads (for its console, say).
async function openPage(browser, address, watch = () => {}) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 800 });
  watch(page);
  await page.goto(address);
  await page.waitForFunction(() => document.documentElement.dataset.vexmara === 'ready', { timeout: 60000 });
  return page;
}

// The page's flag and state once it has shown, or failed to show, a model after `loads` of them.
async function flagAfter(page, loads, timeout = 60000) {
  await page.waitForFunction((n) => window.vexmaraState.loads > n &&
    document.documentElement.dataset.vexmara !== 'loading', { timeout }, loads);
  return page.evaluate(() => ({ flag: document.documentElement.dataset.vexmara, state: window.vexmaraState }));
}

// `files` given to the file input `selector`; then as flagAfter.
async function drop(page, selector, files, timeout = 60000) {
  const loads = await page.evaluate(() => window.vexmaraState.loads);
  await (await page.$(selector)).uploadFile(...files);
  return flagAfter(page, loads, timeout);
}

module.exports = { sampleFiles, launch, openPage, flagAfter, drop };
