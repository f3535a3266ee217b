// The page around the demo: it checks that the browser has WebGL 2 and Web Audio, fetches the
// program and the data pack with their progress shown, hands the program its arguments from
// the address (?from=SECONDS, ?loop=1, ?pause=1, ?bench=1), and answers what the program asks of the
// page (KesuPage) and of Web Audio (KesuAudio). In test mode (?test=...) it posts what the
// tests read (the screenshot, the frame log, the messages) to the server that serves it.
"use strict";

const params = new URLSearchParams(location.search);
const testMode = params.get("test") || "";
// The bench times the frames back to back, silent: nothing to click for.
const benchMode = params.get("bench") === "1";

function element(id) { return document.getElementById(id); }
function show(id, visible) { element(id).hidden = !visible; }

// What the tests read, posted to the server that serves the page.
function post(name, body) {
  if (!testMode) return Promise.resolve();
  return fetch("/upload/" + encodeURIComponent(name), { method: "POST", body }).catch(() => {});
}

const KesuPage = {
  unlocked: false,
  unlockedAt: 0,     // performance.now() at the gesture that let the sound out
  firstFrameAt: 0,   // ... and once the animation frame that drew the show's first frame was done
  ended: false,
  lastReport: "",
  benchTable: [],

  message(text) {
    const box = element("message");
    box.textContent = box.hidden ? text : box.textContent + "\n" + text;
    show("message", true);
    show("loading", false);
    show("play", false);
    post("message.txt", box.textContent);
  },

  soundUnlocked() { return this.unlocked; },

  // Within the click or key that lets sound start, as browsers ask.
  unlockSound() {
    if (this.unlocked) return;
    this.unlocked = true;
    this.unlockedAt = performance.now();
    KesuAudio.unlock();
    show("play", false);
  },

  runEnded(status) {
    this.ended = true;
    KesuAudio.stop();
    element("reportText").textContent = benchMode ? this.benchTable.join("\n") : this.lastReport || "the show ended";
    if (status === 0) show("report", true);
    if (testMode) {
      let log = "";
      try { log = FS.readFile("/clock.log", { encoding: "utf8" }); } catch (e) { log = ""; }
      post("clock.log", log).then(() => post(benchMode ? "bench.txt" : "report.txt",
                                              benchMode ? this.benchTable.join("\n") : this.lastReport));
    }
  },

  // A screenshot: a download as on any page, or for the picture tests a post.
  download(name, bytes) {
    if (testMode === "screenshot") {
      post(name, new Blob([bytes], { type: "image/png" }));
      return;
    }
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([bytes], { type: "image/png" }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  },

  setFullscreen(on) {
    if (on && !document.fullscreenElement) element("stage").requestFullscreen().catch(() => {});
    if (!on && document.fullscreenElement) document.exitFullscreen().catch(() => {});
  },
};

// The music: decoded by the browser at 44100 Hz, played from the second asked, and heard where
// the context's output timestamp says, which counts the output's latency already.
const KesuAudio = {
  context: null,
  buffer: null,
  source: null,
  offset: 0,          // seconds of music at startContext, or where it stands while not playing
  startContext: 0,    // the context's time at which offset is heard
  playing: false,
  wanted: null,       // a start asked for before the music was decoded or the sound unlocked

  open() { return typeof AudioContext !== "undefined"; },

  unlock() {
    if (!this.context) this.context = new AudioContext({ sampleRate: 44100 });
    this.context.resume();
    if (this.wanted) this.start(this.wanted.seconds, this.wanted.paused);
  },

  // An offline context decodes without waiting for the gesture a playing one needs.
  decode(path, bytes) {
    const decoder = new OfflineAudioContext(2, 1, 44100);
    decoder.decodeAudioData(bytes.buffer).then((buffer) => {
      this.buffer = buffer;
      if (this.wanted) this.start(this.wanted.seconds, this.wanted.paused);
    }, (problem) => {
      KesuPage.message(path + ": the browser cannot decode the music (" + (problem && problem.message || problem) + ")");
    });
  },

  start(seconds, paused) {
    this.stopSource();
    this.offset = seconds;
    this.playing = false;
    if (!this.buffer || !this.context) {
      this.wanted = { seconds, paused };
      return;
    }
    this.wanted = null;
    if (paused) return;
    // Two render quanta ahead, so the start falls on a known time of the context.
    this.startContext = this.context.currentTime + 0.01;
    this.source = this.context.createBufferSource();
    this.source.buffer = this.buffer;
    this.source.connect(this.context.destination);
    if (seconds < this.buffer.duration) this.source.start(this.startContext, seconds);
    this.playing = true;
  },

  pause(paused) {
    if (paused) {
      const now = this.heard();
      if (now) this.offset = now.seconds;
      this.stopSource();
      this.playing = false;
      if (this.wanted) this.wanted.paused = true;
    } else {
      this.start(this.offset, false);
    }
  },

  stop() {
    this.stopSource();
    this.playing = false;
    this.wanted = null;
  },

  stopSource() {
    if (!this.source) return;
    try { this.source.stop(); } catch (e) { /* never started: past the music's end */ }
    this.source.disconnect();
    this.source = null;
  },

  // { seconds, performanceSeconds, playing }: the music heard at that moment of the page's
  // performance clock; null before anything can be heard.
  heard() {
    if (!this.context || !this.buffer) return null;
    const nowSeconds = performance.now() / 1000;
    if (!this.playing) return { seconds: this.offset, performanceSeconds: nowSeconds, playing: false };
    const stamp = this.context.getOutputTimestamp ? this.context.getOutputTimestamp() : null;
    let contextTime = this.context.currentTime, at = nowSeconds;
    if (stamp && stamp.performanceTime > 0) {
      contextTime = stamp.contextTime;
      at = stamp.performanceTime / 1000;
    }
    if (contextTime < this.startContext || this.context.state !== "running")
      return { seconds: this.offset, performanceSeconds: at, playing: false };
    return { seconds: this.offset + (contextTime - this.startContext), performanceSeconds: at, playing: true };
  },
};

// The program's arguments, from the address.
function programArguments() {
  const args = [];
  const from = params.get("from");
  if (from !== null) args.push("--from", from);
  if (params.get("loop") === "1") args.push("--loop");
  if (params.get("pause") === "1") args.push("--paused");
  if (benchMode) args.push("--bench");
  return args;
}

function megabytes(bytes) { return (bytes / 1048576).toFixed(1) + " MB"; }

// A file with the bytes arrived so far reported as they come.
async function fetchCounting(url, counter) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(url + ": " + response.status + " " + response.statusText);
  const total = Number(response.headers.get("Content-Length")) || 0;
  counter.expected += total;
  const reader = response.body.getReader();
  const chunks = [];
  let length = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    chunks.push(value);
    length += value.length;
    counter.arrived += value.length;
    counter.update();
  }
  const bytes = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
  return bytes.buffer;
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
  return missing;
}

