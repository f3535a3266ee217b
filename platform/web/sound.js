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
    this.source.connect(this.gainNode);
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
