// Figures of the page in the browser, run by hand on an idle machine, beside mosaiq-cli's on the
// same photo: `node bench/web/web_bench.js [WxH ...]` (default 1920x1080 4000x3000), after
// scripts/web.sh, scripts/build.sh and `npm ci` in tests/web. Photos are made from Debian's
// mate-backgrounds with ImageMagick, at one cell per pixel. For each: mosaiq-cli's wall and
// processor time (page and both codes written to new files, the best of five); the page's, from
// the file input's change to the page and both codes ready, "Créer" clicked from inside the page
// the moment the picture is read; the same driven by playwright (its round trips and its click
// included, and the page's own part without the click); processor time of all chromium; the
// stages as the page marks them; from the click, when the run was asked of the workers, when
// the second read the picture and when each began the run; the longest task of the page (a
// long-task observer); the preview's delay after the outputs; the peak memory (PSS) of the tab's renderer and of all this
// benchmark's chromium processes; whether the page's download has the page's size and how long it
// took from the click, and all chromium's memory 3 s and 10 s after it, the page idle (past the
// page's idle delay, the workers grown by the run replaced). A size may name a set of shapes,
// as in 1920x1080:blocks: mosaiq-cli's --shapes and the page's "Formes" then.
// MOSAIQ_BENCH_TRIES runs of each kind in the browser (3). Then the module's
// size, gzipped. MOSAIQ_BENCH_ONE_WORKER=1: the page with one worker; MOSAIQ_WEB_SITE: another
// build's site (one that marks its stages); MOSAIQ_BENCH_TIMELINE=1: every stage in order.
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

