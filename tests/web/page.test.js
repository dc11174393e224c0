// The page in Debian's chromium, headless, opened from the disk as a user opens it: a picture
// chosen, dropped or pasted, the run and its stop, the codes copied and downloaded, the keyboard
// alone, the preview's two kinds, and what the page refuses.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const os = require('node:os');
const path = require('node:path');
const http = require('node:http');
const { spawnSync } = require('node:child_process');
const { chromium } = require('playwright-core');
const { root, cli, png, testPixels, loadModule, engineOf, fs } = require('./support.js');

const site = process.env.MOSAIQ_WEB_SITE || path.join(root, 'build-web/site');
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'mosaiq-page-'));
const width = 48, height = 30;
// Its half-transparent band read by the browser gives mosaiq-cli's bytes too.
const picture = png(testPixels(width, height), width, height);
fs.writeFileSync(path.join(folder, 'picture.png'), picture);

function cliOutputs(args, file = 'picture.png') {
    const out = (name) => path.join(folder, name);
    const run = spawnSync(cli, [out(file), '-o', out('page.html'), '--html-code',
        out('html.txt'), '--blog-code', out('blog.txt'), ...args]);
    assert.strictEqual(run.status, 0, String(run.stderr));
    return { page: fs.readFileSync(out('page.html')), html: fs.readFileSync(out('html.txt')),
        blog: fs.readFileSync(out('blog.txt')) };
}

// The site served over http from 127.0.0.1, each answer with headers besides its type, and the
// files of changed (a name and its bytes, which the test may change meanwhile) in place of the
// site's; resolves to its address. Closed with the tests.
const servers = [];
function serve(headers = {}, changed = {}) {
    const types = { html: 'text/html', css: 'text/css', js: 'text/javascript', png: 'image/png',
        svg: 'image/svg+xml', webmanifest: 'application/manifest+json' };
    const server = http.createServer((request, response) => {
        const name = new URL(request.url, 'http://here').pathname.slice(1) || 'index.html';
        const file = path.join(site, path.normalize(name));
        if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
            response.writeHead(404);
            return response.end();
        }
        response.writeHead(200, { 'Content-Type': types[path.extname(file).slice(1)] || '',
            ...headers });
        response.end(changed[name] ?? fs.readFileSync(file));
    });
    servers.push(server);
    return new Promise((resolve) => server.listen(0, '127.0.0.1',
        () => resolve(`http://127.0.0.1:${server.address().port}/`)));
}

let browser, context, page;
test.before(async () => {
    browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        headless: true, args: ['--no-sandbox'] });
});
test.after(async () => {
    for (const server of servers) server.close();
    return browser && browser.close();
});
test.beforeEach(async () => {
    context = await browser.newContext({ acceptDownloads: true });
    await context.grantPermissions(['clipboard-read', 'clipboard-write']);
    page = await context.newPage();
    page.on('pageerror', (error) => assert.fail(`error in the page: ${error.message}`));
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
});
test.afterEach(async () => context.close());

const status = () => page.locator('#status').textContent();
async function choose(buffer, name = 'picture.png') {
    await page.setInputFiles('#picture-file', { name, mimeType: 'image/png', buffer });
    await page.waitForFunction(() => !/Lecture/.test(document.getElementById('status').textContent));
}
// A new context whose workers run patch before their own source (the page starts them from the
// source it is given as a text).
async function contextWithWorkers(patch, options = {}) {
    await context.close();
    context = await browser.newContext(options);
    await context.addInitScript((patch) => {
        let source = '';
        Object.defineProperty(window, 'MosaiqWorkerSource', {
            set(value) { source = patch + value; },
            get() { return source; },
        });
    }, patch);
}
async function runToEnd() {
    await page.click('#create');
    await page.waitForFunction(() => !document.getElementById('create').disabled);
}
// The page, the HTML code and the blog code downloaded, each from its tab, are expected's.
async function assertDownloads(expected) {
    assert.ok((await download('#download-page')).equals(expected.page), 'page');
    await page.click('#tab-html');
    assert.ok((await download('#download-html')).equals(expected.html), 'HTML code');
    await page.click('#tab-blog');
    assert.ok((await download('#download-blog')).equals(expected.blog), 'blog code');
}
// The picture chosen and "Créer" clicked from inside the page the moment the status says it is
// read, as a quick user would; back when the run has ended.
async function chooseAndCreateAtOnce(buffer) {
    await page.evaluate(() => new MutationObserver((records, observer) => {
        if (!/chargée/.test($('status').textContent)) return;
        observer.disconnect();
        $('create').click();
    }).observe($('status'), { childList: true, characterData: true, subtree: true }));
    await page.setInputFiles('#picture-file', { name: 'picture.png', mimeType: 'image/png',
        buffer });
    await page.waitForFunction(() => /terminée/.test($('status').textContent));
}
async function download(selector) {
    const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
    return fs.readFileSync(await file.path());
}

