// The worker's outputs as they come, kept until the page asks for them, the memory made ready
// for them before the run, and their Blobs built once the page asks (joined after engine.js by
// scripts/web.sh; it reads main.js's module, bridge and state).
'use strict';

const ShownBytes = 64 * 1024;

// An output as it comes: its first bytes kept for the page's pane, its bytes written by the module
// straight into slabs of its own memory (of its slabBytes) that the worker hands it (room()), kept
// there as they are: copied out during the run, they took as long as the module's own work. The
// Blob the page downloads or copies is built from them only when the page asks for it (askBlob):
// storing a photo's outputs in the browser costs more than the whole run, and most are never
// downloaded. A run whose outputs will pass HeldLimit bytes keeps none (drop()): its one slab is
// written again and again, only the first bytes and the size counted, and the output asked is
// written again by the same run (remake()), its bytes sent into Blobs as they come (stream()).
// Sent into Blobs during the run, a large photo's hundreds of megabytes took ten times the
// module's own time, and as much memory in the browser's store, for outputs seldom downloaded;
// kept in slabs, a full HD photo's held 160 MB in the workers' modules, which never give memory
// back. A grid whose page the frame shows, and somewhat larger ones, keep theirs.
const HeldLimit = 32 * 1024 * 1024;

// The module's memory from address on, for bytes bytes: a view made anew each time, the memory
// being replaced as it grows.
const heapBytes = (address, bytes) => mosaiq.HEAPU8.subarray(address, address + bytes);

// A slab of the module's memory; an error when the module has none left.
function newSlab() {
    const address = mosaiq._malloc(bridge.numbers.slabBytes) >>> 0;
    if (!address) throw new RangeError('no memory left for the outputs');
    return address;
}

class Gathered {
    // channel: the module's stream it gathers (bridge.numbers.channels).
    constructor(type, channel) {
        this.type = type;
        this.channel = channel;
        this.parts = []; // Blobs
        this.slabs = []; // addresses in the module's memory
        this.filled = 0; // bytes in the last slab
        this.size = 0;
        this.start = new Uint8Array(0);
        this.streaming = false;
        this.dropped = false;
        this.counted = false;
    }

    // The slab the module fills next, once the last is full: one made ready if any; sending the
    // outputs into Blobs as the run goes, the last one once its bytes are in a Blob; dropping
    // them, the last one again.
    room() {
        if (this.dropped && this.slabs.length > 0) {
            this.filled = 0;
            return this.slabs[0];
        }
        if (this.streaming) this.move();
        const slab = spare.slabs.pop() ?? newSlab();
        this.slabs.push(slab);
        this.filled = 0;
        return slab;
    }

    // size bytes that the module wrote into the last slab from address; address 0 for bytes
    // only counted (count()).
    add(address, size) {
        if (address && this.start.length < ShownBytes) {
            const start = new Uint8Array(Math.min(ShownBytes, this.start.length + size));
            start.set(this.start);
            start.set(heapBytes(address, start.length - this.start.length), this.start.length);
            this.start = start;
        }
        this.size += size;
        this.filled += size;
    }

    stream() {
        if (this.streaming) return;
        this.streaming = true;
        while (this.slabs.length > 1) this.move();
    }

    // From now on the bytes are only counted: the slabs but the last are made ready for another
    // output, and the last, whose bytes the module may still be writing, is written over.
    drop() {
        if (this.dropped) return;
        this.dropped = true;
        while (this.slabs.length > 1) spare.slabs.push(this.slabs.shift());
    }

    // Once dropped and its first bytes kept, the module only counts the bytes from now on,
    // between its steps: written over its slab, a large photo's outputs cost its run a third of
    // its time, and the first run the fresh memory of a slab per output.
    count() {
        if (!this.dropped || this.counted || this.start.length < ShownBytes) return;
        mosaiq._mosaiq_count_only(this.channel);
        this.counted = true;
    }

