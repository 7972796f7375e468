#pragma once

#include "models/Annotation.h"

#include <QObject>
#include <QUuid>

#include <functional>
#include <optional>

class AnnotationCanvas;
class CaptureDocument;
class ContinuousSlider;
class QAction;
class QMenu;
class QWidget;
class QWidgetAction;

// What can be done with the selected annotation of a frame after drawing it: another colour or
// width, a duplicate, a copy to paste on another frame (or in another window), in front of the others
// or behind them, away. Each is an action of its own, with its key while a canvas showing the frame
// has the focus, and all of them in the canvas's context menu. Every change goes to the document as
// one step.
class AnnotationEditActions : public QObject
{
    Q_OBJECT

public:
    // The frame the annotations belong to, and its selection, as their owner keeps them.
    struct Target
    {
        CaptureDocument *document = nullptr;
        std::function<QUuid()> frameId;
        std::function<QUuid()> selectedId;
        std::function<void(const QUuid &)> select;
    };

    // `dialogParent` is where the colour dialog opens.
    AnnotationEditActions(Target target, QWidget *dialogParent, QObject *parent = nullptr);

    // The canvas takes the actions' keys while it has the focus and shows their menu on a right click.
    void attach(AnnotationCanvas *canvas);
    // The owner's selection or frame changed: the actions follow.
    void refresh();

    QAction *colorAction() const { return m_color; }
    QWidgetAction *widthAction() const { return m_width; }
    ContinuousSlider *widthSlider() const { return m_widthSlider; }
    QAction *duplicateAction() const { return m_duplicate; }
    QAction *copyAction() const { return m_copy; }
    QAction *pasteAction() const { return m_paste; }
    QAction *bringToFrontAction() const { return m_front; }
    QAction *sendToBackAction() const { return m_back; }
    QAction *deleteAction() const { return m_delete; }
    // The context menu, made anew each time (the width slider shows the selection's).
    QMenu *makeMenu(QWidget *parent) const;

    void duplicate();
    void copy();
    void paste();
    void bringToFront();
    void sendToBack();
    void deleteSelected();
    // Asks for a colour and gives it to the selected annotation.
    void chooseColor();

private:
    QAction *makeAction(const QString &text, const QString &symbol = QString());
    // The selected annotation of the frame, when there is one.
    std::optional<Annotation> selected() const;

    Target m_target;
    QWidget *m_dialogParent;
    QAction *m_color;
    QWidgetAction *m_width;
    ContinuousSlider *m_widthSlider;
    QAction *m_duplicate;
    QAction *m_copy;
    QAction *m_paste;
    QAction *m_front;
    QAction *m_back;
    QAction *m_delete;
};
