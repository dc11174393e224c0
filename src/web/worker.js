// The worker of the page: it reads the picture and runs the module, so that the page never
// waits on either. It is started from a Blob that holds the module's script followed by this
// one and gathered.js, where its outputs are kept (scripts/web.sh joins them): pages opened from
// the disk may start no worker by its path.
'use strict';

let mosaiq = null;
let words = null;
// The picture, held in the module's memory (mosaiq_hold_picture): { address, width, height };
// its file, read again if the module has to be made again.
let picture = null;
let pictureFile = null;
let running = false;
let stopAsked = false;
let outputs = null;

// The stages' times, as measures of the worker's timeline that go to the page with the outputs
// (bench/web reads them there): the decode, the canvas's read-back (or its drawing, and a band's
// rows read back once the run is asked), the module's own time, the chunks' hand-over, the Blobs
// built as a large run goes and once it is over.
function measure(name, start, end = performance.now()) {
    performance.measure(`mosaiq-${name}`, { start, end });
}
function takeMeasures() {
    const taken = performance.getEntriesByType('measure').map((m) => ({ name: m.name,
        start: m.startTime + performance.timeOrigin, duration: m.duration }));
    performance.clearMeasures();
    return taken;
}
let converting = 0, chunkTime = 0, stepTime = 0, movedTime = 0, betweenTime = 0, yielded = 0;

// The grids whose rows two workers share (a band each, WebConversion::share): from a quarter of
// a million cells, below which the second worker saves less than it costs, to four million,
// past which a second picture in the second worker's memory costs more than it saves.
const ShareFrom = 250000, ShareCells = 4000000;
// The first worker's share of a shared run's rows: besides its band, it reads back its rows once
// the run is asked (the second has them from it) and makes the page's header, and the page's
// thread takes a part of its core.
const FirstShare = 0.45;
let band = { first: 0, parts: 1 };
// The workers that share the run of a grid of cells, parts of them able to.
const runParts = (cells, parts) => (parts > 1 && cells >= ShareFrom && cells <= ShareCells
    ? parts : 1);
// The share of a run's rows that this worker makes, part of parts.
const rowShare = (part, parts) => (parts < 2 ? 1
    : part === 0 ? FirstShare : (1 - FirstShare) / (parts - 1));
// This worker's part of a shared run: the page names its second worker (page/workers.js).
const ownPart = self.name === 'second' || self.name === 'lean' ? 1 : 0;
// What the memory made ready is for (prepareSpare): as the page opens, a full HD photo's run,
// shared when the page has a second worker; share: this worker's rows of it.
const openParts = runParts(1920 * 1080, (navigator.hardwareConcurrency || 1) > 1 ? 2 : 1);
let prepared = { cells: 1920 * 1080, parts: openParts, share: rowShare(ownPart, openParts) };
// The slabs of the last run's outputs, which the next run takes.
const heldSlabs = () => (waiting ? waiting.gathered.reduce((n, g) => n + g.slabs.length, 0) : 0);

