// The site installed and kept offline, from a secure origin (https, or this machine): its
// manifest, its service worker (sw.js) and the update it says is ready, a picture shared to it.
// Opened from the disk, the page has none of them and works as it is.

function installable() {
    return /^https?:$/.test(location.protocol) && window.isSecureContext
        && 'serviceWorker' in navigator;
}

// A new version installed beside the one this page runs: said, and taken when the user reloads.
function offerUpdate(waiting) {
    $('update-text').textContent = Words.updateReady;
    $('update').hidden = false;
    $('update-now').onclick = () => {
        // The new worker takes over (controllerchange), then the page is loaded from it.
        navigator.serviceWorker.addEventListener('controllerchange', () => location.reload());
        waiting.postMessage('update');
    };
}

function install() {
    if (!installable()) return;
    const manifest = document.createElement('link');
    manifest.rel = 'manifest';
    manifest.href = 'manifest.webmanifest';
    document.head.append(manifest);
    takeShared();
}

// Once the engine is ready (onWorker): the service worker's first install fetches the whole site,
// which would otherwise share a slow network with the worker's file.
async function registerServiceWorker() {
    if (!installable()) return;
    let registration;
    try {
        registration = await navigator.serviceWorker.register('sw.js');
    } catch (error) {
        return; // the site works online all the same
    }
    if (registration.waiting && navigator.serviceWorker.controller) offerUpdate(registration.waiting);
    registration.addEventListener('updatefound', () => {
        const coming = registration.installing;
        coming.addEventListener('statechange', () => {
            if (coming.state === 'installed' && navigator.serviceWorker.controller)
                offerUpdate(coming);
        });
    });
}

// The picture the service worker kept when one was shared to the page (address "?shared").
async function takeShared() {
    if (!new URLSearchParams(location.search).has('shared') || !window.caches) return;
    history.replaceState(null, '', location.pathname);
    const cache = await caches.open('mosaiq-shared');
    const response = await cache.match('shared-picture');
    if (!response) return;
    await cache.delete('shared-picture');
    const name = decodeURIComponent(response.headers.get('X-Name') || '');
    const blob = await response.blob();
    loadPicture(new File([blob], name, { type: blob.type }));
}

install();