test('a chosen picture gives mosaiq-cli\'s page and codes, shown, copied and downloaded',
    async () => {
        assert.strictEqual(await page.isVisible('#thumbnail'), false, 'no picture, no thumbnail');
        await choose(picture);
        await page.waitForSelector('#thumbnail', { state: 'visible' });
        assert.strictEqual(await page.inputValue('#columns'), String(width));
        assert.strictEqual(await page.inputValue('#rows'), String(height));
        await page.check('#bold');
        await page.click('input[name=treatment][value="4"]');
        await runToEnd();
        assert.match(await status(), /terminée/);
        const expected = cliOutputs(['--bold', '--colours', 'grey']);
        assert.ok((await download('#download-page')).equals(expected.page), 'page');
        // The small page is shown in the frame, read as Windows-1252, with no script.
        assert.ok(await page.isVisible('#preview-frame'));
        assert.strictEqual(await page.getAttribute('#preview-frame', 'sandbox'), '');
        // The frame is shown as its page is asked; its page is there once loaded.
        await page.waitForFunction(() => performance.getEntriesByName('mosaiq-preview').length > 0);
        const frame = page.frame({ url: /^blob:/ });
        assert.strictEqual(await frame.evaluate(() => document.characterSet), 'windows-1252');
        await page.click('#tab-html');
        assert.ok((await download('#download-html')).equals(expected.html), 'HTML code');
        await page.click('#copy-html');
        await page.waitForFunction(() => /copier!|refusé/.test(
            document.getElementById('status').textContent));
        assert.match(await status(), /copier!/);
        assert.strictEqual(await page.evaluate(() => navigator.clipboard.readText()),
            expected.html.toString('utf8'));
        await page.click('#tab-blog');
        assert.ok((await download('#download-blog')).equals(expected.blog), 'blog code');
        assert.match(await page.textContent('#size-blog'), new RegExp(
            `${expected.blog.length.toLocaleString('fr-FR')}`.replace(/\s/g, '\\s')));
    });

test('a second run, in the memory of a larger first one, gives its own bytes and no more',
    async () => {
        await choose(picture);
        await page.fill('#columns', '600');
        await page.fill('#rows', '400');
        await runToEnd();
        await page.fill('#columns', String(width));
        await page.fill('#rows', String(height));
        await runToEnd();
        const expected = cliOutputs([]);
        await assertDownloads(expected);
    });

test('on one core the picture is read whole as it is chosen, and gives mosaiq-cli\'s page',
    async () => {
        await context.close();
        context = await browser.newContext({ acceptDownloads: true });
        await context.addInitScript(() => Object.defineProperty(navigator, 'hardwareConcurrency',
            { get: () => 1 }));
        page = await context.newPage();
        await page.goto(`file://${site}/index.html`);
        await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
        await choose(picture);
        await runToEnd();
        assert.ok((await download('#download-page')).equals(cliOutputs([]).page), 'page');
    });

// Presses Tab until the focus is on the element of id, at most ten times.
async function tabTo(id) {
    for (let i = 0; i < 10; ++i) {
        if (await page.evaluate(() => document.activeElement.id) === id) return;
        await page.keyboard.press('Tab');
    }
    assert.fail(`${id} is not in the Tab order`);
}
async function keyDownload(key) {
    const [file] = await Promise.all([page.waitForEvent('download'), page.keyboard.press(key)]);
    return fs.readFileSync(await file.path());
}

test('drag-and-drop, then the keyboard alone: Ctrl+D creates, the focus goes to Stop then to '
    + 'the results, the downloads answer Enter and Space, arrows change tabs', async () => {
    await page.evaluate((bytes) => {
        const data = new DataTransfer();
        data.items.add(new File([new Uint8Array(bytes)], 'dropped.png', { type: 'image/png' }));
        document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true,
            cancelable: true }));
    }, [...picture]);
    await page.waitForFunction(() => /chargée/.test(document.getElementById('status').textContent));
    await page.evaluate(() => worker.addEventListener('message', (e) => {
        if (e.data.type === 'started') window.focusDuring = document.activeElement.id;
    }));
    await page.focus('#columns');
    await page.keyboard.press('Control+a');
    await page.keyboard.type('12,5');
    await page.keyboard.press('Control+d');
    await page.waitForFunction(() => /terminée/.test(document.getElementById('status').textContent));
    assert.strictEqual(await page.evaluate(() => window.focusDuring), 'stop');
    assert.strictEqual(await page.evaluate(() => document.activeElement.id), 'tab-preview');
    // The rows field keeps the picture's, which mosaiq-cli is told.
    const expected = cliOutputs(['--columns', '12,5', '--rows', await page.inputValue('#rows')]);
    await tabTo('download-page');
    assert.ok((await keyDownload('Enter')).equals(expected.page), 'page');
    await page.focus('#tab-preview');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    await tabTo('download-html');
    assert.ok((await keyDownload('Space')).equals(expected.html), 'HTML code');
    await page.focus('#tab-html');
    await page.keyboard.press('ArrowLeft');
    assert.strictEqual(await page.evaluate(() => document.activeElement.id), 'tab-blog');
    assert.ok(await page.isVisible('#copy-blog'));
    assert.ok(!(await page.isVisible('#preview-frame')));
    await tabTo('download-blog');
    assert.ok((await keyDownload('Enter')).equals(expected.blog), 'blog code');
});

test('a name is given only where the element\'s role takes one', async () => {
    // Elements whose own role may be named; any other needs a role of its own, and not one of
    // those that forbid a name.
    const named = await page.evaluate(() => [...document.querySelectorAll(
        '[aria-label], [aria-labelledby]')].map((e) => [e.id, e.localName, e.getAttribute('role')]));
    const namable = ['a', 'button', 'input', 'select', 'textarea', 'progress', 'iframe', 'img',
        'section', 'form', 'fieldset', 'main', 'nav'];
    const forbidding = ['generic', 'presentation', 'none', 'paragraph', 'code', 'caption'];
    assert.ok(named.length > 5);
    for (const [id, tag, role] of named)
        assert.ok(role ? !forbidding.includes(role) : namable.includes(tag), `${id}: ${tag}`);
});

