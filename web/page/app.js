// The page: files in (drop, folder or file input), conversions in the worker (worker.js, which
// runs the WebAssembly module), and the .glb each conversion writes drawn with three.js. What a
// file holds and how it is imported is the module's business; the page keeps the files, asks,
// and shows the answer.
//
// For tests and scripts: document.documentElement.dataset.vexmara is "loading", "ready" (the
// model's first frame is drawn) or "error" (the model could not be shown), and
// window.vexmaraState holds what the page shows (see `state` below).
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';

const $ = (id) => document.getElementById(id);
const flag = (value) => { document.documentElement.dataset.vexmara = value; };

const state = {
  model: '',          // the shown model's file name
  models: [],         // the file names of every model dropped, in the list's order
  counts: null,       // what the import dialog showed: geosets, vertices, triangles, materials, bones
  received: null,     // what the host received: materials, groups, vertices, meshes, bones, animations
  textureDirectory: '',
  textureCount: '',
  materials: [],      // {name, texture, missing}
  animationFiles: [], // the animation files attached to the model
  clips: [],          // the clip names of the .glb
  clip: '',           // the clip chosen
  playing: false,
  time: 0,
  warnings: [],
  error: '',          // the plug-in's error text, or why the model could not be shown
  renderer: '',       // the WebGL renderer string
  timings: {},        // dropToFirstFrameMs, conversionMs (in the module), loadMs (three.js)
  memory: {},         // moduleBytes (the module's memory after the conversion), jsHeapBytes
  loads: 0,           // how many times a model was shown or failed, so that a waiter sees a change
};
window.vexmaraState = state;

// --- The worker --------------------------------------------------------------------------------

const worker = new Worker('worker.js');
const waiting = new Map();  // conversion id -> resolve
let nextId = 1;
let workerError = '';  // why the module could not be started: nothing can be converted
let workerStarted = false;
const workerReady = new Promise((resolve) => {
  worker.addEventListener('message', (event) => {
    const message = event.data;
    if (message.type === 'ready') {
      workerStarted = true;
      resolve();
    } else if (message.type === 'failed') {
      // Once the module runs, a failure (of files handed over) is shown, and the next drop tries
      // again.
      if (!workerStarted) workerError = message.error;
      showProblem(message.error, []);
      flag('error');
      resolve();
    } else if (message.type === 'result') {
      const done = waiting.get(message.id);
      waiting.delete(message.id);
      if (done) done(message);
    }
  });
});
worker.addEventListener('error', (event) => {
  workerError = `The conversion worker failed: ${event.message}`;
  showProblem(workerError, []);
  flag('error');
});

function convertInWorker(request) {
  const id = nextId++;
  return new Promise((resolve) => {
    waiting.set(id, resolve);
    worker.postMessage({ type: 'convert', id, request });
  });
}

// --- Files and models --------------------------------------------------------------------------

const FILES = '/files';
const models = [];    // {path, name, result, glb}
const animations = new Set();
let current = null;   // the model shown (or being converted)
let dropStarted = 0;  // when the last drop began, for the first-frame time

const extension = (path) => path.slice(path.lastIndexOf('.') + 1).toLowerCase();
const folderOf = (path) => path.slice(0, path.lastIndexOf('/'));
const baseName = (path) => path.slice(path.lastIndexOf('/') + 1);

// Takes [{path, file}], `path` relative to what was dropped or picked ("orc/orc.app", or a bare
// name). Files dropped without a folder go into the shown model's folder, so that a texture
// dropped after its model is beside it.
async function addFiles(entries) {
  if (entries.length === 0) return;
  dropStarted = performance.now();
  const looseFolder = current ? folderOf(current.path) : FILES;
  const sent = [];
  const newModels = [];
  for (const { path, file } of entries) {
    const full = path.includes('/') ? `${FILES}/${path}` : `${looseFolder}/${path}`;
    sent.push({ path: full, bytes: await file.arrayBuffer() });
    const kind = extension(full);
    if (kind === 'app' && !models.some((m) => m.path === full)) {
      const model = { path: full, name: baseName(full), result: null, glb: null };
      models.push(model);
      newModels.push(model);
    } else if (kind === 'ani') {
      animations.add(full);
    }
  }
  worker.postMessage({ type: 'files', files: sent }, sent.map((f) => f.bytes));
  // Every model is converted afresh: a file it wants may have come.
  forgetResults();
  models.sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0));
  showModelList();
  const next = newModels.length > 0 ? newModels.sort((a, b) => (a.path < b.path ? -1 : 1))[0] : current;
  if (next) await show(next);
}

