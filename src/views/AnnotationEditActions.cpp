#include "AnnotationEditActions.h"

#include "AnnotationCanvas.h"
#include "AnnotationClipboard.h"
#include "ContinuousSlider.h"
#include "KeyboardShortcuts.h"
#include "SymbolIcons.h"
#include "models/AnnotationGeometry.h"
#include "state/CaptureDocument.h"

#include <QAction>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QWidgetAction>

AnnotationEditActions::AnnotationEditActions(Target target, QWidget *dialogParent, QObject *parent)
    : QObject(parent), m_target(std::move(target)), m_dialogParent(dialogParent)
{
    m_color = makeAction(tr("Couleur…"), QStringLiteral("paintpalette"));
    connect(m_color, &QAction::triggered, this, &AnnotationEditActions::chooseColor);

    // The selection's width, on a slider of the same range as the width of new annotations.
    m_width = new QWidgetAction(this);
    m_width->setText(tr("Épaisseur"));
    auto *widthBox = new QWidget;
    auto *row = new QHBoxLayout(widthBox);
    row->setContentsMargins(12, 2, 12, 2);
    row->addWidget(new QLabel(tr("Épaisseur"), widthBox));
    m_widthSlider = new ContinuousSlider(0.002, 0.02, widthBox);
    m_widthSlider->setMinimumWidth(100);
    m_widthSlider->setToolTip(tr("Épaisseur de l'annotation sélectionnée"));
    row->addWidget(m_widthSlider);
    m_width->setDefaultWidget(widthBox);
    connect(m_widthSlider, &ContinuousSlider::realValueEdited, this, [this](double width, bool continuing) {
        if (const std::optional<Annotation> annotation = selected())
            m_target.document->setAnnotationLineWidth(m_target.frameId(), annotation->id, width, continuing);
    });

    m_duplicate = makeAction(tr("Dupliquer"), QStringLiteral("plus.square.on.square"));
    m_duplicate->setShortcut(KeyboardShortcuts::duplicateAnnotation());
    connect(m_duplicate, &QAction::triggered, this, &AnnotationEditActions::duplicate);
    m_copy = makeAction(tr("Copier l'annotation"), QStringLiteral("doc.on.doc"));
    m_copy->setShortcut(KeyboardShortcuts::copyAnnotation());
    connect(m_copy, &QAction::triggered, this, &AnnotationEditActions::copy);
    m_paste = makeAction(tr("Coller l'annotation"), QStringLiteral("doc.on.clipboard"));
    m_paste->setShortcut(KeyboardShortcuts::pasteAnnotation());
    connect(m_paste, &QAction::triggered, this, &AnnotationEditActions::paste);
    m_front = makeAction(tr("Mettre au premier plan"), QStringLiteral("square.2.layers.3d.top.filled"));
    m_front->setShortcut(KeyboardShortcuts::bringAnnotationToFront());
    connect(m_front, &QAction::triggered, this, &AnnotationEditActions::bringToFront);
    m_back = makeAction(tr("Mettre à l'arrière-plan"), QStringLiteral("square.2.layers.3d.bottom.filled"));
    m_back->setShortcut(KeyboardShortcuts::sendAnnotationToBack());
    connect(m_back, &QAction::triggered, this, &AnnotationEditActions::sendToBack);
    m_delete = makeAction(tr("Supprimer l'annotation"), QStringLiteral("trash"));
    // Shown in the menu; the canvas itself takes these keys (AnnotationCanvas::deleteRequested).
    m_delete->setShortcuts(KeyboardShortcuts::deleteAnnotation());
    connect(m_delete, &QAction::triggered, this, &AnnotationEditActions::deleteSelected);
    refresh();
}

QAction *AnnotationEditActions::makeAction(const QString &text, const QString &symbol)
{
    auto *action = new QAction(text, this);
    if (!symbol.isEmpty())
        action->setIcon(SymbolIcons::icon(symbol));
    // Only while a canvas that shows the frame has the focus.
    action->setShortcutContext(Qt::WidgetShortcut);
    return action;
}

