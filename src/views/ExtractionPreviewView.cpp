#include "ExtractionPreviewView.h"

#include "AnnotationCanvas.h"
#include "AnnotationEditActions.h"
#include "AnnotationSelectionTool.h"
#include "AnnotationToolSection.h"
#include "CanvasToolSegments.h"
#include "CanvasToolbox.h"
#include "ColorWellButton.h"
#include "ContinuousSlider.h"
#include "CutoutAddTool.h"
#include "CutoutBrushTool.h"
#include "CutoutToolSection.h"
#include "DragOutGesture.h"
#include "KeyboardShortcuts.h"
#include "PreviewStage.h"
#include "ShapeDrawingTool.h"
#include "StyleThumbnailButton.h"
#include "SymbolIcons.h"
#include "TakeoutMimeData.h"
#include "ViewStyle.h"
#include "state/CaptureDocument.h"
#include "state/CorrectedCutouts.h"
#include "state/FrameImageStore.h"
#include "state/FrameTakeout.h"
#include "state/PreviewRenderer.h"
#include "support/ContinueOn.h"

#include <QFuture>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

ExtractionPreviewView::ExtractionPreviewView(CaptureDocument *document, FrameImageStore *images,
                                             const PreviewRenderer *renderer, CorrectedCutouts *corrections,
                                             QWidget *parent)
    : QWidget(parent)
    , m_document(document)
    , m_images(images)
    , m_renderer(renderer)
    , m_toolbox(new CanvasToolbox(this))
    , m_corrections(corrections)
{
    m_toolbox->addSection(AnnotationToolSection::make());
    if (m_corrections)
        addCorrectionTools();
    connect(m_toolbox, &CanvasToolbox::activeToolChanged, this, [this](CanvasTool *tool) {
        if (qobject_cast<ShapeDrawingTool *>(tool) || qobject_cast<AnnotationSelectionTool *>(tool))
            m_tool = tool->toolId();
        followTool(tool);
    });

    // The window pads the panel.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto *header = new QLabel(this);
    {
        auto *row = new QHBoxLayout;
        auto *icon = new QLabel(this);
        icon->setPixmap(SymbolIcons::icon(QStringLiteral("wand.and.stars")).pixmap(16, 16));
        header->setText(tr("Aperçu"));
        header->setFont(ViewStyle::headline());
        row->addWidget(icon);
        row->addWidget(header);
        row->addStretch();
        layout->addLayout(row);
    }

    m_toolbar = makeToolbar();
    layout->addWidget(m_toolbar);

    m_stage = new PreviewStage(this);
    layout->addWidget(m_stage, 1);
    if (m_corrections) {
        m_correctionSegments = new CanvasToolSegments(m_toolbox, 1, Qt::Vertical);
        m_stage->setSideTools(m_correctionSegments);
    }
    m_editActions = new AnnotationEditActions({m_document, [this] { return previewFrameId(); },
                                               [this] { return m_selectedAnnotationID; },
                                               [this](const QUuid &id) { setSelectedAnnotationID(id); }},
                                              this, this);
    m_stages << m_stage;
    connectCanvas(m_stage->canvas());
    new DragOutGesture(m_stage->canvas(), Qt::ControlModifier, [this] { return makeDragData(); });

    layout->addWidget(makeStylesStrip());
    m_noteEditorBox = makeNoteEditor();
    layout->addWidget(m_noteEditorBox);

    for (auto signal : {&CaptureDocument::groupsChanged, &CaptureDocument::selectionChanged})
        connect(m_document, signal, this, &ExtractionPreviewView::stateChanged);
    connect(m_document, &CaptureDocument::settingChanged, this, [this](DocumentSetting setting) {
        if (setting == DocumentSetting::EdgeOptions || setting == DocumentSetting::SelectedFilter)
            stateChanged();
    });
    const auto previewedFrameChanged = [this](const QUuid &frameId) {
        if (m_previewFrameId == frameId)
            stateChanged();
    };
    connect(m_document, &CaptureDocument::frameChanged, this, previewedFrameChanged);
    connect(m_images, &FrameImageStore::imagesChanged, this, previewedFrameChanged);
    if (m_corrections) {
        connect(m_corrections, &CorrectedCutouts::busyChanged, this, previewedFrameChanged);
        connect(m_corrections, &CorrectedCutouts::nothingFound, this,
                [this](const QUuid &frameId, const QString &message) {
                    if (frameId != previewFrameId())
                        return;
                    m_correctionMessage->setText(message);
                    m_correctionMessage->setToolTip(message);
                    m_correctionMessage->show();
                });
        connect(m_document, &CaptureDocument::correctionsChanged, this,
                [this] { m_correctionMessage->hide(); });
    }
    followTool(m_toolbox->activeTool());
    stateChanged();
    // A frame without subject shows its picture or not, by the tool in hand.
    connect(m_toolbox, &CanvasToolbox::activeToolChanged, this, &ExtractionPreviewView::refreshPreview);
}

