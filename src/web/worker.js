// The worker of the page: it reads the picture and runs the module, so that the page never
// waits on either. It is started from a Blob that holds the module's script followed by this
// one (scripts/web.sh joins them): pages opened from the disk may start no worker by its path.
'use strict';

let mosaiq = null;
let words = null;
let picture = null; // { rgba: Uint8ClampedArray, width, height }
let running = false;
let stopAsked = false;
let outputs = null;
const ShownBytes = 64 * 1024;

// The stages' times, as measures of the worker's timeline that go to the page with the outputs
// (bench/web reads them there): the decode, the canvas's read-back, the module's own time, the
// chunks' hand-over, the Blobs' building.
function measure(name, start, end = performance.now()) {
    performance.measure(`mosaiq-${name}`, { start, end });
}
function takeMeasures() {
    const taken = performance.getEntriesByType('measure').map((m) => ({ name: m.name,
        start: m.startTime + performance.timeOrigin, duration: m.duration }));
    performance.clearMeasures();
    return taken;
}
let converting = 0, chunkTime = 0, stepTime = 0;

// An output as it comes: its chunks copied once out of the module's memory and kept as they are;
// the Blob the page downloads is built from them once the run is over (buildBlobs), off the way
// of the outputs shown.
class Gathered {
    constructor(type) {
        this.type = type;
        this.chunks = [];
        this.size = 0;
    }

    add(bytes) {
        this.chunks.push(bytes.slice());
        this.size += bytes.length;
    }

    // The first bytes, for the page's pane.
    start() {
        const start = new Uint8Array(Math.min(ShownBytes, this.size));
        let at = 0;
        for (const chunk of this.chunks) {
            if (at === start.length) break;
            const part = chunk.subarray(0, start.length - at);
            start.set(part, at);
            at += part.length;
        }
        return start;
    }
}

function newOutputs() {
    return {
        gathered: [new Gathered('text/html;charset=windows-1252'),
            new Gathered('text/plain;charset=utf-8'), new Gathered('text/plain;charset=utf-8')],
        posts: [],
        cells: [],
        cellBytes: 0,
    };
}

async function loadModule() {
    mosaiq = await createMosaiq();
    mosaiq.onChunk = (channel, address, size) => {
        const begin = performance.now();
        handChunk(channel, address, size);
        chunkTime += performance.now() - begin;
    };
    const handChunk = (channel, address, size) => {
        const bytes = mosaiq.HEAPU8.subarray(address, address + size);
        if (channel < 3) {
            outputs.gathered[channel].add(bytes);
        } else if (channel === 3) {
            outputs.posts.push(new Blob([bytes], { type: 'text/plain;charset=utf-8' }));
        } else {
            outputs.cells.push(bytes.slice());
            outputs.cellBytes += size;
        }
    };
    const text = (address) => mosaiq.UTF8ToString(address);
    words = {
        notPicture: text(mosaiq._mosaiq_words(0)),
        tooLarge: text(mosaiq._mosaiq_words(1)),
        memory: text(mosaiq._mosaiq_words(2)),
    };
    return {
        type: 'ready',
        words,
        pixelLimit: mosaiq._mosaiq_pixel_limit(),
        frameCells: { letter: mosaiq._mosaiq_frame_cells(0), square: mosaiq._mosaiq_frame_cells(1) },
        dialects: text(mosaiq._mosaiq_dialects()).trim().split('\n').map((line) => {
            const [name, limit, unit] = line.split('\t');
            return { name, limit: Number(limit), unit };
        }),
    };
}

// The browser decodes the picture: EXIF orientation applied, colours in sRGB, the alpha as the
// file has it (the module flattens it on white as mosaiq-cli does).
async function readPicture(file, pixelLimit) {
    let bitmap;
    const begin = performance.now();
    try {
        bitmap = await createImageBitmap(file, { imageOrientation: 'from-image',
            premultiplyAlpha: 'none', colorSpaceConversion: 'default' });
    } catch (error) {
        return { type: 'refused', message: words.notPicture };
    }
    const { width, height } = bitmap;
    const decoded = performance.now();
    measure('decode', begin, decoded);
    if (width * height > pixelLimit || width > 32767 || height > 32767) {
        bitmap.close();
        return { type: 'refused', message: words.tooLarge };
    }
    try {
        const canvas = new OffscreenCanvas(width, height);
        const context = canvas.getContext('2d', { colorSpace: 'srgb', willReadFrequently: true });
        context.drawImage(bitmap, 0, 0);
        bitmap.close();
        const data = context.getImageData(0, 0, width, height, { colorSpace: 'srgb' }).data;
        picture = { rgba: data, width, height };
        measure('readback', decoded);
        return { type: 'loaded', width, height, measures: takeMeasures() };
    } catch (error) {
        bitmap.close();
        return { type: 'refused', message: words.tooLarge };
    }
}

// The outputs go to the page as soon as the run is over: each code's first bytes and size, the
// posts and the cells (handed over, not copied); then each output's Blob as it is built.
let run = 0;
function finish(status, message) {
    if (mosaiq) mosaiq._mosaiq_end();
    running = false;
    const cells = new Uint8Array(outputs.cellBytes);
    outputs.cells.reduce((at, c) => (cells.set(c, at), at + c.length), 0);
    const gathered = outputs.gathered;
    const [page, html, blog] = gathered.map((g) => ({ start: g.start(), size: g.size }));
    const posts = outputs.posts;
    outputs = newOutputs();
    performance.measure('mosaiq-module', { start: converting, duration: stepTime - chunkTime });
    performance.measure('mosaiq-chunks', { start: converting, duration: chunkTime });
    measure('conversion', converting);
    postMessage({ type: 'done', run, status, message, page, html, blog, posts, cells,
        measures: takeMeasures() }, [cells.buffer]);
    buildBlobs(run, gathered);
}