test('a page above the frame\'s size is drawn fitted, zoomed and pinched inside its view; a '
    + 'stopped run keeps its rows',
    async () => {
        const big = png(testPixels(300, 200, false), 300, 200);
        await choose(big);
        await runToEnd(); // 60 000 cells: more than the frame shows
        // The preview comes after the codes' panes.
        await page.waitForSelector('#preview-drawn', { state: 'visible' });
        assert.ok(!(await page.isVisible('#preview-frame')));
        const painted = () => page.evaluate(() => {
            const c = document.getElementById('preview-canvas');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            return d.some((v, i) => i % 4 !== 3 && v !== 0);
        });
        assert.ok(await painted());
        // The whole page in the view at first.
        const fits = () => page.evaluate(() => $('preview-sizer').offsetWidth
            <= $('preview-drawn').clientWidth && $('preview-sizer').offsetHeight
            <= $('preview-drawn').clientHeight);
        assert.ok(await fits(), 'fitted');
        // A pinch (a touchpad's comes as a wheel with Ctrl) zooms the preview, not the page.
        const pinched = await page.evaluate(() => {
            const view = $('preview-drawn'), box = view.getBoundingClientRect();
            return !view.dispatchEvent(new WheelEvent('wheel', { ctrlKey: true, deltaY: -200,
                clientX: box.left + 10, clientY: box.top + 10, cancelable: true, bubbles: true }));
        });
        assert.ok(pinched && !(await fits()), 'pinched');
        // The engine's steps, as the native preview's: the one below 100 %.
        const { zoomSteps } = engineOf(await loadModule()).numbers.preview;
        const below = zoomSteps[zoomSteps.indexOf(1) - 1];
        await page.click('#zoom-actual');
        await page.click('#zoom-out');
        assert.strictEqual(await page.textContent('#zoom-value'),
            `Zoom : ${Math.round(below * 100)} %`);
        // Stopped at once: the page so far, without the codes.
        await page.fill('#columns', '3000');
        await page.fill('#rows', '3000');
        await page.click('#create');
        await page.click('#stop');
        await page.waitForFunction(() => /arrêtée/.test(document.getElementById('status').textContent));
        assert.ok(!(await page.isVisible('#download-html')));
        await page.fill('#columns', '10');
        await page.fill('#rows', '5');
        await runToEnd();
        assert.match(await status(), /terminée/);
    });

test('a large run shared by two workers gives mosaiq-cli\'s bytes; stopped, its first rows',
    async () => {
        const large = png(testPixels(640, 400, false), 640, 400);
        fs.writeFileSync(path.join(folder, 'picture.png'), large);
        // "Créer" clicked as the status says the picture is read: the second worker's band
        // waits for the rows the first hands it then. Only the first decoded the picture.
        await page.check('#italic');
        await chooseAndCreateAtOnce(large);
        assert.ok(await page.evaluate(() => outputs.shared), 'shared');
        assert.deepStrictEqual(await page.evaluate(() => ['mosaiq-decode', 'mosaiq-helper-decode']
            .map((name) => performance.getEntriesByName(name).length)), [1, 0]);
        const expected = cliOutputs(['--italic']);
        // The drawn preview's cells, both bands joined: the page's colours, in order.
        const colours = [...expected.page.toString('latin1').matchAll(/<font color="#(\w{6})"/g)]
            .map((m) => m[1]).join();
        assert.strictEqual(await page.evaluate(() => [...Array(outputs.cells.length / 4).keys()]
            .map((i) => [...outputs.cells.subarray(4 * i, 4 * i + 3)]
                .map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join('')).join()),
        colours);
        await assertDownloads(expected);
        // Stopped: the header and the rows made so far, from the first, never the second band's
        // rows alone.
        await page.fill('#columns', '2000');
        await page.fill('#rows', '2000');
        // Stopped from inside the page at its first progress: the run outlasts no round trip of
        // playwright's.
        await page.evaluate(() => new MutationObserver((records, observer) => {
            if (!running || $('percent').textContent === '0%') return;
            observer.disconnect();
            $('stop').click();
        }).observe($('percent'), { childList: true, characterData: true, subtree: true }));
        await page.click('#create');
        await page.waitForFunction(() => /arrêtée/.test(document.getElementById('status').textContent));
        await page.click('#tab-preview');
        const stopped = await download('#download-page');
        const whole = cliOutputs(['--italic', '--columns', '2000', '--rows', '2000']).page;
        assert.ok(stopped.length > 0 && stopped.length < whole.length);
        assert.ok(whole.subarray(0, stopped.length).equals(stopped));
        assert.ok(stopped.subarray(-6).equals(Buffer.from('<br>\r\n')));
        fs.writeFileSync(path.join(folder, 'picture.png'), picture);
    });

test('a run too large to keep its outputs writes them again when asked, from its own picture '
    + 'even once another is chosen', async () => {
    // 2.25 million cells: past the outputs a worker keeps, in both bands of the shared run.
    await choose(picture);
    await page.fill('#columns', '1500');
    await page.fill('#rows', '1500');
    await runToEnd();
    assert.ok(await page.evaluate(() => outputs.shared), 'shared');
    await choose(png(testPixels(30, 20, false), 30, 20), 'other.png');
    await assertDownloads(cliOutputs(['--columns', '1500', '--rows', '1500']));
});

test('a run asked the moment the picture is read is shared; a smaller grid then reads the rest',
    async () => {
        const large = png(testPixels(700, 420, false), 700, 420);
        fs.writeFileSync(path.join(folder, 'picture.png'), large);
        // "Créer" clicked as the status says the picture is read, the second worker's reply held
        // back a while: the run waits for it. Each worker has read back only its band's rows.
        // The first worker's messages in order: the thumbnail waits for the run's end.
        await page.evaluate(() => {
            const told = helper.onmessage;
            helper.onmessage = (e) => setTimeout(() => told(e), e.data.type === 'loaded' ? 300 : 0);
            window.said = [];
            worker.addEventListener('message', (e) => window.said.push(e.data.type));
        });
        await chooseAndCreateAtOnce(large);
        assert.ok(await page.evaluate(() => outputs.shared), 'shared');
        await page.waitForSelector('#thumbnail', { state: 'visible' });
        const said = await page.evaluate(() => window.said.filter((t) => t !== 'progress'));
        assert.deepStrictEqual(said.slice(0, 4), ['loaded', 'started', 'done', 'thumbnail']);
        assert.ok((await download('#download-page')).equals(cliOutputs([]).page), 'shared page');
        // Too small a grid to share: the first worker samples the whole picture.
        await page.fill('#columns', '90');
        await page.fill('#rows', '120');
        await runToEnd();
        assert.ok(!(await page.evaluate(() => outputs.shared)), 'not shared');
        await page.click('#tab-html');
        assert.ok((await download('#download-html')).equals(
            cliOutputs(['--columns', '90', '--rows', '120']).html), 'whole picture');
        // Three rows: the second band would sample rows above those the second worker was
        // handed; the first makes the run alone.
        await page.fill('#columns', '90000');
        await page.fill('#rows', '3');
        await runToEnd();
        assert.ok(!(await page.evaluate(() => outputs.shared)), 'not shared');
        assert.ok((await download('#download-html')).equals(
            cliOutputs(['--columns', '90000', '--rows', '3']).html), 'rows not handed over');
        fs.writeFileSync(path.join(folder, 'picture.png'), picture);
    });

