#pragma once

#include <QWidget>

#include <functional>

class CaptureDocument;
class ColorWellButton;
class QCheckBox;
class QToolButton;
class ValueSlider;
struct EdgeOptions;

// The folded "Contours" controls that refine the cut-out edge of every subject: shrink, feather
// and an optional outline with its width and colour. Each change goes straight to the document; the
// moves of one slider drag make one undo step.
class EdgeControlsView : public QWidget
{
    Q_OBJECT

public:
    explicit EdgeControlsView(CaptureDocument *document, QWidget *parent = nullptr);

    bool isExpanded() const;
    void setExpanded(bool expanded);

    ValueSlider *shrinkSlider() const { return m_shrink; }
    ValueSlider *featherSlider() const { return m_feather; }
    QCheckBox *outlineToggle() const { return m_outline; }
    ValueSlider *outlineWidthSlider() const { return m_outlineWidth; }
    ColorWellButton *outlineColorWell() const { return m_outlineColor; }
    QCheckBox *cleanColorsToggle() const { return m_cleanColors; }

private:
    void refresh();
    void edit(const std::function<void(EdgeOptions &)> &change, bool continuing = false);

    CaptureDocument *m_document;
    QToolButton *m_disclosure;
    QWidget *m_controls;
    ValueSlider *m_shrink;
    ValueSlider *m_feather;
    QCheckBox *m_outline;
    QWidget *m_outlineOptions;
    ValueSlider *m_outlineWidth;
    ColorWellButton *m_outlineColor;
    QCheckBox *m_cleanColors;
};
