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

// An output as it comes: its first bytes kept for the page's pane, the rest in Blobs, which the
// browser may keep outside the tab (a large photo's page and codes are hundreds of megabytes).
class Gathered {
    constructor(type) {
        this.type = type;
        this.blobs = [];
        this.start = new Uint8Array(0);
    }

    add(bytes) {
        if (this.start.length < ShownBytes) {
            const start = new Uint8Array(Math.min(ShownBytes, this.start.length + bytes.length));
            start.set(this.start);
            start.set(bytes.subarray(0, start.length - this.start.length), this.start.length);
            this.start = start;
        }
        this.blobs.push(new Blob([bytes]));
    }

    take() {
        return { blob: new Blob(this.blobs, { type: this.type }), start: this.start };
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
    try {
        bitmap = await createImageBitmap(file, { imageOrientation: 'from-image',
            premultiplyAlpha: 'none', colorSpaceConversion: 'default' });
    } catch (error) {
        return { type: 'refused', message: words.notPicture };
    }
    const { width, height } = bitmap;
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
        return { type: 'loaded', width, height };
    } catch (error) {
        bitmap.close();
        return { type: 'refused', message: words.tooLarge };
    }
}

// The outputs go to the page whole: Blobs, the codes' starts, and the cells in one buffer.
function finish(status, message) {
    if (mosaiq) mosaiq._mosaiq_end();
    running = false;
    const cells = new Uint8Array(outputs.cellBytes);
    outputs.cells.reduce((at, c) => (cells.set(c, at), at + c.length), 0);
    const [page, html, blog] = outputs.gathered.map((g) => g.take());
    const posts = outputs.posts;
    outputs = newOutputs();
    postMessage({ type: 'done', status, message, page, html, blog, posts, cells }, [cells.buffer]);
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
        const start = mosaiq.cwrap('mosaiq_start', 'number', ['number', 'number', 'number',
            'string', 'string', 'number', 'number', 'number', 'string', 'number', 'number',
            'number', 'number', 'string', 'number', 'number', 'number']);
        step = start(address, picture ? picture.width : 0, picture ? picture.height : 0,
            s.columns, s.rows, s.treatment, s.square ? 1 : 0, s.random ? 1 : 0, s.characters,
            s.bold ? 1 : 0, s.italic ? 1 : 0, s.centred ? 1 : 0, s.background, s.dialect,
            s.merge ?? -1, s.fit ?? 0, s.split ? 1 : 0);
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
