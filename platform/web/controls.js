// How the page is steered by hand, beside the keys the program takes itself:
//  - the picture's place: never narrower than 4:3, letterboxed in the middle, the touch
//    controls beneath it when the page is taller;
//  - the mouse over the picture, handed to the program, which draws its own time bar as on the
//    desktop (the first click only lets the sound out);
//  - touch: a tap brings the controls or takes them away; a double tap in the left or right
//    third goes 5 s back or on, and further taps add up; the controls (play/pause, the time
//    bar with the parts marked, the time, mute, full screen) go 3 s after the last touch
//    while the show plays;
//  - the keys' help, where a keyboard is likely, for the first 5 s of the show and while H is
//    held.
// What the program is doing comes from it (KesuPage.playerState); what a control asks goes to
// it as a command (kesuCommand), in the program's own terms.
"use strict";

const KesuControls = {
  // The program's commands (PlatformCommand in platform/display/window.h).
  PLAY_PAUSE: 2, SEEK_TO: 3, SEEK_BY: 4, MUTE: 9, FULL_SCREEN: 10,

  state: null,          // the program's last state
  parts: [],
  playing: false,       // the program takes input
  shownUntil: 0,        // performance.now() until which the controls stay (while playing)
  dragging: null,       // { id, seconds } while a finger or the mouse drags along the time bar
  pendingTap: null,     // { at, third, controlsBefore }: the last tap, which a second may make a double tap
  seekRun: null,        // { third, at, seconds }: double taps adding up
  touches: new Set(),   // fingers down on the picture
  layoutAt: 0,          // when the picture last moved or changed size
  helpUntil: 0,
  helpHeld: false,      // H is held

  element(id) { return document.getElementById(id); },

  command(kind, value) {
    if (this.playing && typeof Module !== "undefined" && Module._kesuCommand) Module._kesuCommand(kind, value || 0);
  },

  // --- the picture's place ---------------------------------------------------------------

  layout() {
    const stage = this.element("stage"), canvas = this.element("canvas"), controls = this.element("controls");
    const width = stage.clientWidth, height = stage.clientHeight;
    // Narrower than 4:3, the picture fills the width at 4:3 in the middle.
    const pictureHeight = width / height < 4 / 3 ? width * 3 / 4 : height;
    const top = Math.floor((height - pictureHeight) / 2);
    canvas.style.top = top + "px";
    canvas.style.height = pictureHeight + "px";
    // Beneath the picture where there is room, else over its foot.
    const below = height - top - pictureHeight, controlsHeight = controls.offsetHeight || 88;
    controls.style.bottom = (below >= controlsHeight ? below - controlsHeight : below) + "px";
    this.element("help").style.bottom = (height - top - pictureHeight) + "px";
    this.layoutAt = performance.now();
  },

  // --- the program's state ---------------------------------------------------------------

  setParts(parts) {
    this.parts = parts;
    const marks = this.element("marks");
    marks.textContent = "";
    for (const part of parts) {
      const mark = document.createElement("div");
      mark.className = "mark";
      mark.style.left = (part.start / 173 * 100) + "%";
      mark.title = part.name;
      marks.appendChild(mark);
    }
  },

  setState(state) {
    this.state = state;
    const pause = this.element("playPause");
    pause.innerHTML = state.paused ? "&#9654;" : "&#10074;&#10074;";
    pause.setAttribute("aria-label", state.paused ? "Play" : "Pause");
    const mute = this.element("mute");
    mute.innerHTML = state.muted || state.volume === 0 ? "&#128263;" : "&#128266;";
    mute.setAttribute("aria-label", state.muted ? "Unmute" : "Mute");
    if (!this.dragging) this.showTime(state.seconds, state.timeText);
    // Paused, the controls stay; playing again, they go 3 s later.
    if (state.paused) this.shownUntil = Infinity;
    else if (this.shownUntil === Infinity) this.shownUntil = performance.now() + 3000;
  },

  showTime(seconds, text) {
    const share = Math.min(Math.max(seconds / ((this.state && this.state.length) || 173), 0), 1);
    this.element("progress").style.width = (share * 100) + "%";
    this.element("timeText").textContent = text;
    const timeline = this.element("timeline");
    timeline.setAttribute("aria-valuenow", seconds.toFixed(1));
    timeline.setAttribute("aria-valuetext", text);
    let part = "";
    for (const entry of this.parts) if (seconds >= entry.start) part = entry.name;
    this.element("partName").textContent = part;
  },

  // --- the controls ------------------------------------------------------------------------

  showControls(seconds) {
    this.element("controls").hidden = false;
    this.shownUntil = this.state && this.state.paused ? Infinity : performance.now() + seconds * 1000;
  },

  hideControls() {
    this.element("controls").hidden = true;
    this.shownUntil = 0;
  },

  controlsShown() { return !this.element("controls").hidden; },

  // Every animation frame: the controls and the help go when their time is up.
  tick() {
    const now = performance.now();
    if (this.controlsShown() && !this.dragging && now > this.shownUntil) this.hideControls();
    const help = this.element("help");
    const helpWanted = now < this.helpUntil || this.helpHeld;
    if (help.hidden === helpWanted) help.hidden = !helpWanted;
    requestAnimationFrame(() => this.tick());
  },

  timeAt(clientX) {
    const box = this.element("timeline").getBoundingClientRect();
    const share = Math.min(Math.max((clientX - box.left) / Math.max(box.width, 1), 0), 1);
    return share * ((this.state && this.state.length) || 173);
  },

  timeText(seconds) {
    if (typeof Module !== "undefined" && Module._kesuTimeText) return UTF8ToString(Module._kesuTimeText(seconds));
    return "";
  },

  // A drag along the time bar shows the time under the finger and lands when it lifts; one
  // that leaves the bar lands at its nearer end.
  timelineDown(event) {
    if (!this.playing || this.dragging) return;
    event.preventDefault();
    event.stopPropagation();
    this.element("timeline").setPointerCapture(event.pointerId);
    this.dragging = { id: event.pointerId, seconds: this.timeAt(event.clientX) };
    this.showTime(this.dragging.seconds, this.timeText(this.dragging.seconds));
    this.showControls(3);
  },

  timelineMove(event) {
    if (!this.dragging || event.pointerId !== this.dragging.id) return;
    this.dragging.seconds = this.timeAt(event.clientX);
    this.showTime(this.dragging.seconds, this.timeText(this.dragging.seconds));
  },

  timelineUp(event) {
    if (!this.dragging || event.pointerId !== this.dragging.id) return;
    const seconds = this.timeAt(event.clientX);
    this.dragging = null;
    this.command(this.SEEK_TO, seconds);
    this.showControls(3);
  },

  // --- touch on the picture ------------------------------------------------------------------

  third(clientX) {
    const box = this.element("canvas").getBoundingClientRect();
    const share = (clientX - box.left) / Math.max(box.width, 1);
    return share < 1 / 3 ? -1 : share > 2 / 3 ? 1 : 0;
  },

  // A tap shows or hides the controls at once. A second tap on the same side that touches
  // within 300 ms of the first lifting makes it a double tap: the first's change to the
  // controls is taken back and the show goes 5 s back or on; in the middle a double tap is the
  // one tap already taken.
  tap(event, touchedAt) {
    const now = event.timeStamp;
    const third = this.third(event.clientX);
    if (this.seekRun && touchedAt - this.seekRun.at < 300 && third === this.seekRun.third) {
      this.seekRun.at = now;
      this.seekRun.seconds += 5;
      this.seekBy(third, this.seekRun.seconds);
      return;
    }
    this.seekRun = null;
    const first = this.pendingTap;
    this.pendingTap = null;
    if (first && touchedAt - first.at < 300 && third === first.third) {
      if (third === 0) return;
      if (this.controlsShown() !== first.controlsBefore) this.toggleControls();
      this.seekRun = { third, at: now, seconds: 5 };
      this.seekBy(third, 5);
      return;
    }
    this.pendingTap = { at: now, third, controlsBefore: this.controlsShown() };
    this.toggleControls();
  },

  // One more 5 s on the side tapped; the hint shows the run's total.
  seekBy(third, total) {
    this.command(this.SEEK_BY, third * 5);
    const hint = this.element("seekHint");
    hint.textContent = (third < 0 ? "\u2212" : "+") + total + " s";
    const box = this.element("canvas").getBoundingClientRect();
    hint.style.left = (third < 0 ? box.left + box.width / 6 : box.left + box.width * 5 / 6) - 30 + "px";
    hint.hidden = false;
    clearTimeout(this.hintTimer);
    this.hintTimer = setTimeout(() => { hint.hidden = true; }, 700);
  },

  toggleControls() {
    if (this.controlsShown()) this.hideControls();
    else this.showControls(3);
  },

  pictureDown(event) {
    if (event.pointerType !== "touch") return this.mouse(1, event);
    this.touches.add(event.pointerId);
    // Two fingers at once are no tap: each is let go without one.
    // Times are the events' own: a seek keeps the page busy for a moment, and the taps that come
    // meanwhile are taken late but counted from when they came.
    this.touchStart = this.touches.size === 1 ? { id: event.pointerId, x: event.clientX, y: event.clientY,
                                                 at: event.timeStamp } : null;
  },

  pictureUp(event) {
    if (event.pointerType !== "touch") return this.mouse(2, event);
    this.touches.delete(event.pointerId);
    const start = this.touchStart;
    if (!start || start.id !== event.pointerId) return;
    this.touchStart = null;
    const moved = Math.hypot(event.clientX - start.x, event.clientY - start.y);
    if (!this.playing || moved > 12 || event.timeStamp - start.at > 600) return;
    this.tap(event, start.at);
  },

  // --- the mouse, the program's ------------------------------------------------------------

  mouse(kind, event) {
    // Until the show plays, a click only lets the sound out (the page's own listener).
    if (!this.playing || typeof Module === "undefined" || !Module._kesuPointer) return;
    if (event.pointerType === "touch") return;
    const box = this.element("canvas").getBoundingClientRect();
    // A move that comes as the picture moved or changed size under a still pointer only places it.
    const placed = kind === 0 && performance.now() - this.layoutAt < 300;
    Module._kesuPointer(kind, event.clientX - box.left, event.clientY - box.top, event.button + 1, placed ? 1 : 0,
                        event.timeStamp);
  },

  // --- the help ------------------------------------------------------------------------------

  keyboardLikely() { return window.matchMedia("(pointer: fine)").matches; },

  // --- start -------------------------------------------------------------------------------

  // The show plays: the program takes input from now on.
  started() {
    this.playing = true;
    if (this.keyboardLikely()) this.helpUntil = performance.now() + 5000;
  },

  ended() {
    this.playing = false;
    this.hideControls();
    this.helpUntil = 0;
  },

  install() {
    const canvas = this.element("canvas");
    canvas.addEventListener("pointerdown", (event) => this.pictureDown(event));
    canvas.addEventListener("pointerup", (event) => this.pictureUp(event));
    canvas.addEventListener("pointercancel", (event) => { this.touches.delete(event.pointerId); this.touchStart = null; });
    canvas.addEventListener("pointermove", (event) => this.mouse(0, event));
    canvas.addEventListener("dblclick", (event) => event.preventDefault());
    const timeline = this.element("timeline");
    timeline.addEventListener("pointerdown", (event) => this.timelineDown(event));
    timeline.addEventListener("pointermove", (event) => this.timelineMove(event));
    timeline.addEventListener("pointerup", (event) => this.timelineUp(event));
    timeline.addEventListener("pointercancel", () => { this.dragging = null; });
    const button = (id, action) => this.element(id).addEventListener("click", (event) => {
      event.stopPropagation();
      action();
      this.showControls(3);
    });
    button("playPause", () => this.command(this.PLAY_PAUSE));
    button("mute", () => this.command(this.MUTE));
    button("fullscreen", () => this.command(this.FULL_SCREEN));
    // Where the browser has no full screen for an element (Safari on an iPhone), no button.
    this.element("fullscreen").hidden = !document.fullscreenEnabled;
    // A touch on the controls keeps them, and is no tap on the picture.
    this.element("controls").addEventListener("pointerdown", (event) => {
      this.shownUntil = Math.max(this.shownUntil, performance.now() + 3000);
      event.stopPropagation();
    });
    window.addEventListener("keydown", (event) => { if (event.key === "h" || event.key === "H") this.helpHeld = true; });
    window.addEventListener("keyup", (event) => { if (event.key === "h" || event.key === "H") this.helpHeld = false; });
    window.addEventListener("resize", () => this.layout());
    document.addEventListener("fullscreenchange", () => this.layout());
    this.layout();
    requestAnimationFrame(() => this.tick());
  },
};

KesuControls.install();
