#include "LiftedFrameCache.h"

#include "platform/CheckedFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Entry files start with these bytes and this format number; anything else is not read.
constexpr quint32 EntryMagic = 0x514c4643; // "QLFC"
constexpr quint16 EntryFormat = 1;
const QLatin1String EntrySuffix(".lift");
// Video records: a few dozen bytes each, left out of the trimming.
constexpr quint32 VideoMagic = 0x514c4656; // "QLFV"
constexpr quint16 VideoFormat = 1;
const QLatin1String VideoSuffix(".video");
constexpr qint64 MaxVideoRecordBytes = qint64{64} * 1024;
// A 1080p entry takes some hundreds of kilobytes; a file far larger than that is not one.
constexpr qint64 MaxEntryBytes = qint64{256} * 1024 * 1024;
// How much of each end of a file its identity reads.
constexpr qint64 IdentityChunk = qint64{1024} * 1024;
constexpr QCryptographicHash::Algorithm EntryHash = QCryptographicHash::Sha256;

QByteArray png(const QImage &image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

QByteArray withHash(QByteArray bytes)
{
    bytes += QCryptographicHash::hash(bytes, EntryHash);
    return bytes;
}

// The bytes before the trailing hash, when the hash is right.
std::optional<QByteArray> hashedBody(const QByteArray &bytes)
{
    const qsizetype hashSize = QCryptographicHash::hashLength(EntryHash);
    if (bytes.size() <= hashSize)
        return std::nullopt;
    QByteArray body = bytes.first(bytes.size() - hashSize);
    if (QCryptographicHash::hash(body, EntryHash) != bytes.last(hashSize))
        return std::nullopt;
    return body;
}

QByteArray encodedEntry(const QByteArray &key, const LiftedFrame &frame)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << EntryMagic << EntryFormat << key << frame.hasSubject << qint32(frame.frameSize.width())
        << qint32(frame.frameSize.height()) << frame.mask << png(frame.thumbnail)
        << png(frame.subjectThumbnail);
    // The hash of all before it: a file cut short or changed on the disk is told apart.
    return withHash(bytes);
}

std::optional<LiftedFrame> decodedEntry(const QByteArray &key, const QByteArray &bytes,
                                        LiftedFrameCache::Contents contents)
{
    const std::optional<QByteArray> body = hashedBody(bytes);
    if (!body)
        return std::nullopt;
    QDataStream in(*body);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 format = 0;
    QByteArray storedKey, thumbnail, subjectThumbnail;
    qint32 width = 0, height = 0;
    LiftedFrame frame;
    in >> magic >> format;
    if (in.status() != QDataStream::Ok || magic != EntryMagic || format != EntryFormat)
        return std::nullopt;
    in >> storedKey >> frame.hasSubject >> width >> height >> frame.mask >> thumbnail >> subjectThumbnail;
    if (in.status() != QDataStream::Ok || !in.atEnd() || storedKey != key || width <= 0 || height <= 0 ||
        frame.mask.isEmpty())
        return std::nullopt;
    frame.frameSize = QSize(width, height);
    if (contents == LiftedFrameCache::Contents::Mask)
        return thumbnail.isEmpty() ? std::nullopt : std::optional<LiftedFrame>(frame);
    // Back in the form every picture of the program takes.
    frame.thumbnail =
        QImage::fromData(thumbnail, "PNG").convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (frame.thumbnail.isNull())
        return std::nullopt;
    if (frame.hasSubject) {
        frame.subjectThumbnail =
            QImage::fromData(subjectThumbnail, "PNG").convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        if (frame.subjectThumbnail.isNull())
            return std::nullopt;
    }
    return frame;
}

} // namespace

LiftedFrameCache::LiftedFrameCache(QString folder, qint64 limitBytes)
    : m_folder(std::move(folder)), m_limit(limitBytes)
{}

QString LiftedFrameCache::standardFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("lifted-frames"));
}

std::shared_ptr<LiftedFrameCache> LiftedFrameCache::standard()
{
    static const std::shared_ptr<LiftedFrameCache> cache = std::make_shared<LiftedFrameCache>();
    return cache;
}

QByteArray LiftedFrameCache::fileIdentity(const QString &path) const
{
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    {
        QMutexLocker lock(&m_mutex);
        const auto known = m_identities.constFind(absolute);
        if (known != m_identities.cend() && known->size == size && known->modified == modified)
            return known->hash;
    }
    QFile file(absolute);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << size << modified.toMSecsSinceEpoch();
    hash.addData(header);
    const QByteArray first = file.read(IdentityChunk);
    if (first.size() != std::min(size, IdentityChunk))
        return {};
    hash.addData(first);
    if (size > IdentityChunk) {
        const qint64 lastStart = std::max(IdentityChunk, size - IdentityChunk);
        if (!file.seek(lastStart))
            return {};
        const QByteArray last = file.read(size - lastStart);
        if (last.size() != size - lastStart)
            return {};
        hash.addData(last);
    }
    QByteArray identity = hash.result();
    QMutexLocker lock(&m_mutex);
    m_identities.insert(absolute, Identity{size, modified, identity});
    return identity;
}

