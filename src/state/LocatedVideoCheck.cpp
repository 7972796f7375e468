#include "LocatedVideoCheck.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "services/LiftedFrameCache.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

namespace {

// How many captures' liftings are read to learn the missing video's frame size.
constexpr int LiftingsLooked = 5;

QString rateText(double framesPerSecond)
{
    const QLocale french(QLocale::French, QLocale::France);
    const double whole = std::round(framesPerSecond);
    return std::abs(framesPerSecond - whole) < 0.005 ? french.toString(whole, 'f', 0)
                                                     : french.toString(framesPerSecond, 'f', 2);
}

bool isFrame(const FrameIndex &index, const MediaTime &time)
{
    if (!index.covers(time) || time < index.startTime())
        return false;
    const int position = index.position(index.ticksAtOrBefore(time));
    return position >= 0 && index.time(position) == time;
}

// The frame size of the missing video's stills, from the cached liftings of the first captures.
std::optional<QSize> liftedFrameSize(const LiftedFrameCache &cache, const QByteArray &identity,
                                     const QList<MediaTime> &times, const QString &modelPath)
{
    for (qsizetype i = 0; i < std::min<qsizetype>(times.size(), LiftingsLooked); ++i) {
        if (const std::optional<LiftedFrame> lifted =
                cache.load(cache.keyOfIdentity(identity, times[i], modelPath)))
            return lifted->frameSize;
    }
    return std::nullopt;
}

} // namespace

QFuture<Result<LocatedVideoCheck::Outcome>>
LocatedVideoCheck::run(const QString &videoPath, const Captures &captures,
                       std::shared_ptr<const LiftedFrameCache> cache, const QString &modelPath)
{
    return QtConcurrent::run([videoPath, captures, cache = std::move(cache), modelPath] {
        return check(videoPath, captures, cache.get(), modelPath);
    });
}

Result<LocatedVideoCheck::Outcome> LocatedVideoCheck::check(const QString &videoPath,
                                                            const Captures &captures,
                                                            const LiftedFrameCache *cache,
                                                            const QString &modelPath)
{
    MediaTime latest = MediaTime::zero();
    for (const MediaTime &time : captures.times)
        latest = std::max(latest, time);
    Result<VideoSource> source = VideoSource::open(videoPath, latest);
    if (!source)
        return source.error();
    Outcome outcome{source.value(), {}};

    const QString missingPath = captures.missingVideoURL.toLocalFile();
    const std::optional<LiftedFrameCache::VideoRecord> remembered =
        cache && !missingPath.isEmpty() ? cache->rememberedVideo(missingPath) : std::nullopt;
    // The very content of the missing video, moved or renamed.
    if (remembered && cache->fileIdentity(videoPath) == remembered->identity)
        return outcome;

    const QString missingName = QFileInfo(missingPath).fileName();
    const QString chosenName = QFileInfo(videoPath).fileName();
    if (!missingName.isEmpty() && chosenName != missingName)
        outcome.differences
            << tr("elle s'appelle « %1 », les captures viennent de « %2 »").arg(chosenName, missingName);

    if (remembered) {
        if (const std::optional<QSize> before =
                liftedFrameSize(*cache, remembered->identity, captures.times, modelPath)) {
            const Result<QImage> still = outcome.source.grabber->image(captures.times.constFirst());
            if (still && still.value().size() != *before)
                outcome.differences << tr("ses images font %1 × %2 pixels au lieu de %3 × %4")
                                           .arg(still.value().width())
                                           .arg(still.value().height())
                                           .arg(before->width())
                                           .arg(before->height());
        }
        const double now = outcome.source.info.nominalFrameRate;
        const double before = remembered->frameRate;
        if (now > 0.0 && before > 0.0 && std::abs(now - before) > 0.001 * before)
            outcome.differences
                << tr("elle compte %1 images par seconde au lieu de %2").arg(rateText(now), rateText(before));
    }

    const FrameIndex &index = *outcome.source.index;
    const auto missed = std::count_if(captures.times.cbegin(), captures.times.cend(),
                                      [&index](const MediaTime &time) { return !isFrame(index, time); });
    if (missed > 0)
        outcome.differences << tr("%1 capture(s) sur %2 ne tombe(nt) sur aucune de ses images")
                                   .arg(missed)
                                   .arg(captures.times.size());
    return outcome;
}

QString LocatedVideoCheck::statement(const QStringList &differences)
{
    return tr("La vidéo choisie ne semble pas être celle des captures : %1.")
        .arg(differences.join(QStringLiteral(" ; ")));
}

QString LocatedVideoCheck::question(const QStringList &differences)
{
    return statement(differences) + QLatin1Char(' ') + tr("Utiliser quand même ?");
}
