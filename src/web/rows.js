// The worker's picture read back from its canvas into the module a band of rows at a time: whole
// as it is read, or, for a picture whose run two workers may share, only the rows that a run needs,
// the second worker's handed over to it by the first (joined between gathered.js and thumbnail.js
// by scripts/web.sh; it reads worker.js's picture and starts its runs).
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

// The rows the run asked needs, read before it starts: a first start, its outputs dropped, tells
// whether it is shared and which rows its band samples; a run not shared needs them all, and a
// size budget looks at the whole picture from its start. The first worker shares no run whose
// second band samples rows above those it handed over (handOver), which the second lacks.
// Whether the run may be shared here: this worker holds the rows its band samples.
function readNeeded(s, part, parts) {
    const kept = outputs;
    outputs = null;
    const band = (k) => (startRun(s, picture) === 0 && sharedRun(k, parts)
        ? [mosaiq._mosaiq_sampled_row(0), mosaiq._mosaiq_sampled_row(1)] : null);
    let rows = band(part);
    if (rows && part === 0 && handedFrom !== undefined) {
        const second = band(1);
        if (!second || second[0] < handedFrom) rows = null;
    }
    const [first, last] = rows || [0, picture.height - 1];
    if (rows || part === 0) readRows(first, last);
    mosaiq._mosaiq_end();
    outputs = kept;
    return rows !== null && picture.read.subarray(first, last + 1).every(Boolean);
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
    const split = (p.height - 1) * (parts > 1 ? FirstShare : 1);
    let y = part === 0 ? 0 : Math.max(0, Math.floor(split) - 1);
    const last = part === 0 ? Math.min(p.height - 1, Math.ceil(split) + 1) : p.height - 1;
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

// On two cores the first worker alone decodes a picture that both may share: the browser decodes
// two copies at once hardly faster than one after the other, on the cores the page needs. It
// hands the second, through the channel the page gave them, the rows from a little above its
// band (HandedMargin) to the last, read back from its canvas as a run's rows are; the second
// holds those alone, and leaves a run whose band samples others to the first. The second is
// told which rows will come before the page hears that the picture is read (announce), and
// tells the page at once, so that a run asked at once goes to both; the rows follow (handOver),
// and the second's run waits for them. A picture the second may not share goes as a refusal, so
// that the page hears from both.
const HandedMargin = 16;
let partner = null;
// The first row the second worker holds of the picture, which the first keeps knowing when its
// module is made again and reads the picture anew; undefined when it decoded the picture itself.
let handedFrom;
function announce(file, read, parts) {
    const p = picture;
    const message = { type: 'picture', file, helping: true, parts };
    if (read.type !== 'loaded' || !p || !p.context || p.width * p.height > ShareCells) {
        partner.postMessage({ ...message, band: { message: read.message || words.tooLarge } });
        return;
    }
    handedFrom = Math.max(0, Math.floor((p.height - 1) * FirstShare) - HandedMargin);
    partner.postMessage({ ...message, band: { width: p.width, height: p.height,
        first: handedFrom } });
}
function handOver() {
    const p = picture;
    if (handedFrom === undefined || !p || !p.context) return;
    const begin = performance.now();
    let pixels = null;
    try {
        pixels = p.context.getImageData(0, handedFrom, p.width, p.height - handedFrom,
            { colorSpace: 'srgb' }).data.buffer;
    } catch (error) {
        // The second reads the picture from its file when a run needs it.
    }
    partner.postMessage({ type: 'rows', pixels }, pixels ? [pixels] : []);
    measure('handover', begin);
}

// The second worker's picture, its rows to come: the rows above them are never read. Its run
// waits for them (filled); without them, it reads the picture from its file when a run needs it.
// A picture it will not share: the memory made ready for its runs goes back to the system at once.
let rowsComing = null;
function takeRows(file, band) {
    if (!band.width) {
        dropSpare();
        return { type: 'refused', message: band.message };
    }
    const { width, height, first } = band;
    fitSpare(width * height, runParts(width * height, 2), heldSlabs());
    const address = mosaiq._mosaiq_hold_picture(width, height) >>> 0;
    if (!address) return { type: 'refused', message: words.memory };
    const p = { address, width, height, canvas: null, context: null, read: new Uint8Array(height) };
    picture = p;
    pictureFile = file;
    const filled = new Promise((resolve) => { rowsComing = resolve; }).then((pixels) => {
        rowsComing = null;
        if (picture !== p) return;
        if (!pixels) return dropPicture();
        const begin = performance.now();
        mosaiq.HEAPU8.set(new Uint8Array(pixels), address + 4 * width * first);
        mosaiq._mosaiq_flatten_rows(width * first, width * (height - first));
        p.read.fill(1, first);
        measure('readback', begin);
    });
    return { type: 'loaded', width, height, number: ++pictureNumber, filled };
}
