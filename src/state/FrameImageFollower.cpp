#include "FrameImageFollower.h"

#include "state/CaptureDocument.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "state/Playback.h"

#include <QTimer>

FrameImageFollower::FrameImageFollower(const CaptureDocument *document, FrameImageStore *images,
                                       FrameImageMaker *maker, const Playback *playback, QObject *parent)
    : QObject(parent), m_document(document), m_images(images), m_maker(maker), m_playback(playback)
{
    connect(document, &CaptureDocument::frameInserted, this,
            [this](int group, int position) { follow(m_document->groups().at(group).frames.at(position)); });
    connect(document, &CaptureDocument::frameRemoved, m_images, &FrameImageStore::forget);
    connect(document, &CaptureDocument::groupInserted, this, [this](int position) {
        QList<QUuid> frames;
        for (const CapturedFrame &frame : m_document->groups().at(position).frames)
            frames << frame.id;
        take(frames);
    });
    connect(document, &CaptureDocument::groupRemoved, this,
            [this](int, const CaptureGroup &group) { groupRemoved(group); });
    connect(document, &CaptureDocument::contentReset, this, &FrameImageFollower::contentReset);
}

void FrameImageFollower::follow(const CapturedFrame &frame)
{
    if (m_images->isTracked(frame.id))
        return;
    if (!m_playback->videoURL().isEmpty())
        m_maker->make(frame.id, frame.time);
    else if (m_document->videoURL().isEmpty())
        m_images->setFailed(frame.id, m_images->track(frame.id), tr("Vidéo introuvable."));
    // Otherwise the document's video is still opening: its pictures follow once it shows.
}

void FrameImageFollower::followAll()
{
    // Those waiting are among them.
    m_waiting.clear();
    m_next = 0;
    QList<QUuid> selected, others;
    others.reserve(m_document->frameCount());
    for (const CaptureGroup &group : m_document->groups()) {
        for (const CapturedFrame &frame : group.frames) {
            if (!m_images->isTracked(frame.id))
                (m_document->selection().contains(frame.id) ? selected : others) << frame.id;
        }
    }
    take(selected + others);
}

void FrameImageFollower::take(const QList<QUuid> &frames)
{
    if (m_next == m_waiting.size()) {
        m_waiting.clear();
        m_next = 0;
    }
    m_waiting += frames;
    takeBatch();
}

void FrameImageFollower::takeBatch()
{
    // A frame gone meanwhile, or taken already, is passed over.
    for (int taken = 0; taken < BatchSize && m_next < m_waiting.size(); ++taken) {
        const QUuid &frameId = m_waiting.at(m_next++);
        if (const std::optional<CaptureDocument::FramePlace> place = m_document->place(frameId))
            follow(m_document->groups().at(place->group).frames.at(place->position));
    }
    if (m_next < m_waiting.size() && !m_batchPosted) {
        m_batchPosted = true;
        QTimer::singleShot(0, this, [this] {
            m_batchPosted = false;
            takeBatch();
        });
    }
}

void FrameImageFollower::groupRemoved(const CaptureGroup &group)
{
    for (const CapturedFrame &frame : group.frames)
        m_images->forget(frame.id);
}

void FrameImageFollower::contentReset()
{
    for (const QUuid &frameId : m_images->trackedFrames()) {
        if (!m_document->place(frameId))
            m_images->forget(frameId);
    }
    followAll();
}
