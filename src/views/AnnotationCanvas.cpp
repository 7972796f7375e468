#include "AnnotationCanvas.h"

#include "AnnotationHitTest.h"
#include "CanvasTool.h"
#include "CanvasToolbox.h"
#include "ViewStyle.h"
#include "models/AnnotationGeometry.h"
#include "models/AnnotationShape.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

AnnotationCanvas::AnnotationCanvas(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
}

AnnotationCanvas::~AnnotationCanvas() = default;

void AnnotationCanvas::setToolbox(CanvasToolbox *toolbox)
{
    if (toolbox == m_toolbox)
        return;
    CanvasTool *previous = activeTool();
    if (m_toolbox)
        disconnect(m_toolbox, nullptr, this, nullptr);
    m_toolbox = toolbox;
    if (m_toolbox)
        connect(m_toolbox, &CanvasToolbox::activeToolChanged, this, &AnnotationCanvas::activeToolChanged);
    activeToolChanged(activeTool(), previous);
}

CanvasTool *AnnotationCanvas::activeTool() const
{
    return m_toolbox ? m_toolbox->activeTool() : nullptr;
}

void AnnotationCanvas::activeToolChanged(CanvasTool *tool, CanvasTool *previous)
{
    if (previous) {
        disconnect(previous, &CanvasTool::overlayChanged, this, nullptr);
        previous->deactivated(this);
    }
    m_pressed = false;
    if (tool) {
        connect(tool, &CanvasTool::overlayChanged, this, qOverload<>(&QWidget::update));
        tool->activated(this);
        setCursor(tool->cursor());
    } else {
        unsetCursor();
    }
    update();
}

void AnnotationCanvas::setAnnotations(const QList<Annotation> &annotations)
{
    if (annotations == m_annotations)
        return;
    m_annotations = annotations;
    update();
}

void AnnotationCanvas::setSelectedId(const QUuid &id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    update();
}

QRectF AnnotationCanvas::pictureRect() const
{
    return QRectF(rect());
}

QPointF AnnotationCanvas::toPicture(const QPointF &widgetPoint, bool clamped) const
{
    const QRectF picture = pictureRect();
    if (picture.width() <= 0 || picture.height() <= 0)
        return {0, 0};
    const QPointF p((widgetPoint.x() - picture.left()) / picture.width(),
                    (widgetPoint.y() - picture.top()) / picture.height());
    if (!clamped)
        return p;
    return {std::clamp(p.x(), 0.0, 1.0), std::clamp(p.y(), 0.0, 1.0)};
}

QPointF AnnotationCanvas::toWidget(const QPointF &picturePoint) const
{
    const QRectF picture = pictureRect();
    return {picture.left() + picturePoint.x() * picture.width(),
            picture.top() + picturePoint.y() * picture.height()};
}

void AnnotationCanvas::setDraft(const std::optional<Annotation> &draft)
{
    m_draft = draft;
    update();
}

void AnnotationCanvas::addDrawn(const Annotation &annotation)
{
    m_annotations.append(annotation);
    update();
    emit annotationDrawn(annotation);
    writeSelection(annotation.id);
}

bool AnnotationCanvas::replace(const Annotation &changed)
{
    for (Annotation &annotation : m_annotations) {
        if (annotation.id != changed.id)
            continue;
        annotation = changed;
        update();
        return true;
    }
    return false;
}

void AnnotationCanvas::moveAnnotation(const Annotation &moved, bool continuing)
{
    if (replace(moved))
        emit annotationMoved(moved, continuing);
}

void AnnotationCanvas::reshapeAnnotation(const Annotation &reshaped, bool continuing)
{
    if (replace(reshaped))
        emit annotationReshaped(reshaped, continuing);
}

std::optional<Annotation> AnnotationCanvas::selectedAnnotation() const
{
    if (m_selectedId.isNull())
        return std::nullopt;
    for (const Annotation &annotation : m_annotations) {
        if (annotation.id == m_selectedId)
            return annotation;
    }
    return std::nullopt;
}

