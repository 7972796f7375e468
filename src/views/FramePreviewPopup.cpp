#include "FramePreviewPopup.h"

#include "ViewStyle.h"

#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Between the popup and the slider's top edge.
constexpr int gap = 6;

} // namespace

FramePreviewPopup::FramePreviewPopup(QWidget *parent)
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint)
    , m_image(new QLabel(this))
    , m_time(new QLabel(this))
{
    setObjectName(QStringLiteral("framePreview"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    m_image->setAlignment(Qt::AlignCenter);
    m_time->setAlignment(Qt::AlignCenter);
    m_time->setFont(ViewStyle::monospacedDigits(ViewStyle::caption()));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    layout->addWidget(m_image);
    layout->addWidget(m_time);
}

QString FramePreviewPopup::time() const
{
    return m_time->text();
}

void FramePreviewPopup::present(const QImage &picture, const QString &time, const QWidget *anchor,
                                int pointerX)
{
    m_picture = picture;
    m_image->setPixmap(QPixmap::fromImage(picture));
    m_time->setText(time);
    adjustSize();
    const QPoint top = anchor->mapToGlobal(QPoint(0, 0));
    QPoint place(pointerX - width() / 2, top.y() - gap - height());
    if (const QScreen *screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        place.setX(
            std::clamp(place.x(), available.left(), std::max(available.left(), available.right() - width())));
        // No room above: below the slider instead.
        if (place.y() < available.top())
            place.setY(top.y() + anchor->height() + gap);
    }
    move(place);
    show();
    raise();
}
