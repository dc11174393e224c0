// The worker's outputs kept in slabs, some made ready before the run: every byte given back, in
// order, whether the slabs were made ready or new, held or sent into Blobs as the run goes.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { root, fs } = require('./support.js');

const source = fs.readFileSync(path.join(root, 'src/web/gathered.js'), 'utf8');
// The worker's own flag, a run going on, is the script's to read.
function load() {
    const w = new Function('running', `${source}
        return { Gathered, prepareSpare, cellRoom, spare, SlabBytes, spareChannel };`)(false);
    // Its steps' channel keeps no test waiting.
    w.spareChannel.port1.unref();
    return w;
}
const settled = () => new Promise((resolve) => setTimeout(resolve, 300));

// count bytes of a pattern that repeats only every 251 bytes, in chunks of uneven sizes.
function feed(gathered, count) {
    const all = new Uint8Array(count).map((_, i) => (i * 7 + (i >> 12)) % 251);
    for (let at = 0, n = 1; at < count; at += n, n = (n * 3 + 12345) % 3000000 + 1)
        gathered.add(all.subarray(at, at + n));
    return Buffer.from(all);
}
async function bytesOf(g) {
    const blobs = [...g.parts, ...g.slabs.map((s, i) =>
        new Blob([i === g.slabs.length - 1 ? s.subarray(0, g.filled) : s]))];
    return Buffer.from(await new Blob(blobs).arrayBuffer());
}

test('slabs made ready for a picture are taken first, and every byte comes back in order',
    async () => {
        const w = load();
        w.prepareSpare(200000, 1); // 200,000 cells: two slabs' worth of outputs, and two more
        await settled();
        assert.strictEqual(w.spare.slabs.length, 4);
        assert.strictEqual(w.spare.cells.length, 800000);
        const ready = new Set(w.spare.slabs);
        const g = new w.Gathered('text/plain');
        const given = feed(g, 5.5 * w.SlabBytes); // past the slabs made ready
        assert.strictEqual(g.slabs.filter((s) => ready.has(s)).length, 4);
        assert.strictEqual(g.size, given.length);
        assert.ok((await bytesOf(g)).equals(given));
        assert.ok(Buffer.from(g.start).equals(given.subarray(0, 64 * 1024)));
        // The cells' room of that grid is the one made ready; another size gets its own.
        const cells = w.spare.cells;
        assert.strictEqual(w.cellRoom(800000), cells);
        w.prepareSpare(200000, 2);
        await settled();
        assert.notStrictEqual(w.cellRoom(400000), w.spare.cells);
    });

test('sent into Blobs as the run goes, the same bytes; a large picture gets no slabs ready',
    async () => {
        const w = load();
        w.prepareSpare(4000 * 3000, 1);
        await settled();
        assert.deepStrictEqual([w.spare.slabs.length, w.spare.cells], [0, null]);
        const g = new w.Gathered('text/plain');
        const first = feed(g, 2.5 * w.SlabBytes);
        g.stream();
        const rest = feed(g, 3.2 * w.SlabBytes);
        assert.strictEqual(g.slabs.length, 1);
        assert.ok((await bytesOf(g)).equals(Buffer.concat([first, rest])));
    });
