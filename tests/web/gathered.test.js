// The worker's outputs kept in slabs of the module's memory made ready before the run: every byte
// given back, in order, whether its slab was made ready or new, kept whole or sent into Blobs as
// the run goes; or dropped, counted only.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { root, fs, loadModule, engineOf } = require('./support.js');

const source = fs.readFileSync(path.join(root, 'src/web/worker/outputs.js'), 'utf8');
// The worker's script as it runs: its module, its flag of a run going on, its part of a shared
// run and whether the page chose shapes are the script's to read, and the engine's numbers its
// bridge's.
let numbers = null;
async function outputsScript(mosaiq, names, { shapes = false, part = 0 } = {}) {
    numbers = numbers || engineOf(await loadModule()).numbers;
    const w = new Function('running', 'mosaiq', 'bridge', 'pictureShapes', 'ownPart', `${source}
        return { ${names}, spareChannel, blobChannel };`)(false, mosaiq, { numbers }, shapes,
        part);
    w.spareChannel.port1.unref();
    w.blobChannel.port1.unref();
    return w;
}

// The module's memory as the worker sees it: a heap, blocks taken from it and given back.
function fakeModule() {
    let next = 64;
    const free = [], countedOnly = [];
    return { HEAPU8: new Uint8Array(160 * 1024 * 1024), freed: free, countedOnly,
        _malloc: (n) => free.pop() ?? ((next += n) - n), _free: (a) => free.push(a),
        _mosaiq_count_only: (channel) => countedOnly.push(channel) };
}

// Writes bytes into g as the module does: into the slab it hands, the next once it is full.
function write(w, mosaiq, g, bytes) {
    let at = 0, end = 0;
    for (let from = 0, n = 1; from < bytes.length; from += n, n = (n * 3 + 12345) % 3000000 + 1) {
        for (let chunk = bytes.subarray(from, from + n); chunk.length > 0;) {
            if (at === end) {
                at = g.room();
                end = at + numbers.slabBytes;
            }
            const part = chunk.subarray(0, end - at);
            mosaiq.HEAPU8.set(part, at);
            g.add(at, part.length);
            at += part.length;
            chunk = chunk.subarray(part.length);
        }
    }
}
const pattern = (bytes) => Buffer.alloc(bytes).map((_, i) => (i * 7 + (i >> 12)) % 251);

test('slabs made ready for a picture are taken first, and every byte comes back in order',
    async () => {
        const mosaiq = fakeModule();
        const w = await outputsScript(mosaiq, 'Gathered, prepareSpare, cellRoom, spare');
        const settled = () => new Promise((resolve) => setTimeout(resolve, 300));
        // Outputs sent into Blobs as the run goes: no slab, but the room of the cells, which go to
        // the page all the same.
        w.prepareSpare(1000 * 1000, 1);
        await settled();
        assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells.length], [0, 4000000]);
        w.prepareSpare(200000, 1); // a slab for each output
        await settled();
        assert.strictEqual(w.spare.slabs.length, 3);
        const ready = new Set(w.spare.slabs);
        const cells = w.spare.cells;
        assert.strictEqual(w.cellRoom(800000).buffer, cells.buffer);
        // Bytes of a pattern that repeats only every 251, in chunks of uneven sizes, past the
        // slabs made ready.
        const g = new w.Gathered('text/plain');
        const given = pattern(5.5 * numbers.slabBytes);
        write(w, mosaiq, g, given);
        assert.strictEqual(g.slabs.filter((s) => ready.has(s)).length, 3);
        assert.strictEqual(g.size, given.length);
        assert.ok(Buffer.from(g.start).equals(given.subarray(0, 64 * 1024)));
        while (g.move());
        const kept = new Blob(g.parts);
        assert.ok(Buffer.from(await kept.arrayBuffer()).equals(given));
        // Each slab ready again once its bytes are in a Blob.
        assert.strictEqual(w.spare.slabs.length, 6);
        // Sent into Blobs as it goes from the second slab on: one slab taken again and again.
        const streamed = new w.Gathered('text/plain');
        write(w, mosaiq, streamed, given.subarray(0, numbers.slabBytes + 1));
        streamed.stream();
        write(w, mosaiq, streamed, given.subarray(numbers.slabBytes + 1));
        assert.strictEqual(streamed.slabs.length, 1);
        streamed.move();
        const sent = new Blob(streamed.parts);
        assert.ok(Buffer.from(await sent.arrayBuffer()).equals(given));
        assert.strictEqual(w.spare.slabs.length, 6);
        // Dropped from the third slab on: only the first bytes and the size are kept, one slab
        // written over and over, the one before it made ready again.
        const dropped = new w.Gathered('text/plain', 7);
        write(w, mosaiq, dropped, given.subarray(0, 2 * numbers.slabBytes + 1));
        dropped.drop();
        write(w, mosaiq, dropped, given.subarray(2 * numbers.slabBytes + 1));
        assert.strictEqual(dropped.slabs.length, 1);
        assert.strictEqual(dropped.size, given.length);
        assert.ok(Buffer.from(dropped.start).equals(given.subarray(0, 64 * 1024)));
        assert.strictEqual(w.spare.slabs.length, 5);
        // Then the module is told to only count its bytes, once: they come with no address.
        dropped.count();
        dropped.count();
        assert.deepStrictEqual(mosaiq.countedOnly, [7]);
        dropped.add(0, 1000);
        assert.strictEqual(dropped.size, given.length + 1000);
        assert.ok(Buffer.from(dropped.start).equals(given.subarray(0, 64 * 1024)));
    });

