#include "TestImages.h"
#include "TestRegistry.h"

#include "platform/SubjectSegmenter.h"
#include "services/LiftedFrame.h"
#include "services/LiftedFrameCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <vector>

namespace {

const QSize frameSize(640, 360);

// A frame and the mask of its subjects: `count` soft discs, each in its own place, as the model's
// output would show them (a fast stand-in for the model's map; the mask code is the real one).
struct Lifting
{
    QImage frame;
    SubjectMask mask;
};

Lifting lifting(int count)
{
    Lifting made;
    made.frame = TestImages::gradient(frameSize);
    std::vector<float> map(std::size_t(frameSize.width() * frameSize.height()), 0.01f);
    // Few subjects are large discs; many are small ones, still above the size of a speck.
    const double radius = count > 20 ? 9.5 : 24.0;
    const int spacing = int(radius * 2.6);
    const int columns = (frameSize.width() - spacing) / spacing;
    for (int i = 0; i < count; ++i) {
        const QPointF centre(spacing + (i % columns) * spacing, spacing + (i / columns) * spacing);
        const QRect box =
            QRect(centre.toPoint(), QSize(1, 1)).adjusted(-spacing, -spacing, spacing, spacing) &
            QRect(QPoint(0, 0), frameSize);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                const double r = std::hypot(x - centre.x(), y - centre.y());
                float &value = map[std::size_t(y * frameSize.width() + x)];
                value = std::max(value, float(1.0 / (1.0 + std::exp((r - radius) / 1.5))));
            }
        }
    }
    made.mask = SubjectMask::fromProbability(made.frame, map).value();
    return made;
}

QImage imageOf(const SubjectMask &mask, const QList<int> &instances, bool crop)
{
    const Result<QImage> image = mask.maskedImage(instances, crop);
    return image ? image.value() : QImage();
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

LiftedFrame liftedFrame(const Lifting &made)
{
    const QImage cutOut = imageOf(made.mask, {0, 1, 2}, false);
    return LiftedFrame::of(made.frame, made.mask, cutOut);
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.lift")}, QDir::Files, QDir::Name);
}

} // namespace

// A kept mask gives back the very cut-outs of the lifting it was kept from; the disk cache hands
// back only entries it can trust, for the file and time they were made for, and stays within its
// size by letting go of the entries used least recently.
class LiftedFrameCacheTest : public QObject
{
    Q_OBJECT

private slots:
    void anEncodedMaskRebuildsTheSameImages()
    {
        // 300 subjects need two bytes per pixel for their owners; 3 need one.
        for (const int count : {3, 300}) {
            const Lifting made = lifting(count);
            QCOMPARE(made.mask.instanceCount(), count);
            const QByteArray bytes = made.mask.encoded();
            // Compact: a small share of the alpha and owner planes it holds.
            QVERIFY2(bytes.size() < frameSize.width() * frameSize.height() / 4,
                     qPrintable(QString::number(bytes.size())));
            const Result<SubjectMask> decoded = SubjectMask::decoded(bytes, made.frame);
            QVERIFY(decoded.ok());
            QCOMPARE(decoded.value().instanceCount(), made.mask.instanceCount());
            for (int i = 0; i < made.mask.instanceCount(); i += 7) {
                QCOMPARE(decoded.value().instanceBounds(i), made.mask.instanceBounds(i));
                QCOMPARE(imageOf(decoded.value(), {i}, true), imageOf(made.mask, {i}, true));
            }
            QCOMPARE(imageOf(decoded.value(), {0, 1, 2}, false), imageOf(made.mask, {0, 1, 2}, false));
        }

        // A frame without subjects keeps that.
        const Lifting none = lifting(0);
        const Result<SubjectMask> empty = SubjectMask::decoded(none.mask.encoded(), none.frame);
        QVERIFY(empty.ok());
        QCOMPARE(empty.value().instanceCount(), 0);
    }

