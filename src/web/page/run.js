// A run: the picture read, the sizes scaled, the run asked of the workers, stopped, finished.

function loadPicture(file) {
    if (running) return supersede(() => loadPicture(file));
    if (!engine) {
        if (engineFailure) return notReady();
        pictureWaiting = file;
        say(Words.pictureWaits);
        return;
    }
    reading = true;
    pictureAsked = file;
    pictureNumber = 0; // a thumbnail that comes now is an earlier picture's
    performance.mark('mosaiq-chosen');
    $('picture-name').textContent = file.name || '';
    $('thumbnail').hidden = true;
    say(Words.readingPicture);
    helperNow();
    const parts = helper ? 2 : 1;
    post(worker, 'picture', { file, parts, shapes: shapesChosen() });
    // The second worker decodes its own band of a plain JPEG at once; any other picture, it has
    // from the first.
    if (helper) post(helper, 'picture', { file, parts, shapes: shapesChosen(), helping: true });
    helperLoaded = false;
    helperReading = Boolean(helper);
}

// The picture on the clipboard, by the page's button (Ctrl+V is the paste event's).
async function pastePicture() {
    let items;
    try {
        items = await navigator.clipboard.read();
    } catch (error) {
        return say(Words.pasteRefused, true);
    }
    for (const item of items) {
        const type = item.types.find((t) => t.startsWith('image/'));
        if (type) return loadPicture(new File([await item.getType(type)], '', { type }));
    }
    say(Words.noPictureCopied, true);
}

// The sample photo (sample.js, which scripts/web.sh writes), loaded only when asked.
function samplePicture() {
    const chosen = () => {
        const bytes = Uint8Array.from(atob(window.MosaiqSample), (c) => c.charCodeAt(0));
        loadPicture(new File([bytes], Words.sampleName, { type: 'image/jpeg' }));
    };
    if (window.MosaiqSample) return chosen();
    loadScript('sample.js', chosen);
}

// The module halves and doubles the fields, as the window does; a field typed into meanwhile
// keeps what was typed.
function scaleSizes(factor) {
    if (!engine) return notReady();
    idleSoon();
    post(worker, 'scale', { columns: $('columns').value, rows: $('rows').value, factor });
}

function onScaled(m) {
    if (!m.ok) return say(m.message, true);
    if ($('columns').value !== m.asked.columns || $('rows').value !== m.asked.rows) return;
    $('columns').value = m.columns;
    $('rows').value = m.rows;
    lastTyped = null; // both scaled alike: neither is the other's
    say('');
}

// With "Garder les proportions", the size typed asks the engine for the other.
function keepProportions() {
    if (!$('keep-proportions').checked || !engine || !pictureSize || !lastTyped) return;
    idleSoon();
    post(worker, 'proportion', { typed: $(lastTyped).value, rows: lastTyped === 'rows',
        shapes: shapesChosen(), ...pictureSize });
}

function onProportioned(m) {
    const typed = m.rows ? 'rows' : 'columns';
    if (m.size < 0 || lastTyped !== typed || $(typed).value !== m.typed
        || m.shapes !== shapesChosen()) return;
    $(m.rows ? 'columns' : 'rows').value = String(m.size);
}

// A new picture or run asked during a run: the run is stopped, and leaves no output behind; then
// next.
function supersede(next) {
    afterStop = next;
    if (outputs.superseded) return;
    outputs.superseded = true;
    stop();
}

function create() {
    if (running) return supersede(create);
    if (!engine) return notReady();
    if (reading) return say(Words.reading, true);
    running = true;
    performance.mark('mosaiq-create');
    const s = settings();
    outputs = { settings: s, columns: 0, rowCount: 0, file: pictureFile };
    clearResults();
    showProgress(0);
    say(Words.running);
    // "Créer" is disabled during the run, which would drop the focus to the document: it goes
    // to Stop, the one thing to press meanwhile.
    $('stop').focus();
    $('create').disabled = true;
    outputs.workers = [];
    outputs.bands = [];
    outputs.progress = [];
    outputs.blobParts = [];
    outputs.blobs = [0, 1, 2].map(awaitedBlob);
    const o = outputs;
    runAsked = () => {
        runAsked = null;
        o.workers = helperLoaded ? [worker, helper] : [worker];
        o.workers.forEach((w, part) => post(w, 'convert', { settings: s, part,
            parts: o.workers.length }));
    };
    if (!helperReading) runAsked();
}

function stop() {
    if (!running) return;
    // A run still waiting for the second worker is asked of the first alone, which stops it at
    // once.
    if (runAsked) {
        helperLoaded = false;
        runAsked();
    }
    for (const w of outputs.workers) post(w, 'stop');
}

function finishRun(m) {
    performance.mark('mosaiq-done');
    running = false;
    $('create').disabled = false;
    if (outputs.superseded) {
        clearResults();
        showProgress(0);
        const next = afterStop;
        afterStop = null;
        return next();
    }
    settleBlobs();
    outputs.finished = m.status === 'finished';
    outputs.sizes = [m.page, m.html, m.blog].map((output) => (output ? output.size : 0));
    // What a cell's glyph byte stands for, where the page writes some characters as references.
    if (m.characters) outputs.settings.glyphs = m.characters.map((c) => String.fromCodePoint(c));
    if (m.status === 'finished') {
        showProgress(100);
        // Each output is shown in a task of its own: the page answers between them. The codes'
        // panes first, then the preview, whose drawing takes longest and which may come later.
        const o = outputs;
        const later = (show) => setTimeout(() => outputs === o && show());
        later(() => showCode('html', m.html));
        later(() => showCode('blog', m.blog));
        later(() => showPosts(m.posts));
        later(() => performance.mark('mosaiq-delivered'));
        later(() => showPage(m.cells));
        say(m.message ? `${Words.done}\n${m.message}` : Words.done);
    } else if (m.status === 'stopped') {
        if (m.page.size > 0) showPage(m.cells);
        say(Words.stopped);
    } else {
        say(m.message, true);
    }
    showProgress(0);
    // From Stop, where the run put it, the focus goes to the results, or to what was refused;
    // elsewhere, the user moved it and it stays.
    if ([$('stop'), $('create'), document.body].includes(document.activeElement)) {
        const shown = m.status === 'finished' || (m.status === 'stopped' && m.page.size > 0);
        (shown ? document.querySelector('[role=tab][aria-selected=true]') : $('status')).focus();
    }
    // The workers make the next run's memory ready, and the thumbnail of a picture whose run was
    // asked the moment it was read, only now: their threads would slow the outputs shown.
    setTimeout(() => [worker, helper].forEach((w) => w && post(w, 'shown',
        { number: pictureNumber })));
}
