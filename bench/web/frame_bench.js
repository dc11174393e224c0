// What the page's preview frame shows within about a second, in Debian's chromium: pages of
// growing grids made by the module, each loaded into a sandboxed frame as the page loads it
// (a Blob read as Windows-1252), timed from the frame's address set to the frame loaded and the
// next frame of the page painted. `node bench/web/frame_bench.js` after scripts/web.sh and
// `npm ci` in tests/web. The page's limits are the module's frameCells (src/web/webnumbers.h).
'use strict';
const path = require('node:path');
const { loadModule, convert, testPixels, root } = require('../../tests/web/support.js');
const { chromium } = require(path.join(root, 'tests/web/node_modules/playwright-core'));

(async () => {
    const mosaiq = await loadModule();
    const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox'] });
    const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
    await page.setContent('<iframe sandbox style="width:1200px;height:800px"></iframe>');
    const grids = { letter: [10000, 20000, 40000, 80000, 160000], square: [5000, 10000, 20000, 40000] };
    for (const square of [false, true]) {
        for (const cells of grids[square ? 'square' : 'letter']) {
            const side = Math.round(Math.sqrt(cells));
            const { page: bytes } = convert(mosaiq, testPixels(side, side, false), side, side,
                { square, rowsPerStep: 1000 });
            const times = [];
            for (let attempt = 0; attempt < 3; ++attempt) {
                times.push(await page.evaluate(async (data) => {
                    const frame = document.querySelector('iframe');
                    const blob = new Blob([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))],
                        { type: 'text/html;charset=windows-1252' });
                    const url = URL.createObjectURL(blob);
                    const begin = performance.now();
                    await new Promise((done) => { frame.onload = done; frame.src = url; });
                    await new Promise((done) => requestAnimationFrame(() =>
                        requestAnimationFrame(done)));
                    const spent = performance.now() - begin;
                    frame.onload = null;
                    frame.src = 'about:blank';
                    URL.revokeObjectURL(url);
                    return spent;
                }, bytes.toString('base64')));
            }
            console.log(`${square ? 'square' : 'letter'} ${side} x ${side} (${side * side} cells, ${
                (bytes.length / 1e6).toFixed(1)} Mo): ${times.map((t) => t.toFixed(0)).join(', ')} ms`);
        }
    }
    await browser.close();
})();
