// The options as the user sets them, the tabs, and every control wired to what it does.

function updateInterlocks() {
    $('tolerance').disabled = !$('merge').checked;
    $('fit-limit').disabled = !$('fit').checked;
    const dialect = engine && engine.dialects.find((d) => d.name === $('dialect').value);
    $('split').disabled = !dialect || dialect.limit === 0;
    if ($('split').disabled) $('split').checked = false;
    $('tab-blog').textContent = $('dialect').value === 'blog' ? Words.blogTab
        : fill(Words.forumTab, $('dialect').value);
    // What goes with the shapes is not the run's without them, which would refuse it.
    for (const id of ['foreground-only', 'reader-background']) $(id).disabled = !shapesChosen();
}

// Whether "Formes" chooses the cells by shape ("none": one sample a cell, the letters).
const shapesChosen = () => $('shapes').value !== 'none';

// A colour input's "#rrggbb" as the engine's 0x00BBGGRR.
function colourOf(input) {
    const hex = input.value.slice(1);
    const red = parseInt(hex.slice(0, 2), 16), green = parseInt(hex.slice(2, 4), 16);
    const blue = parseInt(hex.slice(4, 6), 16);
    return red | (green << 8) | (blue << 16);
}

function settings() {
    const keep = $('keep-proportions').checked;
    const shapes = shapesChosen();
    return {
        // Keeping the proportions, the side not typed is left to the engine (null), which gives
        // what the field shows.
        columns: keep && lastTyped === 'rows' ? null : $('columns').value,
        rows: keep && lastTyped === 'columns' ? null : $('rows').value,
        treatment: Number(document.querySelector('input[name=treatment]:checked').value),
        square: $('square-mode').checked,
        random: $('random').checked,
        characters: $('characters').value,
        bold: $('bold').checked,
        italic: $('italic').checked,
        centred: $('centred').checked,
        background: colourOf($('background')),
        backgroundCss: $('background').value,
        dialect: $('dialect').value,
        merge: $('merge').checked ? Math.min(100, Math.max(0, Number($('tolerance').value) || 0)) : -1,
        fit: $('fit').checked ? Math.max(1, Math.floor(Number($('fit-limit').value) || 1)) : 0,
        split: $('split').checked,
        // The set by mosaiq-cli's name for it, which the module numbers.
        shapes: shapes ? engine.numbers.shapes[$('shapes').value] : 0,
        foregroundOnly: shapes && $('foreground-only').checked,
        readerBackground: shapes ? colourOf($('reader-background')) : null,
        transparent: $('transparent').checked,
    };
}


function selectTab(tab) {
    for (const other of document.querySelectorAll('[role=tab]')) {
        const selected = other === tab;
        other.setAttribute('aria-selected', String(selected));
        other.tabIndex = selected ? 0 : -1;
        $(other.getAttribute('aria-controls')).hidden = !selected;
    }
    tab.focus();
    if (tab.id === 'tab-preview') MosaiqPreview.redraw();
}

function wire() {
    $('transparent-label').title = Words.transparentHint;
    $('picture-file').addEventListener('change', (e) => {
        if (e.target.files.length > 0) loadPicture(e.target.files[0]);
        e.target.value = '';
    });
    const zone = document.body;
    zone.addEventListener('dragover', (e) => {
        e.preventDefault();
        $('drop-zone').classList.add('over');
    });
    zone.addEventListener('dragleave', () => $('drop-zone').classList.remove('over'));
    zone.addEventListener('drop', (e) => {
        e.preventDefault();
        $('drop-zone').classList.remove('over');
        const file = [...e.dataTransfer.files][0];
        if (file) loadPicture(file);
        else say(Words.nothingDropped, true);
    });
    document.addEventListener('paste', (e) => {
        const target = e.target;
        if (target instanceof HTMLInputElement && target.type !== 'file') return;
        const file = [...e.clipboardData.files].find((f) => f.type.startsWith('image/'))
            || e.clipboardData.files[0];
        e.preventDefault();
        if (file) loadPicture(file);
        else say(Words.textPasted, true);
    });
    for (const id of ['columns', 'rows']) {
        $(id).addEventListener('input', () => {
            lastTyped = id;
            keepProportions();
        });
    }
    $('keep-proportions').addEventListener('change', () => {
        lastTyped = lastTyped || 'columns';
        keepProportions();
    });
    $('paste').hidden = !(navigator.clipboard && navigator.clipboard.read);
    $('paste').addEventListener('click', pastePicture);
    $('sample').addEventListener('click', samplePicture);
    $('halve').addEventListener('click', () => scaleSizes(0.5));
    $('double').addEventListener('click', () => scaleSizes(2));
    // The window's pair of mode boxes: a click leaves the clicked one checked and the other not.
    $('letter-mode').addEventListener('change', () => {
        $('letter-mode').checked = true;
        $('square-mode').checked = false;
        for (const id of ['random', 'defined', 'characters']) $(id).disabled = false;
    });
    $('square-mode').addEventListener('change', () => {
        $('square-mode').checked = true;
        $('letter-mode').checked = false;
        $('defined').checked = true;
        $('characters').value = Words.squareCharacters;
        for (const id of ['random', 'defined', 'characters']) $(id).disabled = true;
    });
    $('random').addEventListener('change', () => { $('characters').disabled = true; });
    $('defined').addEventListener('change', () => { $('characters').disabled = false; });
    for (const id of ['merge', 'fit', 'dialect', 'shapes'])
        $(id).addEventListener('change', updateInterlocks);
    // The shapes' cells have the monospace font's proportions, and twice a letter's bytes in the
    // room each worker makes ready for a run's cells.
    $('shapes').addEventListener('change', keepProportions);
    $('shapes').addEventListener('change', () => [worker, helper].forEach((w) => w
        && post(w, 'shapes', { chosen: shapesChosen() })));
    $('create').addEventListener('click', create);
    $('stop').addEventListener('click', stop);
    $('copy-html').addEventListener('click', () => copyCode('html'));
    $('download-png').addEventListener('click', downloadPng);
    $('copy-blog').addEventListener('click', () => copyCode('blog'));
    for (const id of ['download-page', 'download-html', 'download-blog'])
        $(id).addEventListener('click', onDownload);
    document.addEventListener('keydown', (e) => {
        if (!e.ctrlKey || e.altKey || e.shiftKey) return;
        const key = e.key.toLowerCase();
        if (key === 'd') {
            e.preventDefault();
            create();
        } else if (key === 's') {
            e.preventDefault();
            stop();
        }
    });
    const tabs = [...document.querySelectorAll('[role=tab]')];
    tabs.forEach((tab, i) => {
        tab.addEventListener('click', () => selectTab(tab));
        tab.addEventListener('keydown', (e) => {
            const step = { ArrowRight: 1, ArrowLeft: -1 }[e.key];
            if (step) selectTab(tabs[(i + step + tabs.length) % tabs.length]);
        });
    });
    updateInterlocks();
}

wire();
startEngine();
