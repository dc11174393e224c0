// What the web tests share: the module's factory, a PNG writer for pixels made here, and a run
// of the module, through the worker's bridge (src/web/engine.js), that gathers each output whole.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { engineOf } = require('../../src/web/engine.js');

const root = path.resolve(__dirname, '../..');
const moduleScript = process.env.MOSAIQ_WEB_MODULE
    || path.join(root, 'build-web/src/web/mosaiq-web.js');
const cli = process.env.MOSAIQ_CLI || path.join(root, 'build/src/cli/mosaiq-cli');

const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});
function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

// An RGBA PNG (colour type 6, no profile, no gamma) of the given bytes.
function png(rgba, width, height) {
    const chunk = (type, data) => {
        const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
        const out = Buffer.alloc(body.length + 8);
        out.writeUInt32BE(data.length, 0);
        body.copy(out, 4);
        out.writeUInt32BE(crc32(body), body.length + 4);
        return out;
    };
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;
    header[9] = 6;
    const raw = Buffer.alloc((width * 4 + 1) * height);
    for (let y = 0; y < height; ++y)
        Buffer.from(rgba.buffer, rgba.byteOffset + y * width * 4, width * 4)
            .copy(raw, y * (width * 4 + 1) + 1);
    return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
        chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]);
}

// A picture of many colours, with a transparent corner and a half-transparent band. A browser's
// canvas keeps colours premultiplied and gives the band back only to within rounding; flattened
// on white, as the module does, it gives mosaiq-cli's colours all the same.
function testPixels(width, height, halfTransparent = true) {
    const rgba = new Uint8Array(width * height * 4);
    for (let y = 0; y < height; ++y) {
        for (let x = 0; x < width; ++x) {
            const i = 4 * (y * width + x);
            rgba[i] = (x * 37 + y * 11) & 255;
            rgba[i + 1] = (x * 5 + y * 53) & 255;
            rgba[i + 2] = (x * y * 7 + 90) & 255;
            // Below, a band of every degree of transparency.
            const band = halfTransparent && y >= height - 8 ? (x * 13 + y * 31) & 255 : 255;
            rgba[i + 3] = x < 3 && y < 3 ? 0 : band;
        }
    }
    return rgba;
}

async function loadModule() {
    const create = require(moduleScript);
    return create();
}

// Runs one conversion to its end, rows a few at a time as the page does; the outputs as
// Buffers, the posts as a list. o: the page's settings (a field left out, the engine's default;
// the size fields, the picture's), and o.part of o.parts: the band of a run shared between
// workers, the first o.firstShare of the rows.
function convert(mosaiq, rgba, width, height, o = {}) {
    const bridge = engineOf(mosaiq);
    const { channels, slabBytes } = bridge.numbers;
    const chunks = Object.fromEntries(Object.keys(channels).map((name) => [name, []]));
    const named = Object.fromEntries(Object.entries(channels).map(([name, n]) => [n, name]));
    mosaiq.onChunk = (channel, address, size) =>
        chunks[named[channel]].push(Buffer.from(mosaiq.HEAPU8.slice(address, address + size)));
    // As the worker, slabs for the page and the codes, unless o.noRoom: the module's own chunks;
    // o.rooms of them at most, none after (a worker whose outputs went elsewhere).
    const rooms = [];
    mosaiq.onRoom = o.noRoom ? undefined : () => (rooms.length >= (o.rooms ?? Infinity) ? 0
        : rooms[rooms.push(mosaiq._malloc(slabBytes)) - 1]);
    // o.held: the address of a picture held by the module (mosaiq_hold_picture), rgba unused.
    const address = o.held ?? (rgba ? mosaiq._malloc(rgba.length) : 0);
    if (rgba && !o.held) mosaiq.HEAPU8.set(rgba, address);
    let step = bridge.start({ address, width, height },
        { columns: String(width), rows: String(height), ...o });
    const shared = step === 0 && o.parts ? mosaiq._mosaiq_share(o.part, o.parts,
        o.firstShare ?? 0) : 0;
    while (step === 0) step = mosaiq._mosaiq_step(o.rowsPerStep ?? 3);
    const result = {
        step,
        shared,
        message: mosaiq.UTF8ToString(mosaiq._mosaiq_message()),
        posts: chunks.post,
    };
    const characters = mosaiq._mosaiq_cell_characters();
    const count = mosaiq._mosaiq_cell_character_count();
    result.characters = characters
        ? Array.from(new Uint32Array(mosaiq.HEAPU8.buffer, characters, count)) : null;
    for (const name of ['page', 'html', 'blog', 'cells']) result[name] = Buffer.concat(chunks[name]);
    mosaiq._mosaiq_end();
    for (const room of rooms) mosaiq._free(room);
    return result;
}

module.exports = { root, cli, moduleScript, png, testPixels, loadModule, convert, engineOf,
    fs };
