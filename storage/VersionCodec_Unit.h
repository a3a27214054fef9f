// How the private store holds a version's bytes: a zstd frame, of the whole
// text or made against a base text as its prefix (what `zstd --patch-from`
// makes and reads), so that a version close to its base takes a few hundred
// bytes.
#pragma once

#include <QByteArray>

// The frame of bytes; against base when given. Empty when zstd failed.
QByteArray CompressVersion(const QByteArray &bytes, const QByteArray *base = nullptr);

// The bytes of a frame (against the base it was made with); false when the
// frame is damaged, made against another base, or not of size bytes.
bool DecompressVersion(const QByteArray &frame, const QByteArray *base, qint64 size,
                       QByteArray &bytes);
