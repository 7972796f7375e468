#include "CapturedFrameDelegate.h"

#include "BusyIndicator.h"
#include "CapturedFramesModel.h"
#include "CheckerboardView.h"
#include "SymbolIcons.h"
#include "ViewStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTreeView>

namespace {
constexpr int rowPadding = 2;
constexpr int leading = 8;
constexpr int spacing = 8;
constexpr int arrowSize = 11;
constexpr qreal radius = 4;
constexpr QLatin1StringView failureSymbol("exclamationmark.triangle.fill");
} // namespace

CapturedFrameDelegate::CapturedFrameDelegate(QTreeView *view) : QStyledItemDelegate(view), m_view(view) {}

QSize CapturedFrameDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const CapturedFramesModel *>(index.model());
    if (model && model->isGroup(index)) {
        const QWidget *header = m_view->indexWidget(index);
        return {option.rect.width(), header ? header->sizeHint().height() : option.fontMetrics.height() + 12};
    }
    return {leading + 2 * thumbnailWidth + arrowSize + 3 * spacing + 80, thumbnailHeight + 2 * rowPadding};
}

QPixmap CapturedFrameDelegate::scaled(const QImage &image, const QSizeF &box, Fit fit,
                                      qreal devicePixelRatio) const
{
    const QString key = QStringLiteral("%1-%2-%3x%4@%5")
                            .arg(image.cacheKey())
                            .arg(int(fit))
                            .arg(box.width())
                            .arg(box.height())
                            .arg(devicePixelRatio);
    if (const QPixmap *cached = m_cache.object(key))
        return *cached;
    const QSize pixels = (box * devicePixelRatio).toSize();
    QImage result =
        image.scaled(pixels, fit == Fit::Fill ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio,
                     Qt::SmoothTransformation);
    if (fit == Fit::Fill) {
        // Cropped around the centre, not letter-boxed.
        result = result.copy((result.width() - pixels.width()) / 2, (result.height() - pixels.height()) / 2,
                             pixels.width(), pixels.height());
    }
    QPixmap pixmap = QPixmap::fromImage(result);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    m_cache.insert(key, new QPixmap(pixmap));
    return pixmap;
}

void CapturedFrameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const auto *model = qobject_cast<const CapturedFramesModel *>(index.model());
    if (!model || model->isGroup(index))
        return; // the header widget draws the group row

    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QColor ink = option.palette.color(QPalette::Text);
    const bool selected = option.state & QStyle::State_Selected;

    qreal x = option.rect.left() + leading;
    const qreal top = option.rect.top() + (option.rect.height() - thumbnailHeight) / 2.0;
    const QSizeF box(thumbnailWidth, thumbnailHeight);

    // The whole frame.
    const QRectF fullRect(QPointF(x, top), box);
    QPainterPath fullShape;
    fullShape.addRoundedRect(fullRect, radius, radius);
    const QImage thumbnail = index.data(CapturedFramesModel::ThumbnailRole).value<QImage>();
    const bool failed = !index.data(CapturedFramesModel::FailureRole).toString().isEmpty();
    const QRectF fullMark(fullRect.center() - QPointF(7, 7), QSizeF(14, 14));
    painter->save();
    painter->setClipPath(fullShape);
    if (!thumbnail.isNull()) {
        painter->drawPixmap(fullRect.topLeft(), scaled(thumbnail, box, Fit::Fill, dpr));
    } else {
        painter->fillRect(fullRect, ViewStyle::quaternary());
        // A still that could not be made shows why on the row's tooltip; it no longer turns.
        if (failed)
            SymbolIcons::icon(failureSymbol).paint(painter, fullMark.toAlignedRect());
        else
            BusyIndicator::paint(*painter, fullMark, BusyIndicator::currentPhase(), ink);
    }
    painter->restore();
    x += thumbnailWidth + spacing;

    // The arrow.
    const QRectF arrowRect(x, option.rect.center().y() - arrowSize / 2.0, arrowSize, arrowSize);
    SymbolIcons::icon(QStringLiteral("arrow.right")).paint(painter, arrowRect.toAlignedRect());
    x += arrowSize + spacing;

    // The cut-out.
    const QRectF subjectRect(QPointF(x, top), box);
    QPainterPath subjectShape;
    subjectShape.addRoundedRect(subjectRect, radius, radius);
    painter->save();
    painter->setClipPath(subjectShape);
    CheckerboardView::paint(*painter, subjectRect, 6);
    const QImage subject = index.data(CapturedFramesModel::SubjectPreviewRole).value<QImage>();
    if (!subject.isNull()) {
        const QRectF area = subjectRect.adjusted(2, 2, -2, -2);
        const QPixmap pixmap = scaled(subject, area.size(), Fit::Fit, dpr);
        const QSizeF shown = pixmap.deviceIndependentSize();
        painter->drawPixmap(
            QPointF(area.center().x() - shown.width() / 2, area.center().y() - shown.height() / 2), pixmap);
    } else if (index.data(CapturedFramesModel::SubjectExtractedRole).toBool()) {
        const QRectF symbolRect(subjectRect.center() - QPointF(7, 7), QSizeF(14, 14));
        SymbolIcons::icon(failed ? failureSymbol : QStringLiteral("person.slash"))
            .paint(painter, symbolRect.toAlignedRect());
    } else {
        BusyIndicator::paint(*painter, QRectF(subjectRect.center() - QPointF(7, 7), QSizeF(14, 14)),
                             BusyIndicator::currentPhase(), ink);
    }
    painter->restore();
    x += thumbnailWidth + spacing + 4;

    // The time.
    painter->setFont(ViewStyle::monospacedDigits(option.font));
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : ink);
    const QRectF textRect(x, option.rect.top(), option.rect.right() - x, option.rect.height());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      index.data(CapturedFramesModel::TimeTextRole).toString());
    painter->restore();
}
