// The page: the options, the picture, the run in the worker, and its results. Every rule of the
// conversion is the module's; this script only gathers, shows and hands on.
'use strict';

const $ = (id) => document.getElementById(id);
// The page's texts, from the engine's words (words.js, which scripts/web.sh writes).
const Words = window.MosaiqWords;
// text with "%1", "%2"... replaced by values.
const fill = (text, ...values) => values.reduce(
    (t, v, i) => t.replace(`%${i + 1}`, () => String(v)), text);
const bytes = (n) => fill(Words.bytes, n.toLocaleString('fr-FR'));

let engine = null; // what the worker said when ready: words, limits, dialects
let worker = null;
// A second worker with its own module, where the machine has two cores: it holds the picture
// too, and makes the second half of the rows of a large run (see the worker's ShareCells).
let helper = null;
let helperLoaded = false;
let reading = false;
let running = false;
let outputs = null;
let urls = [];

function say(text, error = false) {
    $('status').textContent = text;
    $('status').classList.toggle('error', error);
}

function startWorker() {
    const source = new Blob([window.MosaiqWorkerSource], { type: 'text/javascript' });
    const url = URL.createObjectURL(source);
    worker = new Worker(url);
    worker.onmessage = (event) => onWorker(event.data);
    if ((navigator.hardwareConcurrency || 1) > 1) {
        helper = new Worker(url);
        helper.onmessage = (event) => onHelper(event.data);
    }
}

function onHelper(m) {
    for (const { name, start, duration } of m.measures || [])
        performance.measure(name.replace('mosaiq-', 'mosaiq-helper-'),
            { start: start - performance.timeOrigin, duration });
    if (m.type === 'loaded' || m.type === 'refused') helperLoaded = m.type === 'loaded';
    else if (m.type === 'progress' || m.type === 'done' || m.type === 'blob') onBand(1, m);
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
        blog: code(first.blog, second.blog), cells: concat([first.cells, second.cells]) };
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
        // The mark times the downloads for bench/web.
        if (outputs.blobs.every((b) => b.parts)) performance.mark('mosaiq-downloads');
    }
}

function onWorker(m) {
    // The worker's stages, in the page's timeline for bench/web.
    for (const { name, start, duration } of m.measures || [])
        performance.measure(name, { start: start - performance.timeOrigin, duration });
    if (m.type === 'loaded' || m.type === 'refused') reading = false;
    if (m.type === 'failed') {
        say(Words.noEngine, true);
    } else if (m.type === 'ready') {
        engine = m;
        const select = $('dialect');
        select.textContent = '';
        for (const d of m.dialects) select.add(new Option(d.name, d.name));
        updateInterlocks();
    } else if (m.type === 'loaded') {
        const thumbnail = $('thumbnail');
        if (thumbnail.src) URL.revokeObjectURL(thumbnail.src);
        thumbnail.src = URL.createObjectURL(m.thumbnail);
        thumbnail.hidden = false;
        $('columns').value = String(m.width);
        $('rows').value = String(m.height);
        say(fill(Words.pictureLoaded, m.width, m.height));
    } else if (m.type === 'refused') {
        $('thumbnail').hidden = true;
        say(m.message, true);
    } else if (m.type === 'started') {
        outputs.columns = m.columns;
        outputs.rowCount = m.rowCount;
        outputs.shared = m.shared;
        if (m.message) say(`${Words.running}\n${m.message}`);
    } else if (m.type === 'scaled') {
        onScaled(m);
    } else {
        onBand(0, m);
    }
}

function showProgress(percent) {
    $('progress').value = percent;
    $('percent').textContent = `${percent}%`;
}

function loadPicture(file) {
    if (running) {
        say(Words.busy, true);
        return;
    }
    if (!engine) {
        say(Words.notReady, true);
        return;
    }
    reading = true;
    performance.mark('mosaiq-chosen');
    $('picture-name').textContent = file.name || '';
    $('thumbnail').hidden = true;
    say('Lecture de l\'image...');
    worker.postMessage({ type: 'picture', file });
    helperLoaded = false;
    if (helper) helper.postMessage({ type: 'picture', file, helping: true });
}

