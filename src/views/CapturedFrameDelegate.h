#pragma once

#include <QCache>
#include <QPixmap>
#include <QStyledItemDelegate>

class QTreeView;

// Paints one frame row of the frames list: the whole frame filling a 64 × 36 rounded box (or a
// placeholder with a busy indicator), an arrow, the cut-out over a checkerboard (or a busy
// indicator, or "no subject"), and the frame's time. Group rows take the height of their header
// widget. Scaled images are cached by image, so scrolling through hundreds of rows stays cheap.
class CapturedFrameDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int thumbnailWidth = 64;
    static constexpr int thumbnailHeight = 36;

    explicit CapturedFrameDelegate(QTreeView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    enum class Fit { Fill, Fit };
    // `image` scaled for `box`, from the cache when it was scaled before.
    QPixmap scaled(const QImage &image, const QSizeF &box, Fit fit, qreal devicePixelRatio) const;

    QTreeView *m_view;
    mutable QCache<QString, QPixmap> m_cache{600};
};
