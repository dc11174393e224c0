// The module against mosaiq-cli on the same PNG: every output byte for byte, for every kind of
// option, and the same French words when a run is refused.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { cli, png, testPixels, loadModule, convert, engineOf, fs } = require('./support.js');

const width = 41, height = 29;
const rgba = testPixels(width, height);
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'mosaiq-web-'));
const picture = path.join(folder, 'picture.png');
fs.writeFileSync(picture, png(rgba, width, height));

function runCli(args) {
    const out = (name) => path.join(folder, name);
    for (const name of fs.readdirSync(folder)) if (name !== 'picture.png') fs.rmSync(out(name));
    const run = spawnSync(cli, [picture, '-o', out('page.html'), '--html-code', out('html.txt'),
        '--blog-code', out('blog.txt'), ...args], { encoding: 'utf8' });
    const { status, stderr } = run;
    const read = (name) => (fs.existsSync(out(name)) ? fs.readFileSync(out(name)) : null);
    const posts = [];
    for (let i = 1; fs.existsSync(out(`blog.txt.${i}`)); ++i) posts.push(read(`blog.txt.${i}`));
    return { status, stderr, page: read('page.html'), html: read('html.txt'),
        blog: read('blog.txt'), posts };
}

const cases = [
    { name: 'the window\'s defaults', args: [], o: {} },
    { name: 'random letters, bold, italic, not centred, a background, grey', o: { random: true,
        bold: true, italic: true, centred: false, background: 0x3366cc, treatment: 4 },
      args: ['--random', '--bold', '--italic', '--no-centre', '--background', '#CC6633',
        '--colours', 'grey'] },
    { name: 'square cells, red tint, a smaller grid from fractional sizes', o: { square: true,
        treatment: 1, columns: '12,5', rows: ' 7.6' },
      args: ['--square', '--colours', 'red', '--columns', '12,5', '--rows', ' 7.6'] },
    { name: 'defined characters that look like markup, green and blue tints',
      o: { characters: '<script>[/color]é€♥', treatment: 2 },
      args: ['--chars', '<script>[/color]é€♥', '--colours', 'green'] },
    { name: 'a forum dialect with markup in the characters, merged', o: { characters:
        '[/color]<b>*_', dialect: 'discourse', merge: 4.5, treatment: 3 },
      args: ['--chars', '[/color]<b>*_', '--dialect', 'discourse', '--merge=4,5', '--colours',
        'blue'] },
    { name: 'merged blog code in square mode', o: { merge: 0, square: true },
      args: ['--merge', '--square'] },
    { name: 'split into posts', o: { dialect: 'smf', split: true, columns: '41', rows: '29' },
      args: ['--dialect', 'smf', '--split'] },
    { name: 'rows long enough to be handed on without a copy, with no slabs given',
      o: { columns: '1500', rows: '4', noRoom: true }, args: ['--columns', '1500', '--rows', '4'] },
    { name: 'outputs over several slabs', o: { columns: '1000', rows: '400', rowsPerStep: 50 },
      args: ['--columns', '1000', '--rows', '400'] },
    { name: 'a slab refused halfway through a piece: the rest in the module\'s own chunks',
      o: { columns: '1000', rows: '400', rowsPerStep: 50, rooms: 1 },
      args: ['--columns', '1000', '--rows', '400'] },
    { name: 'a size budget', o: { fit: 9000, dialect: 'phpbb' },
      args: ['--fit', '9000', '--dialect', 'phpbb'], fit: true },
    { name: 'cells left transparent show the page\'s background, in a grid of larger cells',
      o: { transparent: true, background: 0x3366cc, columns: '20', rows: '9' },
      args: ['--transparent', 'background', '--background', '#CC6633', '--columns', '20',
          '--rows', '9'] },
    { name: 'transparent cells cut the merged runs of a forum code with shapes',
      o: { transparent: true, merge: 6, dialect: 'phpbb', shapes: 'blocks' },
      args: ['--transparent', 'background', '--merge=6', '--dialect', 'phpbb', '--shapes',
          'blocks'] },
];

