// The worker's picture: decoded by the browser, then read back from its canvas into the module a
// band of rows at a time: whole as it is read, or, for a picture whose run two workers may
// share, only the rows that a run needs, the second worker's handed over to it by the first
// (joined after outputs.js by scripts/web.sh; it reads main.js's module, bridge and state).
'use strict';

// The module decodes what browsers decode otherwise than mosaiq-cli (a 16-bit PNG, a PNG's gAMA
// and cHRM chunks, JPEG by other decoders than libjpeg-turbo): PNG, GIF, BMP and a plain JPEG,
// straight into the picture it holds (decodeInModule). The browser decodes the rest: EXIF
// orientation applied, colours in sRGB, the alpha as the file has it (the module flattens it on
// white as mosaiq-cli does). Its pixels go into the module's memory a band of rows at a time: a
// photo's whole copy would cost as much again.
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
// Fits the memory made ready for the next run to a picture of width x height, whether decoded by
// the browser or the module (apart: each worker decoding its own band); false, that memory let
// go, for a picture too large for this worker.
function fitsWorker(width, height, helping, parts, apart = false) {
    fitSpare(width * height, bridge.rowShare(helping ? 1 : 0,
        bridge.sharingParts(width * height, parts, apart), apart), heldSlabs());
    const { sharedToCells, pixelLimit } = bridge.numbers;
    if (width * height > (helping && !apart ? sharedToCells : pixelLimit) || width > 32767
        || height > 32767) {
        dropSpare();
        return false;
    }
    return true;
}

