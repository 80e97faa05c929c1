#!/usr/bin/env node
// The page's tests: one table of cases, each in a fresh tab of one headless Chromium (Debian's,
// driven by puppeteer-core), against out/web served on the loopback address.
//
//   node tests/web/page_cases.js
//
// Environment: VEXMARA_ROOT (the project), VEXMARA_BUILD (the native build with vexmara-import,
// vexmara-make-sample and vexmara-web-fixtures; default build/), CHROMIUM (default
// /usr/bin/chromium), VEXMARA_WEB_UPDATE_REFERENCE=1 to write the reference picture anew.
'use strict';
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync, spawnSync } = require('child_process');

const root = process.env.VEXMARA_ROOT || path.resolve(__dirname, '..', '..');
const build = process.env.VEXMARA_BUILD || path.join(root, 'build');
const { serve } = require(path.join(root, 'web', 'serve.js'));
const { sampleFiles: filesOfSample, launch, openPage, flagAfter, drop } = require(path.join(root, 'web', 'page_driver.js'));
const reference = path.join(__dirname, 'reference', 'sample-at-1s.png');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'vexmara-web-test-'));

// The fixtures: the demo sample, a damaged copy of its model, and a folder with two models.
const sample = path.join(scratch, 'sample');
execFileSync(path.join(build, 'vexmara-make-sample'), [sample]);
const sampleFiles = filesOfSample(sample);
const damaged = path.join(scratch, 'damaged', 'damaged.app');
fs.mkdirSync(path.dirname(damaged));
{
  const bytes = fs.readFileSync(path.join(sample, 'sample.app'));
  fs.writeFileSync(damaged, bytes.subarray(0, Math.floor(bytes.length / 2)));
}
const two = path.join(scratch, 'folder', 'two');
fs.mkdirSync(two, { recursive: true });
execFileSync(path.join(build, 'vexmara-web-fixtures'), [two]);
for (const file of sampleFiles) fs.copyFileSync(file, path.join(two, path.basename(file)));

// What the converter writes and says for the same files.
function converter(args) {
  const run = spawnSync(path.join(build, 'vexmara-import'), args, { encoding: 'utf8' });
  return { status: run.status, stdout: run.stdout, stderr: run.stderr };
}
function converterGlb(model, extra) {
  const output = path.join(scratch, `native-${Math.random().toString(36).slice(2)}.glb`);
  const run = converter([model, ...extra, '-o', output]);
  assert.strictEqual(run.status, 0, run.stderr);
  return fs.readFileSync(output);
}

// --- Driving the page ----------------------------------------------------------------------------

async function toggle(page, id) {
  const loads = await page.evaluate(() => window.vexmaraState.loads);
  await page.click(`#${id}`);
  return flagAfter(page, loads);
}

async function download(page, folder) {
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder);
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
  await page.click('#download');
  for (let i = 0; i < 200; ++i) {
    const done = fs.readdirSync(folder).filter((f) => !f.endsWith('.crdownload'));
    if (done.length === 1) return { name: done[0], bytes: fs.readFileSync(path.join(folder, done[0])) };
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error('no download within 10 s');
}

// Compares two PNG pictures in the page: the share of pixels that differ by more than 48 in any
// channel, and the mean difference per channel.
async function compareImages(page, actual, expected) {
  return page.evaluate(async (a, b) => {
    const load = async (base64) => {
      const image = await createImageBitmap(await (await fetch(`data:image/png;base64,${base64}`)).blob());
      const canvas = new OffscreenCanvas(image.width, image.height);
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, image.width, image.height);
    };
    const [x, y] = [await load(a), await load(b)];
    if (x.width !== y.width || x.height !== y.height) return { sizes: `${x.width}x${x.height} ${y.width}x${y.height}` };
    let far = 0, sum = 0;
    for (let i = 0; i < x.data.length; i += 4) {
      let most = 0;
      for (let c = 0; c < 3; ++c) {
        const d = Math.abs(x.data[i + c] - y.data[i + c]);
        sum += d;
        most = Math.max(most, d);
      }
      if (most > 48) far += 1;
    }
    return { farShare: far / (x.width * x.height), mean: sum / (x.width * x.height * 3) };
  }, actual.toString('base64'), expected.toString('base64'));
}