// Each output's Blob, made from its chunks a few megabytes at a time: the chunks so moved are
// let go at once, so that a photo's hundreds of megabytes are never held twice, and the worker
// reads its messages between the steps. A new run drops what is left of the last one's.
const BlobStep = 16;
const blobChannel = new MessageChannel();
blobChannel.port1.onmessage = () => blobStep();
let blobStep = () => {};
function buildBlobs(ofRun, gathered) {
    const begin = performance.now();
    let which = 0;
    let parts = [];
    const next = () => {
        if (ofRun !== run) return;
        const g = gathered[which];
        parts.push(new Blob(g.chunks.splice(0, BlobStep)));
        if (g.chunks.length > 0) return blobChannel.port2.postMessage(0);
        postMessage({ type: 'blob', run: ofRun, which, blob: new Blob(parts, { type: g.type }) });
        parts = [];
        if (++which < gathered.length) return blobChannel.port2.postMessage(0);
        measure('blobs', begin);
        postMessage({ type: 'measures', measures: takeMeasures() });
    };
    blobStep = next;
    next();
}

// A failure of the module (its memory refused by the browser) leaves it unusable: a new one is
// made, and the page goes on.
async function memoryFailed() {
    outputs = newOutputs();
    running = false;
    postMessage({ type: 'done', status: 'memory', message: words.memory });
    mosaiq = null;
    try {
        await loadModule();
    } catch (error) {
        // The next conversion reports it again.
    }
}

const yieldChannel = new MessageChannel();
yieldChannel.port1.onmessage = () => slice();
let rowsPerSlice = 1;

// Rows for about a fiftieth of a second, then a pause for the messages (a stop) to come in.
function slice() {
    if (stopAsked) {
        finish('stopped', '');
        return;
    }
    let step;
    try {
        const begin = performance.now();
        step = mosaiq._mosaiq_step(rowsPerSlice);
        const spent = performance.now() - begin;
        stepTime += spent;
        rowsPerSlice = Math.max(1, Math.min(rowsPerSlice * 4,
            Math.round(rowsPerSlice * 20 / Math.max(spent, 0.1))));
    } catch (error) {
        memoryFailed();
        return;
    }
    if (step !== 0) {
        finish(step === 1 ? 'finished' : 'refused', mosaiq.UTF8ToString(mosaiq._mosaiq_message()));
        return;
    }
    postMessage({ type: 'progress', percent: mosaiq._mosaiq_percent(),
        rows: mosaiq._mosaiq_rows_done(), rowCount: mosaiq._mosaiq_row_count() });
    yieldChannel.port2.postMessage(0);
}

function convert(s) {
    if (!mosaiq) {
        postMessage({ type: 'done', status: 'memory', message: words.memory });
        return;
    }
    running = true;
    ++run;
    converting = performance.now();
    chunkTime = stepTime = 0;
    stopAsked = false;
    rowsPerSlice = 1;
    outputs = newOutputs();
    let step;
    try {
        let address = 0;
        if (picture) {
            address = mosaiq._malloc(picture.rgba.length);
            if (!address) {
                memoryFailed();
                return;
            }
            mosaiq.HEAPU8.set(picture.rgba, address);
        }
        const begin = performance.now();
        const start = mosaiq.cwrap('mosaiq_start', 'number', ['number', 'number', 'number',
            'string', 'string', 'number', 'number', 'number', 'string', 'number', 'number',
            'number', 'number', 'string', 'number', 'number', 'number']);
        step = start(address, picture ? picture.width : 0, picture ? picture.height : 0,
            s.columns, s.rows, s.treatment, s.square ? 1 : 0, s.random ? 1 : 0, s.characters,
            s.bold ? 1 : 0, s.italic ? 1 : 0, s.centred ? 1 : 0, s.background, s.dialect,
            s.merge ?? -1, s.fit ?? 0, s.split ? 1 : 0);
        measure('start', begin);
    } catch (error) {
        memoryFailed();
        return;
    }
    const message = mosaiq.UTF8ToString(mosaiq._mosaiq_message());
    if (step !== 0) {
        finish('refused', message);
        return;
    }
    postMessage({ type: 'started', message, rowCount: mosaiq._mosaiq_row_count(),
        columns: mosaiq._mosaiq_column_count() });
    slice();
}

// The size fields halved or doubled by the module, as the window does it.
function scale(m) {
    if (!mosaiq) return { type: 'scaled', ok: false, message: words.memory };
    const error = mosaiq.cwrap('mosaiq_scale_sizes', 'number', ['string', 'string', 'number'])(
        m.columns, m.rows, m.factor);
    const text = mosaiq.UTF8ToString(mosaiq._mosaiq_words_given());
    // The window's line break, as the page's status shows it.
    if (error !== 0) {
        return { type: 'scaled', ok: false, message: text.replace(/\r\n/g, '\n') };
    }
    const [columns, rows] = text.split('\n');
    return { type: 'scaled', ok: true, asked: m, columns, rows };
}

let pixelLimit = 0;
const ready = loadModule().then((reply) => {
    pixelLimit = reply.pixelLimit;
    postMessage(reply);
}, () => postMessage({ type: 'failed' }));

onmessage = async (event) => {
    await ready;
    const m = event.data;
    if (m.type === 'stop') {
        stopAsked = true;
    } else if (m.type === 'picture') {
        picture = null;
        postMessage(await readPicture(m.file, pixelLimit));
    } else if (m.type === 'scale') {
        postMessage(scale(m));
    } else if (m.type === 'convert' && !running) {
        convert(m.settings);
    }
};
