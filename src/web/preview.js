// The preview of a page too large for the frame: the page's script draws the visible part of
// its cells on a canvas, in the page's font, at the zoom chosen. Its cell and its zoom steps are
// the engine's (output/preview/previewzoom.h), which the worker reads from the module and the
// page hands on once (measure): the preview runs on the page, where no module is.
'use strict';

const MosaiqPreview = (() => {
    // A cell of the page at 100 %, in CSS pixels (a page of letters', of shapes'), and the zoom
    // factors.
    let letterCell = null, shapeCell = null, zoomSteps = [1];
    let cellWidth = 0, cellHeight = 0;
    // The cells' bytes: four a cell, eight for shapes (their background after the ink).
    let cells = null, stride = 4, columns = 0, rows = 0, settings = null, zoom = 1;
    let generation = 0, whenDrawn = [];
    // The page is fitted to the view once the view has a size (a preview shown while its tab is
    // hidden has none yet).
    let fitDue = false;
    const Hex = Array.from({ length: 256 }, (_, v) => v.toString(16).padStart(2, '0'));
    const Glyphs = Array.from({ length: 256 },
        (_, b) => new TextDecoder('windows-1252').decode(new Uint8Array([b])));
    const area = () => document.getElementById('preview-drawn');

    // numbers: the module's preview numbers ({ cellWidth, cellHeight, shapes, zoomSteps }).
    function measure(numbers) {
        ({ cellWidth, cellHeight, zoomSteps, shapes: shapeCell } = numbers);
        letterCell = { cellWidth, cellHeight };
    }

    // The page's cell and the bytes of its cells for a run of runSettings.
    function cellsOf(runSettings) {
        ({ cellWidth, cellHeight } = runSettings.shapes ? shapeCell : letterCell);
        stride = runSettings.shapes ? 8 : 4;
    }

    function clear() {
        cells = null;
        area().hidden = true;
        document.getElementById('zoom-bar').hidden = true;
    }

    // cellBytes: four a cell, row after row (the module's cells).
    function show(cellBytes, columnCount, runSettings, drawn) {
        if (drawn) whenDrawn.push(drawn);
        cells = cellBytes;
        const total = cells.length;
        cellsOf(runSettings);
        columns = columnCount;
        rows = columns > 0 ? Math.floor(total / stride / columns) : 0;
        settings = runSettings;
        zoom = 1;
        fitDue = true;
        area().hidden = false;
        document.getElementById('zoom-bar').hidden = false;
        layout();
    }

    // The zoom that shows the whole page in the view, at most 100 %; below the smallest step
    // where the page needs it, its cells then drawn a pixel or less each.
    function fitted() {
        const view = area();
        const across = view.clientWidth / Math.max(1, columns * cellWidth);
        const down = view.clientHeight / Math.max(1, rows * cellHeight);
        return Math.min(1, across, down);
    }

    function layout() {
        if (fitDue && area().clientWidth > 0) {
            fitDue = false;
            zoom = fitted();
        }
        const sizer = document.getElementById('preview-sizer');
        sizer.style.width = `${Math.ceil(columns * cellWidth * zoom)}px`;
        sizer.style.height = `${Math.ceil(rows * cellHeight * zoom)}px`;
        document.getElementById('zoom-value').textContent
            = MosaiqWords.zoom.replace('%1', Math.round(zoom * 100));
        redraw();
    }

    function redraw() {
        if (!cells || area().hidden) return finished();
        if (fitDue && area().clientWidth > 0) return layout();
        const view = area();
        const canvas = document.getElementById('preview-canvas');
        const ratio = window.devicePixelRatio || 1;
        const width = view.clientWidth, height = view.clientHeight;
        canvas.width = Math.max(1, Math.round(width * ratio));
        canvas.height = Math.max(1, Math.round(height * ratio));
        canvas.style.width = `${width}px`;
        canvas.style.height = `${height}px`;
        canvas.style.marginTop = `${-Math.ceil(rows * cellHeight * zoom)}px`;
        const g = canvas.getContext('2d');
        g.setTransform(ratio, 0, 0, ratio, 0, 0);
        g.fillStyle = settings.backgroundCss;
        g.fillRect(0, 0, width, height);
        const cw = cellWidth * zoom, ch = cellHeight * zoom;
        const first = Math.floor(view.scrollLeft / cw), top = Math.floor(view.scrollTop / ch);
        const across = Math.min(columns - first, Math.ceil(width / cw) + 1);
        const down = Math.min(rows - top, Math.ceil(height / ch) + 1);
        const x0 = first * cw - view.scrollLeft, y0 = top * ch - view.scrollTop;
        if (cw < 3) {
            // Cells too small for their letters: one pixel each, scaled; a shape's, halfway
            // between its ink and its background.
            const image = new ImageData(Math.max(across, 1), Math.max(down, 1));
            const shaped = stride === 8;
            for (let y = 0; y < down; ++y) {
                for (let x = 0; x < across; ++x) {
                    const from = stride * ((top + y) * columns + first + x);
                    const to = 4 * (y * across + x);
                    for (let c = 0; c < 3; ++c) {
                        image.data[to + c] = shaped ? (cells[from + c] + cells[from + 4 + c]) >> 1
                            : cells[from + c];
                    }
                    image.data[to + 3] = 255;
                }
            }
            const small = new OffscreenCanvas(image.width, image.height);
            small.getContext('2d').putImageData(image, 0, 0);
            g.imageSmoothingEnabled = true;
            g.drawImage(small, x0, y0, across * cw, down * ch);
            finished();
            return;
        }
        const drawRow = rowPainter(g, { cells, columns, settings }, zoom, first, top, across,
            x0, y0);
        // A few rows at a time, so that the page answers while a large view is drawn; a newer
        // drawing ends an older one.
        const mine = ++generation;
        let y = 0;
        const some = () => {
            if (mine !== generation) return;
            const until = performance.now() + 12;
            while (y < down && performance.now() < until) drawRow(y++);
            if (y < down) setTimeout(some);
            else finished();
        };
        some();
    }

    // What draws row y of the view on g: the cells of page ({ cells, columns, settings }) from
    // column first of row top + y, across of them, the first at (x0, y0), in its font at zoom.
    function rowPainter(g, page, zoom, first, top, across, x0, y0) {
        const { cells, columns, settings } = page;
        const shaped = Boolean(settings.shapes);
        // The page's fonts: a page of shapes names its monospace font first.
        g.font = `${settings.italic ? 'italic ' : ''}${settings.bold ? 'bold ' : ''}${10 * zoom}px `
            + (shaped ? '"DejaVu Sans Mono", "Bitstream Vera Sans Mono", monospace'
                : 'Verdana, "DejaVu Sans", sans-serif');
        g.textBaseline = shaped ? 'alphabetic' : 'top';
        const cw = cellWidth * zoom, ch = cellHeight * zoom;
        const down = shaped ? shapeCell.baseline * zoom : zoom;
        const glyphs = settings.glyphs || Glyphs;
        const colour = (at) => `#${Hex[cells[at]]}${Hex[cells[at + 1]]}${Hex[cells[at + 2]]}`;
        return (y) => {
            for (let x = 0; x < across; ++x) {
                const at = stride * ((top + y) * columns + first + x);
                const px = x0 + x * cw, py = y0 + y * ch;
                if (shaped) {
                    g.fillStyle = colour(at + 4);
                    g.fillRect(px, py, cw + 0.5, ch + 0.5);
                }
                g.fillStyle = colour(at);
                if (settings.square) g.fillRect(px, py, cw + 0.5, ch + 0.5);
                else {
                    const glyph = shaped ? cells[at + 3] | cells[at + 7] << 8 : cells[at + 3];
                    g.fillText(glyphs[glyph], px, py + down);
                }
            }
        };
    }

    // A 2D canvas of width x height that the browser really draws on, or null: past its
    // limits a canvas is refused, or made but left blank, which its last pixel shows.
    function canvasOf(width, height) {
        if (!(width >= 1 && height >= 1)) return null;
        try {
            const canvas = document.createElement('canvas');
            canvas.width = width;
            canvas.height = height;
            const g = canvas.getContext('2d');
            if (!g || canvas.width !== width || canvas.height !== height) return null;
            g.fillStyle = '#000';
            g.fillRect(width - 1, height - 1, 1, 1);
            if (g.getImageData(width - 1, height - 1, 1, 1).data[3] !== 255) return null;
            return { canvas, g };
        } catch (error) {
            return null;
        }
    }

    // The whole preview as a PNG: the page at 100 %, as the drawn preview shows it, or, where
    // that passes the browser's canvas limits, each cell as one pixel of its colour. Resolves to
    // { blob, small } (small: one pixel a cell), or null when even that is beyond the limits.
    // Drawn a few rows at a time, so the page answers meanwhile.
    async function png(cells, columns, settings) {
        cellsOf(settings);
        const rows = columns > 0 ? Math.floor(cells.length / stride / columns) : 0;
        const pause = () => new Promise((resolve) => setTimeout(resolve));
        // A shape's cell is a fraction of a pixel wide, as the page's monospace font has it.
        let target = canvasOf(Math.round(columns * cellWidth), Math.round(rows * cellHeight));
        const small = !target;
        if (small) {
            target = canvasOf(columns, rows);
            if (!target) return null;
            const image = new ImageData(columns, rows);
            const shaped = stride === 8;
            if (!shaped) image.data.set(cells.subarray(0, columns * rows * 4));
            for (let at = 0, from = 0; at < image.data.length; at += 4, from += stride) {
                // A shape's pixel is halfway between its ink and its background, as in the
                // preview's overview.
                if (shaped) {
                    for (let c = 0; c < 3; ++c)
                        image.data[at + c] = (cells[from + c] + cells[from + 4 + c]) >> 1;
                }
                image.data[at + 3] = 255;
            }
            target.g.putImageData(image, 0, 0);
        } else {
            target.g.fillStyle = settings.backgroundCss;
            target.g.fillRect(0, 0, target.canvas.width, target.canvas.height);
            const page = { cells, columns, settings };
            const drawRow = rowPainter(target.g, page, 1, 0, 0, columns, 0, 0);
            for (let y = 0; y < rows;) {
                const until = performance.now() + 12;
                while (y < rows && performance.now() < until) drawRow(y++);
                await pause();
            }
        }
        const blob = await new Promise((resolve) => target.canvas.toBlob(resolve, 'image/png'));
        return blob ? { blob, small } : null;
    }

    function finished() {
        const callbacks = whenDrawn;
        whenDrawn = [];
        for (const callback of callbacks) callback();
    }

    // The zoom to the next step up (step 1) or down (-1), from wherever a pinch left it.
    function zoomBy(step) {
        const up = zoomSteps.find((z) => z > zoom * 1.001);
        const down = [...zoomSteps].reverse().find((z) => z < zoom / 1.001);
        zoomTo(step > 0 ? up ?? zoom : down ?? zoom);
    }

    // The zoom set to value within the steps' range, the point of the view at (x, y) CSS pixels
    // (its centre by default) staying where it is.
    function zoomTo(value, x = area().clientWidth / 2, y = area().clientHeight / 2) {
        const view = area();
        const before = zoom;
        const least = Math.min(zoomSteps[0], fitted());
        zoom = Math.max(least, Math.min(zoomSteps[zoomSteps.length - 1], value));
        fitDue = false;
        const left = (view.scrollLeft + x) * zoom / before - x;
        const top = (view.scrollTop + y) * zoom / before - y;
        layout();
        view.scrollLeft = left;
        view.scrollTop = top;
    }

    // A pinch inside the view zooms the preview, not the page: two fingers on a touch screen,
    // or a touchpad's, which the browser gives as a wheel with Ctrl held.
    function wirePinch(view) {
        view.addEventListener('wheel', (e) => {
            if (!e.ctrlKey || !cells) return;
            e.preventDefault();
            const box = view.getBoundingClientRect();
            zoomTo(zoom * Math.exp(-e.deltaY / 200), e.clientX - box.left, e.clientY - box.top);
        }, { passive: false });
        const touching = new Map();
        let pinch = null;
        const spread = () => {
            const [a, b] = [...touching.values()];
            return { distance: Math.hypot(a.x - b.x, a.y - b.y), x: (a.x + b.x) / 2,
                y: (a.y + b.y) / 2 };
        };
        view.addEventListener('pointerdown', (e) => {
            if (e.pointerType !== 'touch') return;
            touching.set(e.pointerId, { x: e.clientX, y: e.clientY });
            pinch = touching.size === 2 ? { ...spread(), zoom } : null;
        });
        view.addEventListener('pointermove', (e) => {
            if (!touching.has(e.pointerId)) return;
            touching.set(e.pointerId, { x: e.clientX, y: e.clientY });
            if (!pinch || touching.size !== 2 || !cells) return;
            const now = spread(), box = view.getBoundingClientRect();
            zoomTo(pinch.zoom * now.distance / pinch.distance, now.x - box.left, now.y - box.top);
        });
        for (const type of ['pointerup', 'pointercancel']) {
            view.addEventListener(type, (e) => {
                touching.delete(e.pointerId);
                pinch = null;
            });
        }
    }

    window.addEventListener('resize', () => redraw());
    const wire = () => {
        area().addEventListener('scroll', () => requestAnimationFrame(redraw));
        document.getElementById('zoom-in').addEventListener('click', () => zoomBy(1));
        document.getElementById('zoom-out').addEventListener('click', () => zoomBy(-1));
        document.getElementById('zoom-actual').addEventListener('click', () => zoomTo(1));
        document.getElementById('zoom-fit').addEventListener('click', () => zoomTo(fitted()));
        area().addEventListener('keydown', (e) => {
            if (e.key === '+') zoomBy(1);
            else if (e.key === '-') zoomBy(-1);
            else if (e.key === '0') zoomTo(1);
        });
        wirePinch(area());
    };
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', wire);
    else wire();
    return { measure, clear, show, redraw, png };
})();