function newOutputs() {
    return {
        gathered: [new Gathered('text/html;charset=windows-1252'),
            new Gathered('text/plain;charset=utf-8'), new Gathered('text/plain;charset=utf-8')],
        posts: [],
        cells: new Uint8Array(0), // four bytes a cell, room made once the grid is known
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
    // The page and the codes are written into the outputs' slabs; none for a run whose outputs
    // are dropped (the run that warms the module up, a first start telling the rows a band needs).
    mosaiq.onRoom = (channel) => {
        if (!outputs) return 0;
        const begin = performance.now();
        const slab = outputs.gathered[channel].room();
        chunkTime += performance.now() - begin;
        return slab;
    };
    const handChunk = (channel, address, size) => {
        if (!outputs) return;
        // Addresses past 2 GB come as negative numbers.
        if (channel < 3) return outputs.gathered[channel].add(address >>> 0, size);
        const bytes = mosaiq.HEAPU8.subarray(address >>> 0, (address >>> 0) + size);
        if (channel === 3) {
            outputs.posts.push(new Blob([bytes], { type: 'text/plain;charset=utf-8' }));
        } else {
            if (outputs.cellBytes + size > outputs.cells.length) {
                const cells = new Uint8Array(Math.max(2 * outputs.cells.length,
                    outputs.cellBytes + size));
                cells.set(outputs.cells.subarray(0, outputs.cellBytes));
                outputs.cells = cells;
            }
            outputs.cells.set(bytes, outputs.cellBytes);
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
// file has it (the module flattens it on white as mosaiq-cli does). Its pixels go into the
// module's memory a band of rows at a time: a photo's whole copy would cost as much again.
const BandBytes = 4 * 1024 * 1024;
let pictureNumber = 0;

// Why the browser could not read file: a format it does not decode, named from the file's first
// 64 bytes, or no picture at all.
async function unreadWords(file) {
    try {
        const head = new Uint8Array(await file.slice(0, 64).arrayBuffer());
        return mosaiq.cwrap('mosaiq_unread_words', 'string', ['array', 'number'])(head,
            head.length);
    } catch (error) {
        return words.notPicture;
    }
}

// helping: for the second worker, which holds only the pictures whose runs it may share; parts:
// the workers that may share its run.
// given: for the second worker, the rows the first handed over (handOver).
async function readPicture(file, helping = false, parts = 1, given = undefined) {
    dropPicture();
    pictureFile = null;
    if (!mosaiq) return { type: 'refused', message: words.memory };
    if (given !== undefined) return takeRows(file, given);
    let bitmap;
    const begin = performance.now();
    try {
        bitmap = await createImageBitmap(file, { imageOrientation: 'from-image',
            premultiplyAlpha: 'none', colorSpaceConversion: 'default' });
    } catch (error) {
        return { type: 'refused', message: await unreadWords(file) };
    }
    const { width, height } = bitmap;
    const decoded = performance.now();
    measure('decode', begin, decoded);
    fitSpare(width * height, rowShare(helping ? 1 : 0, runParts(width * height, parts)),
        heldSlabs());
    if (width * height > (helping ? ShareCells : pixelLimit) || width > 32767 || height > 32767) {
        dropSpare();
        bitmap.close();
        return { type: 'refused', message: words.tooLarge };
    }
    // A picture whose run two workers may share: each reads back only the rows its band
    // samples, once the run is asked (readRows); its canvas is kept until then.
    const lazy = (helping || parts > 1) && width * height <= ShareCells;
    let canvas;
    try {
        canvas = new OffscreenCanvas(width, height);
        const context = canvas.getContext('2d', { colorSpace: 'srgb', willReadFrequently: true });
        context.drawImage(bitmap, 0, 0);
        // The browser draws it only when first read: now, so that a step reading ahead and a run
        // asked then do not wait for the whole drawing.
        if (lazy) context.getImageData(0, 0, 1, 1);
        const kept = !helping && width * height <= ShareCells ? bitmap : null;
        const thumbnail = helping || kept ? null : thumbnailOf(bitmap);
        if (!kept) bitmap.close();
        const address = mosaiq._mosaiq_hold_picture(width, height) >>> 0;
        if (!address) {
            bitmap.close();
            return { type: 'refused', message: words.memory };
        }
        mosaiq._mosaiq_flatten_rows(0, 0);
        picture = { address, width, height, canvas, context, read: new Uint8Array(height) };
        canvas = null;
        // Any other picture is read whole now, and its canvas let go.
        if (!lazy) readRows(0, height - 1);
        pictureFile = file;
        measure('readback', decoded);
        return { type: 'loaded', width, height, number: ++pictureNumber,
            measures: takeMeasures(), kept, thumbnail };
    } catch (error) {
        bitmap.close();
        dropPicture(); // not a picture half read
        return { type: 'refused', message: words.tooLarge };
    } finally {
        // The canvas's pixels go now, not when the collector comes.
        if (canvas) canvas.width = canvas.height = 1;
    }
}

// Whether the run started is shared, this worker's module making band part of parts.
function sharedRun(part, parts) {
    const cellCount = mosaiq._mosaiq_row_count() * mosaiq._mosaiq_column_count();
    return parts > 1 && cellCount >= ShareFrom && cellCount <= ShareCells
        && mosaiq._mosaiq_share(part, parts, FirstShare) === 1;
}

// The outputs go to the page as soon as the run is over: each code's first bytes and size, the
// posts and the cells (handed over, not copied); then, once the page asks, each output's Blob as
// it is built.
let run = 0;
function finish(status, message) {
    // The characters a cell's byte stands for where the page writes some as references.
    const given = mosaiq ? mosaiq._mosaiq_cell_characters() >>> 0 : 0;
    const characters = given ? Array.from(new Uint32Array(mosaiq.HEAPU8.buffer, given, 256))
        : null;
    if (mosaiq) mosaiq._mosaiq_end();
    running = false;
    const cells = outputs.cells.subarray(0, outputs.cellBytes);
    const gathered = outputs.gathered;
    const [page, html, blog] = gathered.map((g) => ({ start: g.start, size: g.size }));
    const posts = outputs.posts;
    outputs = newOutputs();
    performance.measure('mosaiq-module', { start: converting, duration: stepTime - chunkTime });
    performance.measure('mosaiq-chunks', { start: converting, duration: chunkTime });
    performance.measure('mosaiq-moved', { start: converting, duration: movedTime });
    performance.measure('mosaiq-between', { start: converting, duration: betweenTime });
    measure('conversion', converting);
    postMessage({ type: 'done', run, status, message, page, html, blog, posts, cells,
        characters, measures: takeMeasures() }, [cells.buffer]);
    waiting = { run, gathered };
    // The cells' room went to the page: a new one for the next run, and the slabs it needs
    // besides the last run's, once the page has shown the outputs ('shown'): made now, they
    // would take the cores that the other worker's band and the page need.
    spareDue = true;
}
let spareDue = false;

// The last run's outputs, whose Blobs are built when the page asks for them.
let waiting = null;

// An output's Blob, made from its slabs one at a time: the slabs so moved are let go at once,
// and the worker reads its messages between the steps. Asked again, the same Blob. A new run
// drops what is left of the last one's.
const blobChannel = new MessageChannel();
blobChannel.port1.onmessage = () => blobStep();
const blobsAsked = [];
let blobBegin = 0;
function askBlob(ofRun, which) {
    if (!waiting || waiting.run !== ofRun || blobsAsked.includes(which)) return;
    blobsAsked.push(which);
    if (blobsAsked.length === 1) blobStep();
}
function blobStep() {
    if (blobsAsked.length === 0 || !waiting) return;
    const which = blobsAsked[0];
    const g = waiting.gathered[which];
    if (!blobBegin) blobBegin = performance.now();
    if (g.move() && g.slabs.length > 0) return blobChannel.port2.postMessage(0);
    const blob = new Blob(g.parts, { type: g.type });
    g.parts = [blob];
    measure('blob', blobBegin);
    blobBegin = 0;
    postMessage({ type: 'blob', run: waiting.run, which, blob, measures: takeMeasures() });
    waiting.delivered = (waiting.delivered || 0) + 1;
    blobsAsked.shift();
    if (blobsAsked.length > 0) blobChannel.port2.postMessage(0);
}

// A failure of the module (its memory refused by the browser) leaves it unusable: a new one is
// made, and the page goes on.
async function memoryFailed() {
    memoryRefused = true;
    outputs = newOutputs();
    dropPicture();
    // The slabs were the module's memory.
    spare.slabs = [];
    waiting = null;
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

// Rows for about SliceTime milliseconds, then a pause for the messages (a stop) to come in: each
// pause costs a round of the worker's loop, and a stop waits no more than a slice.
const SliceTime = 40;
function slice() {
    if (yielded) betweenTime += performance.now() - yielded;
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
            Math.round(rowsPerSlice * SliceTime / Math.max(spent, 0.1))));
    } catch (error) {
        memoryFailed();
        return;
    }
    if (step !== 0) {
        finish(step === 1 ? 'finished' : 'refused', mosaiq.UTF8ToString(mosaiq._mosaiq_message()));
        return;
    }
    // The rows of this worker's band.
    const rows = mosaiq._mosaiq_rows_done() - band.first;
    const rowCount = mosaiq._mosaiq_row_count();
    const begin = performance.now();
    bound(outputs.gathered, rows * band.parts / Math.max(rowCount, 1), band.parts);
    movedTime += performance.now() - begin;
    postMessage({ type: 'progress', percent: mosaiq._mosaiq_percent(), rows, rowCount });
    yielded = performance.now();
    yieldChannel.port2.postMessage(0);
}

// part of parts: the band of rows this worker makes if the run is shared.
async function convert(s, part, parts) {
    if (!mosaiq) {
        postMessage({ type: 'done', status: 'memory', message: words.memory });
        return;
    }
    running = true;
    // A module made again after a failure holds no picture: it is read again from its file.
    if (!picture && pictureFile) {
        const read = await readPicture(pictureFile);
        if (read.kept) read.kept.close();
        if (read.type !== 'loaded') {
            running = false;
            postMessage({ type: 'done', status: 'refused', message: read.message });
            return;
        }
    }
    ++run;
    // The last run's outputs go: the page has let them go too. Their slabs, already given
    // their pages by the system, take this run's bytes.
    if (waiting) for (const g of waiting.gathered) spare.slabs.push(...g.slabs);
    waiting = null;
    blobsAsked.length = 0;
    blobBegin = 0;
    converting = performance.now();
    measure('asked', asked, converting);
    chunkTime = stepTime = movedTime = betweenTime = yielded = 0;
    stopAsked = false;
    rowsPerSlice = 1;
    outputs = newOutputs();
    let step, shareable = true;
    try {
        // A run of a size budget is never shared, and its start takes longest: not started twice.
        if (picture && !(s.fit >= 1) && (!picture.read.every(Boolean)
            || (part === 0 && parts > 1 && handedFrom !== undefined))) {
            const reading = performance.now();
            shareable = readNeeded(s, part, parts);
            measure('rows', reading);
        } else if (picture && !picture.read.every(Boolean)) {
            shareable = false;
            readRows(0, picture.height - 1);
        }
        if (part > 0 && !shareable) return unshared();
        const begin = performance.now();
        step = startRun(s, picture || { address: 0, width: 0, height: 0 });
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
    const rowCount = mosaiq._mosaiq_row_count(), columns = mosaiq._mosaiq_column_count();
    const shared = shareable && sharedRun(part, parts);
    if (part > 0 && !shared) return unshared();
    band = { first: mosaiq._mosaiq_rows_done(), parts: shared ? parts : 1 };
    try {
        outputs.cells = cellRoom(4 * rowCount * columns);
    } catch (error) {
        // Refused at once: the cells' room grows as they come, as far as it can.
    }
    postMessage({ type: 'started', message, rowCount, columns, shared });
    slice();
}

// The second worker leaves the run asked to the first.
function unshared() {
    mosaiq._mosaiq_end();
    dropSpare();
    running = false;
    postMessage({ type: 'done', status: 'unshared' });
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
let pictureRead = Promise.resolve();
let asked = 0; // when the run was asked
// The module's mosaiq_start for settings s of the page and the picture p held.
function startRun(s, p) {
    const start = mosaiq.cwrap('mosaiq_start', 'number', ['number', 'number', 'number',
        'string', 'string', 'number', 'number', 'number', 'string', 'number', 'number',
        'number', 'number', 'string', 'number', 'number', 'number']);
    return start(p.address, p.width, p.height, s.columns, s.rows, s.treatment, s.square ? 1 : 0,
        s.random ? 1 : 0, s.characters, s.bold ? 1 : 0, s.italic ? 1 : 0, s.centred ? 1 : 0,
        s.background, s.dialect, s.merge ?? -1, s.fit ?? 0, s.split ? 1 : 0);
}

// A small run with the page's first options as soon as the module is made, its outputs
// dropped: the browser compiles a module's functions fully only once they have run a while, and
// the first photo's run would pay for it after the click.
function warmUp() {
    const side = 256;
    const address = mosaiq._mosaiq_hold_picture(side, side) >>> 0;
    if (!address) return;
    const pixels = mosaiq.HEAPU8.subarray(address, address + 4 * side * side);
    for (let i = 0; i < pixels.length; ++i) pixels[i] = i % 4 === 3 ? 255 : (i * 37) % 251;
    mosaiq._mosaiq_flatten_held(side * side, 0);
    const s = { columns: String(side), rows: String(side), treatment: 0, characters: 'o',
        centred: true, background: 0, dialect: 'blog' };
    outputs = null;
    for (let step = startRun(s, { address, width: side, height: side }); step === 0;)
        step = mosaiq._mosaiq_step(side);
    mosaiq._mosaiq_end();
    mosaiq._mosaiq_hold_picture(0, 0);
    outputs = newOutputs();
}

const ready = loadModule().then((reply) => {
    pixelLimit = reply.pixelLimit;
    postMessage(reply);
    try {
        warmUp();
    } catch (error) {
        // Only time lost: the first run makes the module afresh if it has to.
        outputs = newOutputs();
    }
    // Held while the tab waits, about 90 MB a worker: made at once only where the browser says
    // the device has 4 GB or more; elsewhere once a picture is read. The module's memory for a
    // full HD picture too: the first write to it would otherwise cost a fresh page each time,
    // as the picture is read.
    if ((navigator.deviceMemory || 0) >= 4 && self.name !== 'lean') {
        prepareSpare(prepared.cells, prepared.share);
        const address = mosaiq._mosaiq_hold_picture(1920, 1080) >>> 0;
        if (address) touched(mosaiq.HEAPU8.subarray(address, address + 4 * 1920 * 1080));
        mosaiq._mosaiq_hold_picture(0, 0);
    }
}, () => postMessage({ type: 'failed' }));

onmessage = async (event) => {
    await ready;
    const m = event.data;
    if (m.type === 'blob') {
        askBlob(m.run, m.which);
    } else if (m.type === 'stop') {
        stopAsked = true;
    } else if (m.type === 'partner') {
        partner = m.port;
        partner.onmessage = onmessage;
    } else if (m.type === 'picture') {
        dropThumbnail();
        handedFrom = undefined;
        const reading = readPicture(m.file, m.helping, m.parts, m.band);
        pictureRead = reading.then((r) => r.filled);
        const { kept, thumbnail, filled, ...read } = await reading;
        const handing = partner && !m.helping && m.parts > 1;
        if (handing) announce(m.file, read, m.parts);
        postMessage(read);
        if (handing) handOver();
        if (kept) thumbnailDue = { number: read.number, kept };
        if (read.type !== 'loaded') return;
        const cells = read.width * read.height;
        const parts = runParts(cells, m.parts);
        prepared = { cells, parts, share: rowShare(m.helping ? 1 : 0, parts) };
        prepareSpare(prepared.cells, prepared.share, heldSlabs());
        startReadingAhead(m.helping ? 1 : 0, prepared.parts);
        if (thumbnail) {
            postMessage({ type: 'thumbnail', number: read.number, thumbnail: await thumbnail });
        }
    } else if (m.type === 'rows') {
        if (rowsComing) rowsComing(m.pixels);
    } else if (m.type === 'thumbnail' || m.type === 'shown') {
        if (m.type === 'shown' && spareDue) {
            spareDue = false;
            prepareSpare(prepared.cells, prepared.share, heldSlabs());
        }
        if (thumbnailDue && thumbnailDue.number === m.number) makeThumbnail();
    } else if (m.type === 'scale') {
        postMessage(scale(m));
    } else if (m.type === 'convert' && !running) {
        asked = performance.now();
        running = true;
        await pictureRead;
        running = false;
        convert(m.settings, m.part ?? 0, m.parts ?? 1);
    }
};
