#pragma once

#include "support/Result.h"

#include <QImage>
#include <QList>
#include <QMimeData>
#include <QPixmap>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

class FrameTakeout;

// Finished pictures of frames handed to another program, by the clipboard or a drag: each as a PNG
// file (text/uri-list) and the first also as PNG bytes (image/png) and as an image. The pictures
// are made only when a program asks for them (a drop, a paste), and only once: the formats are
// offered at once, and a drag that ends inside the window costs nothing.
class TakeoutMimeData : public QMimeData
{
    Q_OBJECT

public:
    // One picture, with the name of its file.
    struct Picture
    {
        // Makes the picture; called once, when it is first asked for.
        std::function<Result<QImage>()> make;
        QString fileName;
    };

    // `withFiles` offers the pictures as files too (a drag); the clipboard takes the image alone.
    TakeoutMimeData(QList<Picture> pictures, bool withFiles);

    // The pictures of those `frameIds` that `takeout` can take now, in order, named as the merged
    // export names them; a drag data without pictures when there is none.
    static TakeoutMimeData *forFrames(const FrameTakeout &takeout, const QList<QUuid> &frameIds,
                                      bool withFiles);

    // What a drag shows under the pointer.
    QPixmap preview() const { return m_preview; }
    void setPreview(const QPixmap &preview) { m_preview = preview; }

    QStringList formats() const override;

    // The first picture, waited for; null when it could not be made.
    QImage picture() const;
    // The files of the pictures, written on first use; those that could not be made are left out.
    QList<QUrl> files() const;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    // The picture at `index`, made on first use.
    Result<QImage> made(int index) const;

    QList<Picture> m_pictures;
    bool m_withFiles;
    QPixmap m_preview;
    mutable QList<std::optional<Result<QImage>>> m_made; // one per picture
    mutable std::optional<QList<QUrl>> m_files;
    mutable std::optional<QByteArray> m_png;
};