async function measure(browser, asked) {
    const [size, shapes] = asked.split(':');
    const [width, height] = size.split('x').map(Number);
    const photo = path.join(folder, `photo-${size}.jpg`);
    execFileSync('convert', [path.join(photos, 'Aqua.jpg'), '-resize', `${width}x${height}!`,
        '-quality', '90', photo]);
    // The best of five, wall and processor time (GNU time), each run writing new files: files
    // replaced cost the kernel the old pages' release, which varies from run to run.
    const native = { wall: Infinity, cpu: Infinity };
    const written = ['page.html', 'html.txt', 'blog.txt'].map((name) => path.join(folder, name));
    for (let i = 0; i < 5; ++i) {
        for (const file of written) fs.rmSync(file, { force: true });
        const begin = process.hrtime.bigint();
        const run = spawnSync('/usr/bin/time', ['-f', '%e %U %S', cli, photo, '-o', written[0],
            '--html-code', written[1], '--blog-code', written[2],
            ...(shapes ? ['--shapes', shapes] : [])], { encoding: 'utf8' });
        if (run.status !== 0) throw new Error(String(run.stderr));
        // GNU time's wall time counts in hundredths: the process's own, to the microsecond.
        const wall = Number(process.hrtime.bigint() - begin) / 1e6;
        const [user, system] = run.stderr.trim().split('\n').pop().split(' ').slice(1).map(Number);
        native.wall = Math.min(native.wall, wall);
        native.cpu = Math.min(native.cpu, (user + system) * 1000);
    }
    const pageBytes = fs.statSync(path.join(folder, 'page.html')).size;
    for (const file of written) fs.rmSync(file);

    for (let attempt = 0; attempt < tries; ++attempt) {
        const auto = await measureInBrowser(browser, photo, true, shapes);
        const driven = await measureInBrowser(browser, photo, false, shapes);
        report(asked, native, pageBytes, auto, driven);
    }
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

// One run of the page. auto: the page's own figure, without playwright's round trips: "Créer"
// is clicked from inside the page the moment it says the picture is read, and the time runs
// from the file input's change to the page and both codes ready (each code's pane shows its
// start and size, each code and the page have their download link, the copies their outputs).
// Otherwise playwright chooses the file, waits for the picture read, clicks and polls, as a
// user's script would; the memory and the page's download are measured then.
async function measureInBrowser(browser, photo, auto, shapes) {
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
    await context.addInitScript((autoClick) => {
        window.longTasks = [];
        new PerformanceObserver((list) => window.longTasks.push(...list.getEntries()))
            .observe({ type: 'longtask', buffered: true });
        const mark = (name) => performance.getEntriesByName(name).length || performance.mark(name);
        const marked = (name) => performance.getEntriesByName(name).length > 0;
        // Before the page's own listener: the capture on the window comes first.
        window.addEventListener('change', (e) => e.target.id === 'picture-file'
            && mark('bench-chosen'), true);
        document.addEventListener('DOMContentLoaded', () => {
            const $ = (id) => document.getElementById(id);
            // The status is written once the page has taken the worker's reply: the observer's
            // callback comes right after, in the same task.
            new MutationObserver(() => {
                if (!autoClick || !marked('bench-chosen') || marked('bench-clicked')
                    || !/chargée/.test($('status').textContent)) return;
                mark('bench-clicked');
                $('create').click();
            }).observe($('status'), { childList: true, characterData: true, subtree: true });
            new MutationObserver(() => {
                if (!marked('bench-clicked') || marked('bench-ready')) return;
                const links = ['download-page', 'download-html', 'download-blog'];
                if (!$('size-html').textContent || !$('size-blog').textContent
                    || links.some((id) => $(id).hidden) || !outputs || !outputs.finished) return;
                mark('bench-ready');
                requestAnimationFrame(() => mark('bench-frame'));
            }).observe($('results'), { childList: true, characterData: true, subtree: true,
                attributes: true });
        });
    }, auto);
    const page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
    if (shapes) await page.selectOption('#shapes', shapes);
    await new Promise((resolve) => setTimeout(resolve, 500));
    const idle = chromiumPss();
    let peak = { all: 0, renderer: 0 };
    const sample = () => {
        const now = chromiumPss();
        peak = { all: Math.max(peak.all, now.all), renderer: Math.max(peak.renderer, now.renderer) };
    };
    // Not while the page's own time runs: each reading of a process's memory has the kernel walk
    // its pages, which held the workers' first writes to new memory back, a 1920 x 1080 run's
    // page by a third. The memory is that of the run playwright drives.
    let sampler = auto ? null : setInterval(sample, 100);
    await page.evaluate(() => { window.longTasks = []; });
    const cpuBefore = chromiumCpu();
    const begin = Date.now();
    await page.setInputFiles('#picture-file', photo);
    let loaded = null;
    if (auto) {
        await page.waitForFunction(() => performance.getEntriesByName('bench-frame').length > 0,
            null, { polling: 10, timeout: 0 });
    } else {
        await page.waitForFunction(() => !/^Lecture/.test(
            document.getElementById('status').textContent), null, { polling: 10, timeout: 0 });
        loaded = chromiumPss();
        await page.click('#create');
    }
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
            chosen: mark('bench-ready') - mark('bench-chosen'),
            frame: mark('bench-frame') - mark('bench-chosen'),
            read: mark('bench-clicked') - mark('bench-chosen'),
            stages: ['decode', 'readback', 'handover', 'thumbnail', 'asked', 'rows', 'start', 'module', 'chunks', 'moved', 'between',
                'conversion']
                .map((s) => [s, time(`mosaiq-${s}`), time(`mosaiq-helper-${s}`)]),
            shown: mark('mosaiq-delivered') - mark('mosaiq-done'),
            // From the click: the run asked of the workers, the second worker's picture read,
            // each worker's run begun (its conversion's start).
            fromClick: [mark('bench-convert'), end('mosaiq-helper-readback'),
                mark('mosaiq-conversion'), mark('mosaiq-helper-conversion')]
                .map((t) => t - mark('bench-clicked')),
            preview: mark('mosaiq-preview') - mark('mosaiq-delivered'),
            timeline: performance.getEntries().filter((e) => /^(mosaiq|bench)-/.test(e.name))
                .map((e) => [e.name, e.startTime - mark('bench-chosen'), e.duration])
                .sort((a, b) => a[1] - b[1]),
        };
    });
    const result = { web, cpu, ...f, idle, loaded, ready };
    if (!auto) {
        sampler = setInterval(sample, 100);
        const clicked = Date.now();
        const [download] = await Promise.all([page.waitForEvent('download'),
            page.click('#download-page')]);
        result.toDownload = Date.now() - clicked;
        result.downloaded = fs.statSync(await download.path()).size;
        clearInterval(sampler);
        result.downloadPeak = peak;
        await new Promise((resolve) => setTimeout(resolve, 3000));
        result.idleAfter = chromiumPss();
        // Long enough for the page to have replaced the workers that grew during the run.
        await new Promise((resolve) => setTimeout(resolve, 7000));
        result.idleLater = chromiumPss();
    }
    await context.close();
    return result;
}