void ExtractionPreviewView::connectCanvas(AnnotationCanvas *canvas)
{
    canvas->setToolbox(m_toolbox);
    canvas->setColor(m_annotationColor);
    canvas->setLineWidth(m_annotationWidth);
    connect(canvas, &AnnotationCanvas::annotationDrawn, this, [this](const Annotation &annotation) {
        m_document->addAnnotation(previewFrameId(), annotation);
    });
    connect(canvas, &AnnotationCanvas::annotationMoved, this,
            [this](const Annotation &moved, bool continuing) {
                m_document->editAnnotation(previewFrameId(), moved, CaptureDocument::AnnotationEdit::Move,
                                           continuing);
            });
    connect(canvas, &AnnotationCanvas::annotationReshaped, this,
            [this](const Annotation &reshaped, bool continuing) {
                m_document->editAnnotation(previewFrameId(), reshaped,
                                           CaptureDocument::AnnotationEdit::Reshape, continuing);
            });
    connect(canvas, &AnnotationCanvas::annotationTextEdited, this, [this](const Annotation &edited) {
        m_document->editAnnotation(previewFrameId(), edited, CaptureDocument::AnnotationEdit::Text);
    });
    connect(canvas, &AnnotationCanvas::selectedIdEdited, this,
            &ExtractionPreviewView::setSelectedAnnotationID);
    connect(canvas, &AnnotationCanvas::deleteRequested, this,
            &ExtractionPreviewView::deleteSelectedAnnotation);
    m_editActions->attach(canvas);
}

void ExtractionPreviewView::addStage(PreviewStage *stage)
{
    if (m_stages.contains(stage))
        return;
    m_stages << stage;
    connectCanvas(stage->canvas());
    connect(stage, &QObject::destroyed, this, [this, stage] { m_stages.removeAll(stage); });
    refreshPreview();
}

void ExtractionPreviewView::addCorrectionTools()
{
    CutoutTarget target{m_document, m_images, m_corrections, [this] { return previewFrameId(); }};
    m_toolbox->addSection(CutoutToolSection::make(target));
}

bool ExtractionPreviewView::addsSubjects(const CanvasTool *tool)
{
    if (qobject_cast<const CutoutAddTool *>(tool))
        return true;
    const auto *brush = qobject_cast<const CutoutBrushTool *>(tool);
    return brush && brush->mode() == CutoutBrushTool::Mode::Restore;
}

void ExtractionPreviewView::followTool(CanvasTool *tool)
{
    const bool annotating =
        qobject_cast<ShapeDrawingTool *>(tool) || qobject_cast<AnnotationSelectionTool *>(tool);
    m_colorWell->setVisible(annotating);
    m_widthSlider->setVisible(annotating);
    m_deleteButton->setVisible(annotating);
    auto *brush = qobject_cast<CutoutBrushTool *>(tool);
    m_brushSlider->setVisible(brush != nullptr);
    if (brush)
        m_brushSlider->setRealValue(brush->size());
    if (m_correctionMessage && !brush)
        m_correctionMessage->hide();
}

