// The site's service worker, from a secure origin only: it keeps the whole site, one version of
// it, for use offline, and takes the pictures shared to the installed page. scripts/web.sh writes
// SiteVersion (a digest of the site's files) and SiteFiles above this: a new site is a new
// worker, which the browser installs beside the old one, so that a page open meanwhile never has
// a new engine under it. It takes over once the page is reloaded (the page says an update is
// ready, and the user asks for it).
'use strict';

const cacheName = `mosaiq-${SiteVersion}`;
// A picture shared to the page waits here until the page takes it.
const sharedCache = 'mosaiq-shared';

self.addEventListener('install', (event) => event.waitUntil(caches.open(cacheName).then(
    // Past the browser's own cache, which may hold files of another version.
    (cache) => cache.addAll(SiteFiles.map((file) => new Request(file, { cache: 'reload' }))))));

self.addEventListener('activate', (event) => event.waitUntil((async () => {
    for (const name of await caches.keys()) {
        if (name.startsWith('mosaiq-') && name !== cacheName && name !== sharedCache)
            await caches.delete(name);
    }
    await self.clients.claim();
})()));

self.addEventListener('message', (event) => {
    if (event.data === 'update') self.skipWaiting();
});

self.addEventListener('fetch', (event) => {
    const request = event.request;
    const url = new URL(request.url);
    if (url.origin !== location.origin) return;
    if (request.method === 'POST' && url.pathname.endsWith('/share'))
        return event.respondWith(shared(request));
    if (request.method !== 'GET') return;
    event.respondWith((async () => {
        const cache = await caches.open(cacheName);
        const kept = await cache.match(request, { ignoreSearch: true })
            || (request.mode === 'navigate' && await cache.match('index.html'));
        return kept || fetch(request);
    })());
});

// A picture shared to the installed page: kept for the page, which is opened to take it.
async function shared(request) {
    const file = (await request.formData()).get('picture');
    if (file && typeof file !== 'string') {
        const cache = await caches.open(sharedCache);
        await cache.put('shared-picture', new Response(file, { headers: {
            'Content-Type': file.type, 'X-Name': encodeURIComponent(file.name) } }));
    }
    return Response.redirect('./?shared', 303);
}