    // Moves the oldest slab's bytes into a Blob, the slab made ready for another output; whether
    // there was one.
    move() {
        if (this.slabs.length === 0) return false;
        const slab = this.slabs.shift();
        const bytes = this.slabs.length === 0 ? this.filled : bridge.numbers.slabBytes;
        if (bytes > 0) this.parts.push(new Blob([heapBytes(slab, bytes)]));
        spare.slabs.push(slab);
        return true;
    }
}

// done: the share of the rows made so far; parts: the workers sharing the run.
function bound(gathered, done, parts) {
    const size = gathered.reduce((sum, g) => sum + g.size, 0);
    if (size > HeldLimit / parts * done) for (const g of gathered) g.drop();
    for (const g of gathered) g.count();
}

// Memory made ready while the page waits: the first write to each page of a new slab costs the
// system a fresh page, most of a photo's run in the worker. Once a picture is read, the worker
// writes into the room of its cells and into as many slabs as its share of the grid's outputs
// would fill; it adds or lets go of slabs to fit the grid
// the page proposes, the slabs of the last run's outputs counted (the next run takes them). All
// in small steps between its messages; the run takes them before new ones. Not for a run that
// will send its outputs into Blobs as it goes: there they would only add up. The slabs are
// counted by a letter cell's bytes in each output (the module's cellBytes; a photo's with the
// default options: 30.0, 30.0 and 16.0).
const spare = { slabs: [], cells: null, ready: 0, picture: 0 };
const spareChannel = new MessageChannel();
let spareStep = () => {};
spareChannel.port1.onmessage = () => spareStep();

// Touches each page of bytes, so that the system gives it now.
function touched(bytes) {
    for (let at = 0; at < bytes.length; at += 4096) bytes[at] = 0;
    return bytes;
}

// What a step of the preparation touches: a run asked meanwhile waits no more than that.
const TouchedPart = 1024 * 1024;

// The slabs that a run needs for cells (a grid's), share of its rows made by this worker; none
// when its outputs go into Blobs as it goes. Each worker's own share: made ready for half, the
// second worker's larger band took fresh slabs during the run, and their first writes doubled
// its module's time.
function slabsFor(cells, share) {
    const { cellBytes, slabBytes } = bridge.numbers;
    if (cells * cellBytes.reduce((sum, b) => sum + b) > HeldLimit) return -1;
    return cellBytes.reduce((sum, b) => sum + Math.ceil(cells * b * share / slabBytes), 0);
}

// Lets go at once of what a run for cells, share of its rows made here, will not take, before
// the module takes the picture's pixels. held: the slabs that the next run takes besides the spare.
function fitSpare(cells, share, held = 0) {
    const slabs = Math.max(0, slabsFor(cells, share));
    ++spare.picture; // a preparation going on stops
    for (const bytes of spare.slabs.splice(Math.max(0, slabs - held))) release(bytes);
    if (spare.cells) {
        spare.cells = fitted(spare.cells, spareCellBytes(cells, share));
        if (spare.cells) spare.ready = Math.min(spare.ready, spare.cells.length);
    }
}

// Once the browser has refused the module memory, none is made ready ahead: slabs held for a
// run that may never come would leave the next run too little to finish.
let memoryRefused = false;

