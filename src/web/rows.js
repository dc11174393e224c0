// The worker's picture read back from its canvas into the module a band of rows at a time: whole
// as it is read, or, for a picture whose run two workers may share, only the rows that a run needs
// (joined between gathered.js and worker.js by scripts/web.sh; it reads worker.js's picture).
'use strict';

// The picture read lazily: rows first to last (of the picture) read back from its canvas into
// the module, those not read yet, a band at a time; the canvas goes once all are read.
function readRows(first, last) {
    const p = picture;
    if (!p || !p.context) return;
    const band = Math.max(1, Math.floor(BandBytes / (4 * p.width)));
    for (let y = Math.max(0, first); y <= Math.min(last, p.height - 1);) {
        if (p.read[y]) {
            ++y;
            continue;
        }
        let rows = 1;
        while (rows < band && y + rows <= last && y + rows < p.height && !p.read[y + rows]) ++rows;
        const data = p.context.getImageData(0, y, p.width, rows, { colorSpace: 'srgb' }).data;
        mosaiq.HEAPU8.set(data, p.address + 4 * p.width * y);
        // Flattened while its bytes are still in the cache, not all at once by the run.
        mosaiq._mosaiq_flatten_rows(p.width * y, p.width * rows);
        p.read.fill(1, y, y + rows);
        y += rows;
    }
    if (p.read.every(Boolean)) dropCanvas(p);
}

// While the page waits for its click, the rows of this worker's band of a shared run of one cell a
// pixel, the grid the page proposes, read back a band at a time between the worker's messages:
// the run asked then reads only those it still lacks.
const aheadChannel = new MessageChannel();
let readAhead = () => {};
aheadChannel.port1.onmessage = () => readAhead();
function startReadingAhead(part, parts) {
    const p = picture;
    if (!p || !p.context) return;
    // A quarter of a band a step: a run asked meanwhile waits no more than that.
    const band = Math.max(1, Math.floor(BandBytes / 4 / (4 * p.width)));
    let y = Math.max(0, Math.floor(p.height * part / parts) - 1);
    const last = Math.min(p.height - 1, Math.floor(p.height * (part + 1) / parts) + 1);
    readAhead = () => {
        if (picture !== p || !p.context || running || y > last) return;
        readRows(y, Math.min(last, y + band - 1));
        y += band;
        aheadChannel.port2.postMessage(0);
    };
    aheadChannel.port2.postMessage(0);
}

function dropCanvas(p) {
    // Its pixels go now, not when the collector comes.
    if (p && p.canvas) p.canvas.width = p.canvas.height = 1;
    if (p) p.canvas = p.context = null;
}

function dropPicture() {
    dropCanvas(picture);
    picture = null;
}
