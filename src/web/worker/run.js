// A run of the module in the worker: started with the page's settings, the rows made a slice at a
// time between the worker's messages, its outputs handed to the page once it is over (joined
// after thumbnail.js by scripts/web.sh; it reads main.js's module, bridge and state).
'use strict';

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

// This worker's band of the run going on: its first row, and the workers sharing the run.
let band = { first: 0, parts: 1 };
// This worker's part of a shared run: the page names its second worker (page/workers.js).
const ownPart = self.name === 'second' || self.name === 'lean' ? 1 : 0;
// What the memory made ready is for (prepareSpare): as the page opens, a full HD photo's run,
// shared when the page has a second worker; share: this worker's rows of it. Set once the
// module is made (main.js), which tells which runs are shared.
let prepared = null;
function prepareFor(cells, part, parts, apart = false) {
    const sharing = bridge.sharingParts(cells, parts, apart);
    prepared = { cells, parts: sharing, share: bridge.rowShare(part, sharing, apart) };
}

// The outputs go to the page as soon as the run is over: each code's first bytes and size, the
// posts and the cells (handed over, not copied); then, once the page asks, each output's Blob as
// it is built.
let run = 0;
function finish(status, message) {
    // The characters a cell's byte stands for where the page writes some as references.
    const given = mosaiq ? mosaiq._mosaiq_cell_characters() >>> 0 : 0;
    const characters = given ? Array.from(new Uint32Array(mosaiq.HEAPU8.buffer, given,
        mosaiq._mosaiq_cell_character_count())) : null;
    if (mosaiq) mosaiq._mosaiq_end();
    running = false;
    const cells = outputs.cells.subarray(0, outputs.cellBytes);
    const gathered = outputs.gathered;
    const [page, html, blog] = gathered.map((g) => ({ start: g.start, size: g.size }));
    const posts = outputs.posts;
    // Dropped, an output is written again when asked: its slab is let go now.
    const dropped = gathered.some((g) => g.dropped);
    for (const g of gathered.filter((o) => o.dropped)) spare.slabs.push(...g.slabs.splice(0));
    outputs = newOutputs();
    performance.measure('mosaiq-module', { start: converting, duration: stepTime - chunkTime });
    performance.measure('mosaiq-chunks', { start: converting, duration: chunkTime });
    performance.measure('mosaiq-moved', { start: converting, duration: movedTime });
    performance.measure('mosaiq-between', { start: converting, duration: betweenTime });
    measure('conversion', converting);
    post(self, 'done', { run, status, message, page, html, blog, posts, cells, characters,
        measures: takeMeasures() }, [cells.buffer]);
    waiting = { run, gathered, remake: dropped ? ran : null };
    // The cells' room went to the page: a new one for the next run, and the slabs it needs
    // besides the last run's, once the page has shown the outputs ('shown'): made now, they
    // would take the cores that the other worker's band and the page need.
    spareDue = true;
}
let spareDue = false;
// The settings, band and picture of the run going on or last made.
let ran = null;

// A failure of the module (its memory refused by the browser, or an exception out of it) leaves
// it unusable: it is thrown away and a new one made, and the page goes on.
function memoryFailed() {
    remakeModule();
    post(self, 'done', { status: 'memory', message: words.memory });
}

// The module thrown away and made again. Making it takes a while, and the page may send a picture
// or a run meanwhile: every message waits for it (moduleMade, main.js), where handled at once it
// found no module, and the picture chosen just after a memory failure was refused for lack of
// memory.
function remakeModule() {
    memoryRefused = true;
    outputs = newOutputs();
    dropPicture();
    // The slabs were the module's memory; a preparation going on stops.
    spare.slabs = [];
    ++spare.picture;
    if (waiting) blobsLost();
    waiting = null;
    running = false;
    mosaiq = null;
    // Should it fail, the next message finds no module and says so.
    moduleMade = loadModule().catch(() => {});
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
    post(self, 'progress', { percent: mosaiq._mosaiq_percent(), rows, rowCount });
    yielded = performance.now();
    yieldChannel.port2.postMessage(0);
}