async function start() {
  if (testMode) {
    window.addEventListener("error", (event) => post("errors.txt", String(event.message)));
    window.addEventListener("unhandledrejection", (event) => post("errors.txt", String(event.reason)));
  }
  const missing = missingFeatures();
  if (missing.length) {
    KesuPage.message("This browser has no " + missing.join(" and no ") +
                     ", which the demo needs. A recent Chromium or Firefox has both.");
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
    expected: 0,
    update() {
      element("bar").max = Math.max(this.expected, 1);
      element("bar").value = this.arrived;
      element("bytes").textContent = megabytes(this.arrived) + " of " + megabytes(this.expected);
    },
  };
  let wasm, data;
  try {
    [wasm, data] = await Promise.all([fetchCounting("kesu.wasm", counter), fetchCounting("kesu.data", counter)]);
  } catch (problem) {
    KesuPage.message(String(problem.message || problem));
    return;
  }
  window.Module = {
    canvas: element("canvas"),
    arguments: programArguments(),
    wasmBinary: wasm,
    getPreloadedPackage: () => data,
    preRun: [() => { if (testMode) ENV.KESU_CLOCK_LOG = "/clock.log"; }],
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
  show("loading", false);
  show("play", !testMode && !benchMode && !KesuPage.unlocked);
  await loadScript("kesu-data.js");
  await loadScript("kesu.js");
  // In test mode the sound is let out without a gesture (the browser is started to allow it),
  // but for the test of the gestures themselves.
  if ((testMode && testMode !== "gesture") || benchMode) KesuPage.unlockSound();
}

// The tests' moments: a screenshot once the paused frame is shown, the end of a timed run.
// The show's first frame is drawn in the next animation frame, after this callback's.
function onPlaying() {
  requestAnimationFrame(() => setTimeout(() => { KesuPage.firstFrameAt = performance.now(); }, 0));
  if (testMode === "screenshot") {
    setTimeout(() => window.dispatchEvent(new KeyboardEvent("keydown", { key: "s" })), 500);
  } else if (testMode === "clock") {
    const seconds = Number(params.get("seconds") || 10);
    setTimeout(() => window.dispatchEvent(new KeyboardEvent("keydown", { key: "Escape" })), seconds * 1000);
  }
}

element("again").addEventListener("click", () => location.reload());
// A click anywhere lets the sound out, during the loading too (the show then starts once it
// is loaded); a key does once the program takes keys, which keeps it from being taken for
// anything else.
window.addEventListener("pointerdown", () => KesuPage.unlockSound());
start();
