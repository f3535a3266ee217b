// The music in the page, through Web Audio: decoded by the browser at 44100 Hz, played from
// the second asked, paused and resumed, and heard where the context's output timestamp says.
// The program's sound output (platform/sound/audioWeb.cpp) drives it.
"use strict";

// The output timestamp counts the output's latency already.
const KesuAudio = {
  context: null,
  buffer: null,
  source: null,
  offset: 0,          // seconds of music at startContext, or where it stands while not playing
  startContext: 0,    // the context's time at which offset is heard
  playing: false,
  wanted: null,       // a start asked for before the music was decoded or the sound unlocked
  gain: 1,            // the level's gain, the program's (audioSetVolume)
  gainNode: null,

  open() { return typeof AudioContext !== "undefined"; },

  // A context the browser held suspended (it came before any gesture) goes on at the next one.
  resume() {
    if (this.context && this.context.state === "suspended") this.context.resume();
  },

  unlock() {
    if (!this.context) {
      this.context = new AudioContext({ sampleRate: 44100 });
      this.gainNode = this.context.createGain();
      this.gainNode.gain.value = this.gain;
      this.gainNode.connect(this.context.destination);
    }
    this.context.resume();
    if (this.wanted) this.start(this.wanted.seconds, this.wanted.paused);
  },

  // The page starts the decode as the file arrives; the program's hand-over of the same file
  // then waits for it. The browser decodes some 150 kB a tenth of a second: the file's first
  // sixteenth (its first 11 s) is decoded first, and the show may start on it; the whole
  // follows and takes over where the head stands, sample for sample (the two decodes agree
  // on every sample the head holds but its last frames, which it never plays).
  early: null,
  head: null,          // the music's first seconds, until the whole is decoded
  headUsable: 0,       // the seconds of it that are played: all but the last second
  predecode(bytes) {
    const decoder = () => new OfflineAudioContext(2, 1, 44100);
    const head = decoder().decodeAudioData(bytes.slice(0, Math.floor(bytes.byteLength / 16))).then(
      (buffer) => { if (!this.buffer) this.takeHead(buffer); }, () => {});
    const whole = bytes.slice(0);
    this.early = { length: bytes.byteLength, decoded: head.then(() => decoder().decodeAudioData(whole)) };
  },

  takeHead(buffer) {
    this.head = buffer;
    this.headUsable = Math.max(0, buffer.duration - 1);
    if (this.wanted) this.start(this.wanted.seconds, this.wanted.paused);
  },

  // The music decoded far enough to start on.
  playable() { return this.buffer !== null || this.head !== null; },

  // An offline context decodes without waiting for the gesture a playing one needs.
  decode(path, bytes) {
    const early = this.early && this.early.length === bytes.byteLength ? this.early.decoded : null;
    this.early = null;
    (early || new OfflineAudioContext(2, 1, 44100).decodeAudioData(bytes.buffer)).then((buffer) => {
      this.buffer = buffer;
      this.head = null;
      this.takeOver();
      if (this.wanted) this.start(this.wanted.seconds, this.wanted.paused);
    }, (problem) => {
      KesuPage.message(path + ": the browser cannot decode the music (" + (problem && problem.message || problem) + ")");
    });
  },

  // The whole takes over from the head a tenth of a second ahead, where the head then stands.
  takeOver() {
    if (!this.playing || !this.source || this.source.buffer === this.buffer) return;
    const at = this.context.currentTime + 0.1;
    const position = this.offset + (at - this.startContext);
    if (position >= this.buffer.duration) return;
    const source = this.context.createBufferSource();
    source.buffer = this.buffer;
    source.connect(this.gainNode);
    source.start(at, position);
    try { this.source.stop(at); } catch (e) { /* already ended */ }
    const old = this.source;
    old.onended = () => old.disconnect();
    this.source = source;
  },

  start(seconds, paused) {
    this.stopSource();
    this.offset = seconds;
    this.playing = false;
    // Past the head's end the start waits for the whole.
    const buffer = this.buffer || (this.head && seconds < this.headUsable ? this.head : null);
    if (!buffer || !this.context) {
      this.wanted = { seconds, paused };
      return;
    }
    this.wanted = null;
    if (paused) return;
    // Two render quanta ahead, so the start falls on a known time of the context.
    this.startContext = this.context.currentTime + 0.01;
    this.source = this.context.createBufferSource();
    this.source.buffer = buffer;
    this.source.connect(this.gainNode);
    if (seconds < buffer.duration) this.source.start(this.startContext, seconds);
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

  setGain(gain) {
    this.gain = gain;
    if (this.gainNode) this.gainNode.gain.setValueAtTime(gain, this.context.currentTime);
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
  // The output timestamp, where the browser's is sound: judged once, when the context has run
  // a tenth of a second, by whether it names a moment already past on the page's performance
  // clock. WebKit's (2.50) lies ahead of now by about the context's own time and runs at twice
  // its rate. Until judged, and where it fails, the context's time stands in (the two agree
  // within a few milliseconds where the stamp is sound).
  stampsTrusted: null,
  trustedStamp() {
    if (this.stampsTrusted === false || !this.context.getOutputTimestamp) return null;
    const stamp = this.context.getOutputTimestamp();
    if (!(stamp.performanceTime > 0)) return null;
    if (this.stampsTrusted === null) {
      if (this.context.currentTime < 0.1) return null;
      this.stampsTrusted = stamp.performanceTime - performance.now() <= 10;
      if (!this.stampsTrusted) return null;
    }
    return stamp;
  },

  heard() {
    if (!this.context || !this.playable()) return null;
    // The head played to its end before the whole was decoded: the music waits there for it.
    if (this.playing && !this.buffer && this.context.currentTime - this.startContext + this.offset >= this.headUsable) {
      this.stopSource();
      this.playing = false;
      this.offset = this.headUsable;
      this.wanted = { seconds: this.headUsable, paused: false };
    }
    const nowSeconds = performance.now() / 1000;
    if (!this.playing) return { seconds: this.offset, performanceSeconds: nowSeconds, playing: false };
    const stamp = this.trustedStamp();
    // Without a sound timestamp, the context's time less the latencies it reports, now.
    let contextTime = this.context.currentTime - (this.context.baseLatency || 0) - (this.context.outputLatency || 0);
    let at = nowSeconds;
    if (stamp) {
      contextTime = stamp.contextTime;
      at = stamp.performanceTime / 1000;
    }
    if (contextTime < this.startContext || this.context.state !== "running")
      return { seconds: this.offset, performanceSeconds: at, playing: false };
    return { seconds: this.offset + (contextTime - this.startContext), performanceSeconds: at, playing: true };
  },
};
