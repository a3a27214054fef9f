#include "storage/VersionCodec_Unit.h"

#include <zstd.h>

#include <memory>

namespace {

// The level of zstd's command line: a 3 MB manuscript in a third of its
// size, in about 25 ms; a version against a close base in well under 1 KB.
constexpr int Level = 3;
// zstd's own bounds on the window (in its static-only API).
constexpr int WindowLogMin = 10;
constexpr int WindowLogMax = 31;

struct TFreeCompressor
{
    void operator()(ZSTD_CCtx *context) const { ZSTD_freeCCtx(context); }
};
struct TFreeDecompressor
{
    void operator()(ZSTD_DCtx *context) const { ZSTD_freeDCtx(context); }
};

// A window that holds the base and the text: every match in the base is in
// reach.
int WindowLog(qint64 bytes)
{
    int log = WindowLogMin;
    while (log < WindowLogMax && (qint64(1) << log) < bytes)
        ++log;
    return log;
}

} // namespace

QByteArray CompressVersion(const QByteArray &bytes, const QByteArray *base)
{
    const std::unique_ptr<ZSTD_CCtx, TFreeCompressor> context(ZSTD_createCCtx());
    if (!context)
        return {};
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, Level);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, 1);
    if (base && !base->isEmpty()) {
        ZSTD_CCtx_setParameter(context.get(), ZSTD_c_windowLog,
                               WindowLog(base->size() + bytes.size()));
        // Matches far back in a long base, as --patch-from finds them.
        ZSTD_CCtx_setParameter(context.get(), ZSTD_c_enableLongDistanceMatching, 1);
        if (ZSTD_isError(ZSTD_CCtx_refPrefix(context.get(), base->constData(), base->size())))
            return {};
    }
    QByteArray frame(qsizetype(ZSTD_compressBound(size_t(bytes.size()))), Qt::Uninitialized);
    const size_t written = ZSTD_compress2(context.get(), frame.data(), size_t(frame.size()),
                                          bytes.constData(), size_t(bytes.size()));
    if (ZSTD_isError(written))
        return {};
    frame.truncate(qsizetype(written));
    return frame;
}

bool DecompressVersion(const QByteArray &frame, const QByteArray *base, qint64 size,
                       QByteArray &bytes)
{
    const std::unique_ptr<ZSTD_DCtx, TFreeDecompressor> context(ZSTD_createDCtx());
    if (!context || size < 0)
        return false;
    ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, WindowLogMax);
    if (base && !base->isEmpty() &&
        ZSTD_isError(ZSTD_DCtx_refPrefix(context.get(), base->constData(), base->size())))
        return false;
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    const size_t read = ZSTD_decompressDCtx(context.get(), out.data(), size_t(out.size()),
                                            frame.constData(), size_t(frame.size()));
    if (ZSTD_isError(read) || qint64(read) != size)
        return false;
    bytes = std::move(out);
    return true;
}
