#!/usr/bin/env node
// A static file server for the page on the loopback address: serves one folder (out/web by
// default) and nothing above it, with the types a browser needs (application/wasm, text/javascript).
//
//   node web/serve.js [FOLDER] [--port N]     prints "http://127.0.0.1:PORT/" once it listens
//
// Also used as a module by the page's tests and benchmarks: serve(folder, port) resolves to the
// server once it listens.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css',
  '.wasm': 'application/wasm', '.png': 'image/png', '.json': 'application/json', '.txt': 'text/plain',
};

function serve(folder, port = 0) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    let pathname;
    try {
      pathname = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (pathname.endsWith('/')) pathname += 'index.html';
    const file = path.resolve(root, '.' + pathname);
    if ((file !== root && !file.startsWith(root + path.sep)) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {
      'Content-Type': TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream',
      'Cache-Control': 'no-cache',
    });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

module.exports = { serve };

if (require.main === module) {
  const args = process.argv.slice(2);
  let folder = path.join(__dirname, '..', 'out', 'web');
  let port = 8027;
  for (let i = 0; i < args.length; ++i) {
    if (args[i] === '--port' && i + 1 < args.length) port = Number(args[++i]);
    else folder = args[i];
  }
  serve(folder, port).then((server) => {
    console.log(`http://127.0.0.1:${server.address().port}/`);
  }, (error) => {
    console.error(`serve.js: ${error.message}`);
    process.exit(1);
  });
}
