#pragma once

#include <QWidget>

class CanvasToolSegments;
class CanvasToolbox;
class PreviewStage;
class QAction;
class QLabel;
class QToolButton;

// The large editing view of the previewed frame: its cut-out in its style, zoomed from fitted to
// 100 % and beyond and panned, with the tools of the preview's toolbox and the frame's annotations on
// the same canvas class. The preview panel fills its stage (ExtractionPreviewView::addStage), so that
// both show the same frame, tools, annotations and selection. Escape asks to close it.
class FrameEditorView : public QWidget
{
    Q_OBJECT

public:
    explicit FrameEditorView(CanvasToolbox *toolbox, QWidget *parent = nullptr);

    PreviewStage *stage() const { return m_stage; }
    CanvasToolSegments *toolSegments() const { return m_toolSegments; }
    QLabel *zoomLabel() const { return m_zoomLabel; }
    QAction *zoomToFitAction() const { return m_fit; }
    QAction *actualSizeAction() const { return m_actualSize; }
    QAction *zoomInAction() const { return m_zoomIn; }
    QAction *zoomOutAction() const { return m_zoomOut; }
    QAction *closeAction() const { return m_close; }

    // The zoom shown, as a percentage ("150 %").
    static QString zoomText(double zoom);

signals:
    void closeRequested();

private:
    QToolButton *addButton(QAction *action);
    void showZoom();

    PreviewStage *m_stage;
    CanvasToolSegments *m_toolSegments;
    QWidget *m_bar;
    QLabel *m_zoomLabel;
    QAction *m_fit;
    QAction *m_actualSize;
    QAction *m_zoomIn;
    QAction *m_zoomOut;
    QAction *m_close;
};
