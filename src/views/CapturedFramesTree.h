#pragma once

#include <QTreeView>

#include <optional>
#include <utility>

// The tree of the frames list: group rows stand between the frames, but the keyboard moves from
// frame to frame over them, and Delete or Backspace asks for the selected frames to be deleted. A
// change in rows out of sight repaints nothing.
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
    // Rows that change out of sight are passed over: working out where each of them lies would go
    // through every row above it (the rows' heights differ), far more work than the change, on a
    // list of thousands of frames whose pictures come in by the hundred.
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;

private:
    // The first selectable row from `index` on, going down or up; invalid when there is none.
    QModelIndex selectableFrom(QModelIndex index, bool down) const;
    // Where a row comes in the tree from top to bottom: the group's row, then the frame's (-1 for
    // the group's own row).
    using Place = std::pair<int, int>;
    // Where the first and last rows in sight come; none when there is no such row. Worked out once
    // per turn of the event loop: a change of rows or of the scrolling in the meantime repaints all
    // in sight anyway.
    struct Sight
    {
        std::optional<Place> first;
        std::optional<Place> last;
    };
    Sight rowsInSight();

    std::optional<Sight> m_rowsInSight;
};
