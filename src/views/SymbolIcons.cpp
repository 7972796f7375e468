#include "SymbolIcons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
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
        {QStringLiteral("person.badge.minus"), {"list-remove-symbolic", QStyle::SP_DialogDiscardButton}},
        {QStringLiteral("person.badge.plus"), {"list-add-symbolic", QStyle::SP_FileDialogNewFolder}},
        {QStringLiteral("eraser"), {"edit-clear-symbolic", QStyle::SP_DialogResetButton}},
        {QStringLiteral("paintbrush"), {"applications-graphics-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("wand.and.stars"), {"star-new-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("xmark.circle"), {"process-stop-symbolic", QStyle::SP_BrowserStop}},
        {QStringLiteral("magnifyingglass"), {"edit-find-symbolic", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("speaker.wave.2.fill"), {"audio-volume-high-symbolic", QStyle::SP_MediaVolume}},
        {QStringLiteral("speaker.slash.fill"), {"audio-volume-muted-symbolic", QStyle::SP_MediaVolumeMuted}},
        {QStringLiteral("paintpalette"), {"preferences-color-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("plus.square.on.square"), {"edit-copy-symbolic", QStyle::SP_FileDialogListView}},
        {QStringLiteral("doc.on.doc"), {"edit-copy-symbolic", QStyle::SP_FileDialogListView}},
        {QStringLiteral("doc.on.clipboard"), {"edit-paste-symbolic", QStyle::SP_DialogOpenButton}},
        {QStringLiteral("square.2.layers.3d.top.filled"), {"go-top-symbolic", QStyle::SP_ArrowUp}},
        {QStringLiteral("square.2.layers.3d.bottom.filled"), {"go-bottom-symbolic", QStyle::SP_ArrowDown}},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"),
         {"view-fullscreen-symbolic", QStyle::SP_TitleBarMaxButton}},
        {QStringLiteral("arrow.down.right.and.arrow.up.left"),
         {"view-restore-symbolic", QStyle::SP_TitleBarNormalButton}},
        {QStringLiteral("arrow.up.left.and.down.right.magnifyingglass"),
         {"zoom-fit-best-symbolic", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("1.magnifyingglass"), {"zoom-original-symbolic", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("plus.magnifyingglass"), {"zoom-in-symbolic", QStyle::SP_ArrowUp}},
        {QStringLiteral("minus.magnifyingglass"), {"zoom-out-symbolic", QStyle::SP_ArrowDown}},
    };
    return table;
}

// A person crossed out, for "no subject": icon themes have a person but no crossed-out one, so the
// theme's person gets a slash across it (a person of our own drawing where the theme has none),
// all in the text colour.
QIcon crossedOutPerson()
{
    const QIcon person = QIcon::fromTheme(QStringLiteral("avatar-default-symbolic"));
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    for (const int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        if (!person.isNull()) {
            painter.drawPixmap(0, 0, person.pixmap(QSize(size, size), 1.0));
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ink);
            painter.drawEllipse(QPointF(0.5 * s, 0.3 * s), 0.18 * s, 0.18 * s);
            QPainterPath body;
            body.moveTo(0.16 * s, 0.92 * s);
            body.cubicTo(0.16 * s, 0.62 * s, 0.3 * s, 0.52 * s, 0.5 * s, 0.52 * s);
            body.cubicTo(0.7 * s, 0.52 * s, 0.84 * s, 0.62 * s, 0.84 * s, 0.92 * s);
            body.closeSubpath();
            painter.drawPath(body);
        }
        const QLineF slash(0.12 * s, 0.12 * s, 0.88 * s, 0.88 * s);
        // A gap on each side of the slash, so that it reads across the figure.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(QPen(Qt::black, 0.24 * s, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(slash);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(QPen(ink, 0.09 * s, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(slash);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), ink);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
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

    if (symbolName == QLatin1String("arrow.right")) {
        // A shaft with its head: the theme's "next" is a bare chevron, which reads as an expander.
        painter.drawLine(QPointF(5, 16), QPointF(27, 16));
        painter.drawLine(QPointF(27, 16), QPointF(19, 8));
        painter.drawLine(QPointF(27, 16), QPointF(19, 24));
    } else if (symbolName == QLatin1String("arrow.up.right")) {
        painter.drawLine(QPointF(7, 25), QPointF(25, 7));
        painter.drawLine(QPointF(25, 7), QPointF(13, 7));
        painter.drawLine(QPointF(25, 7), QPointF(25, 19));
    } else if (symbolName == QLatin1String("line.diagonal")) {
        painter.drawLine(QPointF(7, 25), QPointF(25, 7));
    } else if (symbolName == QLatin1String("circle")) {
        painter.drawEllipse(QRectF(5, 5, 22, 22));
    } else if (symbolName == QLatin1String("rectangle")) {
        painter.drawRect(QRectF(5, 8, 22, 16));
    } else if (symbolName == QLatin1String("pencil.tip")) {
        // A wavy stroke with the tip that draws it.
        QPainterPath stroke;
        stroke.moveTo(4, 24);
        stroke.cubicTo(9, 14, 13, 30, 18, 20);
        painter.drawPath(stroke);
        painter.drawLine(QPointF(18, 20), QPointF(27, 6));
    } else if (symbolName == QLatin1String("highlighter")) {
        // A broad translucent band under a thin line.
        QColor band = ink;
        band.setAlphaF(0.4f);
        painter.setPen(QPen(band, 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPointF(7, 16), QPointF(25, 16));
        painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPointF(9, 16), QPointF(23, 16));
    } else if (symbolName == QLatin1String("textformat")) {
        // A capital T.
        painter.drawLine(QPointF(7, 7), QPointF(25, 7));
        painter.drawLine(QPointF(16, 7), QPointF(16, 26));
    } else if (symbolName == QLatin1String("number.circle")) {
        // A disc with a one cut out of it.
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(QRectF(4, 4, 24, 24));
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPointF(17, 9), QPointF(17, 23));
        painter.drawLine(QPointF(17, 9), QPointF(13, 13));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else if (symbolName == QLatin1String("checkerboard.rectangle")) {
        // A box of blocks, every other one filled.
        painter.drawRect(QRectF(5, 8, 22, 16));
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        for (int row = 0; row < 2; ++row) {
            for (int column = row % 2; column < 4; column += 2)
                painter.drawRect(QRectF(5 + 5.5 * column, 8 + 8 * row, 5.5, 8));
        }
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

// An icon drawn faded while its control is disabled. The theme's symbolic icons are already grey,
// and the style's own disabled version of them is hardly lighter: a disabled button looked active.
class FadedWhenDisabled : public QIconEngine
{
public:
    explicit FadedWhenDisabled(QIcon icon) : m_icon(std::move(icon)) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        if (mode != QIcon::Disabled)
            return m_icon.pixmap(size, 1.0, mode, state);
        QPixmap normal = m_icon.pixmap(size, 1.0, QIcon::Normal, state);
        if (normal.isNull())
            return normal;
        QPixmap faded(normal.size());
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.setOpacity(disabledOpacity);
        painter.drawPixmap(0, 0, normal);
        return faded;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap shown = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        shown.setDevicePixelRatio(ratio);
        const QSizeF drawn = shown.deviceIndependentSize();
        painter->drawPixmap(QPointF(rect.x() + (rect.width() - drawn.width()) / 2,
                                    rect.y() + (rect.height() - drawn.height()) / 2),
                            shown);
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.availableSizes(mode, state);
    }

    QString iconName() override { return m_icon.name(); }
    bool isNull() override { return m_icon.isNull(); }
    QIconEngine *clone() const override { return new FadedWhenDisabled(m_icon); }

private:
    static constexpr qreal disabledOpacity = 0.35;
    QIcon m_icon;
};

QIcon symbolIcon(const QString &symbolName)
{
    if (symbolName == QLatin1String("person.slash"))
        return crossedOutPerson();
    const auto mapping = themeNames().constFind(symbolName);
    if (mapping != themeNames().cend()) {
        QIcon themed = QIcon::fromTheme(QLatin1String(mapping->themeName));
        if (!themed.isNull())
            return themed;
        return QApplication::style()->standardIcon(mapping->fallback);
    }
    return drawnIcon(symbolName);
}

} // namespace

QIcon SymbolIcons::icon(const QString &symbolName)
{
    QIcon icon = symbolIcon(symbolName);
    if (icon.isNull())
        return icon;
    return QIcon(new FadedWhenDisabled(std::move(icon)));
}
