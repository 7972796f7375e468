#pragma once

#include <QUuid>
#include <QWidget>

class AppState;
class CapturedFramesModel;
class EmptyStateView;
class GroupHeaderView;
class QLabel;
class QMenu;
class QStackedWidget;
class QTimer;
class QToolButton;
class QTreeView;

// The sidebar listing every capture group with its frames. Selecting rows sets the window's
// selection (and follows it); rows are reordered by dragging inside their group, moved to another
// group or deleted from their context menu.
class CapturedFramesListView : public QWidget
{
    Q_OBJECT

public:
    explicit CapturedFramesListView(AppState *state, QWidget *parent = nullptr);

    QTreeView *tree() const { return m_tree; }
    CapturedFramesModel *model() const { return m_model; }
    // True while the empty-state message stands in for the list.
    bool showsEmptyState() const;
    QLabel *countLabel() const { return m_countLabel; }
    QToolButton *addGroupButton() const { return m_addGroupButton; }
    GroupHeaderView *header(const QUuid &groupId) const;

    // The context menu of one frame: "Déplacer vers" when another group exists, then "Supprimer".
    QMenu *createFrameMenu(const QUuid &frameId, QWidget *parent);

private:
    void groupsChanged();
    void rebuildHeaders();
    // Selects in the tree exactly the window's selection.
    void showSelection();
    // Writes the tree's selection to the window state.
    void takeSelection();
    void showContextMenu(const QPoint &position);

    AppState *m_state;
    CapturedFramesModel *m_model;
    QLabel *m_countLabel;
    QToolButton *m_addGroupButton;
    QStackedWidget *m_body;
    EmptyStateView *m_emptyState;
    QTreeView *m_tree;
    QTimer *m_animation;
    bool m_syncing = false;
};
