// The page's workers: the one that reads the picture and runs the module, and on two cores a
// second that shares large runs; what each says, and the bands of a shared run joined.

// The engine compiles in a second or two on a slow phone: a page whose worker has said nothing
// this long after it opened will not hear it, and says so rather than "starts, try again" forever.
const engineWait = 30;
// Where the workers are started from: worker.js, or a Blob URL of its source.
let workerUrl = '';

// The workers start once the page has been painted: starting them and compiling their module
// would take a slow phone's processor from its first paint. A picture chosen meanwhile waits for
// the engine (pictureWaiting). A page opened hidden paints nothing until shown: its workers
// start at once.
function startEngine() {
    setTimeout(() => engine || engineFailed(fill(Words.engineSilent, engineWait)),
        engineWait * 1000);
    let started = false;
    const start = () => {
        if (started) return;
        started = true;
        if (/^https?:$/.test(location.protocol)) startWorker('worker.js');
        else startFromBlob();
    };
    if (document.visibilityState === 'hidden') return start();
    document.addEventListener('visibilitychange', start, { once: true });
    // The paint's entry comes once the frame is shown; requestAnimationFrame, before it is drawn.
    if (((window.PerformanceObserver || {}).supportedEntryTypes || []).includes('paint'))
        new PerformanceObserver(() => setTimeout(start)).observe({ type: 'paint', buffered: true });
    else requestAnimationFrame(() => setTimeout(start));
}

// Over http the worker is started from its own file, which the browser fetches, parses and
// caches away from the page. From the disk a worker may not be started by its path, and a host's
// policy may refuse it: it then starts from a Blob of the same source, which worker-source.js
// holds as a string.
function startFromBlob() {
    loadScript('worker-source.js', () => startWorker(URL.createObjectURL(
        new Blob([window.MosaiqWorkerSource], { type: 'text/javascript' }))));
}

function startWorker(url) {
    const fromFile = !url.startsWith('blob:');
    const refused = () => {
        worker = null;
        return fromFile ? startFromBlob() : engineFailed(Words.noWorker);
    };
    // A worker refused by the site's security policy throws in some browsers, and in others
    // only fires its error event.
    try {
        worker = new Worker(url);
    } catch (error) {
        return refused();
    }
    workerUrl = url;
    let heard = false;
    worker.onmessage = (event) => {
        heard = true;
        onWorker(event.data);
    };
    // An error before the worker's first word: its script was refused, or could not be had.
    const started = worker;
    worker.onerror = () => {
        if (worker !== started || heard) return;
        started.terminate();
        refused();
    };
    // From a Blob, which costs no download, the second worker compiles beside the first.
    if (!fromFile) helperSoon(false);
}

// Over http, the second worker starts once the first is ready and the page is idle, not beside
// it: both would download worker.js at once on a slow network, and its start is a long task
// for a slow phone's page. A picture read before then starts it at once.
let helperDue = false;
function helperNow() {
    if (helperDue && !helper) startHelper();
}

// idle: once the page is idle, rather than at once.
function helperSoon(idle) {
    helperDue = (navigator.hardwareConcurrency || 1) > 1;
    if (!idle) helperNow();
    else if (window.requestIdleCallback) requestIdleCallback(helperNow, { timeout: 1000 });
    else setTimeout(helperNow);
}

function listen(first) {
    first.onmessage = (event) => onWorker(event.data);
    first.onerror = () => engine || engineFailed(Words.noWorker);
}

function engineFailed(why) {
    if (engineFailure) return;
    engineFailure = why;
    pictureWaiting = null;
    say(why, true);
}

// name: 'lean' for a second worker that makes no memory ready before a picture it may share;
// either name tells the worker that it makes the second band of a shared run.
function startHelper(name = 'second') {
    helper = new Worker(workerUrl, { name });
    helper.onmessage = (event) => onHelper(event.data);
    pair();
}

// The first hands the second the rows of each picture it decoded.
function pair() {
    const channel = new MessageChannel();
    post(worker, 'partner', { port: channel.port1 }, [channel.port1]);
    post(helper, 'partner', { port: channel.port2 }, [channel.port2]);
}

function onHelper(m) {
    for (const { name, start, duration } of m.measures || [])
        performance.measure(name.replace('mosaiq-', 'mosaiq-helper-'),
            { start: start - performance.timeOrigin, duration });
    if (m.type === 'idle') return onIdle(1, m);
    if (m.type !== 'progress') idleSoon();
    if (m.type === 'loaded' || m.type === 'refused') {
        helperLoaded = m.type === 'loaded';
        // A second worker left out of a large photo's run holds the memory made ready for a
        // shared one, which its module cannot give back: a new one takes its place.
        if (m.shed) {
            helper.terminate();
            startHelper('lean');
        }
        helperReading = false;
        if (runAsked) runAsked();
    } else if (m.type === 'progress' || m.type === 'done' || m.type === 'blob') {
        if (m.type !== 'progress') idleDue = true;
        onBand(1, m);
    }
}