    void damagedOrForeignMasksAreRefused()
    {
        const Lifting made = lifting(3);
        const QByteArray bytes = made.mask.encoded();
        QVERIFY(!SubjectMask::decoded(bytes.left(bytes.size() - 9), made.frame).ok());
        QVERIFY(!SubjectMask::decoded(QByteArray(), made.frame).ok());
        QByteArray otherFormat = bytes;
        otherFormat[5] = char(otherFormat[5] + 1);
        QVERIFY(!SubjectMask::decoded(otherFormat, made.frame).ok());
        // Some compressed bytes changed: zlib's own check refuses them.
        QByteArray flipped = bytes;
        flipped[bytes.size() - 20] = char(~flipped[bytes.size() - 20]);
        QVERIFY(!SubjectMask::decoded(flipped, made.frame).ok());
        // Over a frame of another size the mask means nothing.
        const Result<SubjectMask> elsewhere =
            SubjectMask::decoded(bytes, TestImages::gradient(QSize(320, 180)));
        QVERIFY(!elsewhere.ok());
        QVERIFY(!elsewhere.error().errorDescription().isEmpty());
    }

    void entriesComeBackForTheirKeyOnly()
    {
        QTemporaryDir folder;
        QTemporaryDir files;
        const QString video = writeFile(files.filePath(QStringLiteral("clip.mp4")), QByteArray(3 << 20, 'v'));
        const QString model = writeFile(files.filePath(QStringLiteral("model.onnx")), QByteArray(1000, 'm'));
        LiftedFrameCache cache(folder.filePath(QStringLiteral("frames")));
        const QByteArray key = cache.key(video, MediaTime(1001, 30000), model);
        QVERIFY(!key.isEmpty());
        // The time as stored names the frame: an equal time written otherwise is another entry.
        QVERIFY(cache.key(video, MediaTime(2002, 60000), model) != key);
        QVERIFY(cache.key(files.filePath(QStringLiteral("absent.mp4")), MediaTime(1, 30), model).isEmpty());

        QVERIFY(!cache.load(key));
        const Lifting made = lifting(3);
        const LiftedFrame stored = liftedFrame(made);
        QVERIFY(stored.hasSubject);
        QVERIFY(stored.thumbnail.width() <= LiftedFrame::ThumbnailSide);
        QCOMPARE(cache.store(key, stored), std::nullopt);
        const std::optional<LiftedFrame> loaded = cache.load(key);
        QVERIFY(loaded);
        QCOMPARE(loaded->mask, stored.mask);
        QCOMPARE(loaded->frameSize, frameSize);
        QCOMPARE(loaded->thumbnail, stored.thumbnail);
        QCOMPARE(loaded->subjectThumbnail.size(), stored.subjectThumbnail.size());

        // Another cache object, as in the next session, finds it too.
        LiftedFrameCache nextSession(folder.filePath(QStringLiteral("frames")));
        QVERIFY(nextSession.load(nextSession.key(video, MediaTime(1001, 30000), model)));

        // The same file name with other content (same size, the middle untouched, the last MiB
        // changed) is another video: the old entry is not its.
        // Its modification time is put back, as a copy keeping times would have it.
        const QDateTime modified = QFileInfo(video).lastModified();
        QFile changed(video);
        QVERIFY(changed.open(QIODevice::ReadWrite));
        QVERIFY(changed.seek(changed.size() - 10));
        QCOMPARE(changed.write("other end!"), 10);
        QVERIFY(changed.flush());
        QVERIFY(changed.setFileTime(modified, QFileDevice::FileModificationTime));
        changed.close();
        QCOMPARE(QFileInfo(video).lastModified(), modified);
        LiftedFrameCache afterChange(folder.filePath(QStringLiteral("frames")));
        const QByteArray changedKey = afterChange.key(video, MediaTime(1001, 30000), model);
        QVERIFY(changedKey != key);
        QVERIFY(!afterChange.load(changedKey));
    }

