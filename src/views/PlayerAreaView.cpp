#include "PlayerAreaView.h"

#include "ProminentButton.h"
#include "SymbolIcons.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

// The frame drawn over the whole area while files hover over it; lets the pointer through.
class DropHighlight : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        constexpr qreal lineWidth = 3;
        constexpr qreal inset = 4;
        constexpr qreal radius = 8;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), lineWidth));
        painter.setBrush(Qt::NoBrush);
        // The stroke lies inside the inset rectangle.
        const qreal half = lineWidth / 2;
        const QRectF frame =
            QRectF(rect()).adjusted(inset + half, inset + half, -inset - half, -inset - half);
        painter.drawRoundedRect(frame, radius - half, radius - half);
    }
};

// `icon` drawn in white at `opacity`, for the dimmed symbol on the black background.
QPixmap whitePixmap(const QIcon &icon, int size, qreal opacity, qreal devicePixelRatio)
{
    QPixmap pixmap = icon.pixmap(QSize(size, size), devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), QColor(255, 255, 255, int(opacity * 255)));
    return pixmap;
}

QLabel *makeTextLabel(const QString &text, qreal pointSizeFactor, int weight, const QColor &colour)
{
    auto *label = new QLabel(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * pointSizeFactor);
    font.setWeight(QFont::Weight(weight));
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

PlayerAreaView::PlayerAreaView(QWidget *parent)
    : QWidget(parent), m_stack(new QStackedLayout(this)), m_highlight(new DropHighlight(this))
{
    // Made here, not among the initialisers: it sets the placeholder's label members, which are
    // initialised after it.
    m_placeholder = makePlaceholder();
    setAcceptDrops(true);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    m_stack->addWidget(m_placeholder);
    showNoVideo();
    m_highlight->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_highlight->hide();
}

QWidget *PlayerAreaView::makePlaceholder()
{
    auto *placeholder = new QWidget;
    const QColor dimmed(255, 255, 255, 140);

    auto *symbol = new QLabel;
    symbol->setPixmap(
        whitePixmap(SymbolIcons::icon(QStringLiteral("film.stack")), 56, 0.55, devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignHCenter);

    auto *title = makeTextLabel(QString(), 1.5, QFont::DemiBold, Qt::white);
    title->setObjectName(QStringLiteral("placeholderTitle"));
    auto *line = makeTextLabel(QString(), 1.0, QFont::Normal, dimmed);
    line->setObjectName(QStringLiteral("placeholderLine"));

    auto *open = new ProminentButton(QIcon(), QString(), ProminentButton::Size::Large);
    open->setObjectName(QStringLiteral("placeholderOpenButton"));
    connect(open, &QPushButton::clicked, this, [this] {
        if (m_askingForMissingVideo)
            emit locateVideoRequested();
        else
            emit openVideoRequested();
    });
    m_placeholderTitle = title;
    m_placeholderLine = line;
    m_placeholderButton = open;

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(title);
    texts->addWidget(line);

    auto *layout = new QVBoxLayout(placeholder);
    layout->setSpacing(16);
    layout->addStretch(1);
    layout->addWidget(symbol);
    layout->addLayout(texts);
    layout->addWidget(open, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return placeholder;
}

void PlayerAreaView::showNoVideo()
{
    m_askingForMissingVideo = false;
    m_placeholderTitle->setText(tr("Aucune vidéo"));
    m_placeholderLine->setText(tr("Glissez une vidéo ici, ou ouvrez-en une (.mp4, .mov)."));
    m_placeholderButton->setIcon(SymbolIcons::icon(QStringLiteral("folder")));
    m_placeholderButton->setText(tr("Ouvrir une vidéo"));
}

void PlayerAreaView::showMissingVideo(const QString &fileName)
{
    m_askingForMissingVideo = true;
    m_placeholderTitle->setText(tr("Vidéo introuvable"));
    m_placeholderLine->setText(
        fileName.isEmpty()
            ? tr("Les images de ce projet attendent leur vidéo. Localisez-la pour les retrouver.")
            : tr("« %1 » n'est plus à son emplacement. Localisez-la pour retrouver les images.")
                  .arg(fileName));
    m_placeholderButton->setIcon(SymbolIcons::icon(QStringLiteral("magnifyingglass")));
    m_placeholderButton->setText(tr("Localiser la vidéo…"));
}

void PlayerAreaView::setPlayerView(QWidget *view)
{
    if (m_playerView || !view)
        return;
    m_playerView = view;
    m_stack->addWidget(view);
    m_highlight->raise();
}

void PlayerAreaView::showPlayer(bool show)
{
    m_stack->setCurrentWidget(show && m_playerView ? m_playerView : m_placeholder);
    m_highlight->raise();
}

bool PlayerAreaView::isShowingPlayer() const
{
    return m_playerView && m_stack->currentWidget() == m_playerView;
}

void PlayerAreaView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    setDropTargeted(true);
}

void PlayerAreaView::dragLeaveEvent(QDragLeaveEvent *)
{
    setDropTargeted(false);
}

void PlayerAreaView::dropEvent(QDropEvent *event)
{
    setDropTargeted(false);
    const QList<QUrl> urls = event->mimeData()->urls();
    if (m_dropHandler && m_dropHandler(urls))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PlayerAreaView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_highlight->setGeometry(rect());
}

void PlayerAreaView::setDropTargeted(bool targeted)
{
    if (m_dropTargeted == targeted)
        return;
    m_dropTargeted = targeted;
    m_highlight->setVisible(targeted);
    m_highlight->raise();
}