// What each worker of a run says: its progress, its outputs (a band of the rows when the run
// is shared), their Blobs.
function onBand(part, m) {
    if (!outputs || !outputs.bands) return;
    if (m.type === 'progress') {
        outputs.progress[part] = m;
        const [first, second] = outputs.progress;
        if (!first) return;
        if (!outputs.shared) showProgress(first.percent);
        else if (second) showProgress(Math.floor(100 * (first.rows + second.rows) / outputs.rowCount));
    } else if (m.type === 'done') {
        outputs.bands[part] = m;
        outputs.blobParts[part] = [];
        if (outputs.bands.filter(Boolean).length === outputs.workers.length) finishRun(joined());
    } else if (outputs.bands[part] && outputs.bands[part].run === m.run) {
        if (!m.blob) return outputs.blobs[m.which].lost();
        outputs.blobParts[part][m.which] = m.blob;
        settleBlobs();
    }
}

// The bands of a shared run as one run's outputs, in order; the first band alone when the run
// was not shared or when a band was stopped (the rows made so far are then the first's).
function joined() {
    const [first, second] = outputs.bands;
    outputs.joined = [0];
    if (!second || second.status === 'unshared' || first.status !== 'finished') return first;
    if (second.status === 'stopped') return { ...first, status: 'stopped' };
    if (second.status !== 'finished') return second;
    outputs.joined = [0, 1];
    const code = (a, b) => ({ size: a.size + b.size,
        start: a.start.length < a.size ? a.start : concat([a.start, b.start]) });
    return { ...first, page: code(first.page, second.page), html: code(first.html, second.html),
        blog: code(first.blog, second.blog), cells: [first.cells, second.cells] };
}

// The run's cells of outputs o as one array: a shared run's two bands (joined() hands them on
// apart) are joined the first time the drawn preview or the PNG needs them, a page the frame
// shows never. Joined as the run ended, the copy held a full HD photo's codes back 15 ms, a 12 MP
// photo's 60.
function runCells(o) {
    if (Array.isArray(o.cells)) o.cells = joinedCells(...o.cells);
    return o.cells;
}

// The first band's cells lie at the start of the first worker's room for the whole grid's: the
// second band's go after them there, rather than both into new memory.
function joinedCells(first, second) {
    const length = first.length + second.length;
    if (first.byteOffset !== 0 || first.buffer.byteLength < length) return concat([first, second]);
    const all = new Uint8Array(first.buffer, 0, length);
    all.set(second, first.length);
    return all;
}

function concat(arrays) {
    const all = new Uint8Array(arrays.reduce((sum, a) => sum + a.length, 0));
    arrays.reduce((at, a) => (all.set(a, at), at + a.length), 0);
    return all;
}

// Each output's Blob, once every band joined has sent its own.
function settleBlobs() {
    if (!outputs.joined) return;
    for (let which = 0; which < 3; ++which) {
        const parts = outputs.joined.map((part) => outputs.blobParts[part][which]);
        if (parts.some((b) => !b) || outputs.blobs[which].parts) continue;
        outputs.blobs[which].arrived(parts);
    }
}

function onWorker(m) {
    // The worker's stages, in the page's timeline for bench/web.
    for (const { name, start, duration } of m.measures || [])
        performance.measure(name, { start: start - performance.timeOrigin, duration });
    if (m.type === 'idle') return onIdle(0, m);
    if (m.type !== 'progress') idleSoon();
    if (m.type === 'loaded' || m.type === 'refused') reading = false;
    // A worker in place of another: the page is already set up.
    if (m.type === 'ready' && engine) return;
    if (m.type === 'failed') {
        engineFailed(m.refused ? Words.wasmRefused : Words.noEngine);
    } else if (m.type === 'ready') {
        engine = m;
        MosaiqPreview.measure(m.numbers.preview);
        $('reader-background').value = m.numbers.readerBackground.toLowerCase();
        const select = $('dialect');
        select.textContent = '';
        for (const d of m.dialects) select.add(new Option(d.name, d.name));
        updateInterlocks();
        helperSoon(true);
        if (pictureWaiting) loadPicture(pictureWaiting);
        pictureWaiting = null;
        registerServiceWorker();
    } else if (m.type === 'loaded') {
        pictureFile = pictureAsked;
        pictureNumber = m.number;
        pictureSize = { width: m.width, height: m.height };
        lastTyped = null;
        $('columns').value = String(m.width);
        $('rows').value = String(m.height);
        say(fill(Words.pictureLoaded, m.width, m.height));
        // The worker draws the thumbnail once asked, in a task after this one, where no run was
        // asked meanwhile: a run asked the moment the picture is read goes first, and the
        // thumbnail is asked once its outputs are shown (finishRun).
        setTimeout(() => running || post(worker, 'thumbnail', { number: m.number }));
    } else if (m.type === 'thumbnail') {
        // A thumbnail of a picture read before the last comes too late: it is not shown.
        if (m.number !== pictureNumber) return;
        const thumbnail = $('thumbnail');
        if (thumbnail.src) URL.revokeObjectURL(thumbnail.src);
        thumbnail.src = URL.createObjectURL(m.thumbnail);
        thumbnail.hidden = false;
    } else if (m.type === 'refused') {
        pictureFile = null;
        $('thumbnail').hidden = true;
        say(m.message, true);
    } else if (m.type === 'started') {
        outputs.columns = m.columns;
        outputs.rowCount = m.rowCount;
        outputs.shared = m.shared;
        outputs.firstShare = m.firstShare;
        if (m.message) say(`${Words.running}\n${m.message}`);
    } else if (m.type === 'scaled') {
        onScaled(m);
    } else if (m.type === 'proportioned') {
        onProportioned(m);
    } else {
        if (m.type !== 'progress') idleDue = true;
        onBand(0, m);
    }
}