// auto: the run clicked from inside the page; driven: the one playwright drove.
function report(size, native, pageBytes, auto, driven) {
    const ms = (t) => (Number.isNaN(t) ? '-' : t.toFixed(0));
    const times = (t) => `${(t / native.wall).toFixed(2)} ×`;
    const f = auto;
    console.log(`${size} (${f.status.split('\n')[0]})`);
    console.log(`  mosaiq-cli: ${native.wall.toFixed(0)} ms (processor ${native.cpu.toFixed(0)} ms);`
        + ` file chosen -> page and both codes ready: ${ms(f.chosen)} ms (${times(f.chosen)}),`
        + ` their next frame ${ms(f.frame)} ms, picture read at ${ms(f.read)} ms; processor time`
        + ` of all chromium ${f.cpu} ms`);
    console.log(`  driven by playwright: ${driven.web} ms (${times(driven.web)}), of which the`
        + ` page's own ${ms(driven.own)} ms (${times(driven.own)}, without the click); clicked`
        + ` from the page: ${f.web} ms, own ${ms(f.own)} ms`);
    console.log(`  stages, ms (worker / second worker): ${f.stages.map(([s, a, b]) =>
        `${s} ${ms(a)}${Number.isNaN(b) ? '' : ` / ${ms(b)}`}`).join(', ')}; outputs shown ${
        ms(f.shown)} after the run`);
    const [asked, helperRead, ...begun] = f.fromClick.map(ms);
    console.log(`  from the click: run asked ${asked} ms (second worker's picture read ${helperRead}`
        + ` ms), begun in the workers ${begun.join(' / ')} ms`);
    // MOSAIQ_BENCH_TIMELINE=1: every stage from the file chosen, start and length, ms.
    if (process.env.MOSAIQ_BENCH_TIMELINE === '1') {
        console.log(`  timeline: ${f.timeline.map(([name, start, length]) =>
            `${name.replace(/^mosaiq-/, '')} ${ms(start)}${length ? `+${ms(length)}` : ''}`)
            .join(', ')}`);
    }
    // Where the longest task fell: the page's last mark before it.
    for (const [name, r] of [['clicked from the page', auto], ['driven', driven]]) {
        const before = r.marks.filter(([, t]) => t <= r.longest.startTime).pop();
        console.log(`  ${name}: longest task ${ms(r.longest.duration)} ms${before
            ? `, ${ms(r.longest.startTime - before[1])} ms after "${before[0]}"` : ''}; preview ${
            ms(r.preview)} ms after the outputs (below 0: before)`);
    }
    const d = driven;
    console.log(`  peak memory to the preview drawn: renderer ${mb(d.ready.renderer)}, all chromium`
        + ` ${mb(d.ready.all)}; during the page's download: ${mb(d.downloadPeak.all)} (before the`
        + ` picture: ${mb(d.idle.renderer)}, ${mb(d.idle.all)}; picture read: ${
            mb(d.loaded.renderer)}, ${mb(d.loaded.all)})`);
    console.log(`  page downloaded: ${d.downloaded} bytes, ${
        d.downloaded === pageBytes ? 'as' : 'NOT as'} mosaiq-cli's ${pageBytes}, ${d.toDownload} ms`
        + ` from the click to the download (its Blob built meanwhile); all chromium idle 3 s`
        + ` after: ${mb(d.idleAfter.all)}, 10 s after: ${mb(d.idleLater.all)}`);
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