// The module halves and doubles the fields, as the window does; a field typed into meanwhile
// keeps what was typed.
function scaleSizes(factor) {
    if (!engine) return say(Words.notReady, true);
    worker.postMessage({ type: 'scale', columns: $('columns').value, rows: $('rows').value,
        factor });
}

function onScaled(m) {
    if (!m.ok) return say(m.message, true);
    if ($('columns').value !== m.asked.columns || $('rows').value !== m.asked.rows) return;
    $('columns').value = m.columns;
    $('rows').value = m.rows;
    say('');
}

function updateInterlocks() {
    $('tolerance').disabled = !$('merge').checked;
    $('fit-limit').disabled = !$('fit').checked;
    const dialect = engine && engine.dialects.find((d) => d.name === $('dialect').value);
    $('split').disabled = !dialect || dialect.limit === 0;
    if ($('split').disabled) $('split').checked = false;
    $('tab-blog').textContent = $('dialect').value === 'blog' ? Words.blogTab
        : fill(Words.forumTab, $('dialect').value);
}

function settings() {
    const hex = $('background').value.slice(1);
    const red = parseInt(hex.slice(0, 2), 16), green = parseInt(hex.slice(2, 4), 16);
    const blue = parseInt(hex.slice(4, 6), 16);
    return {
        columns: $('columns').value,
        rows: $('rows').value,
        treatment: Number(document.querySelector('input[name=treatment]:checked').value),
        square: $('square-mode').checked,
        random: $('random').checked,
        characters: $('characters').value,
        bold: $('bold').checked,
        italic: $('italic').checked,
        centred: $('centred').checked,
        background: red | (green << 8) | (blue << 16),
        backgroundCss: $('background').value,
        dialect: $('dialect').value,
        merge: $('merge').checked ? Math.min(100, Math.max(0, Number($('tolerance').value) || 0)) : -1,
        fit: $('fit').checked ? Math.max(1, Math.floor(Number($('fit-limit').value) || 1)) : 0,
        split: $('split').checked,
    };
}

function create() {
    if (running) return;
    if (!engine) return say(Words.notReady, true);
    if (reading) return say(Words.reading, true);
    running = true;
    performance.mark('mosaiq-create');
    const s = settings();
    outputs = { settings: s, columns: 0, rowCount: 0 };
    clearResults();
    showProgress(0);
    say(Words.running);
    $('create').disabled = true;
    outputs.workers = helperLoaded ? [worker, helper] : [worker];
    outputs.bands = [];
    outputs.progress = [];
    outputs.blobParts = [];
    outputs.blobs = [awaitedBlob(), awaitedBlob(), awaitedBlob()];
    outputs.workers.forEach((w, part) => w.postMessage({ type: 'convert', settings: s, part,
        parts: outputs.workers.length }));
}

function stop() {
    if (running) for (const w of outputs.workers) w.postMessage({ type: 'stop' });
}

function clearResults() {
    for (const url of urls) URL.revokeObjectURL(url);
    urls = [];
    for (const id of ['download-page', 'download-png', 'download-blog', 'download-html']) {
        $(id).hidden = true;
        $(id).removeAttribute('href');
    }
    for (const id of ['code-blog', 'code-html', 'size-blog', 'size-html', 'posts'])
        $(id).textContent = '';
    $('preview-frame').hidden = true;
    $('preview-frame').removeAttribute('src');
    MosaiqPreview.clear();
}

function blobUrl(blob) {
    const url = URL.createObjectURL(blob);
    urls.push(url);
    return url;
}

// An output's Blob, which the workers build once the run is over, a part each when they shared
// it: a download or a copy asked before it has come waits for it.
function awaitedBlob() {
    let resolve;
    const entry = { parts: null, blob: null };
    entry.promise = new Promise((r) => { resolve = r; });
    entry.arrived = (parts) => {
        entry.parts = parts;
        resolve(entry);
    };
    return entry;
}

// The output's Blob, made and given an address only when asked: both wait on the browser, which
// is busy storing the outputs just after a run, and the page would freeze meanwhile.
function blobOf(entry) {
    if (!entry.blob) {
        entry.blob = entry.parts.length === 1 ? entry.parts[0]
            : new Blob(entry.parts, { type: entry.parts[0].type });
    }
    return entry.blob;
}

