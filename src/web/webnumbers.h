#pragma once

#include <string>

namespace mosaiq {

// The most pixels of a picture in the module's memory, with the browser's decoded copy beside it
// while it is read: the largest the browser's canvas and the module's 4 GB of memory take with
// room for the outputs.
inline constexpr double WebPixelLimit = 100'000'000;

// How far a worker's module may have grown past the memory it holds once made and ready before
// the page, idle after a run, replaces the worker by a new one: a WebAssembly module never gives
// memory back. Past a full HD photo's run, which grows each worker by about 8 MB; a 12-megapixel
// photo's grows the first by about 50 MB.
inline constexpr double WebIdleGrowth = 32.0 * 1024 * 1024;

// Every number of the engine that the page's script works with, one JSON object that the worker
// reads once from the module, so that none is copied into the script:
//   "slabBytes": the memory the script hands a stream to write into (ChunkStream::RoomBytes);
//   "cellBytes": a letter cell's bytes in the page, the HTML code and the blog code, with a
//     one-byte glyph (what the script makes memory ready by);
//   "channels": the number of each output's stream (WebChannel) by name, "page", "html",
//     "blog", "post", "cells";
//   "sharedToCells", "firstBandShare", "firstApartShare": the largest grid two workers share,
//     and the first band's share of its rows, on a picture each decodes a band of for the
//     latter (bandrows.h);
//   "pixelLimit": WebPixelLimit; "idleGrowth": WebIdleGrowth; "frameCells": {"letter",
//     "square"}, the most cells the preview frame shows;
//   "preview": {"cellWidth", "cellHeight", "shapes", "zoomSteps"}, the drawn preview's cell at
//     100 %, in CSS pixels, that of a page of shapes ({"cellWidth", "cellHeight", "baseline"}),
//     and its zoom factors (output/preview/previewzoom.h);
//   "shapes": {"ascii", "blocks", "braille", "all"}, the ShapeSet of each name mosaiq-cli's
//     --shapes takes; "readerBackground": the forum page's colour ("#FFFFFF") that the codes
//     colouring only the text are fitted over unless another is given;
//   "settings": the layout of BridgeSettings (bridgeSettingsLayout).
std::string webNumbersJson();

} // namespace mosaiq
