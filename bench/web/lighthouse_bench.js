// Lighthouse's scores of the page as a phone sees it over http, run by hand after scripts/web.sh
// and `npm ci` in bench/web (which pins lighthouse; the tests do not install it): `node
// bench/web/lighthouse_bench.js [runs]` (3). The site is served from 127.0.0.1 as a static host
// serves it (its texts gzipped when asked, as hosts do), to Debian's chromium, headless, with
// Lighthouse's mobile settings, its simulated network and processor. For each run, the
// performance, accessibility and best practices scores and the page's main figures; then each
// audit that did not pass, with its score, for the last run.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const http = require('node:http');
const zlib = require('node:zlib');

const root = path.resolve(__dirname, '../..');
const modules = path.join(__dirname, 'node_modules');
const site = process.env.MOSAIQ_WEB_SITE || path.join(root, 'build-web/site');

function serve() {
    const types = { html: 'text/html', css: 'text/css', js: 'text/javascript', png: 'image/png',
        svg: 'image/svg+xml', webmanifest: 'application/manifest+json', jpg: 'image/jpeg' };
    const server = http.createServer((request, response) => {
        const name = new URL(request.url, 'http://here').pathname.slice(1) || 'index.html';
        const file = path.join(site, path.normalize(name));
        if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
            response.writeHead(404);
            return response.end();
        }
        const type = types[path.extname(file).slice(1)] || '';
        const text = /^text|json|svg/.test(type)
            && /gzip/.test(request.headers['accept-encoding'] || '');
        response.writeHead(200, { 'Content-Type': type,
            ...(text ? { 'Content-Encoding': 'gzip' } : {}) });
        response.end(text ? zlib.gzipSync(fs.readFileSync(file)) : fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

(async () => {
    const runs = Number(process.argv[2] || 3);
    const { default: lighthouse } = await import(path.join(modules, 'lighthouse/core/index.js'));
    const launcher = await import(path.join(modules, 'chrome-launcher/dist/index.js'));
    const server = await serve();
    const address = `http://127.0.0.1:${server.address().port}/`;
    const chrome = await launcher.launch({ chromePath: '/usr/bin/chromium',
        chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu'] });
    const categories = ['performance', 'accessibility', 'best-practices'];
    let last = null;
    try {
        for (let run = 0; run < runs; ++run) {
            const result = await lighthouse(address, { port: chrome.port, output: 'json',
                logLevel: 'error', onlyCategories: categories });
            last = result.lhr;
            const score = (c) => Math.round(100 * last.categories[c].score);
            const figure = (id) => last.audits[id].displayValue;
            console.log(`run ${run + 1}: ${categories.map((c) => `${c} ${score(c)}`).join(', ')};`
                + ` first contentful paint ${figure('first-contentful-paint')}, largest`
                + ` ${figure('largest-contentful-paint')}, total blocking time`
                + ` ${figure('total-blocking-time')}, speed index ${figure('speed-index')}`);
        }
    } finally {
        chrome.kill();
        server.close();
    }
    for (const c of categories) {
        for (const { id } of last.categories[c].auditRefs) {
            const audit = last.audits[id];
            if (audit.score === null || audit.score >= 0.9) continue;
            console.log(`  ${c}: ${id} ${audit.score}${audit.displayValue
                ? ` (${audit.displayValue})` : ''}`);
        }
    }
})();
