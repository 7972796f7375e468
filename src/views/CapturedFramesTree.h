#pragma once

#include <QTreeView>

// The tree of the frames list: group rows stand between the frames, but the keyboard moves from
// frame to frame over them, and Delete or Backspace asks for the selected frames to be deleted.
class CapturedFramesTree : public QTreeView
{
    Q_OBJECT

public:
    using QTreeView::QTreeView;

signals:
    void deleteRequested();

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The first selectable row from `index` on, going down or up; invalid when there is none.
    QModelIndex selectableFrom(QModelIndex index, bool down) const;
};
