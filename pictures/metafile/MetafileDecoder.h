// Runs the metafile helper (lumbrik-metafile) under limits and turns its answer into a
// picture. The viewer goes through LoadMetafile in Metafile.h; this lower level lets a caller
// name the helper and its limits.
#pragma once

#include "pictures/metafile/HelperProtocol.h"
#include "pictures/metafile/Metafile.h"

#include <QString>

#include <chrono>
#include <cstdint>

namespace pictures::metafile {

struct HelperLimits {
    // Wall-clock time from start to answer, after which the helper is killed.
    std::chrono::milliseconds timeout{5000};
    // Processor time (RLIMIT_CPU) and address space (RLIMIT_AS) of the helper process.
    unsigned cpuSeconds = 5;
    std::uint64_t addressSpaceBytes = std::uint64_t{2} << 30;
    // A longer answer is garbage, not a drawing.
    qint64 maxAnswerBytes = qint64{kMaxAnswerBytes} + 4096;
};

// The helper beside the running program, else where it is installed; empty if neither exists.
QString FindHelper();

// Decodes `bytes` with the helper at `helperPath`; throws LoadError naming `fileName` and the
// reason when it cannot start, crashes, overruns a limit, fails or answers nonsense.
Picture LoadMetafile(const QByteArray& bytes, MetafileKind kind, const QString& fileName,
                     const QString& helperPath, const HelperLimits& limits = {});

} // namespace pictures::metafile
