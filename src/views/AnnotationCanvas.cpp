#include "AnnotationCanvas.h"

#include "AnnotationHitTest.h"
#include "CanvasTool.h"
#include "CanvasToolbox.h"
#include "InPlaceTextEditor.h"
#include "ViewStyle.h"
#include "models/AnnotationGeometry.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/TextShape.h"
#include "services/AnnotationRenderer.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

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

void AnnotationCanvas::setBackdrop(const QImage &picture)
{
    if (picture.cacheKey() == m_backdrop.cacheKey())
        return;
    m_backdrop = picture;
    update();
}

bool AnnotationCanvas::coversPicture() const
{
    if (m_backdrop.isNull())
        return false;
    const QList<Annotation> shown = shownAnnotations();
    return std::any_of(shown.cbegin(), shown.cend(),
                       [](const Annotation &annotation) { return annotation.shape().readsPicture(); });
}

QList<Annotation> AnnotationCanvas::shownAnnotations() const
{
    QList<Annotation> shown = m_annotations;
    if (m_draft)
        shown.append(*m_draft);
    if (m_textEditor) {
        const QUuid edited = m_textEditor->annotation().id;
        shown.removeIf([&edited](const Annotation &annotation) { return annotation.id == edited; });
    }
    return shown;
}

const QImage &AnnotationCanvas::pictureLayer(const QList<Annotation> &shown) const
{
    // At the canvas's pixels, never beyond the picture's own: a picture zoomed in shows its pixels
    // grown, and so do its annotations.
    QSize pixels = (QSizeF(size()) * devicePixelRatioF()).toSize();
    if (pixels.width() > m_backdrop.width() || pixels.height() > m_backdrop.height())
        pixels = m_backdrop.size();
    if (m_layer.size() == pixels && m_layerBackdrop == m_backdrop.cacheKey() && m_layerAnnotations == shown)
        return m_layer;
    const QImage base = m_backdrop.size() == pixels
                            ? m_backdrop
                            : m_backdrop.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_layer = AnnotationRenderer::draw(base, shown);
    m_layerAnnotations = shown;
    m_layerBackdrop = m_backdrop.cacheKey();
    return m_layer;
}

InPlaceTextEditor *AnnotationCanvas::textEditor() const
{
    return m_textEditor;
}

void AnnotationCanvas::editText(const Annotation &text)
{
    if (m_textEditor)
        m_textEditor->finish();
    auto *editor = new InPlaceTextEditor(this, text);
    m_textEditor = editor;
    connect(editor, &InPlaceTextEditor::finished, this,
            [this, editor](const Annotation &edited, bool byPress) {
                if (m_textEditor == editor)
                    m_textEditor = nullptr;
                editor->deleteLater();
                // A press elsewhere on the canvas that took the focus from the editor only ends it.
                if (byPress) {
                    m_swallowPress = true;
                    QTimer::singleShot(0, this, [this] { m_swallowPress = false; });
                }
                textEditingEnded(edited);
            });
    update();
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
}

void AnnotationCanvas::textEditingEnded(const Annotation &edited)
{
    const auto known =
        std::find_if(m_annotations.cbegin(), m_annotations.cend(),
                     [&edited](const Annotation &annotation) { return annotation.id == edited.id; });
    update();
    if (edited.text.trimmed().isEmpty()) {
        if (known != m_annotations.cend()) {
            writeSelection(edited.id);
            emit deleteRequested();
        }
        return;
    }
    Annotation fitted = edited;
    const QSizeF area = size();
    TextShape::fit(fitted, area.height() > 0 ? area.width() / area.height() : 1.0);
    if (known == m_annotations.cend()) {
        addDrawn(fitted);
        return;
    }
    if (*known == fitted)
        return;
    replace(fitted);
    emit annotationTextEdited(fitted);
    writeSelection(fitted.id);
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
    // A press while a text is edited ends its editing and does nothing else.
    if (m_textEditor || m_swallowPress) {
        if (m_textEditor)
            m_textEditor->finish();
        m_swallowPress = false;
        event->accept();
        return;
    }
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
    const QList<Annotation> shown = shownAnnotations();
    const QList<int> ranks = AnnotationShapes::ranks(shown);
    const bool covers = coversPicture();
    if (covers != m_covered) {
        m_covered = covers;
        emit coversPictureChanged();
    }
    if (covers) {
        // The picture rendered with its annotations as the export draws them, the selection's halo
        // over it and the selected annotation again over its halo.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), pictureLayer(shown));
        for (qsizetype i = 0; i < shown.size(); ++i) {
            if (!m_selectedId.isNull() && shown.at(i).id == m_selectedId)
                paintAnnotation(painter, shown.at(i), ranks.at(i), true);
        }
    } else {
        for (qsizetype i = 0; i < shown.size(); ++i)
            paintAnnotation(painter, shown.at(i), ranks.at(i),
                            !m_selectedId.isNull() && shown.at(i).id == m_selectedId);
    }
    if (CanvasTool *tool = activeTool()) {
        painter.save();
        tool->paintOverlay(this, painter);
        painter.restore();
    }
}

void AnnotationCanvas::paintAnnotation(QPainter &painter, const Annotation &annotation, int rank,
                                       bool selected) const
{
    const QSizeF canvasSize = size();
    const AnnotationShape &shape = annotation.shape();
    if (selected) {
        // A halo two points wider on each side, under the annotation.
        QColor accent = ViewStyle::accent();
        accent.setAlphaF(0.6f);
        shape.paintHalo(painter, annotation, canvasSize, accent);
    }
    shape.paintRanked(painter, annotation, canvasSize, AnnotationGeometry::strokeColor(annotation), rank);
}