// cells: the picture's pixels; share, held: as fitSpare's.
function prepareSpare(cells, share, held = 0) {
    fitSpare(cells, share, held);
    if (memoryRefused) return;
    const picture = spare.picture;
    // The cells go to the page whatever becomes of the outputs: their room is made ready even for
    // a run that keeps no slab, whose copy of a photo's cells into fresh memory took a 12 MP
    // photo's run 120 ms.
    const slabs = Math.max(0, slabsFor(cells, share)) - held;
    // The slab being touched, and how far; the cells' room is touched where it lies, in the
    // spare, up to spare.ready: a room half touched is still one for the run, and a room grown
    // for a larger picture keeps the pages already touched.
    let making = null, at = 0;
    spareStep = () => {
        if (spare.picture !== picture || running) {
            // A slab half touched is still one for the run.
            if (making && spare.picture !== picture) release(making.slab);
            else if (making) spare.slabs.push(making.slab);
            making = null;
            return;
        }
        if (!making) {
            try {
                if (!spare.cells) {
                    spare.cells = newRoom(spareCellBytes(cells, share));
                    spare.ready = 0;
                }
                if (spare.ready < spare.cells.length) {
                    const from = spare.ready;
                    spare.ready = Math.min(spare.cells.length, from + TouchedPart);
                    touched(spare.cells.subarray(from, spare.ready));
                    spareChannel.port2.postMessage(0);
                    return;
                }
                if (spare.slabs.length < slabs) making = { slab: newSlab() };
                else return;
            } catch (error) {
                return; // the run makes what it needs, as far as it can
            }
            at = 0;
        }
        const bytes = heapBytes(making.slab, bridge.numbers.slabBytes);
        touched(bytes.subarray(at, at += TouchedPart));
        if (at >= bytes.length) {
            spare.slabs.push(making.slab);
            making = null;
        }
        spareChannel.port2.postMessage(0);
    };
    spareStep();
}

function dropSpare() {
    ++spare.picture;
    for (const bytes of spare.slabs) release(bytes);
    if (spare.cells) release(spare.cells);
    spare.slabs = [];
    spare.cells = null;
}

// Gives bytes that nothing else holds back: an array to the system now (let go, its memory would
// wait for the collector, which an idle worker may not run for long); a slab to the module, for
// its picture.
function release(bytes) {
    if (typeof bytes === 'number') mosaiq._free(bytes);
    else if (ArrayBuffer.prototype.transferToFixedLength) bytes.buffer.transferToFixedLength(0);
}

// A run's cells: four bytes a cell, eight for shapes (CellStream).
const cellBytesOf = (shapes) => (shapes ? 8 : 4);

// The room made ready for the cells of a run of one cell a pixel on a picture of cells pixels,
// share of its rows made here, with the cells chosen as the picture was read (pictureShapes):
// the first worker's from its band to the grid's end, where the page joins the second band onto
// its own (joinedCells); the second's, its band and a little more (bandStart rounds).
function spareCellBytes(cells, share) {
    return cellBytesOf(pictureShapes) * (ownPart === 0 ? cells
        : Math.ceil(cells * Math.min(1, share * 1.02)));
}

// Whether a room made ready takes bytes of cells without much to spare, the room going to the
// page with the cells: the room made ready as the page opens serves a 16:9 photo's second band,
// which a picture decoded apart makes smaller too (FirstApartShare).
const roomFits = (room, bytes) => room.length >= bytes && room.length <= bytes * 1.4 + 65536;

// A room for bytes of cells: where the browser can, one that grows and shrinks in place up to a
// run's on the largest picture, so that the pages written of a room made ready for a full HD
// photo take the first cells of a larger one's run rather than fresh pages (a 12 MP photo's
// first worker, 9 MB of its 25); elsewhere, one of its size.
function newRoom(bytes) {
    try {
        return new Uint8Array(new ArrayBuffer(bytes,
            { maxByteLength: Math.max(bytes, 8 * bridge.numbers.pixelLimit) }));
    } catch (error) {
        return new Uint8Array(bytes);
    }
}
const resizes = (room, bytes) => Boolean(room.buffer.resizable) && room.buffer.maxByteLength >= bytes;
function resized(room, bytes) {
    room.buffer.resize(bytes);
    return new Uint8Array(room.buffer, 0, bytes);
}

// room for bytes of cells: grown or shrunk to them, as it is if it fits, or let go (null).
function fitted(room, bytes) {
    if (resizes(room, bytes)) return resized(room, bytes);
    if (roomFits(room, bytes)) return room;
    release(room);
    return null;
}

// The room for a run's cells: the one made ready, fitted to them, or a new one.
function cellRoom(bytes) {
    const room = spare.cells && fitted(spare.cells, bytes);
    spare.cells = null;
    return room || newRoom(bytes);
}

