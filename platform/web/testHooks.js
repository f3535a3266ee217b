// What the tests read of the page, loaded only when the address asks for a test (?test=MODE):
// the messages, the frame log, the run's report and the screenshots, posted to the server
// that serves the page, and the moments a test acts at. A viewer's page never loads it.
//   screenshot  the picture is posted, not downloaded; S is pressed once the paused frame shows
//   clock       Escape is pressed ?seconds= (10) after the show starts to play
//   gesture     the sound waits for a click or a key, as for a viewer
//   any other   the sound is let out without a gesture (the browser is started to allow it)
// With &gesture=1 any mode waits for the gesture too (a browser that allows no sound without one).
"use strict";

const KesuTest = {
  mode: new URLSearchParams(location.search).get("test"),

  post(name, body) {
    return fetch("/upload/" + encodeURIComponent(name), { method: "POST", body }).catch(() => {});
  },

  started() {
    window.addEventListener("error", (event) => this.post("errors.txt", String(event.message)));
    window.addEventListener("unhandledrejection", (event) => this.post("errors.txt", String(event.reason)));
    // The media session's handlers as the page registers them, for the tests to call.
    if (navigator.mediaSession) {
      const register = navigator.mediaSession.setActionHandler.bind(navigator.mediaSession);
      navigator.mediaSession.setActionHandler = (action, handler) => {
        this.handlers[action] = handler;
        register(action, handler);
      };
    }
  },

  handlers: {},

  programEnvironment(environment) { environment.KESU_CLOCK_LOG = "/clock.log"; },

  needsGesture() { return this.mode === "gesture" || new URLSearchParams(location.search).get("gesture") === "1"; },

  message(text) { this.post("message.txt", text); },

  notice(text) { this.post("notice.txt", text); },

  // The picture tests take the screenshot as a post rather than a download.
  tookScreenshot(name, bytes) {
    if (this.mode !== "screenshot") return false;
    this.post(name, new Blob([bytes], { type: "image/png" }));
    return true;
  },

  isPlaying: false,

  playing() {
    this.isPlaying = true;
    const params = new URLSearchParams(location.search);
    if (this.mode === "screenshot") {
      setTimeout(() => window.dispatchEvent(new KeyboardEvent("keydown", { key: "s" })), 500);
    } else if (this.mode === "clock") {
      const seconds = Number(params.get("seconds") || 10);
      setTimeout(() => window.dispatchEvent(new KeyboardEvent("keydown", { key: "Escape" })), seconds * 1000);
    }
  },

  // The program's last state, for the tests to read, and whether it ever waited for files.
  state: null,
  waited: false,
  playerState(state) {
    this.state = state;
    if (state.waiting) this.waited = true;
  },

  ended(report, benchMode) {
    let log = "";
    try { log = FS.readFile("/clock.log", { encoding: "utf8" }); } catch (e) { log = ""; }
    this.post("clock.log", log).then(() => this.post(benchMode ? "bench.txt" : "report.txt", report));
  },
};
