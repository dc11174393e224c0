// Figures of the page in the browser, run by hand on an idle machine, beside mosaiq-cli's on the
// same photo: `node bench/web/web_bench.js [WxH ...]` (default 1920x1080 4000x3000), after
// scripts/web.sh, scripts/build.sh and `npm ci` in tests/web. Photos are made from Debian's
// mate-backgrounds with ImageMagick, at one cell per pixel. For each: mosaiq-cli's wall time
// (page and both codes written), the page's from the file chosen to the page and both codes
// ready, the longest task of the page (a long-task observer), the preview's delay after the
// outputs, the peak memory (PSS) of the tab's renderer and of all chromium's processes, and
// whether the page's download has the page's size; MOSAIQ_BENCH_TRIES runs in the browser (3).
// Then the module's size, gzipped.
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const { spawnSync, execFileSync } = require('node:child_process');

const root = path.resolve(__dirname, '../..');
const { chromium } = require(path.join(root, 'tests/web/node_modules/playwright-core'));
const site = path.join(root, 'build-web/site');
const cli = path.join(root, 'build/src/cli/mosaiq-cli');
const photos = '/usr/share/backgrounds/mate/nature/';
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'mosaiq-web-bench-'));

function chromiumPss() {
    let all = 0, renderer = 0;
    for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
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
    let native = Infinity;
    for (let i = 0; i < 3; ++i) {
        const begin = process.hrtime.bigint();
        const run = spawnSync(cli, [photo, '-o', path.join(folder, 'page.html'), '--html-code',
            path.join(folder, 'html.txt'), '--blog-code', path.join(folder, 'blog.txt')]);
        if (run.status !== 0) throw new Error(String(run.stderr));
        native = Math.min(native, Number(process.hrtime.bigint() - begin) / 1e6);
    }
    const pageBytes = fs.statSync(path.join(folder, 'page.html')).size;
    for (const name of ['page.html', 'html.txt', 'blog.txt']) fs.rmSync(path.join(folder, name));

    for (let attempt = 0; attempt < tries; ++attempt)
        await measureInBrowser(browser, size, photo, native, pageBytes);
}

async function measureInBrowser(browser, size, photo, native, pageBytes) {
    const context = await browser.newContext({ acceptDownloads: true });
    // MOSAIQ_BENCH_ONE_WORKER=1: the page as on a machine of one core, with one worker.
    if (process.env.MOSAIQ_BENCH_ONE_WORKER === '1') {
        await context.addInitScript(() => Object.defineProperty(navigator, 'hardwareConcurrency',
            { get: () => 1 }));
    }
    await context.addInitScript(() => {
        window.longestTask = 0;
        new PerformanceObserver((list) => {
            for (const entry of list.getEntries())
                window.longestTask = Math.max(window.longestTask, entry.duration),
                (window.tasks = window.tasks || []).push([Math.round(entry.startTime), Math.round(entry.duration)]);
        }).observe({ type: 'longtask', buffered: true });
    });
    const page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    await page.waitForFunction(() => document.getElementById('dialect').options.length > 1);
    await new Promise((resolve) => setTimeout(resolve, 500));
    const idle = chromiumPss();
    let peak = { all: 0, renderer: 0 };
    const sampler = setInterval(() => {
        const now = chromiumPss();
        peak = { all: Math.max(peak.all, now.all), renderer: Math.max(peak.renderer, now.renderer) };
    }, 200);
    await page.evaluate(() => { window.longestTask = 0; });
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
        null, { timeout: 60000 });
    const figures = await page.evaluate(() => ({
        status: document.getElementById('status').textContent,
        longest: window.longestTask, tasks: JSON.stringify(window.tasks), marks: JSON.stringify(performance.getEntriesByType('mark').map((m) => [m.name, Math.round(m.startTime)])),
        stages: performance.getEntriesByType('measure').concat(performance.getEntriesByType('mark'))
            .filter((m) => m.name.startsWith('mosaiq-')).sort((a, b) => a.startTime - b.startTime)
            .map((m) => `${m.name.slice(7)} ${m.startTime.toFixed(0)}${m.duration ? `+${m.duration.toFixed(0)}` : ''}`).join(', '),
        preview: performance.getEntriesByName('mosaiq-preview')[0].startTime
            - performance.getEntriesByName('mosaiq-delivered')[0].startTime,
    }));
    await page.waitForFunction(() => performance.getEntriesByName('mosaiq-blobs').length > 0,
        null, { timeout: 0 });
    const blobs = await page.evaluate(() => performance.getEntriesByName('mosaiq-blobs')[0]);
    const [download] = await Promise.all([page.waitForEvent('download'),
        page.click('#download-page')]);
    const downloaded = fs.statSync(await download.path()).size;
    clearInterval(sampler);
    await context.close();
    console.log(`${size} (${figures.status.split('\n')[0]})`);
    console.log(`  mosaiq-cli: ${native.toFixed(0)} ms; page in chromium: ${web} ms `
        + `(${(web / native).toFixed(2)} ×)`);
    console.log(`  longest task: ${figures.longest.toFixed(0)} ms; preview ${
        figures.preview.toFixed(0)} ms after the outputs (below 0: before)`);
    console.log(`  long tasks (ms from the page's start +duration): ${figures.tasks}`);
    console.log(`  stages (ms from the page's start, +duration): ${figures.stages}`);
    console.log(`  peak memory: renderer ${mb(peak.renderer)}, all chromium ${mb(peak.all)}`
        + ` (before the picture: ${mb(idle.renderer)}, ${mb(idle.all)}; picture read: `
        + `${mb(loaded.renderer)}, ${mb(loaded.all)})`);
    console.log(`  page downloaded: ${downloaded} bytes, ${
        downloaded === pageBytes ? 'as' : 'NOT as'} mosaiq-cli's ${pageBytes}`);
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
