#pragma once

#include <QWidget>

class CanvasTool;
class CanvasToolbox;
class QButtonGroup;
class QToolButton;

// The tool picker of a canvas: one segment per tool of a toolbox (or of one of its sections),
// showing the tool's symbol with its name as help text, the sections a little apart; the checked
// segment is the active tool, and none is checked while the active tool is picked elsewhere. A row of
// many segments takes two lines.
class CanvasToolSegments : public QWidget
{
    Q_OBJECT

public:
    explicit CanvasToolSegments(CanvasToolbox *toolbox, QWidget *parent = nullptr);
    // The segments of the toolbox's section `section` alone, in a row or a column.
    CanvasToolSegments(CanvasToolbox *toolbox, int section, Qt::Orientation orientation,
                       QWidget *parent = nullptr);

    // The segment of a tool, or null when the tool is not shown here.
    QToolButton *segment(const CanvasTool *tool) const;

private:
    void rebuild();
    void showActive();

    CanvasToolbox *m_toolbox;
    QButtonGroup *m_buttons;
    int m_section = -1; // -1: every section
    Qt::Orientation m_orientation;
    QList<QToolButton *> m_segments; // one per tool of the toolbox, null for those not shown
};