const sampleCounts = { geosets: 2, vertices: 234, triangles: 384, materials: 2, bones: 4 };

// --- The cases -----------------------------------------------------------------------------------

const cases = [
  {
    name: 'the sample with its animation: counts, clip, renderer, and the picture at 1 s',
    async run(page) {
      const { flag, state } = await drop(page, '#files', sampleFiles);
      assert.strictEqual(flag, 'ready', state.error);
      assert.deepStrictEqual(state.counts, sampleCounts);
      assert.deepStrictEqual(state.clips, ['sway']);
      assert.deepStrictEqual(state.animationFiles, ['/files/sample.ani']);
      assert.deepStrictEqual(state.materials.map((m) => [m.name, m.texture, m.missing]),
        [['lower', 'lower.tex', false], ['upper', 'upper.tex', false]]);
      assert.deepStrictEqual(state.warnings, []);
      assert.strictEqual(state.error, '');
      // WebGL from SwiftShader, not a silent fallback to something else (or to nothing).
      assert.match(state.renderer, /SwiftShader/);
      assert.strictEqual(await page.$eval('[data-count="triangles"]', (e) => e.textContent), '384');
      // Paused and moved to 1 s on the timeline, then drawn.
      await page.click('#play');
      await page.$eval('#timeline', (e) => { e.value = '1'; e.dispatchEvent(new Event('input')); });
      await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
      const after = await page.evaluate(() => ({ time: window.vexmaraState.time, playing: window.vexmaraState.playing }));
      assert.deepStrictEqual(after, { time: 1, playing: false });
      const picture = await (await page.$('#view')).screenshot({ type: 'png' });
      if (process.env.VEXMARA_WEB_UPDATE_REFERENCE === '1') {
        fs.mkdirSync(path.dirname(reference), { recursive: true });
        fs.writeFileSync(reference, picture);
        console.log(`  wrote the reference picture ${path.relative(root, reference)}`);
      }
      const difference = await compareImages(page, picture, fs.readFileSync(reference));
      if (!(difference.farShare <= 0.005 && difference.mean <= 1.5)) {
        fs.writeFileSync(path.join(root, 'build', 'web-test-sample-at-1s.png'), picture);
      }
      assert.ok(difference.farShare <= 0.005 && difference.mean <= 1.5,
        `the picture differs from the reference: ${JSON.stringify(difference)} (saved as build/web-test-sample-at-1s.png)`);
    },
  },
  {
    name: 'the downloaded .glb is the converter\'s, before and after the options change',
    async run(page) {
      let { flag } = await drop(page, '#files', sampleFiles);
      assert.strictEqual(flag, 'ready');
      const model = path.join(sample, 'sample.app'), anim = path.join(sample, 'sample.ani');
      let got = await download(page, path.join(scratch, 'download'));
      assert.strictEqual(got.name, 'sample.glb');
      const plain = converterGlb(model, ['--anim', anim]);
      assert.ok(got.bytes.equals(plain), 'the .glb differs from vexmara-import\'s');
      ({ flag } = await toggle(page, 'swapModel'));
      assert.strictEqual(flag, 'ready');
      let state;
      ({ flag, state } = await toggle(page, 'submeshesAsGroups'));
      assert.strictEqual(flag, 'ready');
      assert.strictEqual(state.received.groups, 2);
      got = await download(page, path.join(scratch, 'download'));
      const native = converterGlb(model, ['--anim', anim, '--no-swap', '--groups']);
      assert.ok(got.bytes.equals(native), 'the .glb with --no-swap --groups differs from vexmara-import\'s');
      assert.ok(!native.equals(plain), 'the options changed nothing');
    },
  },
  {
    name: 'a damaged model shows the plug-in\'s error text, and the next drop still works',
    async run(page) {
      const native = converter([damaged]);
      assert.strictEqual(native.status, 1);
      const text = native.stderr.trim().split(': ').slice(2).join(': ');
      assert.ok(text.length > 0, native.stderr);
      let { flag, state } = await drop(page, '#files', [damaged]);
      assert.strictEqual(flag, 'error');
      assert.strictEqual(state.error, text);
      assert.strictEqual(await page.$eval('#error', (e) => e.textContent), text);
      assert.strictEqual(await page.$eval('#download', (e) => e.disabled), true);
      ({ flag, state } = await drop(page, '#files', sampleFiles));
      assert.strictEqual(flag, 'ready', state.error);
      assert.deepStrictEqual(state.counts, sampleCounts);
      assert.strictEqual(await page.$eval('#error', (e) => e.textContent), '');
      assert.deepStrictEqual(state.models, ['damaged.app', 'sample.app']);
    },
  },
  {
    name: 'a folder with two models: both listed, each with the animation its bones take',
    async run(page) {
      let { flag, state } = await drop(page, '#folder', [two]);
      assert.strictEqual(flag, 'ready', state.error);
      assert.deepStrictEqual(state.models, ['two/grid.app', 'two/sample.app']);
      assert.strictEqual(state.model, 'grid.app');
      assert.strictEqual(state.counts.bones, 12);
      // The sample's animation names 4 of the grid's 12 bones: not attached.
      assert.deepStrictEqual(state.clips, []);
      assert.deepStrictEqual(state.animationFiles, []);
      assert.strictEqual(state.textureDirectory, '/files/two/');
      const loads = state.loads;
      await page.evaluate(() => [...document.querySelectorAll('#models li')].find((li) => li.textContent === 'two/sample.app').click());
      ({ flag, state } = await flagAfter(page, loads));
      assert.strictEqual(flag, 'ready', state.error);
      assert.strictEqual(state.model, 'sample.app');
      assert.deepStrictEqual(state.counts, sampleCounts);
      assert.deepStrictEqual(state.clips, ['sway']);
      assert.deepStrictEqual(state.animationFiles, ['/files/two/sample.ani']);
    },
  },
  {
    name: 'a texture dropped after its model runs the import again with it',
    async run(page) {
      let { flag, state } = await drop(page, '#files', [path.join(sample, 'sample.app'), path.join(sample, 'sample.ani')]);
      assert.strictEqual(flag, 'ready', state.error);
      assert.deepStrictEqual(state.materials.map((m) => [m.name, m.missing]), [['lower', true], ['upper', true]]);
      assert.strictEqual((await page.$$('#materials .missing')).length, 2);
      ({ flag, state } = await drop(page, '#files', [path.join(sample, 'lower.tex'), path.join(sample, 'lower.tga')]));
      assert.strictEqual(flag, 'ready', state.error);
      assert.deepStrictEqual(state.materials.map((m) => [m.name, m.texture, m.missing]),
        [['lower', 'lower.tex', false], ['upper', '', true]]);
      assert.strictEqual((await page.$$('#materials .missing')).length, 1);
    },
  },
];

// --- The run -------------------------------------------------------------------------------------

(async () => {
  const server = await serve(path.join(root, 'out', 'web'));
  const address = `http://127.0.0.1:${server.address().port}/`;
  const browser = await launch();
  let passed = 0, failed = 0;
  for (const test of cases) {
    const errors = [];
    let page = null;
    try {
      page = await openPage(browser, address, (tab) => {
        tab.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
        tab.on('pageerror', (error) => errors.push(String(error)));
        tab.on('dialog', (dialog) => { errors.push(`a dialog: ${dialog.message()}`); dialog.dismiss(); });
      });
      await test.run(page);
      assert.deepStrictEqual(errors, [], 'console errors');
      passed += 1;
      console.log(`ok      ${test.name}`);
    } catch (error) {
      failed += 1;
      console.log(`FAILED  ${test.name}\n        ${String(error && error.stack || error).split('\n').join('\n        ')}`);
    }
    if (page) await page.close();
  }
  await browser.close();
  server.close();
  fs.rmSync(scratch, { recursive: true, force: true });
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
