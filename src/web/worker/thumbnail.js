// The thumbnail of the picture the worker read, for the page (joined after picture.js by
// scripts/web.sh; it reads main.js's running and run.js's measures).
'use strict';

// The page's thumbnail, made small here: for the picture's file itself, the browser would keep
// the whole decoded photo, a hundred megabytes for twelve million pixels.
const ThumbnailSide = 480;
// The thumbnail comes after the page has been told that the picture is read, in a message of
// its own with the picture's number. A picture that a second worker may hold too (sharedToCells)
// keeps its decoded copy until then, and its thumbnail is drawn only once the page asks for it,
// right after it has taken the picture read, or after a run asked at once; a larger one's is
// drawn first and its copy let go before the module takes the pixels.
function thumbnailOf(bitmap) {
    const canvas = thumbnailCanvas(bitmap);
    canvas.getContext('2d').drawImage(bitmap, 0, 0, canvas.width, canvas.height);
    return canvas.convertToBlob();
}
function thumbnailCanvas(bitmap) {
    const scale = Math.min(1, ThumbnailSide / Math.max(bitmap.width, bitmap.height));
    return new OffscreenCanvas(Math.max(1, Math.round(bitmap.width * scale)),
        Math.max(1, Math.round(bitmap.height * scale)));
}

// The kept picture's thumbnail not made yet: { number, kept }, or its small copy once made
// ({ number, small }), waiting to be drawn and encoded.
let thumbnailDue = null;
const thumbnailChannel = new MessageChannel();
thumbnailChannel.port1.onmessage = () => makeThumbnail();

function dropThumbnail() {
    const due = thumbnailDue;
    if (due && (due.kept || due.small)) (due.kept || due.small).close();
    thumbnailDue = null;
}

// The thumbnail in two steps, the small copy then its PNG, a run asked between them going first:
// each step takes the worker's thread some milliseconds.
async function makeThumbnail() {
    const due = thumbnailDue;
    if (!due || running) return;
    const begin = performance.now();
    if (due.kept) {
        const canvas = thumbnailCanvas(due.kept);
        // A picture the module decoded keeps only its file (decodeInModule).
        const resizing = createImageBitmap(due.kept.file || due.kept, { resizeWidth: canvas.width,
            resizeHeight: canvas.height, resizeQuality: 'medium' });
        due.kept.close();
        due.kept = null;
        measure('thumbnail', begin);
        try {
            due.small = await resizing;
        } catch (error) {
            if (thumbnailDue === due) thumbnailDue = null;
            return;
        }
        if (thumbnailDue !== due) return due.small.close();
        thumbnailChannel.port2.postMessage(0);
        return;
    }
    thumbnailDue = null;
    const canvas = new OffscreenCanvas(due.small.width, due.small.height);
    canvas.getContext('2d').drawImage(due.small, 0, 0);
    due.small.close();
    const encoding = canvas.convertToBlob();
    measure('thumbnail-encode', begin);
    const thumbnail = await encoding;
    post(self, 'thumbnail', { number: due.number, thumbnail, measures: takeMeasures() });
}
