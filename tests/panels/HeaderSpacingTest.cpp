#include "TestCaptures.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "views/CapturedFramesListView.h"
#include "views/EdgeControlsView.h"
#include "views/GroupHeaderView.h"

#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <optional>

namespace {

// The columns of `image` where some pixel differs from `background`'s (same size) by more than a
// faint edge.
QList<bool> inkedColumns(const QImage &image, const QImage &background)
{
    QList<bool> inked(image.width(), false);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor a = image.pixelColor(x, y);
            const QColor b = background.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) >
                60)
                inked[x] = true;
        }
    }
    return inked;
}

std::optional<int> firstInked(const QList<bool> &inked, int from, int to)
{
    for (int x = std::max(from, 0); x < std::min(to, int(inked.size())); ++x) {
        if (inked[x])
            return x;
    }
    return std::nullopt;
}

std::optional<int> lastInked(const QList<bool> &inked, int from, int to)
{
    for (int x = std::min(to, int(inked.size())) - 1; x >= std::max(from, 0); --x) {
        if (inked[x])
            return x;
    }
    return std::nullopt;
}

// The blank columns between what the icon and what the text of `button` paint, the button drawn
// three times: with neither (a transparent icon of the same size, text in a transparent colour),
// with its text only and with its icon only. -1 when either paints nothing.
int iconTextGap(QToolButton *button)
{
    const QIcon icon = button->icon();
    const QPalette palette = button->palette();
    QPixmap blank(icon.actualSize(button->iconSize()));
    blank.fill(Qt::transparent);
    QPalette clear = palette;
    for (const QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
        clear.setColor(role, Qt::transparent);

    button->setIcon(QIcon(blank));
    button->setPalette(clear);
    const QImage nothing = button->grab().toImage();
    button->setPalette(palette);
    const QImage textOnly = button->grab().toImage();
    button->setIcon(icon);
    button->setPalette(clear);
    const QImage iconOnly = button->grab().toImage();
    button->setPalette(palette);

    const qreal ratio = nothing.devicePixelRatio();
    const int width = nothing.width();
    const std::optional<int> iconEnd = lastInked(inkedColumns(iconOnly, nothing), 0, width);
    const std::optional<int> textStart = firstInked(inkedColumns(textOnly, nothing), 0, width);
    if (!iconEnd || !textStart)
        return -1;
    return int((*textStart - *iconEnd - 1) / ratio);
}

// The blank columns between what `icon` and what `text`, two widgets of one row side by side, paint.
// -1 when either paints nothing.
int rowGap(QWidget *icon, QWidget *text)
{
    QWidget *row = icon->parentWidget();
    const QRect iconRect = icon->geometry();
    const QRect textRect(text->mapTo(row, QPoint(0, 0)), text->size());
    const QRect band = iconRect.united(textRect);
    const QImage shown = row->grab(band).toImage();
    QImage background(shown.size(), shown.format());
    background.fill(row->palette().color(row->backgroundRole()));
    const QList<bool> inked = inkedColumns(shown, background);
    const qreal ratio = shown.devicePixelRatio();
    const auto column = [&](int x) { return int((x - band.x()) * ratio); };
    const std::optional<int> iconEnd = lastInked(inked, column(iconRect.x()), column(iconRect.right() + 1));
    const std::optional<int> textStart =
        firstInked(inked, column(textRect.x()), column(textRect.right() + 1));
    if (!iconEnd || !textStart)
        return -1;
    return int((*textStart - *iconEnd - 1) / ratio);
}

// The room the style puts between two widgets of a row: what an icon and its text should keep.
int rowSpacing(const QWidget *widget)
{
    const int spacing = widget->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, widget);
    return spacing >= 0
               ? spacing
               : widget->style()->layoutSpacing(QSizePolicy::Label, QSizePolicy::Label, Qt::Horizontal);
}

QToolButton *buttonWithText(const QWidget *parent, const QString &text)
{
    for (QToolButton *button : parent->findChildren<QToolButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QLabel *labelWithText(const QWidget *parent, const QString &text)
{
    for (QLabel *label : parent->findChildren<QLabel *>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

// The label just before `title` in its row: the icon of a header.
QLabel *iconBefore(const QLabel *title)
{
    QLabel *icon = nullptr;
    for (QLabel *label : title->parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->pixmap().isNull() || label->geometry().right() >= title->x() ||
            std::abs(label->geometry().center().y() - title->geometry().center().y()) > title->height())
            continue;
        if (!icon || label->x() > icon->x())
            icon = label;
    }
    return icon;
}

} // namespace

// Icons and the texts they go with, in the window's toolbar and the headers of its sections, are kept
// apart by the style's spacing between two widgets of a row, measured on what is painted.
class HeaderSpacingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void toolButtonsKeepTheirIconOffTheirText()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *toolbar = window->findChild<QToolBar *>(QStringLiteral("toolbar"));
        QVERIFY(toolbar);
        auto *open = qobject_cast<QToolButton *>(
            toolbar->widgetForAction(window->findChild<QAction *>(QStringLiteral("openVideoAction"))));
        auto *edges = window->findChild<EdgeControlsView *>();
        QVERIFY(open && edges);
        QToolButton *disclosure = buttonWithText(edges, QStringLiteral("Contours"));
        QVERIFY(disclosure);

        for (QToolButton *button : {open, disclosure}) {
            const int gap = iconTextGap(button);
            QVERIFY2(gap >= rowSpacing(button),
                     qPrintable(QStringLiteral("%1: %2 px").arg(button->text()).arg(gap)));
            // The button grew by that room: its text is not cut.
            const QFontMetrics metrics(button->font());
            QVERIFY(button->width() >=
                    button->iconSize().width() + gap + metrics.horizontalAdvance(button->text()));
        }
        // Unfolded, the section keeps its spacing.
        disclosure->click();
        QVERIFY(edges->isExpanded());
        QVERIFY(iconTextGap(disclosure) >= rowSpacing(disclosure));
    }

    void sectionHeadersKeepTheirIconOffTheirTitle()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Two groups, so that the list shows the group headers.
        TestCaptures::fill(*window->state(), {1, 1});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

        for (const QString &title :
             {QStringLiteral("Images capturées"), QStringLiteral("Aperçu"), QStringLiteral("Export")}) {
            QLabel *label = labelWithText(window, title);
            QVERIFY2(label && label->isVisible(), qPrintable(title));
            QLabel *icon = iconBefore(label);
            QVERIFY2(icon, qPrintable(title));
            const int gap = rowGap(icon, label);
            QVERIFY2(gap >= rowSpacing(label), qPrintable(QStringLiteral("%1: %2 px").arg(title).arg(gap)));
        }

        // A group's active marker and its name.
        auto *list = window->findChild<CapturedFramesListView *>();
        QVERIFY(list);
        const CaptureGroup group = window->state()->document()->groups().constFirst();
        GroupHeaderView *header = list->header(group.id);
        QVERIFY(header && header->isVisible());
        auto *name = header->findChild<QLineEdit *>();
        QToolButton *marker = nullptr;
        for (QToolButton *button : header->findChildren<QToolButton *>()) {
            if (!marker || button->x() < marker->x())
                marker = button;
        }
        QVERIFY(name && marker && marker->x() < name->x());
        QVERIFY(!name->text().isEmpty());
        const int gap = rowGap(marker, name);
        QVERIFY2(gap >= rowSpacing(header), qPrintable(QStringLiteral("%1 px").arg(gap)));
    }
};

QUINTAREL_TEST(HeaderSpacingTest)
#include "HeaderSpacingTest.moc"