async function entriesOfDrop(dataTransfer) {
  const entries = [];
  const walk = async (entry, prefix) => {
    if (entry.isFile) {
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      entries.push({ path: prefix + entry.name, file });
    } else if (entry.isDirectory) {
      const reader = entry.createReader();
      for (;;) {
        const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
        if (batch.length === 0) break;
        for (const child of batch) await walk(child, `${prefix}${entry.name}/`);
      }
    }
  };
  const items = [...(dataTransfer.items || [])].map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry());
  if (items.length > 0 && items.every(Boolean)) {
    for (const entry of items) await walk(entry, '');
  } else {
    for (const file of dataTransfer.files) entries.push({ path: file.name, file });
  }
  return entries;
}

function entriesOfInput(input) {
  return [...input.files].map((file) => ({ path: file.webkitRelativePath || file.name, file }));
}

document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', async (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  await addFiles(await entriesOfDrop(event.dataTransfer));
});
for (const id of ['files', 'folder']) {
  $(id).addEventListener('change', async (event) => {
    const entries = entriesOfInput(event.target);
    event.target.value = '';
    await addFiles(entries);
  });
}

function showModelList() {
  const list = $('models');
  list.replaceChildren();
  state.models = models.map((m) => m.path.slice(FILES.length + 1));
  if (models.length === 0) {
    list.innerHTML = '<li class="empty">none yet</li>';
    return;
  }
  for (const model of models) {
    const item = document.createElement('li');
    item.textContent = model.path.slice(FILES.length + 1);
    item.title = model.path;
    item.classList.toggle('current', model === current);
    item.classList.toggle('failed', !!model.result && model.result.outcome !== 'built');
    item.addEventListener('click', () => show(model));
    list.append(item);
  }
}

// --- Conversions -------------------------------------------------------------------------------

const options = ['swapModel', 'submeshesAsGroups', 'extractAlphaMaps'];
for (const id of options) {
  $(id).addEventListener('change', () => {
    forgetResults();
    if (current) show(current);
  });
}

// The files or the options changed: every result is made again when its model is shown, and an
// answer to a request sent before is shown once but not kept.
let edition = 0;
function forgetResults() {
  edition += 1;
  for (const model of models) model.result = null;
}

let generation = 0;  // only the latest request's answer is shown

async function show(model) {
  const mine = ++generation;
  current = model;
  showModelList();
  flag('loading');
  $('status').textContent = `Opening ${model.name} ...`;
  await workerReady;
  if (workerError) {
    $('status').textContent = '';
    state.error = workerError;
    showProblem(workerError, []);
    state.loads += 1;
    flag('error');
    return;
  }
  if (!model.result) {
    const sentIn = edition;
    const request = {
      model: model.path,
      animations: [...animations].sort(),
      output: `/out/${model.name.replace(/\.[^.]*$/, '')}.glb`,
    };
    for (const id of options) request[id] = $(id).checked;
    const answer = await convertInWorker(request);
    if (sentIn !== edition) return;  // made from what has changed since: a newer show asks again
    model.result = answer.result;
    model.glb = answer.glb;
    state.timings.conversionMs = answer.milliseconds;
    state.memory.moduleBytes = answer.memoryBytes;
  }
  if (mine !== generation) return;
  showModelList();
  showResult(model);
  if (model.result.outcome !== 'built' || !model.glb) {
    clearView();
    $('status').textContent = `${model.name} could not be opened.`;
    state.loads += 1;
    flag('error');
    return;
  }
  const began = performance.now();
  try {
    const gltf = await new GLTFLoader().parseAsync(model.glb.slice(0), '');
    if (mine !== generation) return;
    state.timings.loadMs = performance.now() - began;
    showModel(gltf);
    $('status').textContent = '';
    afterNextFrame(() => {
      if (mine !== generation) return;
      if (dropStarted) state.timings.dropToFirstFrameMs = performance.now() - dropStarted;
      dropStarted = 0;
      if (performance.memory) state.memory.jsHeapBytes = performance.memory.usedJSHeapSize;
      state.loads += 1;
      flag('ready');
    });
  } catch (error) {
    clearView();
    state.error = `The converted model could not be drawn: ${error && error.message || error}`;
    showProblem(state.error, state.warnings);
    state.loads += 1;
    flag('error');
  }
}

function showProblem(error, warnings) {
  $('problems').hidden = !error && warnings.length === 0;
  $('error').textContent = error;
  const list = $('warnings');
  list.replaceChildren(...warnings.map((w) => Object.assign(document.createElement('li'), { textContent: w })));
}

