#include "CapturedFramesTree.h"

#include "KeyboardShortcuts.h"

#include <QKeyEvent>

QModelIndex CapturedFramesTree::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    const QModelIndex next = QTreeView::moveCursor(cursorAction, modifiers);
    if (!next.isValid() || (model()->flags(next) & Qt::ItemIsSelectable))
        return next;
    // Left and Right would climb to the group row: frames have nothing to unfold.
    if (cursorAction == MoveLeft || cursorAction == MoveRight)
        return current;
    // A group row: go on in the same direction to the next frame; Home and End look inwards.
    const bool down = cursorAction == MoveDown || cursorAction == MoveNext || cursorAction == MovePageDown ||
                      cursorAction == MoveHome;
    if (const QModelIndex frame = selectableFrom(next, down); frame.isValid())
        return frame;
    // Nothing further that way (a group without frames at the end, say): stay on the frame.
    if (current.isValid() && (model()->flags(current) & Qt::ItemIsSelectable))
        return current;
    return selectableFrom(next, !down);
}

QModelIndex CapturedFramesTree::selectableFrom(QModelIndex index, bool down) const
{
    while (index.isValid() && !(model()->flags(index) & Qt::ItemIsSelectable))
        index = down ? indexBelow(index) : indexAbove(index);
    return index;
}

void CapturedFramesTree::keyPressEvent(QKeyEvent *event)
{
    const QKeySequence pressed(event->keyCombination());
    for (const QKeySequence &keys : KeyboardShortcuts::deleteFrames()) {
        if (pressed == keys) {
            emit deleteRequested();
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}
