#include "SymbolIcons.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QStyle>

namespace {

struct Mapping
{
    const char *themeName;
    QStyle::StandardPixmap fallback;
};

const QHash<QString, Mapping> &themeNames()
{
    static const QHash<QString, Mapping> table{
        {QStringLiteral("film"), {"video-x-generic-symbolic", QStyle::SP_MediaPlay}},
        {QStringLiteral("film.stack"), {"camera-video-symbolic", QStyle::SP_MediaPlay}},
        {QStringLiteral("folder"), {"folder-open-symbolic", QStyle::SP_DirOpenIcon}},
        {QStringLiteral("folder.badge.plus"), {"folder-new-symbolic", QStyle::SP_FileDialogNewFolder}},
        {QStringLiteral("gobackward"), {"media-seek-backward-symbolic", QStyle::SP_MediaSeekBackward}},
        {QStringLiteral("goforward"), {"media-seek-forward-symbolic", QStyle::SP_MediaSeekForward}},
        {QStringLiteral("backward.frame.fill"),
         {"media-skip-backward-symbolic", QStyle::SP_MediaSkipBackward}},
        {QStringLiteral("forward.frame.fill"), {"media-skip-forward-symbolic", QStyle::SP_MediaSkipForward}},
        {QStringLiteral("play.fill"), {"media-playback-start-symbolic", QStyle::SP_MediaPlay}},
        {QStringLiteral("pause.fill"), {"media-playback-pause-symbolic", QStyle::SP_MediaPause}},
        {QStringLiteral("camera.fill"), {"camera-photo-symbolic", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("trash"), {"user-trash-symbolic", QStyle::SP_TrashIcon}},
        {QStringLiteral("photo"), {"image-x-generic-symbolic", QStyle::SP_FileIcon}},
        {QStringLiteral("photo.stack"), {"emblem-photos-symbolic", QStyle::SP_FileIcon}},
        {QStringLiteral("photo.on.rectangle"), {"insert-image-symbolic", QStyle::SP_FileIcon}},
        {QStringLiteral("person.slash"), {"avatar-default-symbolic", QStyle::SP_MessageBoxWarning}},
        {QStringLiteral("text.alignleft"),
         {"format-justify-left-symbolic", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("text.badge.checkmark"), {"document-edit-symbolic", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("exclamationmark.triangle.fill"),
         {"dialog-warning-symbolic", QStyle::SP_MessageBoxWarning}},
        {QStringLiteral("square.and.arrow.up"), {"document-send-symbolic", QStyle::SP_ArrowUp}},
        {QStringLiteral("square.and.arrow.down"), {"document-save-symbolic", QStyle::SP_DialogSaveButton}},
        {QStringLiteral("square.on.square"), {"edit-copy-symbolic", QStyle::SP_FileDialogListView}},
        {QStringLiteral("scribble.variable"),
         {"applications-graphics-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("wand.and.stars"), {"star-new-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("arrow.right"), {"go-next-symbolic", QStyle::SP_ArrowRight}},
        {QStringLiteral("xmark.circle"), {"process-stop-symbolic", QStyle::SP_BrowserStop}},
        {QStringLiteral("magnifyingglass"), {"edit-find-symbolic", QStyle::SP_FileDialogContentsView}},
    };
    return table;
}

// Shapes the icon theme has no icon for, drawn in the text colour.
QIcon drawnIcon(const QString &symbolName)
{
    const int size = 32;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    painter.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    if (symbolName == QLatin1String("arrow.up.right")) {
        painter.drawLine(QPointF(7, 25), QPointF(25, 7));
        painter.drawLine(QPointF(25, 7), QPointF(13, 7));
        painter.drawLine(QPointF(25, 7), QPointF(25, 19));
    } else if (symbolName == QLatin1String("line.diagonal")) {
        painter.drawLine(QPointF(7, 25), QPointF(25, 7));
    } else if (symbolName == QLatin1String("circle")) {
        painter.drawEllipse(QRectF(5, 5, 22, 22));
    } else if (symbolName == QLatin1String("largecircle.fill.circle")) {
        painter.drawEllipse(QRectF(4, 4, 24, 24));
        painter.setBrush(ink);
        painter.drawEllipse(QRectF(11, 11, 10, 10));
    } else if (symbolName == QLatin1String("cursorarrow")) {
        QPainterPath arrow;
        arrow.moveTo(9, 4);
        arrow.lineTo(9, 25);
        arrow.lineTo(14, 20);
        arrow.lineTo(18, 28);
        arrow.lineTo(21, 26);
        arrow.lineTo(17, 19);
        arrow.lineTo(24, 19);
        arrow.closeSubpath();
        painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(arrow);
    } else {
        return {};
    }
    return QIcon(pixmap);
}

} // namespace

QIcon SymbolIcons::icon(const QString &symbolName)
{
    const auto mapping = themeNames().constFind(symbolName);
    if (mapping != themeNames().cend()) {
        QIcon themed = QIcon::fromTheme(QLatin1String(mapping->themeName));
        if (!themed.isNull())
            return themed;
        return QApplication::style()->standardIcon(mapping->fallback);
    }
    return drawnIcon(symbolName);
}