QByteArray LiftedFrameCache::key(const QString &videoPath, const MediaTime &time,
                                 const QString &modelPath) const
{
    return keyOfIdentity(fileIdentity(videoPath), time, modelPath);
}

QByteArray LiftedFrameCache::keyOfIdentity(const QByteArray &video, const MediaTime &time,
                                           const QString &modelPath) const
{
    const QByteArray model = fileIdentity(modelPath);
    if (video.isEmpty() || model.isEmpty())
        return {};
    QByteArray key;
    QDataStream out(&key, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    // The time as stored: its own value and timescale, which name one frame exactly.
    out << video << qint64(time.value()) << qint32(time.timescale()) << model;
    return key;
}

QString LiftedFrameCache::entryPath(const QByteArray &key) const
{
    return QDir(m_folder).filePath(
        QString::fromLatin1(QCryptographicHash::hash(key, EntryHash).toHex().left(40)) + EntrySuffix);
}

QString LiftedFrameCache::videoRecordPath(const QString &videoPath) const
{
    const QByteArray place = QFileInfo(videoPath).absoluteFilePath().toUtf8();
    return QDir(m_folder).filePath(
        QString::fromLatin1(QCryptographicHash::hash(place, EntryHash).toHex().left(40)) + VideoSuffix);
}

std::optional<QString> LiftedFrameCache::rememberVideo(const QString &videoPath, double frameRate) const
{
    const QByteArray identity = fileIdentity(videoPath);
    if (identity.isEmpty())
        return QStringLiteral("vidéo illisible, non retenue");
    if (std::optional<QString> problem = CheckedFile::makeFolders(m_folder))
        return problem;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << VideoMagic << VideoFormat << QFileInfo(videoPath).absoluteFilePath() << identity << frameRate;
    return CheckedFile::replace(videoRecordPath(videoPath), withHash(bytes));
}

std::optional<LiftedFrameCache::VideoRecord> LiftedFrameCache::rememberedVideo(const QString &videoPath) const
{
    const QString path = videoRecordPath(videoPath);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const Result<QByteArray> bytes = CheckedFile::read(path, MaxVideoRecordBytes);
    const std::optional<QByteArray> body = bytes ? hashedBody(bytes.value()) : std::nullopt;
    if (!body)
        return std::nullopt;
    QDataStream in(*body);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 format = 0;
    QString place;
    VideoRecord record;
    in >> magic >> format >> place >> record.identity >> record.frameRate;
    // Two places whose hashes begin alike are told apart by the place itself.
    if (in.status() != QDataStream::Ok || !in.atEnd() || magic != VideoMagic || format != VideoFormat ||
        place != QFileInfo(videoPath).absoluteFilePath() || record.identity.isEmpty())
        return std::nullopt;
    return record;
}

std::optional<LiftedFrame> LiftedFrameCache::load(const QByteArray &key, Contents contents) const
{
    if (key.isEmpty())
        return std::nullopt;
    const QString path = entryPath(key);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const Result<QByteArray> bytes = CheckedFile::read(path, MaxEntryBytes);
    std::optional<LiftedFrame> frame = bytes ? decodedEntry(key, bytes.value(), contents) : std::nullopt;
    if (!frame) {
        // Damaged, or another key's or format's: made again and written over.
        QFile::remove(path);
        return std::nullopt;
    }
    touch(path);
    return frame;
}

std::optional<QString> LiftedFrameCache::store(const QByteArray &key, const LiftedFrame &frame) const
{
    if (key.isEmpty() || frame.mask.isEmpty() || frame.thumbnail.isNull())
        return QStringLiteral("entrée incomplète, non enregistrée");
    if (std::optional<QString> problem = CheckedFile::makeFolders(m_folder))
        return problem;
    const QString path = entryPath(key);
    if (std::optional<QString> problem = CheckedFile::replace(path, encodedEntry(key, frame)))
        return problem;
    touch(path);
    trim();
    return std::nullopt;
}

void LiftedFrameCache::touch(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    // Strictly later than the last use, even within one millisecond, so that the order of use is
    // the order of the files' times.
    QDateTime now = QDateTime::currentDateTimeUtc();
    if (m_lastUse.isValid() && now <= m_lastUse)
        now = m_lastUse.addMSecs(1);
    m_lastUse = now;
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(now, QFileDevice::FileModificationTime);
}

void LiftedFrameCache::trim() const
{
    QMutexLocker lock(&m_mutex);
    const QFileInfoList entries = QDir(m_folder).entryInfoList({QLatin1String("*") + EntrySuffix},
                                                               QDir::Files, QDir::Time | QDir::Reversed);
    qint64 total = 0;
    for (const QFileInfo &entry : entries)
        total += entry.size();
    for (const QFileInfo &entry : entries) {
        if (total <= m_limit)
            break;
        if (QFile::remove(entry.absoluteFilePath()))
            total -= entry.size();
    }
}
