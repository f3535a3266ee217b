// The web page around the program (platform/web/page.js), for the browser's platform files:
// what the page shows, the gesture that lets sound start, downloads and the full screen.
// The page's own JavaScript answers each of these; the program never touches the document
// otherwise.
#pragma once

#include <cstddef>
#include <string>

// A message in the page over the picture (a start-up failure, a lost WebGL context).
void webPageMessage(const std::string& text);

// The page asks for a click or a key before the show can play: a browser lets sound start
// only after one. The first one unlocks the sound (within the gesture, as browsers ask) and
// is taken for nothing else.
bool webSoundUnlocked();
void webUnlockSound();
// The show is ready and waits for that gesture: the page asks for it.
void webAskForGesture();

// The run is over: the page shows the report and "play again".
void webPageRunEnded(int exitStatus);

// Bytes offered to the user as a file of that name (a screenshot).
void webPageDownload(const std::string& name, const void* bytes, std::size_t size);

// The page in the full screen, or back; whether it is.
void webSetFullscreen(bool fullscreen);
bool webIsFullscreen();

// Device pixels per CSS pixel, for a drawing buffer as sharp as the screen.
double webPixelRatio();
