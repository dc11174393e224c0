#pragma once

namespace mosaiq {

// The threads a picture read may take. With a helper, a large photo's colour conversion and
// turning run beside its decoding, which then hides them; a caller that keeps every core busy
// already (a batch of as many jobs as cores) reads on its own thread alone.
enum class ReadingThreads {
    CallerOnly,
    WithHelper,
};

} // namespace mosaiq
