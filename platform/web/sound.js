// The music in the page, through Web Audio: decoded by the browser at 44100 Hz, played from
// the second asked, paused and resumed, and heard where the context's output timestamp says.
// The program's sound output (platform/sound/audioWeb.cpp) drives it.
"use strict";

// An offline context decodes without waiting for the gesture a playing one needs.
function decodeMusic(bytes) { return new OfflineAudioContext(2, 1, 44100).decodeAudioData(bytes); }

// MPEG-1 layer III frames at 44100 Hz, as the pack's music is: a frame's length in bytes from
// its header at `at`, 0 where none starts there.
const FRAME_KBITS = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0];
function frameBytes(file, at) {
  if (at + 4 > file.length || file[at] !== 0xff || (file[at + 1] & 0xfe) !== 0xfa) return 0;
  const kbits = FRAME_KBITS[file[at + 2] >> 4];
  if (!kbits || ((file[at + 2] >> 2) & 3) !== 0) return 0;
  return Math.floor(144000 * kbits / 44100) + ((file[at + 2] >> 1) & 1);
}
// The first frame at or after `from` that two more follow; the file's end where none does.
function frameStartFrom(file, from) {
  for (let at = Math.max(0, from); at + 4 <= file.length; ++at) {
    const first = frameBytes(file, at);
    const second = first && frameBytes(file, at + first);
    if (second && frameBytes(file, at + first + second)) return at;
  }
  return file.length;
}
// The samples the whole decode holds, from the encoder's gapless header (an "Info" or "Xing"
// tag in the first frame with its frame count, and the LAME tag's delay and padding); 0
// without one.
function gaplessLength(file) {
  const at = frameStartFrom(file, 0);
  const tag = at + 36;   // after a stereo frame's header and side information
  const name = String.fromCharCode(...file.subarray(tag, tag + 4));
  if (name !== "Info" && name !== "Xing") return 0;
  const flags = file[tag + 7];
  if (!(flags & 1)) return 0;
  const frames = ((file[tag + 8] << 24) | (file[tag + 9] << 16) | (file[tag + 10] << 8) | file[tag + 11]) >>> 0;
  const lame = tag + 12 + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
  if (String.fromCharCode(...file.subarray(lame, lame + 4)) !== "LAME") return 0;
  const delay = (file[lame + 21] << 4) | (file[lame + 22] >> 4);
  const padding = ((file[lame + 22] & 15) << 8) | file[lame + 23];
  return frames * 1152 - delay - padding;
}

// Where `probe` first stands in `samples`, exactly; -1 where it does not.
function findSamples(samples, probe, end) {
  search: for (let at = 0; at + probe.length <= end; ++at) {
    if (samples[at] !== probe[0]) continue;
    for (let k = 1; k < probe.length; ++k) if (samples[at + k] !== probe[k]) continue search;
    return at;
  }
  return -1;
}