    // A video the cache has seen is remembered by its place: once it has moved, its old place
    // still gives its identity and frame rate, and so the entries of its frames. A record that is
    // damaged, or remembers another place, gives nothing.
    void aMovedVideoIsRememberedByItsOldPlace()
    {
        QTemporaryDir folder;
        QTemporaryDir files;
        const QString video = writeFile(files.filePath(QStringLiteral("clip.mp4")), QByteArray(5000, 'v'));
        const QString model = writeFile(files.filePath(QStringLiteral("model.onnx")), QByteArray(1000, 'm'));
        const QString moved = files.filePath(QStringLiteral("moved.mp4"));
        LiftedFrameCache cache(folder.path());
        QVERIFY(!cache.rememberedVideo(video));
        QVERIFY(cache.rememberVideo(files.filePath(QStringLiteral("absent.mp4")), 25.0));
        QCOMPARE(cache.rememberVideo(video, 29.97), std::nullopt);
        const QByteArray key = cache.key(video, MediaTime(1, 30), model);
        QCOMPARE(cache.store(key, liftedFrame(lifting(1))), std::nullopt);
        // Trimming leaves records alone: only frames take room.
        QCOMPARE(entries(folder.path()).size(), 1);

        QVERIFY(QFile::rename(video, moved));
        LiftedFrameCache nextSession(folder.path());
        const std::optional<LiftedFrameCache::VideoRecord> record = nextSession.rememberedVideo(video);
        QVERIFY(record);
        QCOMPARE(record->frameRate, 29.97);
        QCOMPARE(record->identity, nextSession.fileIdentity(moved));
        QCOMPARE(nextSession.keyOfIdentity(record->identity, MediaTime(1, 30), model), key);
        QVERIFY(nextSession.load(nextSession.keyOfIdentity(record->identity, MediaTime(1, 30), model)));
        QVERIFY(!nextSession.rememberedVideo(moved));

        // Remembering the place again replaces what it held.
        QVERIFY(QFile::copy(model, video));
        QCOMPARE(nextSession.rememberVideo(video, 0.0), std::nullopt);
        QCOMPARE(nextSession.rememberedVideo(video)->identity, nextSession.fileIdentity(video));
        QVERIFY(nextSession.rememberedVideo(video)->identity != record->identity);
        QCOMPARE(nextSession.rememberedVideo(video)->frameRate, 0.0);

        const QStringList records = QDir(folder.path()).entryList({QStringLiteral("*.video")}, QDir::Files);
        QCOMPARE(records.size(), 1);
        QFile file(folder.filePath(records.constFirst()));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
        QVERIFY(file.seek(0));
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();
        QVERIFY(!nextSession.rememberedVideo(video));
        // The record of one place copied under another place's name is not that place's.
        QCOMPARE(nextSession.rememberVideo(video, 30.0), std::nullopt);
        QCOMPARE(nextSession.rememberVideo(moved, 30.0), std::nullopt);
        QStringList both = QDir(folder.path()).entryList({QStringLiteral("*.video")}, QDir::Files);
        QCOMPARE(both.size(), 2);
        both.removeOne(records.constFirst());
        const QString movedRecord = folder.filePath(both.constFirst());
        QVERIFY(QFile::remove(movedRecord));
        QVERIFY(QFile::copy(folder.filePath(records.constFirst()), movedRecord));
        QVERIFY(!nextSession.rememberedVideo(moved));
        QVERIFY(nextSession.rememberedVideo(video));
    }

