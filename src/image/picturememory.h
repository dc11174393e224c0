#pragma once

#include <QImage>

namespace mosaiq {

// An RGB32 picture of width x height, uninitialised, in memory the kernel may map in 2 MB
// pages: a 12-megapixel photo then costs a few dozen page faults instead of twelve thousand,
// which on a virtual machine weigh more than decoding it. Small pictures take QImage's own
// memory. Null when the memory cannot be had.
QImage allocatePicture(int width, int height);

} // namespace mosaiq
