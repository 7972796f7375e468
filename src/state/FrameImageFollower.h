#pragma once

#include <QList>
#include <QObject>
#include <QUuid>

class CaptureDocument;
class FrameImageMaker;
class FrameImageStore;
class Playback;
struct CaptureGroup;
struct CapturedFrame;

// Keeps the image store in step with the document, from the changes the document tells: a frame
// that appears (captured, brought back by an undo, opened) gets its pictures made from the video
// shown, or is marked failed when the captures have no video; a frame that goes is forgotten; a
// frame that moves keeps what it has. Many frames at once (a project opened, a group brought back,
// the video come at last) are taken a batch per turn of the event loop, the selected ones first,
// then in list order: no turn of the main thread goes through thousands of them. Main thread only.
class FrameImageFollower : public QObject
{
    Q_OBJECT

public:
    // Frames taken in one turn.
    static constexpr int BatchSize = 250;

    // All of them outlive the follower.
    FrameImageFollower(const CaptureDocument *document, FrameImageStore *images, FrameImageMaker *maker,
                       const Playback *playback, QObject *parent = nullptr);

    // Takes every frame of the document that the store does not track yet (its video has come, or
    // turned out not to open): the first batch now, the others in the turns that follow.
    void followAll();
    // Frames still waiting for their turn.
    qsizetype waitingCount() const { return m_waiting.size() - m_next; }

private:
    void follow(const CapturedFrame &frame);
    // Puts the frames in line and takes a batch now.
    void take(const QList<QUuid> &frames);
    void takeBatch();
    void groupRemoved(const CaptureGroup &group);
    // The whole content was replaced: frames that are gone are forgotten, the others taken.
    void contentReset();

    const CaptureDocument *m_document;
    FrameImageStore *m_images;
    FrameImageMaker *m_maker;
    const Playback *m_playback;
    QList<QUuid> m_waiting;
    qsizetype m_next = 0;
    bool m_batchPosted = false;
};