void AnnotationEditActions::attach(AnnotationCanvas *canvas)
{
    for (QAction *action : {m_duplicate, m_copy, m_paste, m_front, m_back})
        canvas->addAction(action);
    connect(canvas, &AnnotationCanvas::contextMenuRequested, this, [this, canvas](const QPoint &at) {
        refresh();
        QMenu *menu = makeMenu(canvas);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    });
}

QMenu *AnnotationEditActions::makeMenu(QWidget *parent) const
{
    auto *menu = new QMenu(parent);
    menu->addAction(m_color);
    menu->addAction(m_width);
    menu->addSeparator();
    menu->addActions({m_duplicate, m_copy, m_paste});
    menu->addSeparator();
    menu->addActions({m_front, m_back});
    menu->addSeparator();
    menu->addAction(m_delete);
    return menu;
}

std::optional<Annotation> AnnotationEditActions::selected() const
{
    const QUuid id = m_target.selectedId();
    const std::optional<CapturedFrame> frame = m_target.document->frame(m_target.frameId());
    if (id.isNull() || !frame)
        return std::nullopt;
    for (const Annotation &annotation : frame->annotations) {
        if (annotation.id == id && !annotation.isUnread())
            return annotation;
    }
    return std::nullopt;
}

void AnnotationEditActions::refresh()
{
    const std::optional<Annotation> annotation = selected();
    const bool hasSelection = annotation.has_value();
    for (QAction *action :
         {m_color, static_cast<QAction *>(m_width), m_duplicate, m_copy, m_front, m_back, m_delete})
        action->setEnabled(hasSelection);
    m_widthSlider->setEnabled(hasSelection);
    if (hasSelection && m_widthSlider->realValue() != annotation->lineWidth)
        m_widthSlider->setRealValue(annotation->lineWidth);
    m_paste->setEnabled(m_target.document->frame(m_target.frameId()).has_value());
}

void AnnotationEditActions::duplicate()
{
    if (const std::optional<Annotation> annotation = selected()) {
        const QUuid copy = m_target.document->duplicateAnnotation(m_target.frameId(), annotation->id);
        if (!copy.isNull())
            m_target.select(copy);
    }
}

void AnnotationEditActions::copy()
{
    if (const std::optional<Annotation> annotation = selected())
        AnnotationClipboard::copy(*annotation);
}

void AnnotationEditActions::paste()
{
    const std::optional<Annotation> copied = AnnotationClipboard::pasted();
    if (!copied)
        return;
    const QUuid copy = m_target.document->pasteAnnotation(m_target.frameId(), *copied);
    if (!copy.isNull())
        m_target.select(copy);
}

void AnnotationEditActions::bringToFront()
{
    if (const std::optional<Annotation> annotation = selected())
        m_target.document->reorderAnnotation(m_target.frameId(), annotation->id,
                                             CaptureDocument::AnnotationOrder::Front);
}

void AnnotationEditActions::sendToBack()
{
    if (const std::optional<Annotation> annotation = selected())
        m_target.document->reorderAnnotation(m_target.frameId(), annotation->id,
                                             CaptureDocument::AnnotationOrder::Back);
}

void AnnotationEditActions::deleteSelected()
{
    if (const std::optional<Annotation> annotation = selected()) {
        m_target.document->deleteAnnotation(m_target.frameId(), annotation->id);
        m_target.select(QUuid());
    }
}

void AnnotationEditActions::chooseColor()
{
    const std::optional<Annotation> annotation = selected();
    if (!annotation)
        return;
    const QColor chosen =
        QColorDialog::getColor(AnnotationGeometry::strokeColor(*annotation), m_dialogParent,
                               tr("Couleur de l'annotation sélectionnée"), QColorDialog::ShowAlphaChannel);
    // The selection may have gone while the dialog was open.
    if (chosen.isValid() && selected())
        m_target.document->setAnnotationColor(m_target.frameId(), annotation->id, chosen);
}