function showResult(model) {
  const result = model.result;
  const dialog = result.dialog || null;
  state.model = model.name;
  state.error = result.outcome === 'built' ? '' : result.error || `The import ended: ${result.outcome}`;
  state.warnings = result.warnings || [];
  state.counts = dialog && {
    geosets: Number(dialog.geosets), vertices: Number(dialog.vertices), triangles: Number(dialog.triangles),
    materials: Number(dialog.materials), bones: Number(dialog.bones),
  };
  state.received = result.counts || null;
  state.textureDirectory = dialog ? dialog.textureDirectory : '';
  state.textureCount = dialog ? dialog.textureCount : '';
  state.materials = result.materials || [];
  state.animationFiles = (result.animations || []).map((a) => a.file);
  showProblem(state.error, state.warnings);
  for (const cell of document.querySelectorAll('[data-count]')) {
    cell.textContent = dialog ? dialog[cell.dataset.count] : '';
  }
  $('textureDirectory').textContent = state.textureDirectory;
  $('textureCount').textContent = state.textureCount;
  $('materials').replaceChildren(...state.materials.map((m) => {
    const item = document.createElement('li');
    if (m.missing) {
      item.className = 'missing';
      item.innerHTML = '<span class="mark">*</span> ';
      item.append(`${m.name}: texture not found`);
    } else {
      item.textContent = m.texture ? `${m.name}: ${m.texture}` : `${m.name} (no texture)`;
    }
    return item;
  }));
  $('animationFiles').textContent = dialog ? dialog.animationFiles : '';
  $('download').disabled = !(result.outcome === 'built' && model.glb);
}

$('download').addEventListener('click', () => {
  if (!current || !current.glb) return;
  const url = URL.createObjectURL(new Blob([current.glb], { type: 'model/gltf-binary' }));
  const link = Object.assign(document.createElement('a'), {
    href: url, download: current.name.replace(/\.[^.]*$/, '') + '.glb',
  });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
});

// --- The view ----------------------------------------------------------------------------------

const canvas = $('view');
const renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
renderer.setPixelRatio(1);
renderer.outputColorSpace = THREE.SRGBColorSpace;
{
  const gl = renderer.getContext();
  const info = gl.getExtension('WEBGL_debug_renderer_info');
  state.renderer = String(gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER));
}
const scene = new THREE.Scene();
scene.background = new THREE.Color(0xd9dde3);
scene.add(new THREE.HemisphereLight(0xffffff, 0x8a8070, 2.2));
const sun = new THREE.DirectionalLight(0xffffff, 2.0);
sun.position.set(3, 5, 4);
scene.add(sun);
const camera = new THREE.PerspectiveCamera(35, 1, 0.01, 1000);
camera.position.set(2, 1.5, 4);
const controls = new OrbitControls(camera, canvas);
controls.enableDamping = false;

let shown = null;  // {root, grid, skeleton, mixer, clips, action}
const timer = new THREE.Timer();

function clearView() {
  if (!shown) return;
  scene.remove(shown.root, shown.grid, shown.skeleton);
  shown.root.traverse((object) => {
    if (object.geometry) object.geometry.dispose();
    for (const material of [].concat(object.material || [])) {
      for (const value of Object.values(material)) if (value && value.isTexture) value.dispose();
      material.dispose();
    }
  });
  shown = null;
  state.clips = [];
  state.clip = '';
  state.playing = false;
  $('clips').replaceChildren();
  $('player').hidden = true;
}

function showModel(gltf) {
  clearView();
  const root = gltf.scene;
  root.traverse((object) => {
    if (object.isMesh) {
      object.material.side = THREE.DoubleSide;
      object.frustumCulled = false;
    }
  });
  scene.add(root);
  const mixer = new THREE.AnimationMixer(root);
  const clips = gltf.animations;
  // Framed on the bounds of every skinned vertex over the first clip (a few poses across it; for
  // a large model its first pose alone).
  const box = new THREE.Box3();
  const vertex = new THREE.Vector3();
  let vertices = 0;
  root.traverse((object) => { if (object.isMesh) vertices += object.geometry.attributes.position.count; });
  const poses = clips.length === 0 ? [null] : vertices > 200000 ? [0] : [0, 1, 2, 3, 4, 5, 6, 7].map((i) => (clips[0].duration * i) / 8);
  if (clips.length > 0) mixer.clipAction(clips[0]).play();
  for (const time of poses) {
    if (time !== null) mixer.setTime(time);
    root.updateMatrixWorld(true);
    root.traverse((object) => {
      if (!object.isMesh) return;
      if (object.isSkinnedMesh) object.skeleton.update();
      const count = object.geometry.attributes.position.count;
      for (let i = 0; i < count; ++i) {
        object.getVertexPosition(i, vertex);  // skinned where the mesh has a skin
        box.expandByPoint(vertex.applyMatrix4(object.matrixWorld));
      }
    });
  }
  if (box.isEmpty()) box.setFromObject(root);
  if (box.isEmpty()) box.set(new THREE.Vector3(-1, -1, -1), new THREE.Vector3(1, 1, 1));
  mixer.stopAllAction();
  const size = box.getSize(new THREE.Vector3());
  const centre = box.getCenter(new THREE.Vector3());
  const radius = Math.max(size.length() / 2, 1e-3);
  camera.near = radius / 100;
  camera.far = radius * 100;
  const distance = (radius / Math.sin(THREE.MathUtils.degToRad(camera.fov / 2))) * 1.1;
  camera.position.copy(centre).add(new THREE.Vector3(0.55, 0.35, 1).normalize().multiplyScalar(distance));
  camera.updateProjectionMatrix();
  controls.target.copy(centre);
  controls.update();

  const grid = new THREE.GridHelper(radius * 3, 12, 0x7a8088, 0xa8aeb6);
  grid.position.set(centre.x, box.min.y, centre.z);
  scene.add(grid);
  const skeleton = new THREE.SkeletonHelper(root);
  skeleton.visible = $('skeleton').checked;
  scene.add(skeleton);
  shown = { root, grid, skeleton, mixer, clips, action: null };
  setWireframe($('wireframe').checked);

  state.clips = clips.map((clip) => clip.name);
  $('clips').replaceChildren(...clips.map((clip, i) => Object.assign(document.createElement('option'), {
    value: String(i), textContent: clip.name || `clip ${i}`,
  })));
  $('player').hidden = clips.length === 0;
  if (clips.length > 0) chooseClip(0, true);
}