test('the module writes mosaiq-cli\'s bytes', async (t) => {
    const mosaiq = await loadModule();
    for (const c of cases) {
        await t.test(c.name, () => {
            const expected = runCli(c.args);
            assert.strictEqual(expected.status, 0, expected.stderr);
            // A set of shapes is named by the module's number for it.
            const o = typeof c.o.shapes === 'string'
                ? { ...c.o, shapes: engineOf(mosaiq).numbers.shapes[c.o.shapes] } : c.o;
            const got = convert(mosaiq, rgba, width, height, o);
            assert.strictEqual(got.step, 1, got.message);
            assert.ok(got.page.equals(expected.page), 'page');
            assert.ok(got.html.equals(expected.html), 'HTML code');
            assert.ok(got.blog.equals(expected.blog), 'blog or forum code');
            assert.strictEqual(got.posts.length, expected.posts.length, 'posts');
            got.posts.forEach((post, i) => assert.ok(post.equals(expected.posts[i]), `post ${i}`));
            if (c.fit) assert.strictEqual(got.message, expected.stderr.trim());
        });
    }
    await t.test('the drawn preview gets each cell\'s colour and character', () => {
        const got = convert(mosaiq, rgba, width, height, { columns: '3', rows: '2',
            characters: 'é€♥' });
        assert.strictEqual(got.cells.length, 3 * 2 * 4);
        // The colours and glyphs the page gives its cells, in order: a byte, or a reference to
        // the character that the cell's byte stands for.
        const page = [...got.page.toString('latin1')
            .matchAll(/color="#(\w\w)(\w\w)(\w\w)">(&#(\d+);|.)/g)]
            .map((m) => [...m.slice(1, 4).map((h) => parseInt(h, 16)),
                m[5] ? Number(m[5]) : m[4].charCodeAt(0)]);
        const cells = page.map((cell, i) => {
            const byte = got.cells[4 * i + 3];
            return [...got.cells.slice(4 * i, 4 * i + 3), cell[3] > 0xFF ? got.characters[byte]
                : byte];
        });
        assert.deepStrictEqual(cells, page);
        assert.ok(page.some((cell) => cell[3] === 0x2665), 'the heart, written as a reference');
        assert.ok(page.some((cell) => cell[3] === 0x80), 'the euro sign, as its byte');
    });
    await t.test('the drawn preview gets each shaped cell\'s two colours and character', () => {
        const [w, h] = [240, 160];
        const got = convert(mosaiq, testPixels(w, h), w, h, { columns: '120', rows: '40',
            shapes: engineOf(mosaiq).numbers.shapes.all });
        const page = [...got.page.toString('latin1').matchAll(
            /background-color: #(\w{6})"><font color="#(\w{6})">(&#(\d+);|.)/g)]
            .map((m) => [m[2], m[1], m[4] ? Number(m[4]) : m[3].charCodeAt(0)].join());
        const hex = (at) => [...got.cells.subarray(at, at + 3)]
            .map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join('');
        const cells = page.map((_, i) => [hex(8 * i), hex(8 * i + 4),
            got.characters[got.cells[8 * i + 3] | got.cells[8 * i + 7] << 8]].join());
        assert.strictEqual(page.length, 120 * 40);
        assert.deepStrictEqual(cells, page);
        // The set has more characters than a byte tells apart, and the page uses them.
        assert.ok(cells.some((_, i) => got.cells[8 * i + 7] > 0), 'a place past 255');
    });
    await t.test('a split makes several posts', () => {
        assert.ok(convert(mosaiq, rgba, width, height, cases[6].o).posts.length > 1);
    });
});

test('a run shared between workers gives, joined in order, the bytes of one', async () => {
    const mosaiq = await loadModule();
    const join = (parts, name) => Buffer.concat(parts.map((p) => p[name]));
    for (const [o, parts, firstRows] of [[{}, 2], [{ random: true, bold: true, italic: true }, 3],
        [{ square: true, centred: false, treatment: 4, columns: '13', rows: '9' }, 2],
        [{ characters: 'é€<b>', rowsPerStep: 1 }, 2],
        // The first band's share given: 8 of 29 rows; and at least one row a band.
        [{ firstShare: 0.3 }, 2, 8], [{ firstShare: 0.9, rows: '3' }, 3, 1],
        [{ transparent: true, rows: '12' }, 2]]) {
        const whole = convert(mosaiq, rgba, width, height, o);
        const bands = [...Array(parts).keys()].map((part) => convert(mosaiq, rgba, width, height,
            { ...o, part, parts }));
        for (const band of bands) assert.deepStrictEqual([band.step, band.shared], [1, 1]);
        if (firstRows) {
            assert.strictEqual(bands[0].cells.length, firstRows * 4 * width,
                JSON.stringify(o));
        }
        for (const name of ['page', 'html', 'blog', 'cells'])
            assert.ok(join(bands, name).equals(whole[name]), `${name} of ${JSON.stringify(o)}`);
    }
    // What needs the whole run is not shared, and stays whole.
    for (const o of [{ fit: 9000 }, { merge: 0 }, { dialect: 'phpbb' }, { rows: '1' }]) {
        const got = convert(mosaiq, rgba, width, height, { ...o, part: 1, parts: 2 });
        assert.strictEqual(got.shared, 0, JSON.stringify(o));
        assert.ok(got.page.equals(convert(mosaiq, rgba, width, height, o).page));
    }
});

test('a shared band needs only the picture rows the module tells, with no run started',
    async () => {
        const mosaiq = await loadModule();
        const bridge = engineOf(mosaiq);
        // A grid the page shares, finer than the picture's rows: they are sampled unevenly; and
        // coarser, its cells chosen by shape from the whole blocks they cover.
        const [w, h] = [500, 377];
        const settings = { columns: '500', rows: '500' };
        assert.strictEqual(bridge.sharingParts(500 * 500, 2), 2);
        const pixels = testPixels(w, h);
        const shapes = { columns: '1000', rows: '251', shapes: bridge.numbers.shapes.all };
        // Cells the picture may leave transparent read their whole blocks' opacity too.
        const transparent = { columns: '5000', rows: '60', transparent: true };
        for (const [part, s] of [[0, settings], [1, settings], [0, shapes], [1, shapes],
            [0, transparent], [1, transparent]]) {
            const band = { ...s, part, parts: 2,
                firstShare: bridge.numbers.firstBandShare };
            const [first, last] = bridge.bandRows({ width: w, height: h }, s, part, 2);
            assert.ok(first > 0 || last < h - 1, `rows ${first} to ${last}`);
            // The other rows hold what no picture holds.
            const address = mosaiq._mosaiq_hold_picture(w, h);
            mosaiq.HEAPU8.fill(0x5a, address, address + 4 * w * h);
            mosaiq.HEAPU8.set(pixels.subarray(4 * w * first, 4 * w * (last + 1)),
                address + 4 * w * first);
            mosaiq._mosaiq_flatten_held(w * h, 0);
            const got = convert(mosaiq, null, w, h, { ...band, held: address });
            const expected = convert(mosaiq, pixels.slice(), w, h, band);
            assert.strictEqual(got.shared, 1);
            for (const name of ['page', 'cells'])
                assert.ok(got[name].equals(expected[name]), `${name} of band ${part}`);
        }
        // A run that needs its whole picture is told so.
        assert.strictEqual(bridge.bandRows({ width: w, height: h }, { ...settings, merge: 0 }, 0,
            2), null);
    });

test('a held picture flattened a band at a time, one band without alpha, gives the same bytes',
    async () => {
        const mosaiq = await loadModule();
        const whole = convert(mosaiq, rgba, width, height);
        const address = mosaiq._mosaiq_hold_picture(width, height);
        const row = 4 * width;
        mosaiq.HEAPU8.set(rgba.subarray(0, 10 * row), address);
        mosaiq._mosaiq_flatten_held(10 * width, 0);
        // Rows 10 to 19, opaque, as a frame without alpha gives them: blue, green, red, and a
        // fourth byte that means nothing.
        const bgrx = rgba.slice(10 * row, 20 * row);
        for (let i = 0; i < bgrx.length; i += 4)
            [bgrx[i], bgrx[i + 2], bgrx[i + 3]] = [bgrx[i + 2], bgrx[i], 0x12];
        mosaiq.HEAPU8.set(bgrx, address + 10 * row);
        mosaiq._mosaiq_flatten_held(10 * width, 1);
        mosaiq.HEAPU8.set(rgba.subarray(20 * row), address + 20 * row);
        // Asked for more than is left: the rest, and nothing more after it (a run would
        // flatten what is left itself, so the last row is looked at here).
        const end = address + height * row;
        const lastRow = () => Buffer.from(mosaiq.HEAPU8.subarray(end - row, end));
        mosaiq._mosaiq_flatten_held(12 * width, 0);
        const flat = lastRow();
        assert.ok(!flat.equals(Buffer.from(rgba.subarray(rgba.length - row))),
            'the rest flattened');
        mosaiq._mosaiq_flatten_held(width, 0);
        assert.ok(lastRow().equals(flat), 'nothing flattened twice');
        // The second run finds the picture flat and does not flatten it again; the third shows
        // the cells it leaves transparent, from the opacity its bands kept.
        const transparent = convert(mosaiq, rgba, width, height, { transparent: true });
        for (const [run, expected, o] of [['first', whole, {}], ['second', whole, {}],
            ['transparent', transparent, { transparent: true }]]) {
            const got = convert(mosaiq, null, width, height, { held: address, ...o });
            for (const name of ['page', 'html', 'blog', 'cells'])
                assert.ok(got[name].equals(expected[name]), `${name}, ${run} run`);
        }
        assert.ok(!transparent.page.equals(whole.page));
    });

// The pictures browsers decode otherwise than mosaiq-cli, decoded by the module as the worker
// has it decode them: the page and both codes are mosaiq-cli's, byte for byte.
test('a picture the module decodes gives mosaiq-cli\'s bytes', async (t) => {
    const mosaiq = await loadModule();
    const samples = path.join(__dirname, '../data');
    for (const [name, transparent] of [['good/sixteen-bits.png'], ['good/sixteen-bits-grey.png'],
        ['good/srgb-by-gamma.png'], ['good/indexed-transparent.png'],
        ['good/indexed-transparent.png', true], ['good/gradient.gif'], ['good/bitfields565.bmp'],
        ['good/orientation-6.jpg'], ['bad/truncated.jpg']]) {
        await t.test(`${name}${transparent ? ', its transparent cells shown' : ''}`, () => {
            const file = path.join(samples, name);
            const run = spawnSync(cli, [file, '-o', path.join(folder, 'page.html'),
                '--html-code', path.join(folder, 'html.txt'), '--blog-code',
                path.join(folder, 'blog.txt'), ...(transparent ? ['--transparent', 'fond'] : [])],
            { encoding: 'utf8' });
            const bytes = fs.readFileSync(file);
            const data = mosaiq._malloc(bytes.length);
            mosaiq.HEAPU8.set(bytes, data);
            const reader = mosaiq._mosaiq_picture_head(data, bytes.length);
            if (run.status !== 0) {
                assert.strictEqual(reader, 2, 'damaged');
                assert.ok(run.stderr.includes(mosaiq.UTF8ToString(mosaiq._mosaiq_words(3))));
                return mosaiq._free(data);
            }
            assert.strictEqual(reader, 1, 'the module\'s');
            const size = mosaiq._mosaiq_picture_size() / 4;
            const [width, height] = mosaiq.HEAP32.subarray(size, size + 2);
            const held = mosaiq._mosaiq_hold_picture(width, height);
            assert.ok(mosaiq._mosaiq_decode_held(data, bytes.length));
            mosaiq._free(data);
            const got = convert(mosaiq, null, width, height, { held, transparent });
            const read = (out) => fs.readFileSync(path.join(folder, out));
            assert.ok(got.page.equals(read('page.html')), 'page');
            assert.ok(got.html.equals(read('html.txt')), 'HTML code');
            assert.ok(got.blog.equals(read('blog.txt')), 'blog code');
        });
    }
});

test('refused runs say what mosaiq-cli says, and the module goes on', async () => {
    const mosaiq = await loadModule();
    // A refused size names the option there and the field here.
    const fields = (message) => message.replace('--columns', 'la largeur')
        .replace('--rows', 'la hauteur');
    for (const [o, args] of [[{ columns: 'abc' }, ['--columns', 'abc']],
        [{ rows: '0' }, ['--rows', '0']], [{ columns: '-5' }, ['--columns', '-5']],
        [{ rows: '0,25' }, ['--rows', '0,25']], [{ columns: '12abc' }, ['--columns', '12abc']],
        [{ characters: '' }, ['--chars', '']],
        [{ columns: '1e9', rows: '1e9' }, ['--columns', '1e9', '--rows', '1e9']],
        [{ columns: '1e400' }, ['--columns', '1e400']], [{ rows: '1e-400' }, ['--rows', '1e-400']],
        [{ fit: 3, dialect: 'phpbb' }, ['--fit', '3', '--dialect', 'phpbb']]]) {
        const expected = runCli(args);
        assert.strictEqual(expected.status, 2);
        const got = convert(mosaiq, rgba, width, height, o);
        assert.strictEqual(got.step, 2);
        assert.strictEqual(got.message, fields(expected.stderr.trim()));
    }
    const none = convert(mosaiq, null, 0, 0, {});
    assert.match(none.message, /image/);
    assert.strictEqual(convert(mosaiq, rgba, width, height, {}).step, 1);
});

test('a stopped run leaves the header and the rows made so far', async () => {
    const mosaiq = await loadModule();
    const whole = convert(mosaiq, rgba, width, height, {});
    const chunks = [];
    mosaiq.onChunk = (channel, address, size) => {
        if (channel === 0) chunks.push(Buffer.from(mosaiq.HEAPU8.slice(address, address + size)));
    };
    const address = mosaiq._malloc(rgba.length);
    mosaiq.HEAPU8.set(rgba, address);
    assert.strictEqual(engineOf(mosaiq).start({ address, width, height },
        { columns: '41', rows: '29' }), 0);
    assert.strictEqual(mosaiq._mosaiq_step(4), 0);
    assert.strictEqual(mosaiq._mosaiq_rows_done(), 4);
    mosaiq._mosaiq_end();
    const page = Buffer.concat(chunks).toString('latin1');
    const lines = page.split('\r\n');
    assert.strictEqual(lines.length, 6); // the header, four rows, and nothing after the last CR LF
    assert.ok(whole.page.toString('latin1').startsWith(page));
});

test('every text the page\'s scripts name comes from the engine\'s words', async () => {
    const mosaiq = await loadModule();
    const words = JSON.parse(mosaiq.UTF8ToString(mosaiq._mosaiq_page_words()));
    const web = path.join(__dirname, '../../src/web');
    const scripts = ['preview.js', ...fs.readdirSync(path.join(web, 'page')).map((name) =>
        path.join('page', name))].map((name) => fs.readFileSync(path.join(web, name), 'utf8'))
        .join('\n');
    const named = [...scripts.matchAll(/Words\.(\w+)/g)].map((m) => m[1]);
    assert.ok(named.length > 20);
    for (const name of named) assert.ok(typeof words[name] === 'string' && words[name], name);
    assert.strictEqual(words.copiedPage,
        'Votre code est copier!\nVous n\'avez plus qu\'à le coller dans votre page.');
});

test('a file the browser could not read is named by its first bytes', async () => {
    const mosaiq = await loadModule();
    const words = (bytes) => mosaiq.cwrap('mosaiq_unread_words', 'string', ['array', 'number'])(
        Uint8Array.from(bytes), bytes.length);
    const ascii = (text) => [...text].map((c) => c.charCodeAt(0));
    // An ISO file type box of its size, major brand and compatible brands.
    const ftyp = (major, ...brands) => [0, 0, 0, 16 + 4 * brands.length, ...ascii('ftyp'),
        ...ascii(major), 0, 0, 0, 0, ...brands.flatMap(ascii)];
    const unknown = 'Ce n\'est pas une image dans un format connu.';
    for (const [bytes, expected] of [
        [ftyp('heic', 'mif1'), /HEIF/], [ftyp('mif1', 'miaf', 'heic'), /HEIF/],
        [ftyp('avif', 'mif1', 'miaf'), unknown], [ftyp('mif1', 'avif'), unknown],
        // A brand past the box's own size belongs to the next box.
        [[...ftyp('mif1'), ...ascii('heic')], unknown],
        [ascii('II*\0abcd'), /TIFF/], [ascii('MM\0*abcd'), /TIFF/],
        [ascii('II*'), unknown], [ascii('pas une image'), unknown], [[], unknown],
        // A JPEG the browser gave up on, as one with a profile that the module leaves to it.
        [[0xFF, 0xD8, 0xFF, 0xE2, 0, 0], /endommagée ou incomplète/]]) {
        if (typeof expected === 'string') assert.strictEqual(words(bytes), expected);
        else assert.match(words(bytes), expected);
    }
});
