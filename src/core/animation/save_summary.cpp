#include "core/animation/save_summary.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("SaveSummary", text);
}

// Seconds from hundredths: "6.6", "0.05", "12".
QString Seconds(std::int64_t hundredths) {
    if (hundredths % 100 == 0)
        return QString::number(hundredths / 100);
    if (hundredths % 10 == 0)
        return QString::number(double(hundredths) / 100.0, 'f', 1);
    return QString::number(double(hundredths) / 100.0, 'f', 2);
}

QString FileSize(qint64 bytes) {
    if (bytes < 1024)
        return bytes == 1 ? Tr("1 byte") : Tr("%1 bytes").arg(bytes);
    if (bytes < 1024 * 1024)
        return Tr("%1 KB").arg((bytes + 512) / 1024);
    return Tr("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

} // namespace

QStringList SaveSummary(const AnimationRenderer& prepared, qint64 bytes) {
    // Browsers show frames of 0 or 1 hundredth for 10 hundredths.
    constexpr int kBrowserDelay = 10;
    const int count = std::max(prepared.FrameCount(), 0);
    // Every type keeps one delay for all frames or a short pattern; a
    // sample of a very long loop tells its time without a walk through
    // millions of frames.
    constexpr int kSampled = 100000;
    const int sampled = std::min(count, kSampled);
    std::int64_t intended = 0, played = 0;
    int shortest = kBrowserDelay;
    for (int i = 0; i < sampled; ++i) {
        const int delay = std::max(prepared.FrameDelay(i), 0);
        intended += delay;
        played += delay < 2 ? kBrowserDelay : delay;
        shortest = std::min(shortest, delay);
    }
    if (sampled > 0 && sampled < count) {
        intended = std::llround(double(intended) * count / sampled);
        played = std::llround(double(played) * count / sampled);
    }
    QStringList lines;
    lines << Tr("%1, %2, %3 s a loop")
                 .arg(FileSize(bytes), count == 1 ? Tr("1 frame") : Tr("%1 frames").arg(count),
                      Seconds(intended));
    if (shortest < 2) {
        const QString frames = shortest == 1 ? Tr("Frames of 1 hundredth of a second")
                                             : Tr("Frames of 0 hundredths of a second");
        QString slower;
        if (intended > 0) {
            const double factor = double(played) / double(intended);
            slower = Tr("the animation runs %1 times slower than intended (%2 s a loop instead "
                        "of %3 s).")
                         .arg(QString::number(factor, 'g', factor < 10 ? 2 : 3), Seconds(played),
                              Seconds(intended));
        } else {
            slower = Tr("a loop takes %1 s instead of running without pause.").arg(Seconds(played));
        }
        lines << Tr("%1 are played at 10 hundredths by browsers: %2").arg(frames, slower);
    }
    return lines;
}