// A run's outputs as they come: the page and the codes kept in slabs (gathered, in the order of
// the page's "which": the page, the HTML code, the blog code), the posts, the cells.
function newOutputs() {
    const { page, html, blog } = bridge.numbers.channels;
    return {
        gathered: [new Gathered('text/html;charset=windows-1252', page),
            new Gathered('text/plain;charset=utf-8', html),
            new Gathered('text/plain;charset=utf-8', blog)],
        posts: [],
        cells: new Uint8Array(0), // four bytes a cell, room made once the grid is known
        cellBytes: 0,
    };
}

// The output kept of the module's channel; undefined for the posts and the cells.
function gatheredOf(channel) {
    const { page, html, blog } = bridge.numbers.channels;
    return outputs.gathered[[page, html, blog].indexOf(channel)];
}

// size bytes the module handed on channel from address (past 2 GB, a negative number).
function handChunk(channel, address, size) {
    if (remaking) {
        if (channel === remaking.channel) remaking.gathered.add(address >>> 0, size);
        return;
    }
    if (!outputs) return;
    const gathered = gatheredOf(channel);
    if (gathered) return gathered.add(address >>> 0, size);
    const bytes = heapBytes(address >>> 0, size);
    if (channel === bridge.numbers.channels.post) {
        outputs.posts.push(new Blob([bytes], { type: 'text/plain;charset=utf-8' }));
        return;
    }
    if (outputs.cellBytes + size > outputs.cells.length) {
        const bytes = Math.max(2 * outputs.cells.length, outputs.cellBytes + size);
        if (resizes(outputs.cells, bytes)) {
            outputs.cells = resized(outputs.cells, bytes);
        } else {
            const cells = newRoom(bytes);
            cells.set(outputs.cells.subarray(0, outputs.cellBytes));
            outputs.cells = cells;
        }
    }
    outputs.cells.set(bytes, outputs.cellBytes);
    outputs.cellBytes += size;
}

// The last run's outputs, whose Blobs are built when the page asks for them.
let waiting = null;
// The slabs of the last run's outputs, which the next run takes.
const heldSlabs = () => (waiting ? waiting.gathered.reduce((n, g) => n + g.slabs.length, 0) : 0);

// An output's Blob, made from its slabs one at a time, or written again a slice of rows at a time
// when they were dropped: the slabs so moved are let go at once, and the worker reads its
// messages between the steps. Asked again, the same Blob. A new run drops what is left of the
// last one's.
const blobChannel = new MessageChannel();
blobChannel.port1.onmessage = () => blobStep();
const blobsAsked = [];
let blobBegin = 0;
// Asked of a run this worker no longer holds (its module made again since), the answer is null,
// and the page says that the file can no longer be made, rather than waiting for it.
function askBlob(ofRun, which) {
    if (!waiting || waiting.run !== ofRun) {
        post(self, 'blob', { run: ofRun, which, blob: null });
        return;
    }
    if (blobsAsked.includes(which)) return;
    blobsAsked.push(which);
    if (blobsAsked.length === 1) blobStep();
}
// Every output asked of the last run answered null: it cannot be written again.
function blobsLost() {
    for (const which of blobsAsked.splice(0))
        post(self, 'blob', { run: waiting.run, which, blob: null });
}
function blobStep() {
    if (blobsAsked.length === 0 || !waiting) return;
    const which = blobsAsked[0];
    const g = waiting.gathered[which];
    if (!blobBegin) blobBegin = performance.now();
    if (g.dropped && !waiting.remake.picture) return readRunPicture(waiting);
    if (g.dropped) {
        try {
            if (remake(which)) return blobChannel.port2.postMessage(0);
        } catch (error) {
            // The module may be unusable: made again, it holds neither the run nor its picture.
            remaking = null;
            remakeModule();
            return;
        }
    } else if (g.move() && g.slabs.length > 0) {
        return blobChannel.port2.postMessage(0);
    }
    const blob = new Blob(g.parts, { type: g.type });
    g.parts = [blob];
    measure('blob', blobBegin);
    blobBegin = 0;
    post(self, 'blob', { run: waiting.run, which, blob, measures: takeMeasures() });
    waiting.delivered = (waiting.delivered || 0) + 1;
    blobsAsked.shift();
    if (blobsAsked.length > 0) blobChannel.port2.postMessage(0);
}