QWidget *ExtractionPreviewView::makeToolbar()
{
    auto *toolbar = new QWidget(this);
    auto *row = new QHBoxLayout(toolbar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);

    // The annotation tools; those correcting the cut-out lie over the picture.
    m_toolSegments = new CanvasToolSegments(m_toolbox, 0, Qt::Horizontal, toolbar);
    row->addWidget(m_toolSegments);

    m_colorWell = new ColorWellButton(toolbar);
    m_colorWell->setColor(m_annotationColor);
    m_colorWell->setToolTip(tr("Couleur de l'annotation"));
    connect(m_colorWell, &ColorWellButton::colorEdited, this, &ExtractionPreviewView::setAnnotationColor);
    row->addWidget(m_colorWell);

    m_widthSlider = new ContinuousSlider(0.002, 0.02, toolbar);
    // Narrower when the panel is, so that every tool keeps its segment.
    m_widthSlider->setMinimumWidth(32);
    m_widthSlider->setMaximumWidth(70);
    m_widthSlider->setToolTip(tr("Épaisseur"));
    m_widthSlider->setRealValue(m_annotationWidth);
    connect(m_widthSlider, &ContinuousSlider::realValueEdited, this,
            [this](double width) { setAnnotationWidth(width); });
    row->addWidget(m_widthSlider);

    m_deleteButton = new QToolButton(toolbar);
    m_deleteButton->setAutoRaise(true);
    m_deleteButton->setIcon(SymbolIcons::icon(QStringLiteral("trash")));
    m_deleteButton->setToolTip(KeyboardShortcuts::withKeys(tr("Supprimer l'annotation sélectionnée"),
                                                           KeyboardShortcuts::deleteAnnotation()));
    m_deleteButton->setEnabled(false);
    connect(m_deleteButton, &QToolButton::clicked, this, &ExtractionPreviewView::deleteSelectedAnnotation);
    row->addWidget(m_deleteButton);

    // One size for both brushes, so that restoring what was erased takes the same brush.
    m_brushSlider = new ContinuousSlider(CutoutBrushTool::minSize, CutoutBrushTool::maxSize, toolbar);
    m_brushSlider->setFixedWidth(90);
    m_brushSlider->setToolTip(tr("Taille du pinceau"));
    m_brushSlider->setRealValue(CutoutBrushTool::defaultSize);
    m_brushSlider->hide();
    connect(m_brushSlider, &ContinuousSlider::realValueEdited, this, [this](double size) {
        for (CanvasTool *tool : m_toolbox->tools()) {
            if (auto *brush = qobject_cast<CutoutBrushTool *>(tool))
                brush->setSize(size);
        }
    });
    row->addWidget(m_brushSlider);

    m_correctionMessage = new QLabel(toolbar);
    // The message takes the room left and never widens the panel.
    m_correctionMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_correctionMessage->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(m_correctionMessage, ViewStyle::secondary());
    m_correctionMessage->hide();
    row->addWidget(m_correctionMessage);
    row->addStretch();

    m_dragHandle = new QLabel(toolbar);
    m_dragHandle->setPixmap(SymbolIcons::icon(QStringLiteral("square.and.arrow.up")).pixmap(16, 16));
    m_dragHandle->setCursor(Qt::OpenHandCursor);
    m_dragHandle->setToolTip(tr("Glissez vers un autre programme pour y déposer l'image (ou Ctrl + glisser "
                                "depuis l'aperçu)"));
    m_dragHandle->setEnabled(false);
    new DragOutGesture(m_dragHandle, Qt::NoModifier, [this] { return makeDragData(); });
    row->addWidget(m_dragHandle);
    return toolbar;
}

QWidget *ExtractionPreviewView::makeStylesStrip()
{
    auto *strip = new QWidget(this);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    for (FilterStyle style : FilterStyles::all()) {
        auto *thumbnail = new StyleThumbnailButton(FilterStyles::displayName(style), strip);
        thumbnail->setToolTip(tr("Appliquer le style ") + FilterStyles::displayName(style));
        connect(thumbnail, &StyleThumbnailButton::clicked, this,
                [this, style] { m_document->setSelectedFilter(style); });
        m_thumbnails.insert(style, thumbnail);
        row->addWidget(thumbnail);
    }
    row->addStretch();
    return strip;
}

QWidget *ExtractionPreviewView::makeNoteEditor()
{
    auto *box = new QWidget(this);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto *caption = new QLabel(tr("Note de l'extrait"), box);
    caption->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(caption, ViewStyle::secondary());
    column->addWidget(caption);

    m_noteEditor = new QPlainTextEdit(box);
    m_noteEditor->setFixedHeight(60);
    m_noteEditor->setFont(ViewStyle::callout());
    m_noteEditor->setFrameShape(QFrame::NoFrame);
    m_noteEditor->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid %1; }")
                                    .arg(ViewStyle::quaternary().name(QColor::HexArgb)));
    connect(m_noteEditor, &QPlainTextEdit::textChanged, this, [this] {
        if (const std::optional<CapturedFrame> frame = m_document->previewFrame())
            m_document->setNote(m_noteEditor->toPlainText(), frame->id);
    });
    column->addWidget(m_noteEditor);
    return box;
}

