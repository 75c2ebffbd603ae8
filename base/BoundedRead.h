#pragma once
#include <QByteArray>
#include <QIODevice>

// Reads an open file in pieces, keeping at most `limit` bytes: a small file costs a small buffer
// (reading with a maximum size would allocate the whole maximum at once) and a huge or growing
// one is never held whole. False when the file holds more than `limit` bytes; a read error stops
// the reading and is left in the device's error state.
inline bool readAtMost(QIODevice& file, qint64 limit, QByteArray& bytes) {
    bytes.clear();
    char piece[65536];
    for (;;) {
        const qint64 n = file.read(piece, sizeof piece);
        if (n <= 0) return true;
        if (bytes.size() + n > limit) return false;
        bytes.append(piece, static_cast<qsizetype>(n));
    }
}
