// The module as the worker and the tests call it: the engine's numbers read once from it, and
// the run's settings written into the one struct it takes (BridgeSettings), by the layout it
// gives (joined after the module's script into the worker's source by scripts/web.sh; the tests
// require it).
'use strict';

// The bridge to a module that createMosaiq() made.
function engineOf(mosaiq) {
    const numbers = JSON.parse(mosaiq.UTF8ToString(mosaiq._mosaiq_numbers()));
    const encoder = new TextEncoder();

    // Calls use with the address of settings written into the module's struct: the page's names
    // (columns, rows, treatment, square...), booleans as they are; a field left out keeps the
    // engine's default, a name the struct lacks (the page's backgroundCss) is not the module's.
    function withSettings(settings, use) {
        const address = mosaiq._mosaiq_settings() >>> 0;
        const texts = [];
        try {
            for (const [name, [kind, offset]] of Object.entries(numbers.settings.fields)) {
                const value = settings[name];
                if (value === undefined || value === null) continue;
                if (kind === 'text') {
                    const bytes = encoder.encode(String(value));
                    const text = mosaiq._malloc(bytes.length + 1) >>> 0;
                    if (!text) throw new RangeError('no memory left for the settings');
                    texts.push(text);
                    mosaiq.HEAPU8.set(bytes, text);
                    mosaiq.HEAPU8[text + bytes.length] = 0;
                    mosaiq.HEAPU32[(address + offset) >> 2] = text;
                } else if (kind === 'int') {
                    mosaiq.HEAP32[(address + offset) >> 2] = Number(value);
                } else {
                    mosaiq.HEAPF64[(address + offset) >> 3] = Number(value);
                }
            }
            return use(address);
        } finally {
            for (const text of texts) mosaiq._free(text);
        }
    }

    return {
        numbers,
        // Starts a run of settings on picture { address, width, height } (held by the module,
        // or a block it takes over; address 0: none). A WebStep: 0 running, 2 refused.
        start: (picture, settings) => withSettings(settings, (s) => mosaiq._mosaiq_start(
            picture.address, picture.width, picture.height, s)),
        // The first and last picture rows that band part of parts of a run of settings samples,
        // with no run started; null when the run is not shared and needs the whole picture.
        bandRows: (picture, settings, part, parts) => withSettings(settings, (s) => {
            const row = (last) => mosaiq._mosaiq_band_row(s, picture.width, picture.height,
                part, parts, last, picture.bands ? 1 : 0);
            const first = row(0);
            return first < 0 ? null : [first, row(1)];
        }),
        // The workers that share a grid of cells, parts of them able to (apart: on a picture each
        // decodes its own band of); this one's share of its rows, part of parts.
        sharingParts: (cells, parts, apart = false) => mosaiq._mosaiq_sharing_parts(cells, parts,
            apart ? 1 : 0),
        rowShare: (part, parts, apart = false) => mosaiq._mosaiq_row_share(part, parts,
            apart ? 1 : 0),
        // The first band's share of a shared run's rows (apart as sharingParts's).
        firstShare: (apart) => (apart ? numbers.firstApartShare : numbers.firstBandShare),
    };
}

if (typeof module === 'object') module.exports = { engineOf };