// The whole music from the file in sixteen pieces, the first already decoded; null where the
// pieces cannot be placed exactly.
async function decodeInPieces(bytes, first, lanes) {
  const file = new Uint8Array(bytes);
  const length = gaplessLength(file);
  if (!length) return null;
  const PIECES = 16, LEAD = 16384;   // bytes decoded before each cut: some 0.8 s
  const SEAM = 4608;                 // a piece gives way this many samples before its end
  // `lanes` pieces decoded side by side, each handed over on its own.
  const decoded = [];
  let next = 1;
  const lane = async () => {
    for (let k = next++; k < PIECES; k = next++) {
      const begin = frameStartFrom(file, Math.floor(k * file.length / PIECES) - LEAD);
      const end = k + 1 < PIECES ? frameStartFrom(file, Math.floor((k + 1) * file.length / PIECES)) : file.length;
      decoded[k - 1] = await decodeMusic(bytes.slice(begin, end));
    }
  };
  await Promise.all(Array.from({ length: lanes }, lane));
  const pieces = [{ buffer: first, at: 0 }];
  for (let k = 1; k < PIECES; ++k) {
    const buffer = decoded[k - 1];
    const before = pieces[k - 1];
    // The piece before's samples around the seam, found in this one's lead, in both channels.
    const seam = before.buffer.length - SEAM;
    const probe = before.buffer.getChannelData(0).subarray(seam - 1024, seam + 1024);
    if (seam < 1024 || probe.every((value) => value === probe[0])) return null;
    const found = findSamples(buffer.getChannelData(0), probe, Math.min(buffer.length, 4 * SEAM + 65536));
    if (found < 0) return null;
    const right = before.buffer.getChannelData(1).subarray(seam - 1024, seam + 1024);
    const mine = buffer.getChannelData(1).subarray(found, found + 2048);
    if (!right.every((value, k) => value === mine[k])) return null;
    pieces.push({ buffer, at: before.at + seam - 1024 - found });
  }
  const last = pieces[PIECES - 1];
  if (last.at + last.buffer.length < length) return null;
  const whole = new AudioBuffer({ numberOfChannels: 2, length, sampleRate: 44100 });
  for (let k = 0; k < PIECES; ++k) {
    const { buffer, at } = pieces[k];
    const from = k ? pieces[k - 1].at + pieces[k - 1].buffer.length - SEAM - at : 0;
    const to = Math.min(k + 1 < PIECES ? buffer.length - SEAM : buffer.length, length - at);
    for (let channel = 0; channel < 2; ++channel)
      whole.copyToChannel(buffer.getChannelData(channel).subarray(from, to), channel, at + from);
    await new Promise((resolve) => setTimeout(resolve, 0));
  }
  return whole;
}

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
  // then waits for it. The browser decodes some 150 kB a tenth of a second, and hands each
  // decode over on the page's thread in one piece: the whole music at once would stop the
  // show for a quarter of a second. So the file is decoded in sixteen pieces cut on frame
  // boundaries, each from some frames before its cut, so that its first samples are whole. The
  // first piece (the first 11 s) is the head the show may start on; each later one is placed
  // where its first samples, past those frames, equal the piece before's exactly, and the
  // whole, as long as the file's gapless header says, is filled from them a piece a task.
  // Where a piece does not agree exactly (Firefox's decoder), or the file has no such header,
  // the whole file is decoded at once instead. The whole takes over where the head stands,
  // sample for sample.
  early: null,
  head: null,          // the music's first seconds, until the whole is decoded
  headUsable: 0,       // the seconds of it that are played: all but the last second
  decodedIn: null,     // "pieces" or "one piece", once the whole is
  // The rest is decoded once the music is asked to start: a piece at a time beside a show that
  // plays on the head, all at once for one that waits for the whole (a start past the head),
  // and before that not at all, so the first frame comes sooner. A page that starts past the
  // head (startsAt, its ?from=) decodes it all at once from the start.
  startAsked: null,
  startAskedNow: null,
  waitsForWhole() { return this.wanted !== null && !(this.head && this.wanted.seconds < this.headUsable); },
  predecode(bytes, startsAt) {
    this.startAsked = new Promise((resolve) => { this.startAskedNow = resolve; });
    // Cut on a frame where frames are found.
    const sixteenth = Math.floor(bytes.byteLength / 16);
    const cut = frameStartFrom(new Uint8Array(bytes), sixteenth);
    const head = decodeMusic(bytes.slice(0, cut < bytes.byteLength ? cut : sixteenth)).then(
      (buffer) => { if (!this.buffer) this.takeHead(buffer); return buffer; });
    const whole = bytes.slice(0);
    this.early = {
      length: bytes.byteLength,
      decoded: head.then((first) => {
        const later = startsAt >= this.headUsable;
        return (later ? Promise.resolve() : this.startAsked).then(
          () => decodeInPieces(whole, first, later || this.waitsForWhole() ? 15 : 1));
      })
        .catch(() => null)
        .then((buffer) => {
          this.decodedIn = buffer ? "pieces" : "one piece";
          return buffer || decodeMusic(whole);
        }),
    };
  },

  takeHead(buffer) {
    this.head = buffer;
    this.headUsable = Math.max(0, buffer.duration - 1);
    if (this.wanted) this.start(this.wanted.seconds, this.wanted.paused);
  },

  // The music decoded far enough to start on.
  playable() { return this.buffer !== null || this.head !== null; },

  decode(path, bytes) {
    const early = this.early && this.early.length === bytes.byteLength ? this.early.decoded : null;
    this.early = null;
    (early || decodeMusic(bytes.buffer)).then((buffer) => {
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
    if (this.startAskedNow) this.startAskedNow();
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
