// The worker of the page: it reads the picture and runs the module, so that the page never
// waits on either; this file holds its state, makes its module and answers its messages
// (protocol.js). Its script is the module's followed by protocol.js, engine.js and this folder's
// scripts (scripts/web.sh joins them, this one last), started from worker.js, or from a Blob
// where a page may start no worker by its path (from the disk).
'use strict';

let mosaiq = null;
let bridge = null; // engineOf(mosaiq)
let words = null;
// The picture, held in the module's memory (mosaiq_hold_picture): { address, width, height };
// its file, read again if the module has to be made again.
let picture = null;
let pictureFile = null;
// Whether the page chose shapes as the picture was read: a shaped cell takes twice a letter's
// bytes, and the room made ready for the run's cells is sized by it.
let pictureShapes = false;
// The pictures the worker was given so far: one read that a later one overtakes is left.
let picturesAsked = 0;
// How long after a picture is read the worker begins to make memory ready for its run, and to
// read ahead the rows it will need: past a click as quick as the status's change.
const PrepareDelay = 50;
// The photo whose run the memory is made ready for as the page opens.
const [ReadyWidth, ReadyHeight] = [1920, 1200];
let running = false;
let stopAsked = false;
let outputs = null;
let pictureRead = Promise.resolve();
let asked = 0; // when the run was asked

async function loadModule() {
    mosaiq = await createMosaiq();
    bridge = engineOf(mosaiq);
    mosaiq.onChunk = (channel, address, size) => {
        const begin = performance.now();
        handChunk(channel, address, size);
        chunkTime += performance.now() - begin;
    };
    // The page and the codes are written into the outputs' slabs; none for a run whose outputs
    // are dropped (the run that warms the module up).
    mosaiq.onRoom = (channel) => {
        if (remaking) return channel === remaking.channel ? remaking.gathered.room() : 0;
        const gathered = outputs && gatheredOf(channel);
        if (!gathered) return 0;
        const begin = performance.now();
        const slab = gathered.room();
        chunkTime += performance.now() - begin;
        return slab;
    };
    const text = (address) => mosaiq.UTF8ToString(address);
    words = {
        notPicture: text(mosaiq._mosaiq_words(0)),
        tooLarge: text(mosaiq._mosaiq_words(1)),
        memory: text(mosaiq._mosaiq_words(2)),
        damaged: text(mosaiq._mosaiq_words(3)),
    };
    return {
        words,
        numbers: bridge.numbers,
        dialects: text(mosaiq._mosaiq_dialects()).trim().split('\n').map((line) => {
            const [name, limit, unit] = line.split('\t');
            return { name, limit: Number(limit), unit };
        }),
    };
}

// The size fields halved or doubled by the module, as the window does it.
function scale(m) {
    if (!mosaiq) return { ok: false, message: words.memory };
    const error = mosaiq.cwrap('mosaiq_scale_sizes', 'number', ['string', 'string', 'number'])(
        m.columns, m.rows, m.factor);
    const text = mosaiq.UTF8ToString(mosaiq._mosaiq_words_given());
    // The window's line break, as the page's status shows it.
    if (error !== 0) return { ok: false, message: text.replace(/\r\n/g, '\n') };
    const [columns, rows] = text.split('\n');
    return { ok: true, asked: { columns: m.columns, rows: m.rows, factor: m.factor }, columns,
        rows };
}

const ready = loadModule().then((reply) => {
    post(self, 'ready', reply);
    // As the page opens, the memory is made ready for a full HD photo's run, shared when the
    // page has a second worker: its outputs are dropped (HeldLimit), so only for its picture.
    // A 16:10 screen's: the room of its cells fits a 16:9 photo's too (cellRoom).
    prepareFor(ReadyWidth * ReadyHeight, ownPart,
        (navigator.hardwareConcurrency || 1) > 1 ? 2 : 1);
    const warming = performance.now();
    try {
        warmUp();
        measure('warm-up', warming);
    } catch (error) {
        // Only time lost: the first run makes the module afresh if it has to.
        outputs = newOutputs();
    }
    // Made at once only where the browser says the device has 4 GB or more; elsewhere once a
    // picture is read. The module's memory for a full HD picture and the slab each output is
    // written over, given back to the module, which takes it again for them: the first write to
    // it would otherwise cost a fresh page each time, as the picture is read and during the run
    // (a quarter of the module's time in a full HD photo's).
    if ((navigator.deviceMemory || 0) >= 4 && self.name !== 'lean') {
        prepareSpare(prepared.cells, prepared.share);
        const address = mosaiq._mosaiq_hold_picture(ReadyWidth, ReadyHeight) >>> 0;
        const bytes = 4 * ReadyWidth * ReadyHeight;
        if (address) touched(mosaiq.HEAPU8.subarray(address, address + bytes));
        const slabs = [];
        try {
            for (let which = 0; which < 3; ++which) slabs.push(newSlab());
        } catch (error) {
            // The run takes fresh memory.
        }
        for (const slab of slabs) touched(heapBytes(slab, bridge.numbers.slabBytes));
        for (const slab of slabs) mosaiq._free(slab);
        mosaiq._mosaiq_hold_picture(0, 0);
    }
    madeReady = mosaiq.HEAPU8.length;
}, () => post(self, 'failed', { refused: webAssemblyRefused() }));

