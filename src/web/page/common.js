// The page: the options, the picture, the run in the worker, and its results. Every rule of the
// conversion is the module's; this script only gathers, shows and hands on.
'use strict';

const $ = (id) => document.getElementById(id);
// The page's texts, from the engine's words (words.js, which scripts/web.sh writes).
const Words = window.MosaiqWords;
// text with "%1", "%2"... replaced by values.
const fill = (text, ...values) => values.reduce(
    (t, v, i) => t.replace(`%${i + 1}`, () => String(v)), text);
// Made once as the page opens: the browser's first French number takes it milliseconds, which
// would otherwise fall between a run's end and its codes shown.
const frenchNumbers = new Intl.NumberFormat('fr-FR');
frenchNumbers.format(0);
const bytes = (n) => fill(Words.bytes, frenchNumbers.format(n));

let engine = null; // what the worker said when ready: words, limits, dialects
// Why the engine will not start, once known; a picture chosen before it is ready, read once it is.
let engineFailure = '';
let pictureWaiting = null;
let worker = null;
// A second worker with its own module, where the machine has two cores: it holds the picture
// too, and makes the second band of the rows of a large run (up to the engine's sharedToCells,
// or any size the page reads for a JPEG each worker decodes a band of).
let helper = null;
let helperLoaded = false;
// The second worker still reads the picture: a run asked meanwhile waits for it (runAsked), so
// that a quick click still shares a large run.
let helperReading = false;
let runAsked = null;
let reading = false;
let pictureNumber = 0; // the worker's number of the last picture read
// The file of the picture being read, and of the last one read, which a worker that takes the
// place of another reads again (replaceWorker).
let pictureAsked = null;
let pictureFile = null;
let pictureSize = null; // { width, height } of the last picture read
// The size field typed into last since the picture was read ('columns' or 'rows'): with
// "Garder les proportions", the other is the engine's.
let lastTyped = null;
// What to do once the run being stopped has ended: a new picture or run asked meanwhile.
let afterStop = null;
let running = false;
let outputs = null;
let urls = [];

// What the page says while the engine is not ready: that it starts, or why it never will.
function notReady() {
    say(engineFailure || Words.notReady, true);
}

// A script of the site, loaded when needed: a page opened from the disk may fetch nothing, but may
// load a script.
function loadScript(src, loaded) {
    const script = document.createElement('script');
    script.src = src;
    script.onload = loaded;
    document.head.append(script);
}

function say(text, error = false) {
    $('status').textContent = text;
    $('status').classList.toggle('error', error);
}


function showProgress(percent) {
    $('progress').value = percent;
    $('percent').textContent = `${percent}%`;
}
