// The page's service worker: the show's files kept for the next visit and for playing offline.
// Files named after their content's digest (the pack's, the program, the page's scripts, the
// list of files) never change under their name: they come from the cache when they are there,
// and are kept as they pass. Everything else (the page itself, the icons, the manifest) comes
// from the network while it answers, kept for when it does not. The page tidies the cache of
// an older build's files.
"use strict";

const cacheName = "kesu-tamrick";
const digestNamed = /\.[0-9a-f]{12}\./;

self.addEventListener("install", () => self.skipWaiting());
self.addEventListener("activate", (event) => event.waitUntil(self.clients.claim()));

self.addEventListener("fetch", (event) => {
  const request = event.request;
  const url = new URL(request.url);
  if (request.method !== "GET" || url.origin !== location.origin || url.pathname.includes("/upload/")) return;
  event.respondWith(digestNamed.test(url.pathname) ? kept(request) : fresh(request, url));
});

async function kept(request) {
  const cache = await caches.open(cacheName);
  const hit = await cache.match(request, { ignoreSearch: true });
  if (hit) return hit;
  const response = await fetch(request);
  if (response.ok) cache.put(request, response.clone()).catch(() => {});
  return response;
}

// The address's query (a test's, ?from=) is not part of what is kept.
async function fresh(request, url) {
  const cache = await caches.open(cacheName);
  try {
    const response = await fetch(request);
    if (response.ok) cache.put(url.origin + url.pathname, response.clone()).catch(() => {});
    return response;
  } catch (problem) {
    const hit = await cache.match(request, { ignoreSearch: true });
    if (hit) return hit;
    throw problem;
  }
}