// The module's memory once made and ready: what it grew past that, it never gives back, and the
// page, idle, replaces a worker grown too far (page/workers.js).
let madeReady = 0;
const busy = () => running || blobsAsked.length > 0 || remaking !== null;

// Whether the browser has WebAssembly and the site's security policy forbids it: the smallest
// module, eight bytes that cannot be wrong, is then refused too.
function webAssemblyRefused() {
    if (typeof WebAssembly !== 'object') return false;
    try {
        new WebAssembly.Module(new Uint8Array([0, 0x61, 0x73, 0x6d, 1, 0, 0, 0]));
        return false;
    } catch (error) {
        return true;
    }
}

// What the worker does with each message of the page, or of the other worker.
const answers = {
    blob: (m) => askBlob(m.run, m.which),
    idle: () => post(self, 'idle', { busy: busy(),
        grown: mosaiq ? mosaiq.HEAPU8.length - madeReady : 0 }),
    takeOver: (m) => {
        pictureFile = m.file;
        if (m.last) takeRun(m.last);
    },
    stop: () => {
        stopAsked = true;
    },
    partner: (m) => {
        partner = m.port;
        partner.onmessage = onmessage;
    },
    picture: async (m) => {
        const asked = ++picturesAsked;
        // Not while the picture of a run taken over is read (readRunPicture).
        if (waiting && waiting.reading) await waiting.reading;
        pictureShapes = Boolean(m.shapes);
        // An exception out of the module (its memory, refused in the middle of a decode) leaves
        // it unusable, and must not leave the page waiting for the picture.
        const failed = () => {
            remakeModule();
            return { type: 'refused', message: words.memory };
        };
        // The page's own message to the second worker: a plain JPEG it decodes its band of;
        // any other picture comes from the first.
        let own = null;
        if (m.helping && !m.band) {
            own = await readOwnBand(m.file, m.parts, () => asked !== picturesAsked)
                .catch(failed);
            if (!own) return;
        }
        dropThumbnail();
        handedFrom = undefined;
        const reading = own ? Promise.resolve(own)
            : readPicture(m.file, m.helping, m.parts, m.band).catch(failed);
        pictureRead = reading.then((r) => r.filled);
        const { kept, thumbnail, filled, decodeNow, ...read } = await reading;
        const handing = partner && !m.helping && m.parts > 1;
        if (handing) announce(m.file, read, m.parts);
        post(self, read.type, read);
        if (decodeNow) decodeNow();
        if (handing) handOver();
        if (kept) thumbnailDue = { number: read.number, kept };
        if (read.type !== 'loaded') return;
        prepareFor(read.width * read.height, m.helping ? 1 : 0, m.parts,
            Boolean(picture && picture.bands));
        // A run asked the moment the picture is read (a click as the status changes) finds the
        // worker free: made ready at once, the memory's first steps held it back 10 to 20 ms.
        const [held, runs] = [picture, run];
        setTimeout(() => {
            if (picture !== held || run !== runs || running) return;
            prepareSpare(prepared.cells, prepared.share, heldSlabs());
            startReadingAhead(m.helping ? 1 : 0, prepared.parts);
        }, PrepareDelay);
        if (thumbnail) post(self, 'thumbnail', { number: read.number, thumbnail: await thumbnail });
    },
    rows: (m) => rowsComing && rowsComing(m),
    thumbnail: (m) => thumbnailDue && thumbnailDue.number === m.number && makeThumbnail(),
    shown: (m) => {
        if (spareDue) {
            spareDue = false;
            prepareSpare(prepared.cells, prepared.share, heldSlabs());
        }
        answers.thumbnail(m);
        // A page whose bytes were dropped is written again into its Blob now, a slice at a time,
        // while the user looks at the outputs: asked only at the download's click, a photo's
        // hundreds of megabytes kept it waiting seconds for the browser's store. Not the codes,
        // which fewer users take whole.
        if (waiting && waiting.remake) askBlob(waiting.run, 0);
    },
    shapes: (m) => {
        pictureShapes = m.chosen;
        // As the page opens, only where the memory was made ready then.
        if (!running && prepared
            && (picture || ((navigator.deviceMemory || 0) >= 4 && self.name !== 'lean')))
            prepareSpare(prepared.cells, prepared.share, heldSlabs());
    },
    scale: (m) => post(self, 'scaled', scale(m)),
    proportion: (m) => post(self, 'proportioned', { typed: m.typed, rows: m.rows,
        shapes: m.shapes, size: mosaiq ? mosaiq.cwrap('mosaiq_other_size', 'number',
            ['string', 'number', 'number', 'number', 'number'])(m.typed, m.rows ? 1 : 0, m.width,
            m.height, m.shapes ? 1 : 0) : -1 }),
    convert: async (m) => {
        if (running) return;
        asked = performance.now();
        running = true;
        await pictureRead;
        running = false;
        convert(m.settings, m.part ?? 0, m.parts ?? 1);
    },
};

// The module that the messages wait for: the first, then one made again (remakeModule).
let moduleMade = ready;
onmessage = async (event) => {
    await moduleMade;
    const answer = answers[event.data.type];
    if (answer) answer(event.data);
};