function showLink(link) {
    link.removeAttribute('href');
    link.hidden = false;
}

// A download link gets its address when clicked; clicked before its Blob has come, it waits
// for it, then clicks again.
function onDownload(e) {
    const link = e.currentTarget;
    if (link.href) return;
    const which = { 'download-page': 0, 'download-html': 1, 'download-blog': 2 }[link.id];
    const o = outputs;
    const entry = o && o.blobs && o.blobs[which];
    if (entry && entry.parts) {
        link.href = blobUrl(blobOf(entry));
        return;
    }
    e.preventDefault();
    if (entry) entry.promise.then(() => outputs === o && link.click());
}

// An output as the worker gave it: { start, size } (its first bytes, for the pane).
function showCode(kind, output) {
    // A character cut at the end of the start shows as a replacement mark, not as an error.
    const text = new TextDecoder('utf-8').decode(output.start);
    $(`size-${kind}`).textContent = output.start.length < output.size
        ? fill(Words.codeStart, bytes(output.start.length), bytes(output.size))
        : fill(Words.codeWhole, bytes(output.size));
    $(`code-${kind}`).textContent = text;
    showLink($(`download-${kind}`));
}

function showPosts(posts) {
    const list = $('posts');
    list.textContent = posts.length > 0 ? fill(Words.posts, posts.length) + ' ' : '';
    posts.forEach((post, i) => {
        const link = document.createElement('a');
        link.className = 'download';
        link.textContent = fill(Words.post, i + 1);
        link.download = `code-blog.txt.${i + 1}`;
        link.href = blobUrl(post);
        list.append(link, ' ');
    });
}

function showPage(cellBytes) {
    outputs.cells = cellBytes;
    const o = outputs;
    const page = outputs.blobs[0];
    showLink($('download-page'));
    $('download-png').hidden = false;
    const s = outputs.settings;
    const cells = outputs.columns * outputs.rowCount;
    const limit = s.square ? engine.frameCells.square : engine.frameCells.letter;
    // The marks time the preview for bench/web.
    const shown = () => performance.mark('mosaiq-preview');
    if (cells <= limit) {
        // The page's bytes stay the documents', which name no encoding; the frame reads them
        // as Windows-1252 from its content type, and no script of the page may run there.
        page.promise.then((entry) => {
            if (outputs !== o) return;
            const blob = blobOf(entry);
            $('preview-frame').onload = shown;
            $('preview-frame').src = blobUrl(blob);
            $('preview-frame').hidden = false;
        });
    } else {
        setTimeout(() => MosaiqPreview.show(cellBytes, outputs.columns, s,
            () => requestAnimationFrame(shown)));
    }
}

function finishRun(m) {
    performance.mark('mosaiq-done');
    running = false;
    $('create').disabled = false;
    settleBlobs();
    outputs.finished = m.status === 'finished';
    if (m.status === 'finished') {
        showProgress(100);
        // Each output is shown in a task of its own: the page answers between them.
        showPage(m.cells);
        setTimeout(() => showCode('html', m.html));
        setTimeout(() => showCode('blog', m.blog));
        setTimeout(() => showPosts(m.posts));
        setTimeout(() => performance.mark('mosaiq-delivered'));
        say(m.message ? `${Words.done}\n${m.message}` : Words.done);
    } else if (m.status === 'stopped') {
        if (m.page.size > 0) showPage(m.cells);
        say(Words.stopped);
    } else {
        say(m.message, true);
    }
    showProgress(0);
    // The workers build the Blobs once the outputs are shown.
    const o = outputs;
    setTimeout(() => o.workers.forEach((w) => w.postMessage({ type: 'blobs' })));
}

// The preview as a PNG, drawn when asked: a large page's image takes seconds and hundreds of
// megabytes, which no run should spend unasked.
async function downloadPng() {
    const o = outputs;
    if (!o || !o.cells || $('download-png').disabled) return;
    $('download-png').disabled = true;
    say(Words.pngMaking);
    try {
        const image = await MosaiqPreview.png(o.cells, o.columns, o.settings);
        if (outputs !== o) return;
        if (!image) return say(Words.pngTooLarge, true);
        const link = document.createElement('a');
        link.href = blobUrl(image.blob);
        link.download = 'mosaiq.png';
        link.click();
        say(image.small ? Words.pngSmall : Words.pngWhole);
    } finally {
        $('download-png').disabled = false;
    }
}