// The last run of the worker this one took the place of (takeOver; last: as the message's),
// none of its outputs held here: each is written again when asked, from its picture read again.
function takeRun(last) {
    dropRemake();
    run = last.run;
    const gathered = newOutputs().gathered;
    gathered.forEach((g, which) => {
        g.size = last.sizes[which] ?? 0;
        g.dropped = last.sizes[which] !== null;
    });
    const { settings, part, parts, firstShare } = last;
    waiting = { run, gathered, remake: { settings, part, parts, firstShare, picture: null },
        delivered: last.sizes.filter((size) => size === null).length, file: last.file,
        reading: null };
}

// The picture of a run taken over (takeRun), read from its file once one of its outputs is
// asked; kept in the module past the picture held for the next run (mosaiq_keep_picture), which
// is read again from its own file when a run needs it. A run asked meanwhile waits for it.
function readRunPicture(w) {
    // A run asked meanwhile reads its own picture: the last run's outputs go.
    if (w.reading || running) return;
    const current = pictureFile;
    w.reading = readPicture(w.file).catch(() => {
        remakeModule();
        return { type: 'refused' };
    }).then((read) => {
        if (read.kept) read.kept.close();
        if (waiting !== w) return;
        if (read.type !== 'loaded') {
            // Its file can no longer be read (changed on the disk since): nor its outputs made.
            blobsLost();
            waiting = null;
            return;
        }
        const { address, width, height } = picture;
        w.remake.picture = { address, width, height };
        mosaiq._mosaiq_keep_picture(1);
        // The same file from the same message is the same object here.
        if (current !== w.file) {
            dropPicture();
            pictureFile = current;
        }
        blobStep();
    });
    pictureRead = w.reading;
}

// The output being written again (remake): its channel, its bytes sent into Blobs as they come,
// the rows a step; null when none is.
let remaking = null;
const RemadeCells = 256 * 1024;

// A new run ends the writing again of the last one's output, if any: its slabs are made ready.
function dropRemake() {
    if (remaking) spare.slabs.push(...remaking.gathered.slabs);
    remaking = null;
}

// A step of output which of the last run written again, when its bytes were dropped: the same
// settings on the same picture (which the module keeps past a new one, mosaiq_keep_picture) and
// the same band give the same bytes; a stopped run's output is the start of the whole one's, up
// to the size it had. Whether steps are left; at the end, the output holds its Blob.
function remake(which) {
    const r = waiting.remake;
    const g = waiting.gathered[which];
    if (!remaking) {
        const { page, html, blog } = bridge.numbers.channels;
        const channel = [page, html, blog][which];
        remaking = { channel, gathered: new Gathered(g.type, channel) };
        remaking.gathered.stream();
        const started = bridge.start(r.picture, r.settings) === 0 && (r.parts === 1
            || mosaiq._mosaiq_share(r.part, r.parts, r.firstShare) === 1);
        remaking.rows = started
            ? Math.max(1, Math.floor(RemadeCells / Math.max(1, mosaiq._mosaiq_column_count())))
            : 0;
    }
    const made = remaking.gathered;
    if (remaking.rows > 0 && made.size < g.size && mosaiq._mosaiq_step(remaking.rows) === 0)
        return true;
    mosaiq._mosaiq_end();
    remaking = null;
    // Shorter than the run's output (the run written again was refused): never a cut file handed
    // on as the whole one; the caller says the failure.
    if (made.size < g.size) throw new RangeError('output written again is short');
    while (made.move());
    const blob = new Blob(made.parts, { type: g.type });
    g.parts = [made.size > g.size ? blob.slice(0, g.size, g.type) : blob];
    g.dropped = false;
    return false;
}
