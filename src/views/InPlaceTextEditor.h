#pragma once

#include "models/Annotation.h"

#include <QPlainTextEdit>

class AnnotationCanvas;

// The editor of a text annotation laid over the canvas where the text lies, in its typeface, size
// and colour: Enter starts a new line; Escape, or the focus going elsewhere (a click outside it),
// ends the editing. The canvas (AnnotationCanvas::editText) makes it and takes what it ends with.
class InPlaceTextEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    // Opens over `canvas` (its parent) on `text`.
    InPlaceTextEditor(AnnotationCanvas *canvas, const Annotation &text);

    // The text with the words typed so far.
    Annotation annotation() const;
    // Ends the editing, once: finished() is sent the first time only.
    void finish();

signals:
    // The editing ended with `edited`; `byPress` when a press elsewhere took the focus from it.
    void finished(const Annotation &edited, bool byPress);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void end(bool byPress);
    // Takes the size of the words, growing as they are typed.
    void fitToWords();

    AnnotationCanvas *m_canvas;
    Annotation m_text;
    double m_letterPixels;
    bool m_ended = false;
};
