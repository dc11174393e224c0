// The worker's outputs as they come, kept until the page asks for them, and the memory made
// ready for them before the run (joined between the module's script and worker.js by
// scripts/web.sh).
'use strict';

const ShownBytes = 64 * 1024;

// An output as it comes: its first bytes kept for the page's pane, its bytes copied once out of
// the module's memory into slabs of SlabBytes, kept as they are. The Blob the page downloads or
// copies is built from them only when the page asks for it (askBlob): storing a photo's outputs
// in the browser costs more than the whole run, and most are never downloaded. But a run
// whose outputs will pass HeldLimit bytes sends its bytes into Blobs as it goes (stream()),
// through one slab filled again and again, so that a large photo's hundreds of megabytes are
// never held twice, in the tab and in the browser's store.
const HeldLimit = 160 * 1024 * 1024;
const SlabBytes = 8 * 1024 * 1024;

class Gathered {
    constructor(type) {
        this.type = type;
        this.parts = []; // Blobs
        this.slabs = [];
        this.filled = 0; // bytes in the last slab
        this.size = 0;
        this.start = new Uint8Array(0);
        this.streaming = false;
    }

    add(bytes) {
        if (this.start.length < ShownBytes) {
            const start = new Uint8Array(Math.min(ShownBytes, this.start.length + bytes.length));
            start.set(this.start);
            start.set(bytes.subarray(0, start.length - this.start.length), this.start.length);
            this.start = start;
        }
        this.size += bytes.length;
        for (let at = 0; at < bytes.length;) {
            if (this.slabs.length === 0 || this.filled === SlabBytes) this.nextSlab();
            const part = bytes.subarray(at, at + SlabBytes - this.filled);
            this.slabs[this.slabs.length - 1].set(part, this.filled);
            this.filled += part.length;
            at += part.length;
        }
    }

    nextSlab() {
        if (this.streaming && this.slabs.length > 0) {
            // A Blob copies its bytes: the slab is free again at once.
            this.parts.push(new Blob([this.slabs[0].subarray(0, this.filled)]));
        } else {
            this.slabs.push(spare.slabs.pop() || new Uint8Array(SlabBytes));
        }
        this.filled = 0;
    }

    stream() {
        if (this.streaming) return;
        this.streaming = true;
        while (this.slabs.length > 1) this.move();
    }

    // Moves the oldest slab into a Blob; whether there was one.
    move() {
        if (this.slabs.length === 0) return false;
        const slab = this.slabs.shift();
        const bytes = this.slabs.length === 0 ? slab.subarray(0, this.filled) : slab;
        if (bytes.length > 0) this.parts.push(new Blob([bytes]));
        return true;
    }
}

// done: the share of the rows made so far; parts: the workers sharing the run.
function bound(gathered, done, parts) {
    const size = gathered.reduce((sum, g) => sum + g.size, 0);
    if (size > HeldLimit / parts * done) for (const g of gathered) g.stream();
}

// Memory made ready while the page waits: the first write to each page of a new slab costs the
// system a fresh page, most of a photo's run in the worker. As the page opens, the worker writes
// into as many slabs as its share of a full HD photo's outputs (a cell a pixel) would fill, and
// into the room of its cells; once a picture is read, it adds or lets go of slabs to fit the grid
// the page proposes, the slabs of the last run's outputs counted (the next run takes them). All
// in small steps between its messages; the run takes them before new ones. Not for a run that
// will send its outputs into Blobs as it goes: there they would only add up.
// A cell's bytes in each output with the default options: the page, the HTML code, the blog code.
const CellBytes = [29, 29, 16];
const spare = { slabs: [], cells: null, picture: 0 };
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

// The slabs that a run needs for cells (a grid's) shared by parts workers; none when its outputs
// go into Blobs as it goes.
function slabsFor(cells, parts) {
    const bytes = CellBytes.map((b) => cells * b / parts);
    if (bytes.reduce((sum, b) => sum + b) > HeldLimit / parts) return -1;
    return bytes.reduce((sum, b) => sum + Math.ceil(b / SlabBytes), 0);
}

// Lets go at once of what a run for cells shared by parts workers will not take, before the
// module takes the picture's pixels. held: the slabs that the next run takes besides the spare.
function fitSpare(cells, parts, held = 0) {
    const slabs = slabsFor(cells, parts);
    if (slabs < 0) return dropSpare();
    ++spare.picture; // a preparation going on stops
    for (const bytes of spare.slabs.splice(Math.max(0, slabs - held))) release(bytes);
    if (spare.cells && spare.cells.length !== 4 * cells) {
        release(spare.cells);
        spare.cells = null;
    }
}

// cells: the picture's pixels; parts: the workers that will share its run; held: as fitSpare's.
function prepareSpare(cells, parts, held = 0) {
    fitSpare(cells, parts, held);
    const picture = spare.picture;
    const needed = slabsFor(cells, parts);
    if (needed < 0) return;
    const slabs = needed - held;
    let making = null, at = 0; // the array being touched, and how far
    spareStep = () => {
        if (spare.picture !== picture || running) return;
        if (!making) {
            if (!spare.cells) making = new Uint8Array(4 * cells);
            else if (spare.slabs.length < slabs) making = new Uint8Array(SlabBytes);
            else return;
            at = 0;
        }
        touched(making.subarray(at, at += TouchedPart));
        if (at >= making.length) {
            if (!spare.cells) spare.cells = making;
            else spare.slabs.push(making);
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

// Gives bytes that nothing else holds back to the system now: let go, their memory would wait for
// the collector, which an idle worker may not run for long (a second worker left out of a large
// photo's run would hold a full HD photo's outputs' memory through it).
function release(bytes) {
    if (ArrayBuffer.prototype.transfer) bytes.buffer.transfer(0);
}

// The room for a run's cells: the one made ready if it fits.
function cellRoom(bytes) {
    const room = spare.cells && spare.cells.length === bytes ? spare.cells : new Uint8Array(bytes);
    spare.cells = null;
    return room;
}
