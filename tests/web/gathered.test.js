// The worker's outputs kept in slabs made ready before the run: every byte given back, in order,
// whether its slab was made ready or new.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { root, fs } = require('./support.js');

const source = fs.readFileSync(path.join(root, 'src/web/gathered.js'), 'utf8');

test('slabs made ready for a picture are taken first, and every byte comes back in order',
    async () => {
        // The worker's flag of a run going on is the script's to read.
        const w = new Function('running', `${source}
            return { Gathered, prepareSpare, cellRoom, spare, SlabBytes, spareChannel };`)(false);
        w.spareChannel.port1.unref();
        const settled = () => new Promise((resolve) => setTimeout(resolve, 300));
        w.prepareSpare(4000 * 3000, 1); // outputs sent into Blobs as the run goes: nothing ready
        await settled();
        assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells], [0, null]);
        w.prepareSpare(200000, 1); // a slab for each output
        await settled();
        assert.strictEqual(w.spare.slabs.length, 3);
        const ready = new Set(w.spare.slabs);
        const cells = w.spare.cells;
        assert.strictEqual(w.cellRoom(800000), cells);
        // Bytes of a pattern that repeats only every 251, in chunks of uneven sizes, past the
        // slabs made ready.
        const g = new w.Gathered('text/plain');
        const given = Buffer.alloc(5.5 * w.SlabBytes).map((_, i) => (i * 7 + (i >> 12)) % 251);
        for (let at = 0, n = 1; at < given.length; at += n, n = (n * 3 + 12345) % 3000000 + 1)
            g.add(given.subarray(at, at + n));
        assert.strictEqual(g.slabs.filter((s) => ready.has(s)).length, 3);
        const last = g.slabs.length - 1;
        const kept = new Blob(g.slabs.map((s, i) => (i === last ? s.subarray(0, g.filled) : s)));
        assert.ok(Buffer.from(await kept.arrayBuffer()).equals(given));
        assert.ok(Buffer.from(g.start).equals(given.subarray(0, 64 * 1024)));
    });

test('memory made ready is kept from picture to picture, fitted to each', async () => {
    const w = new Function('running', `${source}
        return { prepareSpare, fitSpare, spare, spareChannel };`)(false);
    w.spareChannel.port1.unref();
    const settled = () => new Promise((resolve) => setTimeout(resolve, 300));
    w.prepareSpare(200000, 1);
    await settled();
    const [slabs, cells] = [[...w.spare.slabs], w.spare.cells];
    // The very arrays, not others of the same bytes.
    const kept = (n) => w.spare.slabs.slice(0, n).every((s, i) => s === slabs[i]);
    // The same grid with a slab of the last run's outputs still held: one slab fewer, none new.
    w.prepareSpare(200000, 1, 1);
    await settled();
    assert.ok(w.spare.slabs.length === 2 && kept(2));
    assert.strictEqual(w.spare.cells, cells);
    // A larger grid (two slabs for the page, two for the HTML code, one for the blog code): those
    // kept, three more, and the cells' room of its size.
    w.prepareSpare(300000, 1);
    await settled();
    assert.ok(kept(2));
    assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells.length], [5, 1200000]);
    // A photo whose outputs go into Blobs as the run goes: all let go at once.
    w.fitSpare(4000 * 3000, 1);
    assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells], [0, null]);
});