test('a JPEG whose bands the two workers decode each gives mosaiq-cli\'s bytes; damaged in the '
    + 'second band, it is refused as mosaiq-cli refuses it', async () => {
    const large = path.join(folder, 'large.png');
    fs.writeFileSync(large, png(testPixels(700, 420, false), 700, 420));
    const jpeg = path.join(folder, 'photo.jpg');
    assert.strictEqual(spawnSync('convert', [large, '-quality', '90', jpeg]).status, 0);
    const photo = fs.readFileSync(jpeg);
    await chooseAndCreateAtOnce(photo);
    assert.ok(await page.evaluate(() => outputs.shared), 'shared');
    assert.deepStrictEqual(await page.evaluate(() => ['mosaiq-decode', 'mosaiq-helper-decode']
        .map((name) => performance.getEntriesByName(name).length)), [1, 1]);
    await assertDownloads(cliOutputs([], 'photo.jpg'));
    // Three rows: the second band would sample rows above those the second worker decoded; the
    // first decodes the rest of the picture and makes the run alone.
    await page.fill('#columns', '90000');
    await page.fill('#rows', '3');
    await runToEnd();
    assert.ok(!(await page.evaluate(() => outputs.shared)), 'not shared');
    await page.click('#tab-html');
    assert.ok((await download('#download-html')).equals(
        cliOutputs(['--columns', '90000', '--rows', '3'], 'photo.jpg').html), 'whole picture');
    // A marker among the last rows' data, where libjpeg gives up: read as its first rows decode,
    // refused by the run.
    let at = Math.floor(photo.length * 0.85);
    while (photo[at - 1] === 0xFF) ++at;
    const damaged = Buffer.concat([photo.subarray(0, at), Buffer.from([0xFF, 0xC0, 0, 2]),
        photo.subarray(at)]);
    fs.writeFileSync(path.join(folder, 'damaged.jpg'), damaged);
    const refused = spawnSync(cli, [path.join(folder, 'damaged.jpg'), '-o',
        path.join(folder, 'damaged.html')], { encoding: 'utf8' });
    assert.match(refused.stderr, /endommagée ou incomplète/);
    await choose(damaged, 'damaged.jpg');
    await runToEnd();
    assert.match(await status(), /endommagée ou incomplète/);
});

test('a photo too large to share has an idle second worker replaced, not one holding outputs',
    async () => {
        // Its module's memory, made ready for a shared run, goes only with the worker.
        const tooLarge = png(testPixels(2100, 2000, false), 2100, 2000);
        const replaced = async () => page.evaluate(() => {
            const was = window.knownHelper;
            window.knownHelper = helper;
            return was !== helper;
        });
        await replaced();
        await choose(tooLarge, 'large.png');
        await page.waitForFunction(() => !helperReading);
        assert.ok(await replaced(), 'replaced');
        const shared = png(testPixels(640, 400, false), 640, 400);
        fs.writeFileSync(path.join(folder, 'picture.png'), shared);
        await choose(shared);
        await page.waitForFunction(() => helperLoaded);
        await runToEnd();
        assert.ok(await page.evaluate(() => outputs.shared), 'shared by the new one');
        await choose(tooLarge, 'large.png');
        await page.waitForFunction(() => !helperReading);
        assert.ok(!(await replaced()), 'kept with its band of the outputs');
        // Once the page has all three outputs, nothing of it is lost with the worker.
        const expected = cliOutputs([]);
        await assertDownloads(expected);
        await choose(tooLarge, 'large.png');
        await page.waitForFunction(() => !helperReading);
        assert.ok(await replaced(), 'replaced once the outputs are downloaded');
        assert.ok((await download('#download-blog')).equals(expected.blog), 'blog code kept');
        fs.writeFileSync(path.join(folder, 'picture.png'), picture);
    });

test('workers grown by a run are replaced once the page is idle; the outputs and the picture stay',
    async () => {
        const large = png(testPixels(640, 400, false), 640, 400);
        fs.writeFileSync(path.join(folder, 'picture.png'), large);
        // Any growth counts, and the page is idle after a fifth of a second.
        await page.evaluate(() => {
            engine.numbers.idleGrowth = 0;
            idleDelay = 200;
            window.first = [worker, helper];
        });
        await choose(large);
        await page.waitForTimeout(600);
        assert.ok(await page.evaluate(() => worker === first[0]), 'a picture read alone');
        // Past the outputs a worker keeps, in both bands: each new worker writes its band again
        // from the picture's file.
        await page.fill('#columns', '1500');
        await page.fill('#rows', '1500');
        await runToEnd();
        assert.ok(await page.evaluate(() => outputs.shared), 'shared');
        await page.waitForFunction(() => worker !== first[0] && helper !== first[1]);
        await assertDownloads(cliOutputs(['--columns', '1500', '--rows', '1500']));
        // The next run reads the picture again in the new workers, and shares it.
        await page.fill('#columns', '640');
        await page.fill('#rows', '400');
        await runToEnd();
        assert.ok(await page.evaluate(() => outputs.shared), 'shared again');
        await page.click('#tab-preview');
        assert.ok((await download('#download-page')).equals(cliOutputs([]).page), 'next run');
        fs.writeFileSync(path.join(folder, 'picture.png'), picture);
    });