    void damagedAndForeignEntriesAreIgnoredAndDropped()
    {
        QTemporaryDir folder;
        QTemporaryDir files;
        const QString video = writeFile(files.filePath(QStringLiteral("clip.mp4")), QByteArray(5000, 'v'));
        const QString model = writeFile(files.filePath(QStringLiteral("model.onnx")), QByteArray(1000, 'm'));
        LiftedFrameCache cache(folder.path());
        const QByteArray first = cache.key(video, MediaTime(1, 30), model);
        const QByteArray second = cache.key(video, MediaTime(2, 30), model);
        const LiftedFrame stored = liftedFrame(lifting(2));
        QCOMPARE(cache.store(first, stored), std::nullopt);
        QCOMPARE(cache.store(second, stored), std::nullopt);
        const QStringList names = entries(folder.path());
        QCOMPARE(names.size(), 2);

        // One byte changed in the middle of one entry, the other cut short.
        for (const QString &name : names) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            file.resize(0);
            file.seek(0);
            if (name == names.first())
                bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
            else
                bytes.chop(100);
            file.write(bytes);
        }
        QVERIFY(!cache.load(first));
        QVERIFY(!cache.load(second));
        QVERIFY(entries(folder.path()).isEmpty());

        // A sound entry under another entry's name (copied by hand, say) is not taken.
        QCOMPARE(cache.store(first, stored), std::nullopt);
        const QString firstPath = folder.filePath(entries(folder.path()).constFirst());
        QCOMPARE(cache.store(second, stored), std::nullopt);
        QStringList others = entries(folder.path());
        others.removeOne(QFileInfo(firstPath).fileName());
        QCOMPARE(others.size(), 1);
        const QString secondPath = folder.filePath(others.constFirst());
        QVERIFY(QFile::remove(secondPath));
        QVERIFY(QFile::copy(firstPath, secondPath));
        QVERIFY(!cache.load(second));
        QVERIFY(cache.load(first));

        // Stored again, it comes back.
        QCOMPARE(cache.store(second, stored), std::nullopt);
        QVERIFY(cache.load(second));
    }

    void theLimitLetsGoOfTheLeastRecentlyUsedFirst()
    {
        QTemporaryDir folder;
        QTemporaryDir files;
        const QString video = writeFile(files.filePath(QStringLiteral("clip.mp4")), QByteArray(5000, 'v'));
        const QString model = writeFile(files.filePath(QStringLiteral("model.onnx")), QByteArray(1000, 'm'));
        const LiftedFrame stored = liftedFrame(lifting(3));

        // Measure one entry, then allow three and a half of them.
        qint64 entrySize = 0;
        {
            LiftedFrameCache probe(folder.filePath(QStringLiteral("probe")));
            QCOMPARE(probe.store(probe.key(video, MediaTime(0, 30), model), stored), std::nullopt);
            const QDir probeFolder(folder.filePath(QStringLiteral("probe")));
            entrySize = QFileInfo(probeFolder.filePath(entries(probeFolder.path()).constFirst())).size();
        }
        QVERIFY(entrySize > 0);
        LiftedFrameCache cache(folder.filePath(QStringLiteral("frames")), entrySize * 7 / 2);
        QList<QByteArray> keys;
        for (int i = 0; i < 5; ++i)
            keys << cache.key(video, MediaTime(i, 30), model);

        for (int i = 0; i < 3; ++i)
            QCOMPARE(cache.store(keys[i], stored), std::nullopt);
        // Using the first makes the second the least recently used.
        QVERIFY(cache.load(keys[0]));
        QCOMPARE(cache.store(keys[3], stored), std::nullopt);
        QVERIFY(!cache.load(keys[1]));
        QVERIFY(cache.load(keys[2]));
        QVERIFY(cache.load(keys[0]));
        QVERIFY(cache.load(keys[3]));
        // Now the second oldest in use is the third.
        QCOMPARE(cache.store(keys[4], stored), std::nullopt);
        QVERIFY(!cache.load(keys[2]));
        for (const int kept : {0, 3, 4})
            QVERIFY2(cache.load(keys[kept]), qPrintable(QString::number(kept)));
        QCOMPARE(entries(folder.filePath(QStringLiteral("frames"))).size(), 3);
    }
};

QUINTAREL_TEST(LiftedFrameCacheTest)
#include "LiftedFrameCacheTest.moc"
