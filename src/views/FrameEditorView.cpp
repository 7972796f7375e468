#include "FrameEditorView.h"

#include "AnnotationCanvas.h"
#include "CanvasToolSegments.h"
#include "KeyboardShortcuts.h"
#include "PreviewStage.h"
#include "SymbolIcons.h"
#include "ViewStyle.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {
// Each step of the zoom buttons and keys.
constexpr double zoomStep = 1.25;
} // namespace

FrameEditorView::FrameEditorView(CanvasToolbox *toolbox, QWidget *parent)
    : QWidget(parent), m_stage(new PreviewStage(this))
{
    m_stage->setZoomable(true);

    const auto makeAction = [this](const QString &text, const QString &symbol,
                                   const QList<QKeySequence> &keys) {
        auto *action = new QAction(SymbolIcons::icon(symbol), text, this);
        action->setShortcuts(keys);
        // While the focus is in the view, the picture's canvas included.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setToolTip(KeyboardShortcuts::withKeys(text, keys));
        addAction(action);
        return action;
    };
    m_fit =
        makeAction(tr("Ajuster à la fenêtre"), QStringLiteral("arrow.up.left.and.down.right.magnifyingglass"),
                   {KeyboardShortcuts::zoomToFit()});
    connect(m_fit, &QAction::triggered, m_stage, &PreviewStage::zoomToFit);
    m_actualSize = makeAction(tr("Taille réelle"), QStringLiteral("1.magnifyingglass"),
                              {KeyboardShortcuts::zoomToActualSize()});
    connect(m_actualSize, &QAction::triggered, m_stage, [this] { m_stage->zoomTo(1.0); });
    m_zoomOut = makeAction(tr("Zoom arrière"), QStringLiteral("minus.magnifyingglass"),
                           {KeyboardShortcuts::zoomOut()});
    connect(m_zoomOut, &QAction::triggered, m_stage, [this] { m_stage->zoomBy(1.0 / zoomStep); });
    m_zoomIn =
        makeAction(tr("Zoom avant"), QStringLiteral("plus.magnifyingglass"), KeyboardShortcuts::zoomIn());
    connect(m_zoomIn, &QAction::triggered, m_stage, [this] { m_stage->zoomBy(zoomStep); });
    m_close = makeAction(tr("Revenir au lecteur"), QStringLiteral("arrow.down.right.and.arrow.up.left"),
                         {KeyboardShortcuts::closeEditing()});
    connect(m_close, &QAction::triggered, this, &FrameEditorView::closeRequested);

    m_bar = new QWidget(this);
    auto *row = new QHBoxLayout(m_bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    m_toolSegments = new CanvasToolSegments(toolbox, m_bar);
    row->addWidget(m_toolSegments);
    row->addSpacing(12);
    for (QAction *action : {m_fit, m_actualSize, m_zoomOut, m_zoomIn})
        row->addWidget(addButton(action));
    m_zoomLabel = new QLabel(m_bar);
    m_zoomLabel->setFont(ViewStyle::monospacedDigits(ViewStyle::callout()));
    m_zoomLabel->setMinimumWidth(m_zoomLabel->fontMetrics().horizontalAdvance(zoomText(16.0)) + 4);
    row->addWidget(m_zoomLabel);
    row->addStretch();
    QToolButton *close = addButton(m_close);
    close->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    row->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(m_bar);
    layout->addWidget(m_stage, 1);

    connect(m_stage, &PreviewStage::zoomChanged, this, &FrameEditorView::showZoom);
    showZoom();
}

QToolButton *FrameEditorView::addButton(QAction *action)
{
    auto *button = new QToolButton(m_bar);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    return button;
}

QString FrameEditorView::zoomText(double zoom)
{
    return QStringLiteral("%1 %").arg(QLocale().toString(qlonglong(std::llround(zoom * 100))));
}

void FrameEditorView::showZoom()
{
    m_zoomLabel->setText(zoomText(m_stage->zoom()));
    m_zoomLabel->setToolTip(m_stage->fitsPicture() ? tr("Ajusté à la fenêtre") : QString());
}