// A worker's module never gives back the memory it grew by: a large photo's run left the page's
// workers holding a gigabyte and more. Once the page has been idle for idleDelay milliseconds
// (no run, no picture being read, no output being made), a worker whose module grew past the
// engine's idleGrowth is replaced by a new one. That one is handed the picture's file, read when
// the next run needs it: read at once, its pixels would take back much of the memory just given
// back, for a run that may never come. And it is handed what the last run needs to write again,
// when asked, the outputs whose Blobs the page does not hold yet. A picture or a run asked
// meanwhile waits for its module, as the first one's did.
// A few seconds: past the moment a user takes to look at the outputs and press a download, whose
// Blob the worker would otherwise make again from the picture read anew; short enough that the
// memory goes back before the user leaves the page.
let idleDelay = 5000;
let idleTimer = 0;
// Each wait for the page idle, and the workers' answers to its end: an answer to an earlier wait
// is ignored, something having happened since.
let idleRound = 0;
let idleAnswers = null;
// What grows a module is a run, or a large run's output written again: a picture read alone
// leaves the workers as they are, its pixels ready for the run.
let idleDue = false;

function idleSoon() {
    ++idleRound;
    clearTimeout(idleTimer);
    idleTimer = setTimeout(askIdle, idleDelay);
}

function askIdle() {
    if (!idleDue || !engine || running || reading || helperReading) return;
    idleAnswers = { round: idleRound, answers: [] };
    post(worker, 'idle');
    if (helper) post(helper, 'idle');
}

// part: 0 the first worker, 1 the second.
function onIdle(part, m) {
    if (!idleAnswers || idleAnswers.round !== idleRound) return;
    const answers = idleAnswers.answers;
    answers[part] = m;
    if (!answers[0] || (helper && !answers[1])) return;
    idleAnswers = null;
    // A worker still making an output tells the page once it has: the wait begins again then.
    if (running || reading || helperReading || answers.some((a) => a.busy)) return;
    idleDue = false;
    const grown = answers.map((a) => a.grown > engine.numbers.idleGrowth);
    // The second holds only the rows that the first handed it, which a new first would not know:
    // both go together.
    if (grown[0]) replaceWorker(0);
    if (helper && (grown[0] || grown[1])) replaceWorker(1);
}

// The first worker (part 0) or the second (1) replaced by a new one, told what the other held;
// a new second pairs with the first, new or not.
function replaceWorker(part) {
    const old = part === 0 ? worker : helper;
    old.terminate();
    if (part === 0) {
        worker = new Worker(workerUrl);
        listen(worker);
    } else {
        startHelper('lean');
    }
    const fresh = part === 0 ? worker : helper;
    const o = outputs;
    const at = o && o.workers ? o.workers.indexOf(old) : -1;
    let last = null;
    if (at >= 0) {
        o.workers[at] = fresh;
        const band = o.bands[at];
        if (o.joined && o.joined.includes(at) && band && band.page) {
            // An output the page holds, whole or this band's part, is not made again.
            const sizes = [band.page, band.html, band.blog].map((output, which) =>
                (o.blobs[which].parts || o.blobParts[at][which] ? null : output.size));
            last = { run: band.run, settings: o.settings, part: at, parts: o.shared ? 2 : 1,
                firstShare: o.firstShare, sizes, file: o.file };
        }
    }
    const holds = part === 0 || helperLoaded;
    post(fresh, 'takeOver', { file: holds ? pictureFile : null, last });
}