test('an output asked once the worker has made its module again is said lost, not waited for',
    async () => {
        // Made again as after a failure, when the page asks it to.
        await contextWithWorkers(`addEventListener('message',
            (e) => e.data.type === 'test-remake' && remakeModule());`, { acceptDownloads: true });
        page = await context.newPage();
        await page.goto(`file://${site}/index.html`);
        await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
        await choose(picture);
        await runToEnd();
        await page.evaluate(() => worker.postMessage({ type: 'test-remake' }));
        await page.click('#tab-html');
        await page.click('#download-html');
        await page.waitForFunction(() => /ne peut plus/.test($('status').textContent));
        assert.match(await status(), /^Le fichier \(.* octets\) ne peut plus être préparé/);
        // The next run's outputs are made as ever.
        await runToEnd();
        assert.ok((await download('#download-html')).equals(cliOutputs([]).html));
    });

test('a Blob is asked of the workers only when needed, and a download waits for it', async () => {
    // The workers get the requests only when the test lets them.
    await page.evaluate(() => {
        const post = Worker.prototype.postMessage;
        window.held = [];
        Worker.prototype.postMessage = function (m, ...rest) {
            if (m && m.type === 'blob') {
                return window.held.push({ which: m.which, release: () => post.call(this, m,
                    ...rest) });
            }
            return post.call(this, m, ...rest);
        };
    });
    await choose(picture);
    await runToEnd();
    // The small page goes to the frame at once; the codes wait for a download or a copy.
    assert.deepStrictEqual(await page.evaluate(() => window.held.map((h) => h.which)), [0]);
    await page.click('#tab-html');
    let early = false;
    page.once('download', () => { early = true; });
    const [file] = await Promise.all([page.waitForEvent('download'), (async () => {
        await page.click('#download-html');
        await page.waitForTimeout(300);
        assert.ok(!early, 'no download before the Blob');
        assert.match(await status(), /en préparation/);
        assert.deepStrictEqual(await page.evaluate(() => window.held.map((h) => h.which)), [0, 1]);
        await page.evaluate(() => window.held.forEach((h) => h.release()));
    })()]);
    assert.ok(fs.readFileSync(await file.path()).equals(cliOutputs([]).html));
    assert.match(await status(), /est prêt/);
});

test('a thumbnail that comes after another file was chosen is not shown', async () => {
    await choose(picture);
    await page.waitForSelector('#thumbnail', { state: 'visible' });
    const first = await page.evaluate(() => pictureNumber);
    await choose(Buffer.from('pas une image'), 'texte.png');
    assert.strictEqual(await page.isVisible('#thumbnail'), false);
    // The first picture's thumbnail, had it come only now.
    await page.evaluate((number) => onWorker({ type: 'thumbnail', number,
        thumbnail: new Blob([]) }), first);
    assert.strictEqual(await page.isVisible('#thumbnail'), false);
});

test('what the page refuses, in French, and it goes on working', async () => {
    await page.click('#create');
    await page.waitForFunction(() => !document.getElementById('create').disabled);
    assert.match(await status(), /image/i);
    await choose(Buffer.from('pas une image'), 'texte.png');
    assert.strictEqual(await status(), 'Ce n\'est pas une image dans un format connu.');
    // Formats the window reads and this browser does not: named, with what to do.
    for (const [file, format] of [['orientation-6.heic', /HEIF/], ['orientation-6.tif', /TIFF/]]) {
        await choose(fs.readFileSync(path.join(root, 'tests/data/good', file)), file);
        assert.match(await status(), format);
    }
    // Wider than a canvas may be.
    await choose(png(testPixels(40000, 1, false), 40000, 1), 'large.png');
    assert.strictEqual(await status(), 'L\'image est trop grande pour être chargée.');
    await choose(picture);
    await page.fill('#columns', 'abc');
    await runToEnd();
    assert.match(await status(), /Dimensions invalides/);
    await page.fill('#columns', '0');
    await runToEnd();
    assert.match(await status(), /Dimensions invalides/);
    await page.fill('#columns', '20');
    await page.check('#random');
    await page.check('#defined');
    await page.fill('#characters', '');
    await runToEnd();
    assert.match(await status(), /caractère/);
    // Markup as characters: the page keeps it as the documents write it; mosaiq-cli's bytes.
    await page.fill('#characters', '<script>[/color]');
    await page.selectOption('#dialect', 'phpbb');
    await runToEnd();
    const expected = cliOutputs(['--columns', '20', '--rows', await page.inputValue('#rows'),
        '--chars', '<script>[/color]', '--dialect', 'phpbb']);
    assert.ok((await download('#download-page')).equals(expected.page));
    await page.click('#tab-blog');
    assert.ok((await download('#download-blog')).equals(expected.blog));
    // A paste of text, and a second picture during a run.
    await page.evaluate(() => {
        const data = new DataTransfer();
        data.setData('text/plain', 'du texte');
        document.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data }));
    });
    assert.match(await status(), /texte, pas une image/);
});

test('a new picture or "Créer" during a run stops it, leaving nothing of it, and starts anew',
    async () => {
        await choose(picture);
        // "Créer" on a long run, and what comes during it in the same task of the page: a fast
        // machine ends the run before a round trip of the test's.
        const during = (what) => page.evaluate(([what, bytes]) => {
            $('columns').value = '3000';
            $('rows').value = '3000';
            $('create').click();
            if (what === 'picture') {
                const data = new DataTransfer();
                data.items.add(new File([new Uint8Array(bytes)], 'b.png', { type: 'image/png' }));
                $('picture-file').files = data.files;
                $('picture-file').dispatchEvent(new Event('change', { bubbles: true }));
            } else {
                $('columns').value = '20';
                $('rows').value = '10';
                document.dispatchEvent(new KeyboardEvent('keydown', { key: 'd', ctrlKey: true }));
            }
        }, [what, [...picture]]);
        await during('picture');
        await page.waitForFunction(() => /chargée/.test($('status').textContent));
        assert.ok(!(await page.isVisible('#download-page')), 'no page of the run stopped');
        await during('create');
        await page.waitForFunction(() => /terminée/.test($('status').textContent));
        assert.ok((await download('#download-page')).equals(
            cliOutputs(['--columns', '20', '--rows', '10']).page));
    });