async function readPicture(file, helping = false, parts = 1, given = undefined) {
    dropPicture();
    pictureFile = null;
    if (!mosaiq) return { type: 'refused', message: words.memory };
    if (given !== undefined) return takeRows(file, given);
    const begin = performance.now();
    const own = await decodeInModule(file, helping, parts, begin);
    if (own) return own;
    let bitmap;
    try {
        bitmap = await createImageBitmap(file, { imageOrientation: 'from-image',
            premultiplyAlpha: 'none', colorSpaceConversion: 'default' });
    } catch (error) {
        return { type: 'refused', message: await unreadWords(file) };
    }
    const { width, height } = bitmap;
    const decoded = performance.now();
    measure('decode', begin, decoded);
    if (!fitsWorker(width, height, helping, parts)) {
        bitmap.close();
        return { type: 'refused', message: words.tooLarge };
    }
    // A picture whose run two workers may share: each reads back only the rows its band
    // samples, once the run is asked (readRows); its canvas is kept until then.
    const { sharedToCells } = bridge.numbers;
    const lazy = (helping || parts > 1) && width * height <= sharedToCells;
    let canvas;
    try {
        canvas = new OffscreenCanvas(width, height);
        const context = canvas.getContext('2d', { colorSpace: 'srgb', willReadFrequently: true });
        context.drawImage(bitmap, 0, 0);
        // The browser draws it only when first read: now, so that a step reading ahead and a run
        // asked then do not wait for the whole drawing.
        if (lazy) context.getImageData(0, 0, 1, 1);
        const kept = !helping && width * height <= sharedToCells ? bitmap : null;
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


// The picture decoded by the module when it reads its format, as mosaiq-cli reads it: whole and
// flattened at once, so that no canvas is kept. Null when the browser decodes it.
async function decodeInModule(file, helping, parts, begin) {
    // The picture held before goes first: the file's bytes take its place meanwhile.
    mosaiq._mosaiq_hold_picture(0, 0);
    let bytes;
    try {
        bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
        return null;
    }
    const size = bytes.length;
    let data = mosaiq._malloc(Math.max(size, 1)) >>> 0;
    if (!data) return null;
    try {
        mosaiq.HEAPU8.set(bytes, data);
        bytes = null;
        const reader = mosaiq._mosaiq_picture_head(data, size);
        if (reader === 0) return null;
        if (reader !== 1) return { type: 'refused', message: words.damaged };
        const at = mosaiq._mosaiq_picture_size() >>> 2;
        const [width, height, bands] = mosaiq.HEAP32.subarray(at, at + 3);
        const apart = !helping && decodesApart(bands, width, height, parts);
        if (!fitsWorker(width, height, helping, parts, apart))
            return { type: 'refused', message: words.tooLarge };
        const address = mosaiq._mosaiq_hold_picture(width, height) >>> 0;
        if (!address) return { type: 'refused', message: words.memory };
        if (apart) {
            // The module takes the file's bytes, which its decode reads on.
            const started = mosaiq._mosaiq_band_decode_begin(data, size);
            data = 0;
            return decodeApart(file, started, address, width, height, parts, begin);
        }
        // A decode that fails (the data broken past what the head shows, or no memory for the
        // decoder's own copy) is left to the browser, which says which of the two it was.
        if (!mosaiq._mosaiq_decode_held(data, size)) {
            mosaiq._mosaiq_hold_picture(0, 0);
            return null;
        }
        picture = { address, width, height, canvas: null, context: null,
            read: new Uint8Array(height).fill(1), decoded: true, bands: bands === 1 };
        pictureFile = file;
        measure('decode', begin);
        // Its thumbnail the browser decodes small from the file once the page asks for it.
        const kept = helping ? null : { file, width, height, close() {} };
        return { type: 'loaded', width, height, number: ++pictureNumber,
            measures: takeMeasures(), kept, thumbnail: null };
    } finally {
        if (data) mosaiq._free(data);
    }
}

// The rule both workers apply, each from the file's head (bands: mosaiq_picture_head's third
// int): they must agree, the first leaving the second to read its band itself.
const decodesApart = (bands, width, height, parts) => bands === 1 && parts > 1
    && partner !== null && bridge.sharingParts(width * height, parts, true) > 1;
const apartFrom = (height, parts) => Math.max(0, Math.floor((height - 1)
    * bridge.rowShare(0, parts, true)) - HandedMargin);
// The picture held for a decode apart, its rows read as they are decoded; started: whether the
// module began the decode (mosaiq_band_decode_begin).
const apartPicture = (address, width, height, started) => ({ address, width, height,
    canvas: null, context: null, read: new Uint8Array(height), decoded: true, apart: true,
    bands: true, damaged: !started });
// A plain JPEG whose run the two workers may share, each decoding its own band of it at the same
// time (the module's PlainJpegBands), rather than the first decoding it whole and handing the
// second its rows: the first its rows to a little past its band's end, the second from a little
// above its band's start (apartFrom), passing over the rows above (readOwnBand: the page gives
// it the file as it gives the first). No rows go from one worker to the other, so that a large
// photo's run is shared too. The first decodes the rest when a run needs it, or ahead while the
// page waits (startReadingAhead).
function decodeApart(file, started, address, width, height, parts, begin) {
    handedFrom = apartFrom(height, parts);
    const p = apartPicture(address, width, height, started);
    if (started) {
        picture = p;
        readRows(0, handedFrom + 2 * HandedMargin + 1);
    }
    if (p.damaged) {
        // As mosaiq-cli refuses a JPEG that libjpeg gave up on; the second, told of the refusal
        // (announce), drops its band.
        handedFrom = undefined;
        dropPicture();
        mosaiq._mosaiq_hold_picture(0, 0);
        return { type: 'refused', message: words.damaged };
    }
    pictureFile = file;
    measure('decode', begin);
    const kept = { file, width, height, close() {} };
    return { type: 'loaded', width, height, number: ++pictureNumber, measures: takeMeasures(),
        kept, thumbnail: null };
}

// Decodes the rows of picture p, decoded apart, up to last, on from where its decode stands:
// never passing over a row, which would then be lost to this worker. A decode that gives up marks
// the picture damaged.
function decodeRows(p, last) {
    const from = mosaiq._mosaiq_band_decode_row();
    if (from < 0 || from > last) return;
    if (mosaiq._mosaiq_band_decode(0, last) === 1) p.read.fill(1, from, last + 1);
    else p.damaged = true;
}

// The picture read lazily: rows first to last (of the picture) read back from its canvas into
// the module, those not read yet, a band at a time; the canvas goes once all are read.
function readRows(first, last) {
    const p = picture;
    if (p && p.apart) return decodeRows(p, Math.min(last, p.height - 1));
    if (!p || !p.context) return;
    const band = Math.max(1, Math.floor(BandBytes / (4 * p.width)));
    for (let y = Math.max(0, first); y <= Math.min(last, p.height - 1);) {
        if (p.read[y]) {
            ++y;
            continue;
        }
        let rows = 1;
        while (rows < band && y + rows <= last && y + rows < p.height && !p.read[y + rows]) ++rows;
        const data = p.context.getImageData(0, y, p.width, rows, { colorSpace: 'srgb' }).data;
        mosaiq.HEAPU8.set(data, p.address + 4 * p.width * y);
        readBack(data);
        // Flattened while its bytes are still in the cache, not all at once by the run; their
        // opacity kept, where some pixel is not opaque.
        mosaiq._mosaiq_flatten_rows(p.width * y, p.width * rows);
        p.read.fill(1, y, y + rows);
        y += rows;
    }
    if (p.read.every(Boolean)) dropCanvas(p);
}

// The rows the run asked needs, read before it starts: the module tells, from the settings alone,
// whether it is shared and which rows its band samples; a run not shared needs them all, and a
// size budget looks at the whole picture from its start. The first worker shares no run whose
// second band samples rows above those it handed over (handOver), which the second lacks.
// Whether the run may be shared here: this worker holds the rows its band samples.
function readNeeded(s, part, parts) {
    let rows = bridge.bandRows(picture, s, part, parts);
    if (rows && part === 0 && handedFrom !== undefined) {
        const second = bridge.bandRows(picture, s, 1, parts);
        if (!second || second[0] < handedFrom) rows = null;
    }
    const [first, last] = rows || [0, picture.height - 1];
    if (rows || part === 0) readRows(first, last);
    return rows !== null && picture.read.subarray(first, last + 1).every(Boolean);
}

// While the page waits for its click, the rows of this worker's band of a shared run of one cell a
// pixel, the grid the page proposes, read back a band at a time between the worker's messages:
// the run asked then reads only those it still lacks.
const aheadChannel = new MessageChannel();
// The rows of a picture decoded apart that a step decodes ahead: a few milliseconds' worth.
const AheadRows = 64;
let readAhead = () => {};
aheadChannel.port1.onmessage = () => readAhead();
function startReadingAhead(part, parts) {
    const p = picture;
    if (p && p.apart && part === 0) {
        // The rest of a picture decoded apart, a few rows a step, for a run not shared.
        readAhead = () => {
            const from = mosaiq._mosaiq_band_decode_row();
            if (picture !== p || running || p.damaged || from < 0) return;
            readRows(from, from + AheadRows - 1);
            aheadChannel.port2.postMessage(0);
        };
        aheadChannel.port2.postMessage(0);
        return;
    }
    if (!p || !p.context) return;
    // A quarter of a band a step: a run asked meanwhile waits no more than that.
    const band = Math.max(1, Math.floor(BandBytes / 4 / (4 * p.width)));
    const split = (p.height - 1) * bridge.rowShare(0, parts);
    let y = part === 0 ? 0 : Math.max(0, Math.floor(split) - 1);
    const last = part === 0 ? Math.min(p.height - 1, Math.ceil(split) + 1) : p.height - 1;
    readAhead = () => {
        if (picture !== p || !p.context || running || y > last) return;
        readRows(y, Math.min(last, y + band - 1));
        y += band;
        aheadChannel.port2.postMessage(0);
    };
    aheadChannel.port2.postMessage(0);
}

// The browser's copy of rows read back, given back at once: left to the collector, a picture's
// megabytes of them had it run in the worker about when the run was asked.
function readBack(bytes) {
    try {
        release(bytes);
    } catch (error) {
        // The collector takes them.
    }
}

function dropCanvas(p) {
    // Its pixels go now, not when the collector comes.
    if (p && p.canvas) p.canvas.width = p.canvas.height = 1;
    if (p) p.canvas = p.context = null;
}

function dropPicture() {
    dropCanvas(picture);
    picture = null;
}

// On two cores the first worker alone decodes a picture that both may share: the browser decodes
// two copies at once hardly faster than one after the other, on the cores the page needs. It
// hands the second, through the channel the page gave them, the rows from a little above its
// band (HandedMargin) to the last, read back from its canvas as a run's rows are; the second
// holds those alone, and leaves a run whose band samples others to the first. The second is
// told which rows will come before the page hears that the picture is read (announce), and
// tells the page at once, so that a run asked at once goes to both; the rows follow (handOver),
// and the second's run waits for them. A picture the second may not share goes as a refusal, so
// that the page hears from both.
const HandedMargin = 16;
let partner = null;
// The first row the second worker holds of the picture, which the first keeps knowing when its
// module is made again and reads the picture anew; undefined when it decoded the picture itself.
let handedFrom;
function announce(file, read, parts) {
    const p = picture;
    if (p && p.apart) return; // the second reads its own band (readOwnBand)
    const message = { file, helping: true, parts, shapes: pictureShapes };
    if (read.type !== 'loaded' || !p || !(p.context || p.decoded)
        || p.width * p.height > bridge.numbers.sharedToCells) {
        post(partner, 'picture', { ...message, band: { message: read.message || words.tooLarge,
            large: read.type === 'loaded' } });
        return;
    }
    handedFrom = Math.max(0, Math.floor((p.height - 1)
        * bridge.rowShare(0, parts, Boolean(p.bands))) - HandedMargin);
    post(partner, 'picture', { ...message, band: { width: p.width, height: p.height,
        first: handedFrom } });
}
function handOver() {
    const p = picture;
    if (handedFrom === undefined || !p || p.apart || !(p.context || p.decoded)) return;
    const begin = performance.now();
    let pixels = null, opacity = null, flat = false;
    try {
        if (p.context) {
            pixels = p.context.getImageData(0, handedFrom, p.width, p.height - handedFrom,
                { colorSpace: 'srgb' }).data.buffer;
        } else {
            ({ pixels, opacity } = heldWords(p, handedFrom));
            flat = true;
        }
    } catch (error) {
        // The second reads the picture from its file when a run needs it.
        pixels = opacity = null;
    }
    post(partner, 'rows', { pixels, opacity, flat }, [pixels, opacity].filter(Boolean));
    measure('handover', begin);
}

// The rows from first to the last of a picture the module decoded, as the module holds them,
// already flattened (pixels), which the second worker takes as they are: one copy each way,
// where RGBA bytes cost both workers a pass over every pixel on the way to the run. Their
// opacity, null when the picture is opaque.
function heldWords(p, first) {
    // Rows whose opacity this module could not keep: the second reads the picture itself.
    if (mosaiq._mosaiq_opacity_lost()) throw new RangeError('the picture\'s opacity was lost');
    const pixels = mosaiq.HEAPU8.slice(p.address + 4 * p.width * first,
        p.address + 4 * p.width * p.height).buffer;
    const plane = mosaiq._mosaiq_held_opacity(0) >>> 0;
    const opacity = plane ? mosaiq.HEAPU8.slice(plane + p.width * first,
        plane + p.width * p.height).buffer : null;
    return { pixels, opacity };
}

// The second worker's own read of the picture that the page gives both workers at once: a plain
// JPEG that the first decodes apart (decodeApart, the same rule here), its band decoded from
// apartFrom to the last row. Said read before its band is decoded (decodeNow, once the page is
// told), so that a run asked at once goes to both; the run waits for the band (filled). Null
// for any other picture, which the first hands it (announce), and when stale() says that a
// later picture came meanwhile. A file it cannot read is refused: the page then asks the first
// alone, which holds the picture whole.
async function readOwnBand(file, parts, stale) {
    let bytes;
    try {
        // A file said to be a JPEG is read whole at once: a read of its head first held the
        // band's decode back by a round trip to the browser. Any other, only once its head
        // shows a JPEG, not to read a large PNG for nothing.
        if (file.type !== 'image/jpeg') {
            const head = new Uint8Array(await file.slice(0, 2).arrayBuffer());
            if (stale() || head[0] !== 0xFF || head[1] !== 0xD8) return null;
        }
        bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
        return stale() ? null : { type: 'refused', message: words.notPicture };
    }
    if (stale()) return null;
    let data = mosaiq._malloc(Math.max(bytes.length, 1)) >>> 0;
    if (!data) return { type: 'refused', message: words.memory };
    try {
        mosaiq.HEAPU8.set(bytes, data);
        const reader = mosaiq._mosaiq_picture_head(data, bytes.length);
        const at = mosaiq._mosaiq_picture_size() >>> 2;
        const [width, height, bands] = mosaiq.HEAP32.subarray(at, at + 3);
        if (reader !== 1 || !decodesApart(bands, width, height, parts)) return null;
        dropPicture();
        pictureFile = null;
        if (!fitsWorker(width, height, true, parts, true))
            return { type: 'refused', message: words.tooLarge };
        // Only its band's rows are held: a photo's rows above it would only take memory, and
        // made the band's rows land past the memory made ready, on fresh pages.
        const first = apartFrom(height, parts);
        const address = mosaiq._mosaiq_hold_band(width, height, first) >>> 0;
        if (!address) return { type: 'refused', message: words.memory };
        // The module takes the file's bytes, which its decode reads on.
        const started = mosaiq._mosaiq_band_decode_begin(data, bytes.length);
        data = 0;
        const p = apartPicture(address, width, height, started);
        picture = p;
        pictureFile = file;
        let decodeNow;
        const filled = new Promise((resolve) => {
            decodeNow = () => {
                const begin = performance.now();
                if (picture === p && !p.damaged) {
                    if (mosaiq._mosaiq_band_decode(first, height - 1) === 1) p.read.fill(1, first);
                    else p.damaged = true;
                }
                measure('decode', begin);
                resolve();
            };
        });
        return { type: 'loaded', width, height, number: ++pictureNumber, filled, decodeNow };
    } finally {
        if (data) mosaiq._free(data);
    }
}

// The second worker's picture, its rows to come: the rows above them are never read. Its run
// waits for them (filled); without them, it reads the picture from its file when a run needs it.
// A picture it will not share: the memory made ready for its runs goes back to the system at once.
let rowsComing = null;
function takeRows(file, band) {
    if (!band.width) {
        dropSpare();
        // The memory made ready is the module's: only a new worker gives it back to the system,
        // which may take this one's place unless it holds outputs whose Blobs the page may ask.
        const held = waiting && (waiting.delivered || 0) < waiting.gathered.length;
        return { type: 'refused', message: band.message, shed: Boolean(band.large) && !held };
    }
    const { width, height, first } = band;
    fitSpare(width * height, bridge.rowShare(1, bridge.sharingParts(width * height, 2)),
        heldSlabs());
    const address = mosaiq._mosaiq_hold_picture(width, height) >>> 0;
    if (!address) return { type: 'refused', message: words.memory };
    const p = { address, width, height, canvas: null, context: null, read: new Uint8Array(height) };
    picture = p;
    pictureFile = file;
    const filled = new Promise((resolve) => { rowsComing = resolve; }).then((rows) => {
        rowsComing = null;
        if (picture !== p) return;
        const { pixels, opacity, flat } = rows;
        if (!pixels) return dropPicture();
        const begin = performance.now();
        mosaiq.HEAPU8.set(new Uint8Array(pixels), address + 4 * width * first);
        readBack(new Uint8Array(pixels));
        // Rows that come flattened are only marked so: the run flattens none of the picture.
        mosaiq._mosaiq_flatten_rows(width * first, flat ? 0 : width * (height - first));
        // Without the memory for it, the module refuses a run that would show transparent cells.
        const plane = opacity ? mosaiq._mosaiq_held_opacity(1) >>> 0 : 0;
        if (plane) mosaiq.HEAPU8.set(new Uint8Array(opacity), plane + width * first);
        p.read.fill(1, first);
        measure('readback', begin);
    });
    return { type: 'loaded', width, height, number: ++pictureNumber, filled };
}