QString ExtractionPreviewView::previewKey() const
{
    const std::optional<CapturedFrame> frame = m_document->previewFrame();
    if (!frame)
        return QStringLiteral("none");
    return frame->id.toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('-') +
           (m_images->images(frame->id).hasSubject() ? QStringLiteral("true") : QStringLiteral("false")) +
           QLatin1Char('-') + m_document->edgeOptions().signature();
}

QUuid ExtractionPreviewView::previewFrameId() const
{
    const std::optional<CapturedFrame> frame = m_document->previewFrame();
    return frame ? frame->id : QUuid();
}

QSize ExtractionPreviewView::minimumSizeHint() const
{
    QSize size = QWidget::minimumSizeHint();
    for (const QWidget *part : {m_toolbar, m_noteEditorBox}) {
        if (!part->isHidden())
            continue;
        const QSize partSize = part->minimumSizeHint();
        size.rwidth() = std::max(size.width(), partSize.width());
        size.rheight() += partSize.height() + layout()->spacing();
    }
    return size;
}

void ExtractionPreviewView::setTakeout(const FrameTakeout *takeout)
{
    m_takeout = takeout;
    refreshPreview();
}

QMimeData *ExtractionPreviewView::makeDragData() const
{
    const QUuid frameId = previewFrameId();
    if (!m_takeout || m_takeout->refusal(frameId))
        return nullptr;
    TakeoutMimeData *data = TakeoutMimeData::forFrames(*m_takeout, {frameId}, true);
    const QImage thumbnail = m_images->images(frameId).subjectThumbnail;
    if (!thumbnail.isNull())
        data->setPreview(
            QPixmap::fromImage(thumbnail.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return data;
}

AnnotationCanvas *ExtractionPreviewView::canvas() const
{
    return m_stage->canvas();
}

void ExtractionPreviewView::setTool(const QString &toolId)
{
    m_toolbox->setActiveTool(toolId);
}

void ExtractionPreviewView::setAnnotationColor(const QColor &color)
{
    m_annotationColor = color;
    m_colorWell->setColor(color);
    for (PreviewStage *stage : std::as_const(m_stages))
        stage->canvas()->setColor(color);
}

void ExtractionPreviewView::setAnnotationWidth(double width)
{
    m_annotationWidth = width;
    if (m_widthSlider->realValue() != width)
        m_widthSlider->setRealValue(width);
    for (PreviewStage *stage : std::as_const(m_stages))
        stage->canvas()->setLineWidth(width);
}

void ExtractionPreviewView::setSelectedAnnotationID(const QUuid &id)
{
    m_selectedAnnotationID = id;
    for (PreviewStage *stage : std::as_const(m_stages))
        stage->canvas()->setSelectedId(id);
    m_deleteButton->setEnabled(!id.isNull());
    if (m_editActions)
        m_editActions->refresh();
}

void ExtractionPreviewView::deleteSelectedAnnotation()
{
    if (m_selectedAnnotationID.isNull())
        return;
    m_document->deleteAnnotation(previewFrameId(), m_selectedAnnotationID);
    setSelectedAnnotationID(QUuid());
}

void ExtractionPreviewView::stateChanged()
{
    const QUuid frameId = previewFrameId();
    if (m_previewFrameId && *m_previewFrameId != frameId)
        setSelectedAnnotationID(QUuid());
    m_previewFrameId = frameId;

    // A cut-out let go to save memory is made again.
    if (!frameId.isNull())
        m_images->request(frameId);
    const QString key = previewKey();
    // A corrected cut-out replaces the one shown under the same key.
    const qint64 subjectKey = frameId.isNull() ? 0 : m_images->images(frameId).subject.cacheKey();
    if (key != m_key || subjectKey != m_subjectKey) {
        m_key = key;
        m_subjectKey = subjectKey;
        computeRenders();
    }
    refreshPreview();
}

void ExtractionPreviewView::computeRenders()
{
    const quint64 run = ++m_run;
    emit renderingStarted(m_key);
    const std::optional<CapturedFrame> frame = m_document->previewFrame();
    if (!frame || !m_images->images(frame->id).hasSubject()) {
        m_renders.clear();
        emit rendersChanged();
        return;
    }
    renderNext(run, frame->id, 0, {});
}

void ExtractionPreviewView::renderNext(quint64 run, const QUuid &frameId, int index,
                                       QMap<FilterStyle, QImage> renders)
{
    // A newer key has started its own run: this one is abandoned and never overwrites it.
    if (run != m_run)
        return;
    const QList<FilterStyle> styles = FilterStyles::all();
    if (index >= styles.size()) {
        m_renders = std::move(renders);
        refreshPreview();
        emit rendersChanged();
        return;
    }
    const FilterStyle style = styles.at(index);
    continueOn(this,
               m_renderer->rendered(m_images->images(frameId).subject, style, m_document->edgeOptions()),
               [this, run, frameId, index, renders = std::move(renders), style](const QImage &image) {
                   QMap<FilterStyle, QImage> next = renders;
                   if (!image.isNull())
                       next.insert(style, image);
                   renderNext(run, frameId, index + 1, next);
               });
}

void ExtractionPreviewView::showOnStage(PreviewStage *stage, const std::optional<CapturedFrame> &frame,
                                        const FrameImages &images, const QImage &selectedRender,
                                        const QImage &backdrop, bool correcting) const
{
    AnnotationCanvas *annotationCanvas = stage->canvas();
    annotationCanvas->setAnnotations(frame ? frame->annotations : QList<Annotation>());
    annotationCanvas->setSelectedId(m_selectedAnnotationID);
    annotationCanvas->setPictureSize(backdrop.isNull() ? selectedRender.size() : backdrop.size());
    if (!selectedRender.isNull() && !correcting)
        stage->showImage(selectedRender);
    else if (!frame)
        stage->showEmpty();
    else if (images.hasFailed())
        stage->showFailure(images.failure);
    else if (correcting || images.hasSubject() || images.isLifted())
        stage->showBusy();
    else if (!images.isFinished())
        stage->showLifting();
    else
        stage->showNoSubject(backdrop);
}

void ExtractionPreviewView::refreshPreview()
{
    const std::optional<CapturedFrame> frame = m_document->previewFrame();
    const FrameImages images = frame ? m_images->images(frame->id) : FrameImages();
    const FilterStyle selectedStyle = m_document->selectedFilter();

    m_toolbar->setVisible(frame.has_value());
    m_noteEditorBox->setVisible(frame.has_value());

    const QImage selectedRender = m_renders.value(selectedStyle);
    const bool correcting = frame && m_corrections && m_corrections->isBusy(frame->id);
    // A frame left without subject still shows its picture to the tools that add one.
    const bool noSubject = frame && selectedRender.isNull() && !correcting && images.isFinished() &&
                           !images.hasFailed() && !images.hasSubject() && !images.isLifted();
    const QImage backdrop = noSubject && addsSubjects(m_toolbox->activeTool())
                                ? (images.hasStill() ? images.still : images.thumbnail)
                                : QImage();
    // The same on every stage: the small one here and a large one for editing.
    for (PreviewStage *stage : std::as_const(m_stages))
        showOnStage(stage, frame, images, selectedRender, backdrop, correcting);

    const bool pending = frame && (images.hasSubject() || images.isLifted());
    for (auto it = m_thumbnails.cbegin(); it != m_thumbnails.cend(); ++it) {
        it.value()->setImage(m_renders.value(it.key()));
        it.value()->setPending(pending);
        it.value()->setSelected(it.key() == selectedStyle);
    }

    const QString notes = frame ? frame->notes : QString();
    if (m_noteEditor->toPlainText() != notes) {
        const QSignalBlocker blocker(m_noteEditor);
        m_noteEditor->setPlainText(notes);
    }
    m_deleteButton->setEnabled(!m_selectedAnnotationID.isNull());
    m_editActions->refresh();
    m_dragHandle->setEnabled(m_takeout && frame && !m_takeout->refusal(frame->id));
}
