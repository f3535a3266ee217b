// The page's media session: what the system's media controls (a phone's lock screen and
// notifications, a desktop's media widget, the media keys, a headset's buttons) show of the
// show and what they ask of it.
//  - shown: the title, the part playing as the album, the pack's icons, whether it plays, and
//    where it stands (set again at every move, pause, part and loop);
//  - asked: play, pause, stop, a seek to a time (held to the show), back and on by the offset
//    given or else 5 s, and the parts as the previous and next tracks, in the program's terms.
// Chromium shows the session of a page whose music is Web Audio's alone; Firefox shows a
// page's session only while the page plays a media element's audible sound, which would take
// the music from Web Audio and its output timestamps: there the session is registered and not
// shown.
"use strict";

const KesuSession = {
  // The program's commands (PlatformCommand in platform/display/window.h).
  PLAY: 0, PAUSE: 1, SEEK_TO: 3, SEEK_BY: 4, NEXT: 5, PREVIOUS: 6, STOP: 7,
  STEP_SECONDS: 5,

  session: typeof navigator !== "undefined" && "mediaSession" in navigator ? navigator.mediaSession : null,
  shown: null,   // { part, paused, moves } as last shown
  length: 173,
  live: false,   // the session is the page's (a second into the show)
  over: false,   // the run has ended
  latest: null,  // the program's last state and the parts, shown once live

  handlers() {
    const command = (kind, value) => KesuControls.command(kind, value);
    const held = (seconds) => Math.min(Math.max(Number(seconds) || 0, 0), this.length);
    return {
      play: () => command(this.PLAY),
      pause: () => command(this.PAUSE),
      stop: () => command(this.STOP),
      seekto: (details) => command(this.SEEK_TO, held(details.seekTime)),
      seekbackward: (details) => command(this.SEEK_BY, -(details.seekOffset || this.STEP_SECONDS)),
      seekforward: (details) => command(this.SEEK_BY, details.seekOffset || this.STEP_SECONDS),
      previoustrack: () => command(this.PREVIOUS),
      nexttrack: () => command(this.NEXT),
    };
  },

  // Each handler, where the browser takes it.
  register(handlers) {
    for (const [action, handler] of Object.entries(handlers)) {
      try { this.session.setActionHandler(action, handler); } catch (e) { /* not an action this browser has */ }
    }
  },

  // The show plays: a second later the session is the page's. Chromium takes a page's
  // session up as the music starts, and that slows the start of its sound by some tens of
  // milliseconds: after a second the music is under way.
  started() {
    if (!this.session) return;
    setTimeout(() => {
      if (this.over) return;
      this.live = true;
      this.register(this.handlers());
      if (this.latest) this.setState(...this.latest);
    }, 1000);
  },

  setState(state, parts) {
    this.latest = [state, parts];
    if (!this.session || !this.live) return;
    this.length = state.length;
    const shown = this.shown || {};
    if (state.part !== shown.part && typeof MediaMetadata !== "undefined") {
      const part = parts[state.part];
      this.session.metadata = new MediaMetadata({
        title: "Kesu Tamrick",
        album: part ? part.name : "",
        artwork: [128, 256].map((size) => ({ src: "icons/kesu-tamrick-" + size + ".png", sizes: size + "x" + size,
                                             type: "image/png" })),
      });
    }
    if (state.paused !== shown.paused) this.session.playbackState = state.paused ? "paused" : "playing";
    if ((state.part !== shown.part || state.paused !== shown.paused || state.moves !== shown.moves) &&
        this.session.setPositionState) {
      try {
        this.session.setPositionState({ duration: state.length, playbackRate: 1,
                                        position: Math.min(Math.max(state.seconds, 0), state.length) });
      } catch (e) { /* a browser that refuses the state keeps the last */ }
    }
    this.shown = { part: state.part, paused: state.paused, moves: state.moves };
  },

  // The run is over: nothing left to steer.
  ended() {
    this.over = true;
    if (!this.session || !this.live) return;
    this.session.playbackState = "none";
    this.session.metadata = null;
    this.register(Object.fromEntries(Object.keys(this.handlers()).map((action) => [action, null])));
  },
};
