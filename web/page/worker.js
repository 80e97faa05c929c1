// The conversion, off the page's thread: the WebAssembly module (vexmara.js, vexmara.wasm) with
// the files the page hands over in its in-memory file system.
//
// Messages from the page:
//   {type: 'files', files: [{path, bytes}]}   files to hold, by path below /files (the bytes'
//                                             ArrayBuffer is handed over)
//   {type: 'convert', id, request}            one conversion; request as web/module.cpp reads it
// Messages to the page:
//   {type: 'ready'} once the module runs; {type: 'failed', error} when it cannot be started
//   {type: 'result', id, result, glb, memoryBytes, milliseconds}   the module's result, the bytes
//                                             of the .glb written (or null), the size the module's
//                                             memory has grown to, the conversion's own time
//
// A module that stops (a trap, or memory that ran out) is started afresh for the next
// conversion, with every file written into it again.
'use strict';
importScripts('vexmara.js');

const held = new Map();  // path -> Uint8Array, for a module started afresh
let compiled = null;     // the compiled WebAssembly module, kept for restarts
let instance = null;     // the running module, or null when it must be started
let stopped = '';        // why the running module stopped

async function start() {
  stopped = '';
  const module = await createVexmaraModule({
    // The module's output is the page's console.
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onAbort: (what) => { stopped = String(what); },
    instantiateWasm(given, receive) {
      // With 64-bit pointers emscripten 3.1.6 hands its functions over as the module "a" while the
      // module imports them from "env" and "wasi_snapshot_preview1" (their names are not minified).
      const functions = given.a || given.env;
      const imports = { env: functions, wasi_snapshot_preview1: functions };
      // A server that does not call .wasm files application/wasm gets them compiled from bytes.
      const fromBytes = () => fetch('vexmara.wasm').then((response) => response.arrayBuffer())
        .then((bytes) => WebAssembly.instantiate(bytes, imports));
      const made = compiled
        ? WebAssembly.instantiate(compiled, imports).then((made) => ({ module: compiled, instance: made }))
        : WebAssembly.instantiateStreaming(fetch('vexmara.wasm'), imports).catch(fromBytes);
      made.then(({ module, instance }) => {
        compiled = module;
        receive(instance, module);
      });
      return {};
    },
  });
  module.FS.mkdirTree('/files');
  module.FS.mkdirTree('/out');
  for (const [path, bytes] of held) write(module, path, bytes);
  return module;
}

function write(module, path, bytes) {
  const slash = path.lastIndexOf('/');
  if (slash > 0) module.FS.mkdirTree(path.slice(0, slash));
  // The file system keeps the page's copy as it is instead of copying it.
  module.FS.writeFile(path, bytes, { canOwn: true });
}

// One call of vexmara_convert. Pointers are 64-bit (BigInt) on the module's side; the runtime's
// own malloc and free take and give numbers.
function convert(module, request) {
  const text = JSON.stringify(request);
  const size = module.lengthBytesUTF8(text) + 1;
  const buffer = module._malloc(size);
  if (!buffer) throw new Error('the module has no memory left for the request');
  try {
    module.stringToUTF8(text, buffer, size);
    return JSON.parse(module.UTF8ToString(module._vexmara_convert(BigInt(buffer))));
  } finally {
    module._free(buffer);
  }
}

function memoryBytes(module) {
  return module.HEAPU8 ? module.HEAPU8.length : 0;
}

// What the page is told when a conversion could not run: the module is started afresh next time.
function stoppedResult(id, why, memory, began) {
  instance = null;
  return {
    type: 'result', id, glb: null, memoryBytes: memory, milliseconds: performance.now() - began,
    result: { outcome: 'module-stopped', error: `The conversion stopped: ${why}`, warnings: [], files: [] },
  };
}

let queue = Promise.resolve();
self.onmessage = (event) => {
  const message = event.data;
  const began = performance.now();
  queue = queue.then(() => handle(message)).catch((error) => {
    const why = String(error && error.message || error);
    // A conversion is always answered, so that the page never waits for it.
    self.postMessage(message.type === 'convert' ? stoppedResult(message.id, why, 0, began)
                                                : { type: 'failed', error: why });
  });
};

async function handle(message) {
  if (message.type === 'files') {
    for (const { path, bytes } of message.files) {
      const data = new Uint8Array(bytes);
      held.set(path, data);
      if (instance) write(instance, path, data);
    }
    return;
  }
  if (message.type !== 'convert') return;
  if (!instance) instance = await start();
  const began = performance.now();
  let result;
  try {
    result = convert(instance, message.request);
  } catch (error) {
    // The module cannot go on after a trap: the next conversion gets a fresh one.
    const why = stopped || String(error && error.message || error);
    self.postMessage(stoppedResult(message.id, why, memoryBytes(instance), began));
    return;
  }
  const milliseconds = performance.now() - began;
  let glb = null;
  for (const path of result.files || []) {
    if (glb === null && path.toLowerCase().endsWith('.glb')) glb = instance.FS.readFile(path).buffer;
    instance.FS.unlink(path);
  }
  self.postMessage({ type: 'result', id: message.id, result, glb, memoryBytes: memoryBytes(instance), milliseconds },
                   glb ? [glb] : []);
}

// The module starts at once, before any message is handled.
queue = queue.then(start).then((module) => {
  instance = module;
  self.postMessage({ type: 'ready' });
}, (error) => self.postMessage({ type: 'failed', error: `The module could not be started: ${error && error.message || error}` }));