test('"Garder les proportions": a size typed gives the other as mosaiq-cli keeps it', async () => {
    await choose(picture);
    await page.check('#keep-proportions');
    await page.fill('#columns', '20');
    const kept = (rows) => page.waitForFunction((r) => $('rows').value !== r, rows);
    await kept(String(height));
    await runToEnd();
    const expected = cliOutputs(['--columns', '20']);
    assert.ok((await download('#download-page')).equals(expected.page), 'columns typed');
    const rows = await page.inputValue('#rows');
    assert.ok(expected.page.toString('latin1').split('<br>').length > Number(rows));
    await page.fill('#rows', '7');
    await page.waitForFunction(() => $('columns').value !== '20');
    await runToEnd();
    assert.ok((await download('#download-page')).equals(cliOutputs(['--rows', '7']).page),
        'rows typed');
});

test('"Formes" gives mosaiq-cli\'s shapes, two colours a cell or the text\'s alone, tiling in the '
    + 'frame', async () => {
    await choose(picture);
    // Only with shapes are their two options the run's.
    assert.ok(await page.isDisabled('#foreground-only') && await page.isDisabled('#reader-background'));
    assert.strictEqual(await page.inputValue('#reader-background'), '#ffffff');
    await page.selectOption('#shapes', 'blocks');
    // The monospace font's cells keep the proportions with another count of rows.
    await page.check('#keep-proportions');
    await page.fill('#columns', '24');
    await page.waitForFunction(() => $('rows').value !== String(30));
    await runToEnd();
    assert.match(await status(), /terminée/);
    const blocks = cliOutputs(['--shapes', 'blocks', '--columns', '24']);
    await assertDownloads(blocks);
    assert.ok(await page.isHidden('#download-png'), 'no PNG of shapes, as mosaiq-cli has none');
    assert.strictEqual(await page.inputValue('#rows'),
        String(blocks.page.toString('latin1').match(/<\/span><br>/g).length));
    // The frame shows the page in its own font: each row's cells abut, rows one under another.
    await page.click('#tab-preview');
    await page.waitForFunction(() => performance.getEntriesByName('mosaiq-preview').length > 0);
    const frame = page.frame({ url: /^blob:/ });
    const boxes = await frame.evaluate(() => [...document.querySelectorAll('span')].slice(0, 50)
        .map((span) => { const b = span.getBoundingClientRect(); return [b.left, b.right, b.top, b.bottom]; }));
    for (let i = 1; i < 24; ++i) {
        assert.ok(Math.abs(boxes[i][0] - boxes[i - 1][1]) < 0.01, `cell ${i} of the first row`);
        assert.strictEqual(boxes[i][2], boxes[0][2]);
    }
    assert.ok(Math.abs(boxes[24][2] - boxes[0][3]) < 0.51, 'the second row under the first');
    assert.strictEqual(boxes[24][0], boxes[0][0]);

    await page.uncheck('#keep-proportions');
    await page.selectOption('#shapes', 'braille');
    await page.check('#foreground-only');
    await page.fill('#reader-background', '#336699');
    await page.selectOption('#dialect', 'phpbb');
    await runToEnd();
    const args = ['--shapes', 'braille', '--foreground-only', '--reader-background', '#336699',
        '--dialect', 'phpbb', '--columns', '24', '--rows', await page.inputValue('#rows')];
    await assertDownloads(cliOutputs(args));
    // Past the frame's size, the page is drawn: each cell's ink and background are the page's.
    await page.selectOption('#dialect', 'blog');
    await page.uncheck('#foreground-only');
    await page.fill('#columns', '150');
    await page.fill('#rows', '90');
    await runToEnd();
    await page.click('#tab-preview');
    assert.ok(await page.isVisible('#preview-canvas'));
    const colours = [...cliOutputs(['--shapes', 'braille', '--columns', '150', '--rows', '90'])
        .page.toString('latin1').matchAll(/background-color: #(\w{6})"><font color="#(\w{6})"/g)]
        .map((m) => m[2] + m[1]).join();
    assert.strictEqual(await page.evaluate(() => [...Array(outputs.cells.length / 8).keys()]
        .map((i) => [0, 1, 2, 4, 5, 6].map((b) => outputs.cells[8 * i + b].toString(16)
            .toUpperCase().padStart(2, '0')).join('')).join()), colours);
    // The run's rules are the module's, said in its words.
    await page.click('#square-mode');
    await runToEnd();
    assert.match(await status(), /--square et --shapes s'excluent/);
});

test('the paste button and the sample photo each give a picture to convert', async () => {
    await page.evaluate(async (bytes) => navigator.clipboard.write([new ClipboardItem(
        { 'image/png': new Blob([new Uint8Array(bytes)], { type: 'image/png' }) })]), [...picture]);
    await page.click('#paste');
    await page.waitForFunction(() => /chargée/.test($('status').textContent));
    assert.strictEqual(await status(), `Image chargée : ${width} × ${height} pixels.`);
    await page.evaluate(() => navigator.clipboard.writeText('du texte'));
    await page.click('#paste');
    await page.waitForFunction(() => /pas d'image/.test($('status').textContent));
    await page.click('#sample');
    await page.waitForFunction(() => /chargée : 300/.test($('status').textContent));
    await runToEnd();
    assert.match(await status(), /terminée/);
});

test('the window\'s mode pair, and halving and doubling in French figures', async () => {
        await page.check('#random');
        await page.click('#square-mode');
        await page.click('#square-mode'); // a click on the checked box leaves it checked
        assert.ok(await page.isChecked('#square-mode') && !(await page.isChecked('#letter-mode')));
        assert.ok(await page.isChecked('#defined') && await page.isDisabled('#characters'));
        assert.strictEqual(await page.inputValue('#characters'), '8');
        await page.click('#letter-mode');
        assert.ok(!(await page.isChecked('#square-mode')) && await page.isEnabled('#characters'));

        // The module answers the buttons: each result is awaited.
        const sizes = (columns, rows) => page.waitForFunction(([x, y]) => document
            .getElementById('columns').value === x && document.getElementById('rows').value === y,
        [columns, rows]);
        await page.fill('#columns', '47');
        await page.fill('#rows', '30');
        await page.click('#halve');
        await sizes('23,5', '15');
        await page.click('#double');
        await sizes('47', '30');
        await page.fill('#rows', '12abc');
        await page.click('#double');
        await page.waitForFunction(() => /La hauteur « 12abc » n'est pas un nombre/
            .test(document.getElementById('status').textContent));
        assert.strictEqual(await page.inputValue('#columns'), '47');
    });

test('the preview as a PNG: the page at 100 %, one pixel a cell past the canvas limits', async () => {
    await choose(picture);
    await runToEnd();
    const size = (file) => [file.readUInt32BE(16), file.readUInt32BE(20)];
    const whole = await download('#download-png');
    assert.strictEqual(whole.subarray(1, 4).toString(), 'PNG');
    assert.deepStrictEqual(size(whole), [width * 7, height * 12]);
    // A browser whose canvases end at 100 pixels across, then at 10.
    await page.evaluate(() => {
        const made = HTMLCanvasElement.prototype.getContext;
        window.canvasLimit = 100;
        HTMLCanvasElement.prototype.getContext = function (...args) {
            return this.width > window.canvasLimit ? null : made.apply(this, args);
        };
    });
    assert.deepStrictEqual(size(await download('#download-png')), [width, height]);
    assert.match(await status(), /un pixel par caractère/);
    await page.evaluate(() => { window.canvasLimit = 10; });
    await page.click('#download-png');
    await page.waitForFunction(() => /trop grand pour une image PNG/
        .test(document.getElementById('status').textContent));
    // A page of shapes, whose cells are fractions of a pixel wide, is drawn whole too.
    await page.evaluate(() => { window.canvasLimit = Infinity; });
    const grid = [await page.inputValue('#columns'), await page.inputValue('#rows')];
    await page.selectOption('#shapes', 'all');
    await runToEnd();
    const [across, down] = size(await download('#download-png'));
    assert.ok(across > width * 6 && across < width * 6.1 && down > height * 11, `${across}×${down}`);
    await page.selectOption('#shapes', 'none');
    await page.fill('#columns', grid[0]);
    await page.fill('#rows', grid[1]);
});

test('"Transparence" shows the cells the picture leaves transparent as mosaiq-cli does',
    async () => {
        await choose(picture);
        await page.check('#transparent');
        await runToEnd();
        assert.match(await status(), /terminée/);
        await assertDownloads(cliOutputs(['--transparent', 'background']));
        // A run two workers share: the second has the opacity of its rows from the first, which
        // decoded the picture.
        const large = png(testPixels(640, 400), 640, 400);
        fs.writeFileSync(path.join(folder, 'large.png'), large);
        await chooseAndCreateAtOnce(large);
        assert.ok(await page.evaluate(() => outputs.shared), 'shared');
        await page.click('#tab-preview');
        await assertDownloads(cliOutputs(['--transparent', 'background'], 'large.png'));
        // An opaque picture comes out as it does without the box.
        const pixels = testPixels(width, height, false);
        for (let i = 3; i < pixels.length; i += 4) pixels[i] = 255;
        const opaque = png(pixels, width, height);
        fs.writeFileSync(path.join(folder, 'opaque.png'), opaque);
        await choose(opaque);
        await runToEnd();
        await page.click('#tab-preview');
        await assertDownloads(cliOutputs([], 'opaque.png'));
    });

test('memory the browser refuses is said in French, and the next run works', async () => {
    // The worker's memory may not grow: the module starts with 32 MB, which holds a picture of
    // four megapixels but not its run. The module the worker makes again after the
    // failure takes two seconds, as on a slow device, and the next picture comes meanwhile.
    await contextWithWorkers(`WebAssembly.Memory.prototype.grow = () => { throw new RangeError(); };
        const instantiate = WebAssembly.instantiate;
        let made = 0;
        WebAssembly.instantiate = (...args) => (made++ === 0 ? instantiate(...args)
            : new Promise((resolve) => setTimeout(resolve, 2000)).then(() => instantiate(...args)));
        `);
    page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
    const large = png(testPixels(2400, 1600, false), 2400, 1600);
    await choose(large);
    assert.match(await status(), /chargée/);
    await runToEnd();
    assert.strictEqual(await status(), 'Mémoire insuffisante : réduisez les dimensions.');
    // The refusal stays shown until the new picture's reading is said: wait for it to be read.
    await choose(picture);
    await page.waitForFunction(() => /chargée/.test(document.getElementById('status').textContent));
    await runToEnd();
    assert.match(await status(), /terminée/);
});

test('a browser that cannot run the module is told so in French', async () => {
    await contextWithWorkers('delete self.WebAssembly;\n');
    page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('status').textContent !== '');
    assert.match(await status(), /ne peut pas faire tourner le moteur/);
});

test('a site whose policy refuses workers or WebAssembly names what its host must allow',
    async () => {
        const refused = [[`script-src 'self' 'wasm-unsafe-eval'; worker-src 'none'`,
            /worker-src 'self'/], [`script-src 'self'; worker-src blob:`,
            /script-src 'wasm-unsafe-eval'/]];
        // Under a policy, the page's waits are the locators': a waited function is evaluated.
        const said = (text) => page.locator('#status', { hasText: text }).waitFor();
        for (const [policy, named] of refused) {
            await page.goto(await serve({ 'Content-Security-Policy': policy }));
            await said(named);
            // A picture chosen then is not left waiting for an engine that will not come.
            await page.setInputFiles('#picture-file', { name: 'picture.png',
                mimeType: 'image/png', buffer: picture });
            assert.match(await status(), named);
        }
        // What README.md tells a host to allow is enough, and the workers come from their file;
        // a host that allows only workers from a Blob has them from worker-source.js.
        const readme = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; "
            + "img-src 'self' blob:; frame-src blob:";
        for (const [policy, source] of [[readme, 'worker.js'],
            [`${readme}; worker-src blob:`, 'worker-source.js']]) {
            await page.goto(await serve({ 'Content-Security-Policy': policy }));
            await page.locator('#dialect option[value=phpbb]').waitFor({ state: 'attached' });
            await page.setInputFiles('#picture-file', { name: 'picture.png',
                mimeType: 'image/png', buffer: picture });
            await said(/chargée/);
            await page.click('#create');
            await said(/terminée/);
            await page.locator('#thumbnail').waitFor();
            await page.locator('#preview-frame').waitFor();
            assert.deepStrictEqual([...new Set(page.workers().map((w) => w.url().replace(
                /^blob:.*/, 'worker-source.js').replace(/.*\//, '')))], [source]);
        }
    });

test('an engine that never answers is said, not waited for', async () => {
    await context.close();
    context = await browser.newContext();
    await context.addInitScript(() => Object.defineProperty(window, 'MosaiqWorkerSource',
        { set() {}, get: () => '' }));
    page = await context.newPage();
    await page.clock.install();
    await page.goto(`file://${site}/index.html`);
    await page.clock.runFor(29000);
    assert.strictEqual(await status(), '');
    await page.clock.runFor(2000);
    assert.match(await status(), /n'a pas démarré après 30 secondes/);
});

test('a page opened hidden, which paints nothing, starts its engine all the same', async () => {
    await context.close();
    context = await browser.newContext();
    await context.addInitScript(() => {
        Object.defineProperty(document, 'visibilityState', { get: () => 'hidden' });
        PerformanceObserver.prototype.observe = () => {};
        window.requestAnimationFrame = () => 0;
    });
    page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('dialect').options.length > 1,
        null, { polling: 100 });
});

test('a picture chosen before the engine is ready is read once it is', async () => {
    // The worker tells the page it is ready a second late.
    await contextWithWorkers(`const told = self.postMessage.bind(self);
        self.postMessage = (m, t) => (m.type === 'ready' ? setTimeout(() => told(m, t), 1000)
            : told(m, t));\n`, { acceptDownloads: true });
    page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.setInputFiles('#picture-file', { name: 'picture.png', mimeType: 'image/png',
        buffer: picture });
    assert.match(await status(), /sera lue dès que/);
    await page.waitForFunction(() => /chargée/.test(document.getElementById('status').textContent));
    await runToEnd();
    assert.ok((await download('#download-page')).equals(cliOutputs([]).page));
});

test('a file past what a download may hold is streamed to a file picked, or refused with its '
    + 'size', async () => {
    await choose(picture);
    await runToEnd();
    const expected = cliOutputs([]);
    await page.evaluate(() => {
        largestDownload = 100;
        window.written = [];
        window.showSaveFilePicker = async () => ({ createWritable: async () => new WritableStream(
            { write: (chunk) => window.written.push(...chunk) }) });
    });
    await page.click('#download-page');
    await page.waitForFunction(() => /enregistré/.test(document.getElementById('status').textContent));
    assert.ok(Buffer.from(await page.evaluate(() => window.written)).equals(expected.page));
    await page.evaluate(() => delete window.showSaveFilePicker);
    await page.click('#tab-html');
    await page.click('#download-html');
    assert.strictEqual(await status(), `Ce fichier fait ${expected.html.length
        .toLocaleString('fr-FR')} octets : ce navigateur ne peut pas l'enregistrer d'un bloc. `
        + 'Réduisez les dimensions, ou ouvrez la page dans un navigateur qui enregistre '
        + 'directement sur le disque.');
});

test('visited once from 127.0.0.1, the site works offline; a new version is said when ready',
    async () => {
        const changed = {};
        const address = await serve({}, changed);
        await page.goto(address);
        await page.waitForFunction(() => navigator.serviceWorker.controller);
        await context.setOffline(true);
        await page.reload();
        await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
        await choose(picture);
        await runToEnd();
        assert.ok((await download('#download-page')).equals(cliOutputs([]).page));
        // Back online, the host has a new version: the page says so, and keeps its own until
        // the user reloads.
        await context.setOffline(false);
        changed['sw.js'] = `// another version\n${fs.readFileSync(path.join(site, 'sw.js'))}`;
        assert.ok(!(await page.isVisible('#update')));
        await page.evaluate(async () => (await navigator.serviceWorker.ready).update());
        await page.waitForSelector('#update', { state: 'visible' });
        assert.match(await page.textContent('#update'), /nouvelle version/);
        await page.evaluate(() => { window.before = true; });
        await page.click('#update-now');
        await page.waitForFunction(() => !window.before
            && document.getElementById('dialect').options.length > 1);
        assert.ok(!(await page.isVisible('#update')), 'reloaded from the new version');
    });

test('opened from the disk, the page asks for no manifest and no service worker', async () => {
    assert.strictEqual(await page.evaluate(() => document.querySelector('link[rel=manifest]')),
        null);
    assert.strictEqual(await page.evaluate(() => navigator.serviceWorker
        && navigator.serviceWorker.controller), null);
});
