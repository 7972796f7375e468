#include "CapturedFramesTree.h"

#include "KeyboardShortcuts.h"

#include <QAccessible>
#include <QKeyEvent>

#include <utility>

namespace {

// Where a row comes in the tree, from top to bottom: a group's row stands before its frames.
std::pair<int, int> placeOf(const QModelIndex &index)
{
    const QModelIndex parent = index.parent();
    return parent.isValid() ? std::pair(parent.row(), index.row()) : std::pair(index.row(), -1);
}

std::optional<std::pair<int, int>> placeIfValid(const QModelIndex &index)
{
    return index.isValid() ? std::optional(placeOf(index)) : std::nullopt;
}

} // namespace

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

void CapturedFramesTree::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                     const QList<int> &roles)
{
    // Assistive technologies hear of every change.
    if (isVisible() && !QAccessible::isActive() && topLeft.isValid() && bottomRight.isValid() &&
        topLeft.parent() == bottomRight.parent()) {
        const Sight sight = rowsInSight();
        const bool above = sight.first && placeOf(bottomRight) < *sight.first;
        const bool below = sight.last && *sight.last < placeOf(topLeft);
        if (above || below)
            return;
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

CapturedFramesTree::Sight CapturedFramesTree::rowsInSight()
{
    if (!m_rowsInSight) {
        const QRect shown = viewport()->rect();
        m_rowsInSight =
            Sight{placeIfValid(indexAt(shown.topLeft())), placeIfValid(indexAt(shown.bottomLeft()))};
        QMetaObject::invokeMethod(
            this, [this] { m_rowsInSight.reset(); }, Qt::QueuedConnection);
    }
    return *m_rowsInSight;
}