test('memory made ready is kept from picture to picture, fitted to each', async () => {
    const mosaiq = fakeModule();
    const w = await outputsScript(mosaiq, 'prepareSpare, fitSpare, spare');
    const settled = () => new Promise((resolve) => setTimeout(resolve, 300));
    w.prepareSpare(200000, 1);
    await settled();
    const [slabs, cells] = [[...w.spare.slabs], w.spare.cells];
    // The very slabs, not others of the same bytes.
    const kept = (n) => w.spare.slabs.slice(0, n).every((s, i) => s === slabs[i]);
    // The same grid with a slab of the last run's outputs still held: one slab fewer, none new.
    w.prepareSpare(200000, 1, 1);
    await settled();
    assert.ok(w.spare.slabs.length === 2 && kept(2));
    assert.strictEqual(w.spare.cells.buffer, cells.buffer);
    // A larger grid (two slabs for the page, two for the HTML code, one for the blog code): those
    // kept, three more, and the cells' room of its size.
    w.prepareSpare(300000, 1);
    await settled();
    assert.ok(kept(2));
    assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells.length], [5, 1200000]);
    // A photo whose outputs go into Blobs as the run goes: the slabs let go at once, the cells'
    // room grown where it lies, its pages already written kept, the rest written as it waits.
    w.fitSpare(4000 * 3000, 1);
    assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells.buffer, w.spare.ready],
        [0, cells.buffer, 1200000]);
    w.prepareSpare(4000 * 3000, 1);
    for (let wait = 0; wait < 100 && w.spare.ready < 48000000; ++wait) await settled();
    assert.deepStrictEqual([w.spare.cells.length, w.spare.ready], [48000000, 48000000]);
    // The slabs given back to the module, for the picture.
    assert.strictEqual(new Set(mosaiq.freed).size, 5);
});

test('each worker of a shared run has slabs made ready for its whole band; a full HD photo\'s '
    + 'outputs are dropped, and none are, only its cells\' room, which its run takes', async () => {
    // mosaiq-cli's outputs of a full HD photo (bench/web's), in bytes: the page, the codes; and
    // a grid of a sixth of its cells.
    const outputs = [62214637, 62212337, 33179782];
    const sixth = 1920 * 1080 / 6;
    for (const [part, share, shapes] of [[0, 0.45, false], [1, 0.55, true]]) {
        const w = await outputsScript(fakeModule(), 'prepareSpare, cellRoom, spare',
            { shapes, part });
        w.prepareSpare(sixth, share);
        await new Promise((resolve) => setTimeout(resolve, 500));
        const needed = outputs.reduce((n, bytes) => n + Math.ceil(bytes / 6 * share
            / numbers.slabBytes), 0);
        assert.ok(w.spare.slabs.length >= needed, `${w.spare.slabs.length} for ${share}`);
        // Not much more: the slabs are held while the tab waits.
        assert.ok(w.spare.slabs.length <= needed + 1, `${w.spare.slabs.length} for ${share}`);
        w.prepareSpare(1920 * 1080, share);
        await new Promise((resolve) => setTimeout(resolve, 300));
        assert.strictEqual(w.spare.slabs.length, 0);
        // The first worker's cells from its band to the grid's end (the page joins the second
        // band onto its own), the second's from its band on: eight bytes a cell with shapes.
        const rows = part === 0 ? 1080 : 1080 - Math.floor(1080 * 0.45);
        const room = w.spare.cells;
        assert.strictEqual(w.cellRoom((shapes ? 8 : 4) * 1920 * rows).buffer, room.buffer);
    }
});
