#!/usr/bin/env node
// Draws a glTF file to a PNG with three.js in headless Chromium.
//
//   node render.js MODEL.glb|MODEL.gltf OUT.png [--time SECONDS] [--size WxH]
//
// A small HTTP server on the loopback address serves the page, three.js (from a node_modules
// folder named by NODE_PATH) and the model's folder. The page draws the model into a canvas of
// exactly the asked size and posts the picture back as PNG, which is written to OUT.png; the
// browser is then ended. CHROMIUM names the browser (default: chromium).
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');

function usage() {
  console.error('usage: render.js MODEL.glb|MODEL.gltf OUT.png [--time SECONDS] [--size WxH]');
  process.exit(2);
}

const args = process.argv.slice(2);
const positional = [];
let time = 0;
let size = [960, 720];
for (let i = 0; i < args.length; ++i) {
  if (args[i] === '--time' && i + 1 < args.length) time = parseFloat(args[++i]);
  else if (args[i] === '--size' && i + 1 < args.length) size = args[++i].split('x').map((n) => parseInt(n, 10));
  else positional.push(args[i]);
}
if (positional.length !== 2 || !Number.isFinite(time) || size.length !== 2 || size.some((n) => !(n > 0 && n <= 8192))) {
  usage();
}
const model = path.resolve(positional[0]);
const output = path.resolve(positional[1]);
if (!fs.existsSync(model)) {
  console.error(`render.js: ${positional[0]}: no such file`);
  process.exit(1);
}

function findThree() {
  const roots = (process.env.NODE_PATH || '').split(path.delimiter).filter(Boolean);
  roots.push(path.join(__dirname, 'node_modules'));
  for (const root of roots) {
    if (fs.existsSync(path.join(root, 'three', 'build', 'three.module.js'))) return path.join(root, 'three');
  }
  console.error('render.js: three.js not found (run scripts/install-cli-deps, or set NODE_PATH)');
  process.exit(1);
}
const threeRoot = findThree();
const modelDirectory = path.dirname(model);

const types = { '.html': 'text/html', '.js': 'text/javascript', '.glb': 'model/gltf-binary',
                '.gltf': 'model/gltf+json', '.bin': 'application/octet-stream', '.png': 'image/png' };

// Only the page, three.js and the model's folder are served.
function resolveRequest(url) {
  const pathname = decodeURIComponent(new URL(url, 'http://localhost').pathname);
  const within = (root, rest) => {
    const file = path.resolve(root, '.' + rest);
    return file.startsWith(root + path.sep) ? file : null;
  };
  if (pathname === '/page.html') return path.join(__dirname, 'page.html');
  if (pathname.startsWith('/three/')) return within(threeRoot, pathname.slice('/three'.length));
  if (pathname.startsWith('/model/')) return within(modelDirectory, pathname.slice('/model'.length));
  return null;
}

let browser = null;
let outcome = null;  // 'written' or an error text
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vexmara-render-'));

function finish(result) {
  if (outcome !== null) return;
  outcome = result;
  if (browser !== null && browser.exitCode === null) browser.kill('SIGTERM');
}

const server = http.createServer((request, response) => {
  if (request.method === 'POST') {
    const chunks = [];
    request.on('data', (chunk) => chunks.push(chunk));
    request.on('end', () => {
      response.writeHead(204);
      response.end();
      const body = Buffer.concat(chunks);
      if (request.url === '/result') {
        fs.writeFileSync(output, body);
        finish('written');
      } else {
        finish(`the page failed: ${body.toString()}`);
      }
    });
    return;
  }
  const file = resolveRequest(request.url);
  if (file === null || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    response.writeHead(404);
    response.end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[path.extname(file).toLowerCase()] || 'application/octet-stream' });
  fs.createReadStream(file).pipe(response);
});

server.listen(0, '127.0.0.1', () => {
  const port = server.address().port;
  const page = `http://127.0.0.1:${port}/page.html?model=${encodeURIComponent('/model/' + path.basename(model))}` +
               `&time=${time}&width=${size[0]}&height=${size[1]}`;
  browser = spawn(process.env.CHROMIUM || 'chromium', [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    // WebGL on the software rasteriser, since there is no GPU.
    '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
    `--user-data-dir=${profile}`, '--window-size=800,600', page,
  ], { stdio: ['ignore', 'ignore', 'pipe'] });
  let log = '';
  browser.stderr.on('data', (chunk) => { log += chunk; });
  const timer = setTimeout(() => finish('no picture within 120 s'), 120000);
  browser.on('close', (code) => {
    clearTimeout(timer);
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
    if (outcome === null) outcome = `chromium ended with ${code} before the page drew`;
    if (outcome !== 'written') {
      console.error(`render.js: ${positional[0]}: ${outcome}`);
      if (process.env.RENDER_LOG) console.error(log);
      process.exit(1);
    }
    console.log(`${positional[1]}: ${size[0]}x${size[1]}, ${path.basename(model)} at ${time} s`);
  });
});