async function copyCode(kind) {
    const o = outputs;
    if (!o || !o.finished) return say(Words.nothingToCopy, true);
    try {
        const blob = blobOf(await o.blobs[kind === 'html' ? 1 : 2].promise);
        await navigator.clipboard.writeText(await blob.text());
        say(kind === 'html' ? Words.copiedPage : Words.copiedArticle);
    } catch (error) {
        say(Words.copyRefused, true);
    }
}

function selectTab(tab) {
    for (const other of document.querySelectorAll('[role=tab]')) {
        const selected = other === tab;
        other.setAttribute('aria-selected', String(selected));
        other.tabIndex = selected ? 0 : -1;
        $(other.getAttribute('aria-controls')).hidden = !selected;
    }
    tab.focus();
    if (tab.id === 'tab-preview') MosaiqPreview.redraw();
}

function wire() {
    $('picture-file').addEventListener('change', (e) => {
        if (e.target.files.length > 0) loadPicture(e.target.files[0]);
        e.target.value = '';
    });
    const zone = document.body;
    zone.addEventListener('dragover', (e) => {
        e.preventDefault();
        $('drop-zone').classList.add('over');
    });
    zone.addEventListener('dragleave', () => $('drop-zone').classList.remove('over'));
    zone.addEventListener('drop', (e) => {
        e.preventDefault();
        $('drop-zone').classList.remove('over');
        const file = [...e.dataTransfer.files][0];
        if (file) loadPicture(file);
        else say(Words.nothingDropped, true);
    });
    document.addEventListener('paste', (e) => {
        const target = e.target;
        if (target instanceof HTMLInputElement && target.type !== 'file') return;
        const file = [...e.clipboardData.files].find((f) => f.type.startsWith('image/'))
            || e.clipboardData.files[0];
        e.preventDefault();
        if (file) loadPicture(file);
        else say(Words.textPasted, true);
    });
    $('halve').addEventListener('click', () => scaleSizes(0.5));
    $('double').addEventListener('click', () => scaleSizes(2));
    // The window's pair of mode boxes: a click leaves the clicked one checked and the other not.
    $('letter-mode').addEventListener('change', () => {
        $('letter-mode').checked = true;
        $('square-mode').checked = false;
        for (const id of ['random', 'defined', 'characters']) $(id).disabled = false;
    });
    $('square-mode').addEventListener('change', () => {
        $('square-mode').checked = true;
        $('letter-mode').checked = false;
        $('defined').checked = true;
        $('characters').value = '8';
        for (const id of ['random', 'defined', 'characters']) $(id).disabled = true;
    });
    $('random').addEventListener('change', () => { $('characters').disabled = true; });
    $('defined').addEventListener('change', () => { $('characters').disabled = false; });
    for (const id of ['merge', 'fit', 'dialect']) $(id).addEventListener('change', updateInterlocks);
    $('create').addEventListener('click', create);
    $('stop').addEventListener('click', stop);
    $('copy-html').addEventListener('click', () => copyCode('html'));
    $('download-png').addEventListener('click', downloadPng);
    $('copy-blog').addEventListener('click', () => copyCode('blog'));
    for (const id of ['download-page', 'download-html', 'download-blog'])
        $(id).addEventListener('click', onDownload);
    document.addEventListener('keydown', (e) => {
        if (!e.ctrlKey || e.altKey || e.shiftKey) return;
        const key = e.key.toLowerCase();
        if (key === 'd') {
            e.preventDefault();
            create();
        } else if (key === 's') {
            e.preventDefault();
            stop();
        }
    });
    const tabs = [...document.querySelectorAll('[role=tab]')];
    tabs.forEach((tab, i) => {
        tab.addEventListener('click', () => selectTab(tab));
        tab.addEventListener('keydown', (e) => {
            const step = { ArrowRight: 1, ArrowLeft: -1 }[e.key];
            if (step) selectTab(tabs[(i + step + tabs.length) % tabs.length]);
        });
    });
    updateInterlocks();
}

wire();
startWorker();
