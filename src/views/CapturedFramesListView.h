#pragma once

#include <QUuid>
#include <QWidget>

class CaptureDocument;
class FrameImageStore;
class CapturedFramesModel;
class CapturedFramesTree;
class EmptyStateView;
class GroupHeaderView;
class QLabel;
class QMenu;
class QStackedWidget;
class QTimer;
class QToolButton;
class QTreeView;

// The sidebar listing every capture group of the document with its frames and their pictures from
// the image store. Selecting rows sets the document's selection (and follows it); rows are
// reordered by dragging inside their group, moved to another group or deleted from their context
// menu, or with Delete and Backspace. The list always highlights the frame the preview shows.
class CapturedFramesListView : public QWidget
{
    Q_OBJECT

public:
    CapturedFramesListView(CaptureDocument *document, FrameImageStore *images, QWidget *parent = nullptr);

    QTreeView *tree() const;
    CapturedFramesModel *model() const { return m_model; }
    // True while the empty-state message stands in for the list.
    bool showsEmptyState() const;
    QLabel *countLabel() const { return m_countLabel; }
    QToolButton *addGroupButton() const { return m_addGroupButton; }
    GroupHeaderView *header(const QUuid &groupId) const;

    // The context menu of one frame: "Déplacer vers" when another group exists, then "Supprimer".
    QMenu *createFrameMenu(const QUuid &frameId, QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void groupsChanged();
    void rebuildHeaders();
    // The header row of the group at `groupRow`, its frames shown.
    void addHeader(int groupRow);
    // Placeholders turn only while some frame waits for its pictures.
    void updateAnimation();
    // Selects in the tree exactly the window's selection.
    void showSelection();
    // The document's selection changed: the tree shows it and brings the first selected frame into
    // sight.
    void followSelection();
    // With no frame selected the preview shows the last one: the list selects it. Waits for the
    // change under way to end, since a frame may be gone only for a moment (moved to another
    // group).
    void selectPreviewedFrame();
    void bringIntoSight(const QUuid &frameId, const QUuid &groupId);
    // Writes the tree's selection to the document.
    void takeSelection();
    // Tells the image store which frames' rows are on screen now, and which are near them.
    void reportFramesInView();
    void showContextMenu(const QPoint &position);

    CaptureDocument *m_document;
    FrameImageStore *m_images;
    CapturedFramesModel *m_model;
    QLabel *m_countLabel;
    QToolButton *m_addGroupButton;
    QStackedWidget *m_body;
    EmptyStateView *m_emptyState;
    CapturedFramesTree *m_tree;
    QTimer *m_animation;
    QTimer *m_selectionCheck;
    QTimer *m_viewCheck;
    bool m_syncing = false;
    // Between the model's announcement of a change of rows and its end.
    bool m_changing = false;
};
