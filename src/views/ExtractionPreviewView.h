#pragma once

#include "models/Annotation.h"
#include "models/FilterStyle.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QMap>
#include <QUuid>
#include <QWidget>

#include <optional>

class AnnotationCanvas;
class AnnotationEditActions;
class CanvasToolSegments;
class CanvasTool;
class CanvasToolbox;
class CaptureDocument;
class CorrectedCutouts;
class CutoutBrushTool;
class QLabel;
class ColorWellButton;
class FrameImageStore;
class FrameTakeout;
class ContinuousSlider;
class PreviewRenderer;
class PreviewStage;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QToolButton;
class StyleThumbnailButton;
struct CapturedFrame;
struct FrameImages;

// The preview panel: the previewed frame's cut-out in the four styles, the chosen one large over a
// checkerboard with the annotation editor on it, a strip of style thumbnails that also chooses the
// export style, and the frame's note. Shows the document's previewed frame with its cut-out from
// the image store, rendered by the preview renderer; every edit goes to the document.
class ExtractionPreviewView : public QWidget
{
    Q_OBJECT

public:
    // With `corrections`, the canvas also offers the tools that correct the cut-out.
    ExtractionPreviewView(CaptureDocument *document, FrameImageStore *images, const PreviewRenderer *renderer,
                          CorrectedCutouts *corrections = nullptr, QWidget *parent = nullptr);

    // Names everything the renders depend on: the previewed frame, whether it has a cut-out, and the
    // edge settings as printed; "none" without a previewed frame.
    QString previewKey() const;
    // The renders of the previewed frame, by style, as last completed.
    const QMap<FilterStyle, QImage> &renders() const { return m_renders; }

    // The tools of the preview's canvas (and of any other canvas showing the previewed frame), and
    // their picker in the toolbar.
    CanvasToolbox *toolbox() const { return m_toolbox; }
    CanvasToolSegments *toolSegments() const { return m_toolSegments; }
    // The tools correcting the cut-out, along the picture's side; null without them.
    CanvasToolSegments *correctionToolSegments() const { return m_correctionSegments; }
    // The annotation tool in hand (the last one chosen, while a tool of another kind is active), by
    // its identifier: "annotation.select", or "annotation." and the kind it draws.
    QString tool() const { return m_tool; }
    void setTool(const QString &toolId);
    QColor annotationColor() const { return m_annotationColor; }
    // The colour of the annotations drawn from now on; those drawn already keep theirs.
    void setAnnotationColor(const QColor &color);
    double annotationWidth() const { return m_annotationWidth; }
    // The line width of the annotations drawn from now on.
    void setAnnotationWidth(double width);
    QUuid selectedAnnotationID() const { return m_selectedAnnotationID; }
    void setSelectedAnnotationID(const QUuid &id);
    // Removes the selected annotation from the previewed frame.
    void deleteSelectedAnnotation();
    // What can be done with the selected annotation (colour, width, duplicate, copy and paste,
    // order), on every canvas showing the previewed frame.
    AnnotationEditActions *editActions() const { return m_editActions; }

    // Where the previewed frame's finished picture is taken from to be dragged out of the window:
    // from the handle in the toolbar, or from the picture with Ctrl held. None drags nothing.
    void setTakeout(const FrameTakeout *takeout);
    QLabel *dragHandle() const { return m_dragHandle; }
    // The drag data of the previewed frame's finished picture; null when it cannot be taken.
    QMimeData *makeDragData() const;

    AnnotationCanvas *canvas() const;
    PreviewStage *stage() const { return m_stage; }
    // Shows the previewed frame on `stage` as well (a large one to edit it on), with the same tools,
    // annotations and selection; the stage stays its owner's.
    void addStage(PreviewStage *stage);
    QWidget *annotationToolbar() const { return m_toolbar; }
    QToolButton *deleteButton() const { return m_deleteButton; }
    // The brush size of the erase and restore tools, shown while one of them is in hand.
    ContinuousSlider *brushSizeSlider() const { return m_brushSlider; }
    // What the last gesture that adds a subject found wrong; hidden when there is nothing to say.
    QLabel *correctionMessage() const { return m_correctionMessage; }
    StyleThumbnailButton *styleThumbnail(FilterStyle style) const { return m_thumbnails.value(style); }
    QWidget *noteEditorBox() const { return m_noteEditorBox; }
    QPlainTextEdit *noteEditor() const { return m_noteEditor; }

    // Counts the toolbar and the note even while they are hidden, so that the window's minimum size
    // stays the same when the first frame is captured.
    QSize minimumSizeHint() const override;

signals:
    // The preview key changed: the renders of `key` are being computed.
    void renderingStarted(const QString &key);
    // A render computation has finished (or found nothing to render) and its renders are shown.
    void rendersChanged();

private:
    QWidget *makeToolbar();
    QWidget *makeStylesStrip();
    QWidget *makeNoteEditor();
    void addCorrectionTools();
    // Routes the canvas's gestures to the toolbox and its edits to the document.
    void connectCanvas(AnnotationCanvas *canvas);
    // Shows the controls of the tool in hand.
    void followTool(CanvasTool *tool);
    // Whether the tool can add a subject to a frame that has none.
    static bool addsSubjects(const CanvasTool *tool);

    // Follows the window state: a new key starts a render computation; the rest refreshes in place.
    void stateChanged();
    void computeRenders();
    // Renders style `index` of a run and goes on with the next one; the run's map is swapped in at
    // the end unless a newer run has started meanwhile.
    void renderNext(quint64 run, const QUuid &frameId, int index, QMap<FilterStyle, QImage> renders);
    // Shows the frame's picture, or what stands in its place, and its annotations on `stage`.
    void showOnStage(PreviewStage *stage, const std::optional<CapturedFrame> &frame,
                     const FrameImages &images, const QImage &selectedRender, const QImage &backdrop,
                     bool correcting) const;
    void refreshPreview();
    // The previewed frame's identifier; null without one.
    QUuid previewFrameId() const;

    CaptureDocument *m_document;
    FrameImageStore *m_images;
    const PreviewRenderer *m_renderer;
    QMap<FilterStyle, QImage> m_renders;
    QString m_tool = QStringLiteral("annotation.select");
    QColor m_annotationColor = Qt::red;
    double m_annotationWidth = 0.006;
    QUuid m_selectedAnnotationID;

    QString m_key;
    qint64 m_subjectKey = 0; // the cacheKey() of the cut-out rendered
    quint64 m_run = 0;
    std::optional<QUuid> m_previewFrameId; // unset until the panel has looked once

    QWidget *m_toolbar = nullptr;
    CanvasToolbox *m_toolbox;
    AnnotationEditActions *m_editActions = nullptr;
    CanvasToolSegments *m_toolSegments = nullptr;
    CanvasToolSegments *m_correctionSegments = nullptr;
    ColorWellButton *m_colorWell = nullptr;
    ContinuousSlider *m_widthSlider = nullptr;
    QToolButton *m_deleteButton = nullptr;
    QLabel *m_dragHandle = nullptr;
    const FrameTakeout *m_takeout = nullptr;
    CorrectedCutouts *m_corrections;
    ContinuousSlider *m_brushSlider = nullptr;
    QLabel *m_correctionMessage = nullptr;
    PreviewStage *m_stage = nullptr;
    QList<PreviewStage *> m_stages; // every stage showing the previewed frame, this one's first
    QMap<FilterStyle, StyleThumbnailButton *> m_thumbnails;
    QWidget *m_noteEditorBox = nullptr;
    QPlainTextEdit *m_noteEditor = nullptr;
};