function chooseClip(index, play) {
  if (!shown) return;
  shown.mixer.stopAllAction();
  const clip = shown.clips[index];
  const action = shown.mixer.clipAction(clip);
  shown.action = action;
  applyRepeat();
  action.reset().play();
  action.paused = !play;
  state.clip = clip.name;
  state.playing = play;
  $('clips').value = String(index);
  $('timeline').max = String(Math.max(clip.duration, 0.001));
  shown.mixer.update(0);
  updatePlayer();
}

function applyRepeat() {
  if (!shown || !shown.action) return;
  const once = $('repeat').value === 'once';
  shown.action.setLoop(once ? THREE.LoopOnce : THREE.LoopRepeat, Infinity);
  shown.action.clampWhenFinished = once;
}

function setPlaying(play) {
  if (!shown || !shown.action) return;
  const action = shown.action;
  // A clip played once and finished starts again from its beginning.
  if (play && (!action.isRunning() && !action.paused || action.time >= action.getClip().duration)) {
    const time = action.time >= action.getClip().duration ? 0 : action.time;
    action.reset().play();
    action.time = time;
  }
  action.paused = !play;
  action.enabled = true;
  state.playing = play;
  updatePlayer();
}

function seek(time) {
  if (!shown || !shown.action) return;
  const action = shown.action;
  if (!action.isRunning() && !action.paused) action.play();
  action.time = Math.min(Math.max(time, 0), action.getClip().duration);
  shown.mixer.update(0);
  updatePlayer();
}

function updatePlayer() {
  const time = shown && shown.action ? shown.action.time : 0;
  state.time = time;
  $('timeline').value = String(time);
  $('time').textContent = `${time.toFixed(2)} s`;
  $('play').textContent = state.playing ? 'Pause' : 'Play';
}

function setWireframe(on) {
  if (!shown) return;
  shown.root.traverse((object) => {
    for (const material of [].concat(object.material || [])) material.wireframe = on;
  });
}

$('clips').addEventListener('change', (event) => chooseClip(Number(event.target.value), state.playing));
$('play').addEventListener('click', () => setPlaying(!state.playing));
$('timeline').addEventListener('input', (event) => {
  const time = Number(event.target.value);
  setPlaying(false);
  seek(time);
});
$('repeat').addEventListener('change', applyRepeat);
$('skeleton').addEventListener('change', (event) => { if (shown) shown.skeleton.visible = event.target.checked; });
$('wireframe').addEventListener('change', (event) => setWireframe(event.target.checked));

let frameCallbacks = [];
function afterNextFrame(callback) { frameCallbacks.push(callback); }

function resize() {
  const width = canvas.clientWidth, height = canvas.clientHeight;
  if (canvas.width !== width || canvas.height !== height) {
    renderer.setSize(width, height, false);
    camera.aspect = width / Math.max(height, 1);
    camera.updateProjectionMatrix();
  }
}

renderer.setAnimationLoop((now) => {
  timer.update(now);
  const delta = timer.getDelta();
  resize();
  if (shown && shown.action && state.playing) {
    shown.mixer.update(delta * Number($('speed').value));
    const action = shown.action;
    if (!action.isRunning() && !action.paused) state.playing = false;  // played once to its end
    updatePlayer();
  }
  renderer.render(scene, camera);
  const callbacks = frameCallbacks;
  frameCallbacks = [];
  for (const callback of callbacks) callback();
});
// Until a model is dropped there is nothing to load.
workerReady.then(() => { if (!current && !workerError) flag('ready'); });
