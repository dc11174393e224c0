// The messages between the page and its workers, and between the two workers: the one place
// that names each type and its fields. Every message is sent through post(), which refuses a
// type or a field not named here, so that the sender and the receiver cannot part (joined first
// into the page's script and into the worker's source by scripts/web.sh).
'use strict';

const Messages = Object.freeze({
    // The page to a worker: a picture to read, shapes whether cells are chosen by shape then (to
    // the second, helping: it decodes its band of a plain JPEG itself); the first worker to the
    // second, with helping and band, any other picture it decoded (band: the rows it hands over,
    // or why there are none).
    picture: ['file', 'parts', 'shapes', 'helping', 'band'],
    // The page to each worker: its end of the channel between the two.
    partner: ['port'],
    // The first worker to the second: the rows handed over (an ArrayBuffer), or null; their
    // opacity, a byte a pixel, when the module decoded them and they are not all opaque; flat:
    // the module's own flattened words, not the browser's RGBA bytes.
    rows: ['pixels', 'opacity', 'flat'],
    // The page to a worker: whether cells are chosen by shape from now on (the memory made
    // ready for a run's cells is sized by it).
    shapes: ['chosen'],
    // The page to a worker: a run, this worker's band part of parts if it is shared; a stop.
    convert: ['settings', 'part', 'parts'],
    stop: [],
    // The page to a worker: the size fields halved or doubled (factor); the worker's answer.
    scale: ['columns', 'rows', 'factor'],
    scaled: ['ok', 'message', 'asked', 'columns', 'rows'],
    // The page to a worker: the size typed into the columns' field (rows false) or the rows'
    // (true), for a picture of width x height; the worker's answer: the other size that keeps
    // the picture's proportions (size), -1 when typed is no number; shapes: the cells chosen by
    // shape, in the monospace font's proportions.
    proportion: ['typed', 'rows', 'width', 'height', 'shapes'],
    proportioned: ['typed', 'rows', 'shapes', 'size'],
    // The page to a worker: the thumbnail of picture number asked, or the outputs shown (the
    // worker may make memory ready again); the worker to the page: the thumbnail.
    thumbnail: ['number', 'thumbnail', 'measures'],
    shown: ['number'],
    // The page to a worker: the Blob of output which (0 the page, 1 the HTML code, 2 the blog
    // code) of run; the worker to the page: that Blob, null when the worker can no longer make it.
    blob: ['run', 'which', 'blob', 'measures'],
    // The page to a worker, idle: how far its module has grown past what it held once ready
    // (grown, in bytes), and whether it is still making something (busy); the worker's answer.
    idle: ['grown', 'busy'],
    // The page to a new worker in place of one let go: the file of the picture the other held
    // (null: none), read once a run needs it; and last, the last run the other made, that this
    // one writes again when asked: { run, settings, part, parts, firstShare, sizes (null for an
    // output the page holds), file }.
    takeOver: ['file', 'last'],
    // A worker to the page: its module made (the engine's words, numbers and dialects), or not
    // (refused: the site's security policy forbids WebAssembly, which the browser has).
    ready: ['words', 'numbers', 'dialects'],
    failed: ['refused'],
    // A worker to the page: the picture read, or why not (shed: the second worker's memory,
    // made ready for a run it will not share, goes only with the worker).
    loaded: ['width', 'height', 'number', 'measures'],
    refused: ['message', 'shed'],
    // A worker to the page: its run started (shared, the first band's share of the rows, which a
    // worker that writes the run again takes), going, over (status "finished", "stopped",
    // "refused", "memory" or "unshared": the second worker leaves the run to the first).
    started: ['message', 'rowCount', 'columns', 'shared', 'firstShare'],
    progress: ['percent', 'rows', 'rowCount'],
    done: ['run', 'status', 'message', 'page', 'html', 'blog', 'posts', 'cells', 'characters',
        'measures'],
});

// Sends message type with fields (a "type" among them is its own) to target, a worker, a port
// or the worker's own global; transfer as postMessage's.
function post(target, type, fields = {}, transfer = []) {
    const named = Messages[type];
    const unnamed = Object.keys(fields).filter((name) => name !== 'type' && !named.includes(name));
    if (!named || unnamed.length > 0) throw new TypeError(`message ${type}: ${unnamed}`);
    target.postMessage({ ...fields, type }, transfer);
}