// part of parts: the band of rows this worker makes if the run is shared.
async function convert(s, part, parts) {
    if (!mosaiq) return post(self, 'done', { status: 'memory', message: words.memory });
    running = true;
    // A module made again after a failure holds no picture: it is read again from its file.
    if (!picture && pictureFile) {
        let read;
        try {
            read = await readPicture(pictureFile);
        } catch (error) {
            return memoryFailed();
        }
        if (read.kept) read.kept.close();
        if (read.type !== 'loaded') {
            running = false;
            post(self, 'done', { status: 'refused', message: read.message });
            return;
        }
    }
    ++run;
    dropRemake();
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
    let step, shareable = false;
    try {
        if (picture) {
            const reading = performance.now();
            shareable = readNeeded(s, part, parts);
            measure('rows', reading);
        }
        // A JPEG that libjpeg gave up on in rows decoded only now, as mosaiq-cli refuses it.
        if (picture && picture.damaged) {
            running = false;
            return post(self, 'done', { status: 'refused', message: words.damaged });
        }
        if (part > 0 && !shareable) return unshared();
        const begin = performance.now();
        step = bridge.start(picture || { address: 0, width: 0, height: 0 }, s);
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
    // The bands split as the picture is read: each worker decodes its own band of a plain JPEG
    // (decodeApart), the first hands the second its rows of any other picture. Told from the
    // file alone, so that a worker that read the picture whole splits it alike.
    const firstShare = bridge.firstShare(Boolean(picture && picture.bands));
    const shared = shareable && mosaiq._mosaiq_share(part, parts, firstShare) === 1;
    if (part > 0 && !shared) return unshared();
    band = { first: mosaiq._mosaiq_rows_done(), parts: shared ? parts : 1 };
    // What writes this run's outputs again, should they be dropped.
    mosaiq._mosaiq_keep_picture(1);
    const { address, width, height } = picture || { address: 0, width: 0, height: 0 };
    ran = { settings: s, part, parts: band.parts, firstShare,
        picture: { address, width, height } };
    try {
        // From this worker's band to the last row: the first worker's room takes the second's
        // band too once the page joins them (joinedCells).
        outputs.cells = cellRoom(cellBytesOf(s.shapes) * (rowCount - band.first) * columns);
    } catch (error) {
        // Refused at once: the cells' room grows as they come, as far as it can.
    }
    post(self, 'started', { message, rowCount, columns, shared, firstShare });
    slice();
}

// The second worker leaves the run asked to the first.
function unshared() {
    mosaiq._mosaiq_end();
    dropSpare();
    running = false;
    post(self, 'done', { status: 'unshared' });
}

// Small runs as soon as the module is made, their outputs dropped: the browser compiles a
// module's functions fully only once they have run a while, and the first photo's decode and
// run would pay for it after the click. The decoders on the module's own small photos; a run
// with the page's first options, and with shapes at one pixel a cell and at several.
function warmUp() {
    mosaiq._mosaiq_warm_decoders(8);
    const side = 256;
    const address = mosaiq._mosaiq_hold_picture(side, side) >>> 0;
    if (!address) return;
    const pixels = mosaiq.HEAPU8.subarray(address, address + 4 * side * side);
    for (let i = 0; i < pixels.length; ++i) pixels[i] = i % 4 === 3 ? 255 : (i * 37) % 251;
    mosaiq._mosaiq_flatten_held(side * side, 0);
    const { shapes } = bridge.numbers;
    const runs = [{ columns: side, rows: side },
        { columns: side, rows: side, shapes: shapes.blocks },
        { columns: side / 16, rows: side / 16, shapes: shapes.all }];
    outputs = null;
    for (const { columns, rows, shapes: set } of runs) {
        const s = { columns: String(columns), rows: String(rows), shapes: set };
        for (let step = bridge.start({ address, width: side, height: side }, s); step === 0;)
            step = mosaiq._mosaiq_step(side);
        mosaiq._mosaiq_end();
    }
    mosaiq._mosaiq_hold_picture(0, 0);
    outputs = newOutputs();
}
