#pragma once

#include "state/FrameImageStore.h"
#include "support/MediaTime.h"

#include <QObject>
#include <QUuid>

#include <memory>

class SubjectExtractionService;
class VideoFrameExtractorService;

// Makes the pictures of captured frames in the background: grabs the still at the frame's time,
// then lifts its subjects, each off the main thread, and puts every result into the image store
// under the frame's identifier as it arrives. A frame the store has forgotten meanwhile gets no
// more work: its subject is not lifted. Results that arrive after the maker is gone are dropped.
class FrameImageMaker : public QObject
{
    Q_OBJECT

public:
    // `extractor` grabs the stills of the window's video; both it and `store` outlive the maker.
    FrameImageMaker(const VideoFrameExtractorService *extractor, FrameImageStore *store,
                    QObject *parent = nullptr);
    ~FrameImageMaker() override;

    // Shared, so that an export run in flight keeps it alive after the window has gone.
    std::shared_ptr<SubjectExtractionService> subjectExtractor() const { return m_subjectExtractor; }

    // Starts a fresh entry for the frame in the store and fills it in the background.
    void make(const QUuid &frameId, const MediaTime &time);

signals:
    // The still of a frame that is still wanted could not be made; its entry is marked failed.
    void stillFailed(const QUuid &frameId, const QString &message);

private:
    void lift(const QUuid &frameId, FrameImageStore::Ticket ticket, const QImage &still);

    const VideoFrameExtractorService *m_extractor;
    FrameImageStore *m_store;
    std::shared_ptr<SubjectExtractionService> m_subjectExtractor;
};
