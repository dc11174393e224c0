// What a run gives: the preview, the codes' panes, the downloads and copies.

function clearResults() {
    for (const url of urls) URL.revokeObjectURL(url);
    urls = [];
    for (const id of ['download-page', 'download-png', 'download-blog', 'download-html'])
        $(id).hidden = true;
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

// An output's Blob, which the workers build when it is first needed (neededBlob), a part each
// when they shared the run: a download or a copy waits for it.
function awaitedBlob(which) {
    let resolve;
    const entry = { which, asked: false, parts: null, blob: null, gone: false };
    entry.promise = new Promise((r) => { resolve = r; });
    entry.arrived = (parts) => {
        entry.parts = parts;
        resolve(entry);
    };
    // A worker could no longer make it (its module made again after a failure).
    entry.lost = () => {
        entry.gone = true;
        resolve(entry);
    };
    return entry;
}

// The entry of output which (0 the page, 1 the HTML code, 2 the blog code) of the run o, its
// Blob asked of the workers that made the run's bands if it was not yet.
function neededBlob(o, which) {
    const entry = o.blobs[which];
    if (!entry.asked && o.joined) {
        entry.asked = true;
        // No worker is replaced with this ask on its way (replaceWorker).
        idleSoon();
        for (const part of o.joined)
            post(o.workers[part], 'blob', { run: o.bands[part].run, which });
    }
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

// A download is a button, in the Tab order like the others, that makes the output's address only
// when pressed; pressed before its Blob has come, it waits for it.
async function onDownload(e) {
    const button = e.currentTarget;
    const which = { 'download-page': 0, 'download-html': 1, 'download-blog': 2 }[button.id];
    const o = outputs;
    const entry = o && o.blobs && o.blobs[which];
    if (!entry || !o.sizes) return;
    const blob = async () => {
        if (!entry.parts) await neededBlob(o, which).promise;
        return entry.gone ? null : blobOf(entry);
    };
    const lost = () => say(fill(Words.fileLost, bytes(o.sizes[which])), true);
    if (o.sizes[which] <= largestDownload) {
        // A large run's outputs are written again when asked, which takes seconds.
        const waits = !entry.parts;
        if (waits) say(fill(Words.fileMaking, bytes(o.sizes[which])));
        const whole = await blob();
        if (outputs !== o) return;
        if (!whole) return lost();
        save(whole, button.dataset.name);
        if (waits) say(fill(Words.fileReady, bytes(o.sizes[which])));
    } else {
        await saveLarge(o.sizes[which], blob, button.dataset.name, lost);
    }
}

// The largest file handed to the browser as a download from a Blob's address. Such a download
// has the browser hold the whole Blob: one browser keeps a Blob's bytes in memory, another
// writes them to disk only while both have room, and past a gigabyte this fails on many
// machines with no word to the page. Larger files are written to a file the user picks, where
// the browser can stream to disk, and refused beforehand elsewhere.
let largestDownload = 1 << 30;

// Hands blob to the browser as a download named name.
function save(blob, name) {
    const link = document.createElement('a');
    link.href = blobUrl(blob);
    link.download = name;
    link.click();
}

// An output of size bytes past largestDownload, blob() its Blob when it comes (null: lost(),
// said), streamed into a file the user picks (asked first, while the press still allows it), or
// refused.
async function saveLarge(size, blob, name, lost) {
    if (!window.showSaveFilePicker) return say(fill(Words.tooLargeToSave, bytes(size)), true);
    let file;
    try {
        file = await window.showSaveFilePicker({ suggestedName: name });
    } catch (error) {
        return; // the user closed the dialog
    }
    say(fill(Words.saving, bytes(size)));
    try {
        const whole = await blob();
        if (!whole) return lost();
        await whole.stream().pipeTo(await file.createWritable());
        say(fill(Words.saved, bytes(size)));
    } catch (error) {
        say(fill(Words.saveFailed, bytes(size)), true);
    }
}

// An output as the worker gave it: { start, size } (its first bytes, for the pane).
function showCode(kind, output) {
    // A character cut at the end of the start shows as a replacement mark, not as an error.
    const text = new TextDecoder('utf-8').decode(output.start);
    $(`size-${kind}`).textContent = output.start.length < output.size
        ? fill(Words.codeStart, bytes(output.start.length), bytes(output.size))
        : fill(Words.codeWhole, bytes(output.size));
    $(`code-${kind}`).textContent = text;
    $(`download-${kind}`).hidden = false;
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

// cellBytes: the run's cells, or a shared run's two bands of them (runCells).
function showPage(cellBytes) {
    outputs.cells = cellBytes;
    const o = outputs;
    const s = outputs.settings;
    $('download-page').hidden = false;
    $('download-png').hidden = false;
    const cells = outputs.columns * outputs.rowCount;
    const { frameCells } = engine.numbers;
    // A page of shapes is written in square mode's markup, two colours a cell.
    const limit = s.square || s.shapes ? frameCells.square : frameCells.letter;
    // The marks time the preview for bench/web.
    const shown = () => performance.mark('mosaiq-preview');
    if (cells <= limit) {
        // The page's bytes stay the documents', which name no encoding; the frame reads them
        // as Windows-1252 from its content type, and no script of the page may run there.
        neededBlob(o, 0).promise.then((entry) => {
            if (outputs !== o || entry.gone) return;
            const blob = blobOf(entry);
            $('preview-frame').onload = shown;
            $('preview-frame').src = blobUrl(blob);
            $('preview-frame').hidden = false;
        });
    } else {
        setTimeout(() => outputs === o && MosaiqPreview.show(runCells(o), o.columns, s,
            () => requestAnimationFrame(shown)));
    }
}


// The preview as a PNG, drawn when asked: a large page's image takes seconds and hundreds of
// megabytes, which no run should spend unasked.
async function downloadPng() {
    const o = outputs;
    if (!o || !o.cells || $('download-png').disabled) return;
    $('download-png').disabled = true;
    say(Words.pngMaking);
    try {
        const image = await MosaiqPreview.png(runCells(o), o.columns, o.settings);
        if (outputs !== o) return;
        if (!image) return say(Words.pngTooLarge, true);
        save(image.blob, 'mosaiq.png');
        say(image.small ? Words.pngSmall : Words.pngWhole);
    } finally {
        $('download-png').disabled = false;
    }
}

async function copyCode(kind) {
    const o = outputs;
    if (!o || !o.finished) return say(Words.nothingToCopy, true);
    const which = kind === 'html' ? 1 : 2;
    const entry = await neededBlob(o, which).promise;
    if (entry.gone) return say(fill(Words.fileLost, bytes(o.sizes[which])), true);
    try {
        const blob = blobOf(entry);
        await navigator.clipboard.writeText(await blob.text());
        say(kind === 'html' ? Words.copiedPage : Words.copiedArticle);
    } catch (error) {
        say(Words.copyRefused, true);
    }
}
