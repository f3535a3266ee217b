// The page around the demo: it checks that the browser has WebGL 2 and Web Audio, fetches the
// program and the pack's files in the order the show needs them (KesuFiles, from
// kesu-files.json) with their progress shown, writing each where the program reads it as it
// comes, hands the program its arguments from the address (?from=SECONDS, ?loop=1, ?pause=1,
// ?bench=1) and the viewer's level from the browser's storage, and answers what the program
// asks of the page (KesuPage); the music is sound.js's (KesuAudio), the mouse, touch and the
// controls controls.js's (KesuControls), the system's media controls mediaSession.js's
// (KesuSession). A test's address (?test=MODE) loads testHooks.js first, which takes what the
// tests read; a viewer's page has none of it.
"use strict";

const params = new URLSearchParams(location.search);
const testMode = params.has("test");
// The bench times the frames back to back, silent: nothing to click for.
const benchMode = params.get("bench") === "1";

function element(id) { return document.getElementById(id); }
function show(id, visible) { element(id).hidden = !visible; }

// The test hooks, when loaded.
function tests() { return typeof KesuTest !== "undefined" ? KesuTest : null; }

// The page's moments are marked on its performance timeline: "kesu-sound-unlocked" at the gesture
// that let the sound out, "kesu-first-frame" once the animation frame that drew the show's first
// frame was done.
const KesuPage = {
  unlocked: false,
  ended: false,
  stagesArrived: 0,   // the program's loading stages whose files are all in place (KesuFiles)
  playing: false,
  waiting: false,
  lastReport: "",
  benchTable: [],

  message(text) {
    const box = element("message");
    box.textContent = box.hidden ? text : box.textContent + "\n" + text;
    show("message", true);
    show("loading", false);
    show("play", false);
    if (tests()) tests().message(box.textContent);
  },

  soundUnlocked() { return this.unlocked; },

  // The progress of the files shows until the show plays, and again while it waits for them or
  // the network fails one.
  showProgress() {
    show("loading", element("message").hidden && (!this.playing || this.waiting || this.troubles.size > 0));
  },

  troubles: new Map(),   // path: what the network did to it, while it is tried again
  networkTrouble(path, text) {
    this.troubles.set(path, text);
    element("trouble").textContent = [...this.troubles.values()].join("\n");
    show("trouble", true);
    this.showProgress();
    if (tests()) tests().message(text);
  },
  networkBack(path) {
    if (!this.troubles.delete(path)) return;
    element("trouble").textContent = [...this.troubles.values()].join("\n");
    show("trouble", this.troubles.size > 0);
    this.showProgress();
  },

  // The show is ready and waits for a click or a key (a test's page shows the prompt only now).
  askForGesture() {
    if (!this.unlocked && element("message").hidden) show("play", true);
  },

  // Within the click or key that lets sound start, as browsers ask.
  unlockSound() {
    if (this.unlocked) return;
    this.unlocked = true;
    performance.mark("kesu-sound-unlocked");
    KesuAudio.unlock();
    show("play", false);
  },

  runEnded(status) {
    this.ended = true;
    KesuAudio.stop();
    KesuControls.ended();
    KesuSession.ended();
    this.keepAwake(false);
    const report = benchMode ? this.benchTable.join("\n") : this.lastReport;
    element("reportText").textContent = report || "the show ended";
    if (status === 0) show("report", true);
    if (tests()) tests().ended(report, benchMode);
  },

  // A screenshot: a download as on any page.
  download(name, bytes) {
    if (tests() && tests().tookScreenshot(name, bytes)) return;
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([bytes], { type: "image/png" }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  },

  // The stage holds the controls too, so they work in the full screen; a phone is asked to turn
  // to landscape where the browser allows it.
  setFullscreen(on) {
    if (on && !document.fullscreenElement && document.fullscreenEnabled) {
      element("stage").requestFullscreen().then(() => {
        if (screen.orientation && screen.orientation.lock) screen.orientation.lock("landscape").catch(() => {});
      }, () => {});
    }
    if (!on && document.fullscreenElement) document.exitFullscreen().catch(() => {});
  },

  playerParts(parts) { KesuControls.setParts(parts); },

  // The program's state; the viewer's level is kept for the next visit.
  playerState(state) {
    this.waiting = state.waiting;
    this.showProgress();
    KesuControls.setState(state);
    KesuSession.setState(state, KesuControls.parts);
    if (testMode && tests()) tests().playerState(state);
    try {
      if (String(state.volume) !== localStorage.getItem(volumeKey)) localStorage.setItem(volumeKey, String(state.volume));
    } catch (e) { /* storage refused: the level is not kept */ }
  },

  // The screen kept on while the show is on screen, paused or not (the Screen Wake Lock); the
  // browser lets the lock go when the page is hidden, so it is taken again when it comes back.
  awake: false,
  wakeLock: null,
  keepAwake(on) {
    this.awake = on;
    if (on) this.takeWakeLock();
    else if (this.wakeLock) {
      this.wakeLock.release().catch(() => {});
      this.wakeLock = null;
    }
  },
  takeWakeLock() {
    if (!navigator.wakeLock || document.visibilityState !== "visible" || (this.wakeLock && !this.wakeLock.released)) return;
    navigator.wakeLock.request("screen").then((lock) => {
      if (this.awake) this.wakeLock = lock;
      else lock.release().catch(() => {});
    }, () => {});
  },
};

const volumeKey = "kesu-tamrick-volume";

// The level the viewer left, 0 to 100; null when none was kept.
function keptVolume() {
  let kept = null;
  try { kept = localStorage.getItem(volumeKey); } catch (e) { return null; }
  return kept !== null && /^(100|[1-9]?[0-9])$/.test(kept) ? kept : null;
}

// The program's arguments, from the address.
function programArguments() {
  const args = [];
  const from = params.get("from");
  if (from !== null) args.push("--from", from);
  if (params.get("loop") === "1") args.push("--loop");
  if (params.get("pause") === "1") args.push("--paused");
  if (benchMode) args.push("--bench");
  const volume = keptVolume();
  if (volume !== null) args.push("--volume", volume);
  return args;
}

function megabytes(bytes) { return (bytes / 1048576).toFixed(1) + " MB"; }

// A file with the bytes arrived so far reported as they come, as they travel. A file whose
// transfer breaks off or arrives short is refused by name.
// A trouble of the network's (no answer, a transfer broken off or cut short) is marked to be
// tried again; what the host answers (a status, a file that does not unpack) is not.
function networkTrouble(text) {
  const problem = new Error(text);
  problem.again = true;
  return problem;
}

async function fetchCounting(url, counter) {
  let response;
  try {
    response = await fetch(url);
  } catch (problem) {
    throw networkTrouble(url + ": no answer (" + (problem.message || problem) + ")");
  }
  if (!response.ok) throw new Error(url + ": " + response.status + " " + response.statusText);
  // A host that sends the file with its own encoding counts the bytes on the wire, which the
  // page does not see; the stream then gives the unpacked ones.
  const encoded = response.headers.get("Content-Encoding");
  const total = encoded ? 0 : Number(response.headers.get("Content-Length")) || 0;
  const reader = response.body.getReader();
  const chunks = [];
  let length = 0;
  for (;;) {
    let part;
    try {
      part = await reader.read();
    } catch (problem) {
      counter.arrived -= length;
      counter.update();
      throw networkTrouble(url + ": the transfer broke off after " + length + " bytes (" + (problem.message || problem) + ")");
    }
    if (part.done) break;
    chunks.push(part.value);
    length += part.value.length;
    counter.arrived += part.value.length;
    counter.update();
  }
  if (total && length !== total) {
    counter.arrived -= length;
    counter.update();
    throw networkTrouble(url + ": the transfer was cut short: " + length + " of " + total + " bytes came");
  }
  const bytes = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
  if (!servedByWorker) unkept.set(url, bytes);
  return bytes.buffer;
}

// The service worker (sw.js) keeps the files as they pass; on a first visit the page is not yet
// its, so the page keeps what it fetched itself once everything is in, and the page's own
// files. An older build's files leave the cache then.
const workers = "serviceWorker" in navigator && typeof caches !== "undefined";
const digestNamed = /\.[0-9a-f]{12}\./;
const servedByWorker = workers && navigator.serviceWorker.controller !== null;
const unkept = new Map();
if (workers) navigator.serviceWorker.register("sw.js").catch(() => {});

async function keepForLater(listName) {
  if (!workers) return;
  try {
    const cache = await caches.open("kesu-tamrick");
    for (const [url, bytes] of unkept) await cache.put(url, new Response(bytes));
    unkept.clear();
    const own = [...document.scripts].map((script) => script.src).filter((src) => digestNamed.test(src));
    if (!servedByWorker) await cache.addAll([location.pathname, listName, ...own, ...(testMode ? ["testHooks.js"] : [])]);
    const current = new Set([listName, KesuFiles.list.program.wasm.path, KesuFiles.list.program.script.path,
                             ...Object.values(KesuFiles.list.files).map((file) => file.path)]
                            .map((path) => new URL(path, location.href).pathname));
    for (const src of own) current.add(new URL(src).pathname);
    for (const request of await cache.keys()) {
      const path = new URL(request.url).pathname;
      if (digestNamed.test(path) && !current.has(path)) await cache.delete(request);
    }
  } catch (problem) { /* a browser that keeps nothing plays from the network next time */ }
}

// A build other than the one the last visit played: the page says so.
function newBuildNotice(listName) {
  const key = "kesu-tamrick-build";
  try {
    const last = localStorage.getItem(key);
    localStorage.setItem(key, listName);
    if (last === null || last === listName) return;
  } catch (problem) { return; }
  element("notice").textContent = "A new version of the show was downloaded.";
  show("notice", true);
  if (tests()) tests().notice(element("notice").textContent);
}

// Scenes and the program travel packed with gzip, and the page unpacks them. A host that
// compresses them again on the way (or sends them with a gzip encoding) has the browser unpack
// that layer: gzip's first two bytes tell whether the page still has to.
async function unpacked(url, bytes) {
  const head = new Uint8Array(bytes, 0, Math.min(2, bytes.byteLength));
  if (head.length < 2 || head[0] !== 0x1f || head[1] !== 0x8b) return bytes;
  try {
    return await new Response(new Blob([bytes]).stream().pipeThrough(new DecompressionStream("gzip"))).arrayBuffer();
  } catch (problem) {
    throw new Error(url + ": the file does not unpack: its gzip data is damaged");
  }
}

// The pack's files as kesu-files.json lists them: fetched in the order the show needs them, a
// few at a time, and written where the program reads them as they come; the program is told
// how many of its loading's stages are complete (KesuPage.stagesArrived).
const dataFolder = "/kesu-tamrick/data";
const KesuFiles = {
  list: null,
  arrived: new Map(),     // name: its bytes, until the program's file system takes them
  written: new Set(),
  writable: false,        // the program's file system is up
  failed: false,

  order() {
    const names = [this.list.music, this.list.waitScreen];
    for (const stage of this.list.stages) names.push(...stage.files);
    return [...new Set(names)];
  },

  bytes() {
    let total = this.list.program.wasm.bytes + this.list.program.script.bytes;
    for (const name of this.order()) total += this.list.files[name].bytes;
    return total;
  },

  has(name) { return this.arrived.has(name) || this.written.has(name); },

  take(name, bytes) {
    this.arrived.set(name, new Uint8Array(bytes));
    if (this.writable) this.write();
  },

  // Every file arrived so far into the program's file system, and the stages counted.
  write() {
    this.writable = true;
    for (const [name, bytes] of this.arrived) {
      Module.FS_createDataFile(dataFolder, name, bytes, true, false, true);
      this.written.add(name);
    }
    this.arrived.clear();
    let complete = 0;
    while (complete < this.list.stages.length &&
           this.list.stages[complete].files.every((name) => this.written.has(name)))
      ++complete;
    KesuPage.stagesArrived = complete;
  },
};

// Fetches the files in order, `lanes` at a time; each comes to taken(name, bytes).
async function fetchInOrder(names, counter, taken, lanes) {
  let next = 0;
  async function lane() {
    while (next < names.length && !KesuFiles.failed) {
      const name = names[next++];
      const path = KesuFiles.list.files[name].path;
      taken(name, await fetchAgain(path, counter));
    }
  }
  await Promise.all(Array.from({ length: lanes }, lane));
}

// A file fetched and unpacked; while the network fails it, the page says which file it could
// not get and tries again, a second later, then up to eight seconds apart, without a reload.
async function fetchAgain(path, counter) {
  for (let attempt = 0; ; ++attempt) {
    try {
      const bytes = await unpacked(path, await fetchCounting(path, counter));
      KesuPage.networkBack(path);
      return bytes;
    } catch (problem) {
      if (!problem.again || KesuFiles.failed) throw problem;
      const wait = Math.min(1000 * 2 ** attempt, 8000);
      KesuPage.networkTrouble(path, problem.message + "; trying again in " + wait / 1000 + " s");
      await new Promise((resolve) => setTimeout(resolve, wait));
    }
  }
}

function loadScript(src) {
  return new Promise((resolve, reject) => {
    const script = document.createElement("script");
    script.src = src;
    script.onload = resolve;
    script.onerror = () => reject(new Error(src + " could not be loaded"));
    document.body.appendChild(script);
  });
}

function missingFeatures() {
  const missing = [];
  const probe = document.createElement("canvas");
  if (!probe.getContext("webgl2")) missing.push("WebGL 2");
  if (typeof AudioContext === "undefined" || typeof OfflineAudioContext === "undefined") missing.push("Web Audio");
  if (typeof DecompressionStream === "undefined") missing.push("DecompressionStream");
  return missing;
}

async function start() {
  if (testMode) {
    await loadScript("testHooks.js");
    tests().started();
  }
  const missing = missingFeatures();
  if (missing.length) {
    KesuPage.message("This browser has no " + missing.join(" and no ") +
                     ", which the demo needs. A recent Chromium, Firefox or Safari has " +
                     (missing.length > 1 ? "them all." : "it."));
    return;
  }
  element("canvas").addEventListener("webglcontextlost", (event) => {
    event.preventDefault();
    const now = KesuAudio.heard();
    const at = now ? now.seconds.toFixed(2) : "0";
    KesuPage.message("The browser took the picture's WebGL context away; starting again at " + at + " s.");
    const again = new URLSearchParams(location.search);
    again.set("from", at);
    setTimeout(() => { location.search = again.toString(); }, 1500);
  });
  const counter = {
    arrived: 0,
    expected: 1,
    update() {
      element("bar").max = Math.max(this.expected, this.arrived, 1);
      element("bar").value = this.arrived;
      element("bytes").textContent = megabytes(this.arrived) + " of " + megabytes(Math.max(this.expected, this.arrived));
    },
  };
  let wasm, script;
  const failed = (problem) => {
    if (KesuFiles.failed) return;
    KesuFiles.failed = true;
    KesuPage.message(String(problem.message || problem));
  };
  const listName = document.querySelector('meta[name="kesu-files"]').content;
  try {
    const response = await fetch(listName);
    if (!response.ok) throw new Error(listName + ": " + response.status + " " + response.statusText);
    KesuFiles.list = await response.json();
    newBuildNotice(listName);
    counter.expected = KesuFiles.bytes();
    counter.update();
    const program = KesuFiles.list.program;
    // The program and the music first, with the wait screen and the first part's files beside
    // them; then each part's files in turn while the show plays.
    const programArrived = Promise.all([fetchAgain(program.wasm.path, counter), fetchAgain(program.script.path, counter)]);
    // The music is decoded as soon as it is in, while the rest arrives.
    const take = (name, bytes) => {
      if (name === KesuFiles.list.music) KesuAudio.predecode(bytes, Number(params.get("from")) || 0);
      KesuFiles.take(name, bytes);
    };
    const names = KesuFiles.order();
    const first = [KesuFiles.list.music, KesuFiles.list.waitScreen, ...KesuFiles.list.stages[0].files];
    // The first files all at once; the rest two at a time, in order. From the service worker's
    // cache (a page it controls: a visit after the first), the rest waits for the first frame,
    // which it would only slow down: the rest comes in well before its parts begin. A start
    // further on (?from=) and a bench need it before their first frame.
    const cached = navigator.serviceWorker && navigator.serviceWorker.controller && params.get("from") === null &&
      !benchMode;
    const filesArrived = fetchInOrder(names.filter((name) => first.includes(name)), counter, take, first.length)
      .then(() => cached && showStarted)
      .then(() => fetchInOrder(names.filter((name) => !first.includes(name)), counter, take, 2));
    filesArrived.then(() => keepForLater(listName), failed);
    // The program starts as soon as it is in, and waits for the music and the wait screen.
    [wasm, script] = await programArrived;
  } catch (problem) {
    failed(problem);
  }
  if (KesuFiles.failed) return;
  window.Module = {
    canvas: element("canvas"),
    arguments: programArguments(),
    wasmBinary: wasm,
    preRun: [() => {
      Module.FS_createPath("/", dataFolder.slice(1), true, true);
      KesuFiles.write();
      if (tests()) tests().programEnvironment(ENV);
    }],
    print(text) {
      console.log(text);
      if (text.includes(" frames in ")) KesuPage.lastReport = text;
      if (benchMode && (KesuPage.benchTable.length || text.startsWith("kesu bench:"))) KesuPage.benchTable.push(text);
      if (text.startsWith("kesu: playing")) onPlaying();
    },
    printErr(text) { console.warn(text); },
    onAbort(what) { KesuPage.message("The demo stopped: " + what); },
    setStatus() {},
  };
  // A test shows the prompt only once the program asks for it, behind it the wait screen.
  show("play", !testMode && !benchMode && !KesuPage.unlocked);
  await loadScript(URL.createObjectURL(new Blob([script], { type: "text/javascript" })));
  if (benchMode || (tests() && !tests().needsGesture())) KesuPage.unlockSound();
}

// The show's first frame is drawn in the next animation frame, after this callback's.
let showStartedNow;
const showStarted = new Promise((resolve) => { showStartedNow = resolve; });
function onPlaying() {
  KesuPage.playing = true;
  showStartedNow();
  setTimeout(() => show("notice", false), 5000);
  KesuPage.showProgress();
  KesuControls.started();
  KesuSession.started();
  requestAnimationFrame(() => setTimeout(() => performance.mark("kesu-first-frame"), 0));
  if (tests()) tests().playing();
}

element("again").addEventListener("click", () => location.reload());
// A click anywhere lets the sound out, during the loading too (the show then starts once it
// is loaded); a key does once the program takes keys, which keeps it from being taken for
// anything else.
// Each gesture also resumes a context a browser held suspended (one made before any gesture);
// some browsers let sound out only at a touch's release, so the release counts too.
window.addEventListener("pointerdown", () => { KesuPage.unlockSound(); KesuAudio.resume(); });
window.addEventListener("keydown", () => KesuAudio.resume());
window.addEventListener("touchend", () => { KesuPage.unlockSound(); KesuAudio.resume(); });
document.addEventListener("visibilitychange", () => { if (KesuPage.awake) KesuPage.takeWakeLock(); });
start();
