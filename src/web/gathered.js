// The outputs of a run as the worker hands them on, in chunks: the page, the two codes, the posts
// of a split code and the cells of the drawn preview.
'use strict';

const MosaiqShownBytes = 64 * 1024;

// One output: its first bytes kept for the pane, all of it in Blobs, which the browser may keep
// outside the tab (a large photo's page and codes are hundreds of megabytes).
class MosaiqGathered {
    constructor(type) {
        this.type = type;
        this.blobs = [];
        this.start = new Uint8Array(0);
    }

    add(bytes) {
        if (this.start.length < MosaiqShownBytes) {
            const start = new Uint8Array(Math.min(MosaiqShownBytes,
                this.start.length + bytes.length));
            start.set(this.start);
            start.set(bytes.subarray(0, start.length - this.start.length), this.start.length);
            this.start = start;
        }
        this.blobs.push(new Blob([bytes]));
    }

    take() {
        return { blob: new Blob(this.blobs, { type: this.type }), start: this.start };
    }
}

class MosaiqOutputs {
    constructor() {
        this.gathered = [new MosaiqGathered('text/html;charset=windows-1252'),
            new MosaiqGathered('text/plain;charset=utf-8'),
            new MosaiqGathered('text/plain;charset=utf-8')];
        this.posts = [];
        this.cells = [];
    }

    // channel: the module's (0 page, 1 HTML code, 2 blog or forum code, 3 a post, 4 cells).
    add(channel, bytes) {
        if (channel < 3) this.gathered[channel].add(bytes);
        else if (channel === 3) this.posts.push(new Blob([bytes], { type: 'text/plain;charset=utf-8' }));
        else this.cells.push(bytes);
    }

    // { page, html, blog }: each { blob, start }; posts: Blobs; cells: one buffer.
    take() {
        const [page, html, blog] = this.gathered.map((g) => g.take());
        const cells = new Uint8Array(this.cells.reduce((n, c) => n + c.length, 0));
        this.cells.reduce((at, c) => (cells.set(c, at), at + c.length), 0);
        return { page, html, blog, posts: this.posts, cells };
    }
}
