// Figures of the page in the browser, run by hand on an idle machine, beside mosaiq-cli's on the
// same photo: `node bench/web/web_bench.js [WxH ...]` (default 1920x1080 4000x3000), after
// scripts/web.sh, scripts/build.sh and `npm ci` in tests/web. Photos are made from Debian's
// mate-backgrounds with ImageMagick, at one cell per pixel. For each: mosaiq-cli's wall and
// processor time (page and both codes written), the page's from the file chosen to the page and
// both codes ready (and its own part, without the click between), processor time of all
// chromium, the stages as the page marks them, the longest task of
// the page (a long-task observer), the preview's delay after the outputs, the peak memory (PSS)
// of the tab's renderer and of all this benchmark's chromium processes, and whether the page's
// download has the page's size and how long it took from the click; MOSAIQ_BENCH_TRIES runs in the browser (3). Then the module's
// size, gzipped. MOSAIQ_BENCH_ONE_WORKER=1: the page with one worker; MOSAIQ_WEB_SITE: another
// build's site (one that marks its stages).
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const { spawnSync, execFileSync } = require('node:child_process');

const root = path.resolve(__dirname, '../..');
const { chromium } = require(path.join(root, 'tests/web/node_modules/playwright-core'));
const site = process.env.MOSAIQ_WEB_SITE || path.join(root, 'build-web/site');
const cli = path.join(root, 'build/src/cli/mosaiq-cli');
const photos = '/usr/share/backgrounds/mate/nature/';
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'mosaiq-web-bench-'));

// This benchmark's chromium processes: those descended from it, not another's browser that
// may run beside it.
function ownChromium() {
    const parents = new Map();
    for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
        try {
            const stat = fs.readFileSync(`/proc/${pid}/stat`, 'latin1');
            parents.set(Number(pid), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
        } catch (error) {
            // The process ended meanwhile.
        }
    }
    const ours = (pid) => {
        for (let p = pid; p > 1; p = parents.get(p) || 0) if (p === process.pid) return true;
        return false;
    };
    return [...parents.keys()].filter((pid) => pid !== process.pid && ours(pid));
}