void AnnotationCanvas::writeSelection(const QUuid &id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    update();
    emit selectedIdEdited(id);
}

CanvasPointer AnnotationCanvas::pointer(const QMouseEvent *event) const
{
    CanvasPointer pointer;
    pointer.widget = event->position();
    pointer.picture = toPicture(pointer.widget, true);
    pointer.unclamped = toPicture(pointer.widget, false);
    pointer.button = event->button();
    pointer.buttons = event->buttons();
    pointer.modifiers = event->modifiers();
    return pointer;
}

void AnnotationCanvas::mousePressEvent(QMouseEvent *event)
{
    CanvasTool *tool = activeTool();
    if (!tool || m_pressed) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_pressed = true;
    tool->pressed(this, pointer(event));
    event->accept();
}

void AnnotationCanvas::mouseMoveEvent(QMouseEvent *event)
{
    CanvasTool *tool = activeTool();
    if (!tool)
        return;
    if (m_pressed)
        tool->moved(this, pointer(event));
    else if (event->buttons() == Qt::NoButton)
        tool->hovered(this, pointer(event));
    event->accept();
}

void AnnotationCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    CanvasTool *tool = activeTool();
    if (!tool || !m_pressed)
        return;
    // The gesture ends with the last button held.
    if (event->buttons() != Qt::NoButton)
        return;
    m_pressed = false;
    tool->released(this, pointer(event));
    event->accept();
}

void AnnotationCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt sends a double click in place of the second press: the tool sees a press as well.
    mousePressEvent(event);
    if (CanvasTool *tool = activeTool())
        tool->doubleClicked(this, pointer(event));
}

void AnnotationCanvas::leaveEvent(QEvent *event)
{
    if (CanvasTool *tool = activeTool())
        tool->left(this);
    QWidget::leaveEvent(event);
}

bool AnnotationCanvas::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        const CanvasTool *tool = activeTool();
        if ((tool && tool->wantsKey(this, key)) || actionFor(key)) {
            key->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

QAction *AnnotationCanvas::actionFor(const QKeyEvent *event) const
{
    const QKeySequence pressed(event->keyCombination());
    const QList<QAction *> own = actions();
    const auto found = std::find_if(own.cbegin(), own.cend(), [&pressed](const QAction *action) {
        return action->isEnabled() && action->shortcuts().contains(pressed);
    });
    return found == own.cend() ? nullptr : *found;
}

void AnnotationCanvas::contextMenuEvent(QContextMenuEvent *event)
{
    const std::optional<qsizetype> hit = AnnotationHitTest::hitTest(m_annotations, toPicture(event->pos()));
    if (hit)
        writeSelection(m_annotations.at(*hit).id);
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

void AnnotationCanvas::keyPressEvent(QKeyEvent *event)
{
    if (CanvasTool *tool = activeTool(); tool && tool->keyPressed(this, event)) {
        event->accept();
        return;
    }
    if (QAction *action = actionFor(event)) {
        action->trigger();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit deleteRequested();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void AnnotationCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Annotation &annotation : std::as_const(m_annotations))
        paintAnnotation(painter, annotation, !m_selectedId.isNull() && annotation.id == m_selectedId);
    if (m_draft)
        paintAnnotation(painter, *m_draft, false);
    if (CanvasTool *tool = activeTool()) {
        painter.save();
        tool->paintOverlay(this, painter);
        painter.restore();
    }
}

void AnnotationCanvas::paintAnnotation(QPainter &painter, const Annotation &annotation, bool selected) const
{
    const QSizeF canvasSize = size();
    const AnnotationShape &shape = annotation.shape();
    if (selected) {
        // A halo two points wider on each side, under the annotation.
        QColor accent = ViewStyle::accent();
        accent.setAlphaF(0.6f);
        shape.paintHalo(painter, annotation, canvasSize, accent);
    }
    shape.paint(painter, annotation, canvasSize, AnnotationGeometry::strokeColor(annotation));
}
