#pragma once

#include <QWidget>

class CanvasTool;
class CanvasToolbox;
class QButtonGroup;
class QToolButton;

// The tool picker of a canvas: one segment per tool of a toolbox, showing the tool's symbol with its
// name as help text, the sections a little apart; the checked segment is the active tool.
class CanvasToolSegments : public QWidget
{
    Q_OBJECT

public:
    explicit CanvasToolSegments(CanvasToolbox *toolbox, QWidget *parent = nullptr);

    // The segment of a tool, or null.
    QToolButton *segment(const CanvasTool *tool) const;

private:
    void rebuild();
    void showActive();

    CanvasToolbox *m_toolbox;
    QButtonGroup *m_buttons;
    QList<QToolButton *> m_segments;
};