function chromiumPss() {
    let all = 0, renderer = 0;
    for (const pid of ownChromium()) {
        try {
            const command = fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1');
            if (!command.includes('chromium')) continue;
            const pss = Number(/Pss:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/smaps_rollup`,
                'latin1'))[1]) * 1024;
            all += pss;
            if (command.includes('--type=renderer')) renderer = Math.max(renderer, pss);
        } catch (error) {
            // The process ended meanwhile.
        }
    }
    return { all, renderer };
}

const tries = Number(process.env.MOSAIQ_BENCH_TRIES || 3);
const mb = (bytes) => `${(bytes / 1048576).toFixed(0)} Mo`;

async function measure(browser, size) {
    const [width, height] = size.split('x').map(Number);
    const photo = path.join(folder, `photo-${size}.jpg`);
    execFileSync('convert', [path.join(photos, 'Aqua.jpg'), '-resize', `${width}x${height}!`,
        '-quality', '90', photo]);
    // The best of three, wall and processor time (GNU time).
    const native = { wall: Infinity, cpu: Infinity };
    for (let i = 0; i < 3; ++i) {
        const run = spawnSync('/usr/bin/time', ['-f', '%e %U %S', cli, photo, '-o',
            path.join(folder, 'page.html'), '--html-code', path.join(folder, 'html.txt'),
            '--blog-code', path.join(folder, 'blog.txt')], { encoding: 'utf8' });
        if (run.status !== 0) throw new Error(String(run.stderr));
        const [wall, user, system] = run.stderr.trim().split('\n').pop().split(' ').map(Number);
        native.wall = Math.min(native.wall, wall * 1000);
        native.cpu = Math.min(native.cpu, (user + system) * 1000);
    }
    const pageBytes = fs.statSync(path.join(folder, 'page.html')).size;
    for (const name of ['page.html', 'html.txt', 'blog.txt']) fs.rmSync(path.join(folder, name));

    for (let attempt = 0; attempt < tries; ++attempt)
        await measureInBrowser(browser, size, photo, native, pageBytes);
}

// Processor time (user + system) of all chromium's processes so far, in milliseconds.
function chromiumCpu() {
    let ticks = 0;
    for (const pid of ownChromium()) {
        try {
            if (!fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1').includes('chromium')) continue;
            const fields = fs.readFileSync(`/proc/${pid}/stat`, 'latin1').split(') ')[1].split(' ');
            ticks += Number(fields[11]) + Number(fields[12]);
        } catch (error) {
            // The process ended meanwhile.
        }
    }
    return ticks * 10;
}

async function measureInBrowser(browser, size, photo, native, pageBytes) {
    const context = await browser.newContext({ acceptDownloads: true });
    // MOSAIQ_BENCH_ONE_WORKER=1: the page as on a machine of one core, with one worker.
    if (process.env.MOSAIQ_BENCH_ONE_WORKER === '1') {
        await context.addInitScript(() => Object.defineProperty(navigator, 'hardwareConcurrency',
            { get: () => 1 }));
    }
    // The page's own time, the same way for any build of it: from the picture handed to the
    // worker to its reply, and from the run asked to the outputs shown ("mosaiq-delivered").
    await context.addInitScript(() => {
        const mark = (name) => performance.getEntriesByName(name).length || performance.mark(name);
        const post = Worker.prototype.postMessage;
        Worker.prototype.postMessage = function (m, ...rest) {
            if (m && (m.type === 'picture' || m.type === 'convert')) mark(`bench-${m.type}`);
            return post.call(this, m, ...rest);
        };
        const Original = window.Worker;
        window.Worker = function (...args) {
            const worker = new Original(...args);
            worker.addEventListener('message', (e) => e.data.type === 'loaded' && mark('bench-loaded'));
            return worker;
        };
        window.Worker.prototype = Original.prototype;
    });
    await context.addInitScript(() => {
        window.longTasks = [];
        new PerformanceObserver((list) => window.longTasks.push(...list.getEntries()))
            .observe({ type: 'longtask', buffered: true });
    });
    const page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
    await new Promise((resolve) => setTimeout(resolve, 500));
    const idle = chromiumPss();
    let peak = { all: 0, renderer: 0 };
    const sample = () => {
        const now = chromiumPss();
        peak = { all: Math.max(peak.all, now.all), renderer: Math.max(peak.renderer, now.renderer) };
    };
    let sampler = setInterval(sample, 100);
    await page.evaluate(() => { window.longTasks = []; });
    const cpuBefore = chromiumCpu();
    const begin = Date.now();
    await page.setInputFiles('#picture-file', photo);
    await page.waitForFunction(() => !/^Lecture/.test(
        document.getElementById('status').textContent), null, { polling: 10, timeout: 0 });
    const loaded = chromiumPss();
    await page.click('#create');
    await page.waitForFunction(() => !document.getElementById('create').disabled, null,
        { polling: 10, timeout: 0 });
    const web = Date.now() - begin;
    await page.waitForFunction(() => performance.getEntriesByName('mosaiq-preview').length > 0,
        null, { timeout: 0 });
    // A site that builds the Blobs after the run (an older one) is let finish them.
    await new Promise((resolve) => setTimeout(resolve, 1000));
    const cpu = chromiumCpu() - cpuBefore;
    clearInterval(sampler);
    sample();
    const ready = peak;
    const f = await page.evaluate(() => {
        const at = (name) => performance.getEntriesByName(name)[0];
        const time = (name) => (at(name) ? at(name).duration : NaN);
        const mark = (name) => (at(name) ? at(name).startTime : NaN);
        const end = (name) => mark(name) + time(name);
        return {
            status: document.getElementById('status').textContent,
            longest: window.longTasks.reduce((a, b) => (b.duration > a.duration ? b : a),
                { duration: 0, startTime: NaN }),
            marks: performance.getEntriesByType('mark').filter((m) => m.name.startsWith('mosaiq-'))
                .map((m) => [m.name.slice(7), m.startTime]),
            own: mark('mosaiq-delivered') - mark('bench-convert') + mark('bench-loaded')
                - mark('bench-picture'),
            stages: ['decode', 'readback', 'start', 'module', 'chunks', 'moved', 'between',
                'conversion']
                .map((s) => [s, time(`mosaiq-${s}`), time(`mosaiq-helper-${s}`)]),
            shown: mark('mosaiq-delivered') - mark('mosaiq-done'),
            preview: mark('mosaiq-preview') - mark('mosaiq-delivered'),
        };
    });
    sampler = setInterval(sample, 100);
    const clicked = Date.now();
    const [download] = await Promise.all([page.waitForEvent('download'),
        page.click('#download-page')]);
    const toDownload = Date.now() - clicked;
    const downloaded = fs.statSync(await download.path()).size;
    clearInterval(sampler);
    await context.close();
    const ms = (t) => (Number.isNaN(t) ? '-' : t.toFixed(0));
    console.log(`${size} (${f.status.split('\n')[0]})`);
    console.log(`  mosaiq-cli: ${native.wall.toFixed(0)} ms (processor ${native.cpu.toFixed(0)} ms);`
        + ` page in chromium: ${web} ms (${(web / native.wall).toFixed(2)} ×), of which the`
        + ` page's own ${ms(f.own)} ms (${(f.own / native.wall).toFixed(2)} ×, without`
        + ` the click); processor time of all chromium ${cpu} ms`);
    console.log(`  stages, ms (worker / second worker): ${f.stages.map(([s, a, b]) =>
        `${s} ${ms(a)}${Number.isNaN(b) ? '' : ` / ${ms(b)}`}`).join(', ')}; outputs shown ${
        ms(f.shown)} after the run`);
    // Where the longest task fell: the page's last mark before it.
    const before = f.marks.filter(([, t]) => t <= f.longest.startTime).pop();
    console.log(`  longest task: ${ms(f.longest.duration)} ms${before ? `, ${ms(f.longest.startTime
        - before[1])} ms after "${before[0]}"` : ''}; preview ${ms(f.preview)} ms after the outputs`
        + ' (below 0: before)');
    console.log(`  peak memory to the preview drawn: renderer ${mb(ready.renderer)}, all chromium`
        + ` ${mb(ready.all)}; during the page's download: ${mb(peak.all)} (before the picture: `
        + `${mb(idle.renderer)}, ${mb(idle.all)}; picture read: ${mb(loaded.renderer)}, `
        + `${mb(loaded.all)})`);
    console.log(`  page downloaded: ${downloaded} bytes, ${
        downloaded === pageBytes ? 'as' : 'NOT as'} mosaiq-cli's ${pageBytes}, ${toDownload} ms`
        + ' from the click to the download (its Blob built meanwhile)');
}

(async () => {
    const sizes = process.argv.slice(2).length ? process.argv.slice(2) : ['1920x1080', '4000x3000'];
    const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox'] });
    try {
        for (const size of sizes) await measure(browser, size);
    } finally {
        await browser.close();
    }
    const module = fs.readFileSync(path.join(root, 'build-web/src/web/mosaiq-web.js'));
    const worker = fs.readFileSync(path.join(site, 'worker-source.js'));
    console.log(`module: ${module.length} bytes, ${zlib.gzipSync(module, { level: 9 }).length}`
        + ` gzipped; the worker's source in the site: ${zlib.gzipSync(worker, { level: 9 }).length}`
        + ' gzipped');
    fs.rmSync(folder, { recursive: true });
})();
