#pragma once

#include <QByteArray>
#include <QIODevice>

namespace mosaiq {

// Random access to the bytes of an open file or buffer through a window, so that walking a
// file's structure reads each part once and never more than the file holds. Reading past the
// end gives -1 or a short result, never an allocation the file does not back.
class DeviceBytes {
public:
    explicit DeviceBytes(QIODevice& device);

    qint64 size() const { return m_size; }

    // The byte at pos, or -1 past the end or on a read error.
    int at(qint64 pos);

    // Up to count bytes from pos; fewer at the end of the data.
    QByteArray bytes(qint64 pos, qint64 count);

    // The first position at or after pos holding value, or -1.
    qint64 find(qint64 pos, char value);

    // Unsigned numbers of 2 and 4 bytes at pos, little- or big-endian; 0 past the end.
    quint32 u16(qint64 pos, bool bigEndian);
    quint32 u32(qint64 pos, bool bigEndian);

private:
    bool load(qint64 pos);

    QIODevice& m_device;
    qint64 m_size = 0;
    QByteArray m_window;
    qint64 m_windowStart = 0;
};

} // namespace mosaiq
