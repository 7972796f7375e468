#include "CapturedFramesListView.h"

#include "CapturedFrameDelegate.h"
#include "CapturedFramesModel.h"
#include "CapturedFramesTree.h"
#include "EmptyStateView.h"
#include "GroupHeaderView.h"
#include "KeyboardShortcuts.h"
#include "SymbolIcons.h"
#include "ViewStyle.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

CapturedFramesListView::CapturedFramesListView(CaptureDocument *document, FrameImageStore *images,
                                               QWidget *parent)
    : QWidget(parent)
    , m_document(document)
    , m_images(images)
    , m_model(new CapturedFramesModel(document, images, this))
    , m_countLabel(new QLabel(this))
    , m_addGroupButton(new QToolButton(this))
    , m_body(new QStackedWidget(this))
    , m_emptyState(new EmptyStateView(QStringLiteral("photo.on.rectangle"), tr("Aucune image"),
                                      tr("Naviguez dans la vidéo puis appuyez sur %1 pour capturer.")
                                          .arg(KeyboardShortcuts::text(KeyboardShortcuts::capture())),
                                      this))
    , m_tree(new CapturedFramesTree(this))
    , m_animation(new QTimer(this))
    , m_selectionCheck(new QTimer(this))
    , m_viewCheck(new QTimer(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(10, 10, 10, 6);
    // The column's own parts touch; the header's keep the style's room between them.
    headerRow->setSpacing(style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, this));
    auto *icon = new QLabel(this);
    icon->setPixmap(SymbolIcons::icon(QStringLiteral("photo.stack")).pixmap(16, 16));
    auto *title = new QLabel(tr("Images capturées"), this);
    title->setFont(ViewStyle::headline());
    m_countLabel->setFont(ViewStyle::monospacedDigits(ViewStyle::callout()));
    ViewStyle::setTextColor(m_countLabel, ViewStyle::secondary());
    m_addGroupButton->setAutoRaise(true);
    m_addGroupButton->setIcon(SymbolIcons::icon(QStringLiteral("folder.badge.plus")));
    m_addGroupButton->setToolTip(tr("Nouveau groupe"));
    connect(m_addGroupButton, &QToolButton::clicked, m_document, &CaptureDocument::addGroup);
    headerRow->addWidget(icon);
    headerRow->addWidget(title);
    headerRow->addStretch();
    headerRow->addWidget(m_countLabel);
    headerRow->addWidget(m_addGroupButton);
    layout->addLayout(headerRow);

    m_tree->setModel(m_model);
    m_tree->setItemDelegate(new CapturedFrameDelegate(m_tree));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setIndentation(0);
    m_tree->setUniformRowHeights(false);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->setDropIndicatorShown(true);
    m_tree->setDragDropMode(QAbstractItemView::InternalMove);
    m_tree->setDefaultDropAction(Qt::MoveAction);
    m_tree->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->setFrameShape(QFrame::NoFrame);
    connect(m_tree, &QTreeView::customContextMenuRequested, this, &CapturedFramesListView::showContextMenu);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CapturedFramesListView::takeSelection);
    connect(m_tree, &CapturedFramesTree::deleteRequested, this,
            [this] { m_document->deleteFrames(m_document->selection()); });

    m_body->addWidget(m_emptyState);
    m_body->addWidget(m_tree);
    layout->addWidget(m_body, 1);

    // Placeholders turn while a frame waits for its images.
    m_animation->setInterval(110);
    connect(m_animation, &QTimer::timeout, m_tree->viewport(), qOverload<>(&QWidget::update));

    connect(m_document, &CaptureDocument::groupsChanged, this, &CapturedFramesListView::groupsChanged);
    // Rows change while the document does: the tree's selection follows them, and is not taken as
    // the user's meanwhile.
    const auto changing = [this] { m_changing = true; };
    const auto changed = [this] { m_changing = false; };
    for (auto signal :
         {&QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsAboutToBeRemoved})
        connect(m_model, signal, this, changing);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, changed);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this, changing);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, changed);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, changing);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_changing = false;
        rebuildHeaders();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &parent, int first, int last) {
                if (parent.isValid())
                    return;
                for (int g = first; g <= last; ++g)
                    addHeader(g);
            });
    connect(m_model, &CapturedFramesModel::frameImagesChanged, this,
            &CapturedFramesListView::updateAnimation);
    connect(m_document, &CaptureDocument::selectionChanged, this, &CapturedFramesListView::followSelection);
    connect(m_document, &CaptureDocument::changeShown, this, &CapturedFramesListView::bringIntoSight);
    m_selectionCheck->setSingleShot(true);
    m_selectionCheck->setInterval(0);
    connect(m_selectionCheck, &QTimer::timeout, this, &CapturedFramesListView::selectPreviewedFrame);
    // Once the tree has laid out what changed: scrolled, resized, rows added or taken away.
    m_viewCheck->setSingleShot(true);
    m_viewCheck->setInterval(0);
    connect(m_viewCheck, &QTimer::timeout, this, &CapturedFramesListView::reportFramesInView);
    const auto checkView = [this] { m_viewCheck->start(); };
    connect(m_tree->verticalScrollBar(), &QScrollBar::valueChanged, this, checkView);
    connect(m_tree->verticalScrollBar(), &QScrollBar::rangeChanged, this, checkView);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, checkView);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, checkView);
    connect(m_model, &QAbstractItemModel::modelReset, this, checkView);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, checkView);
    rebuildHeaders();
    groupsChanged();
}

QTreeView *CapturedFramesListView::tree() const
{
    return m_tree;
}

bool CapturedFramesListView::showsEmptyState() const
{
    return m_body->currentWidget() == m_emptyState;
}

GroupHeaderView *CapturedFramesListView::header(const QUuid &groupId) const
{
    for (int g = 0; g < m_model->rowCount(); ++g) {
        auto *header = qobject_cast<GroupHeaderView *>(m_tree->indexWidget(m_model->groupIndex(g)));
        if (header && header->groupId() == groupId)
            return header;
    }
    return nullptr;
}

void CapturedFramesListView::groupsChanged()
{
    showSelection();

    const int frameCount = int(m_document->frameCount());
    m_countLabel->setText(QString::number(frameCount));
    const bool empty = frameCount == 0 && m_document->groups().size() == 1;
    m_body->setCurrentWidget(empty ? static_cast<QWidget *>(m_emptyState) : m_tree);
    updateAnimation();
}

void CapturedFramesListView::updateAnimation()
{
    if (m_model->hasPendingFrames())
        m_animation->start();
    else
        m_animation->stop();
}

void CapturedFramesListView::rebuildHeaders()
{
    for (int g = 0; g < m_model->rowCount(); ++g)
        addHeader(g);
    m_tree->doItemsLayout();
}

void CapturedFramesListView::addHeader(int groupRow)
{
    const QModelIndex index = m_model->groupIndex(groupRow);
    m_tree->setFirstColumnSpanned(groupRow, QModelIndex(), true);
    m_tree->setIndexWidget(index, new GroupHeaderView(m_document, m_document->groups().at(groupRow).id));
    m_tree->expand(index);
}

void CapturedFramesListView::showSelection()
{
    if (m_syncing)
        return;
    QItemSelection selection;
    for (const QUuid &id : m_document->selection()) {
        const QModelIndex index = m_model->frameIndex(id);
        if (index.isValid())
            selection.select(index, index);
    }
    m_syncing = true;
    m_tree->selectionModel()->select(selection,
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_syncing = false;
    if (selection.isEmpty() && m_document->frameCount() > 0)
        m_selectionCheck->start();
}

void CapturedFramesListView::followSelection()
{
    if (m_syncing)
        return;
    showSelection();
    // The first selected frame in list order; the keyboard goes on from it.
    for (const CaptureGroup &group : m_document->groups()) {
        for (const CapturedFrame &frame : group.frames) {
            if (m_document->selection().contains(frame.id)) {
                const QModelIndex index = m_model->frameIndex(frame.id);
                m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
                bringIntoSight(frame.id, group.id);
                return;
            }
        }
    }
}

void CapturedFramesListView::selectPreviewedFrame()
{
    for (const QUuid &id : m_document->selection()) {
        if (m_model->frameIndex(id).isValid())
            return;
    }
    if (const std::optional<CapturedFrame> frame = m_document->previewFrame())
        m_document->setSelection({frame->id});
}

void CapturedFramesListView::bringIntoSight(const QUuid &frameId, const QUuid &groupId)
{
    // Once the tree has laid out the rows just changed and sized its scroll range to them: scrolled
    // at once, a new last row would stop short of the end.
    QTimer::singleShot(0, this, [this, frameId, groupId] {
        // A frame in sight already, or a group in part, is left where it is: the list does not move
        // under the user.
        const QRect visible = m_tree->viewport()->rect();
        const int group = m_document->indexOfGroup(groupId);
        if (const QModelIndex shown = m_model->frameIndex(frameId);
            shown.isValid() && visible.contains(m_tree->visualRect(shown)))
            return;
        if (frameId.isNull() && group >= 0 && group < m_model->rowCount()) {
            const QModelIndex groupRow = m_model->groupIndex(group);
            const auto inGroup = [&](const QModelIndex &index) {
                return index.isValid() && (index == groupRow || index.parent() == groupRow);
            };
            if (inGroup(m_tree->indexAt(visible.topLeft())) ||
                inGroup(m_tree->indexAt(visible.bottomLeft())) ||
                visible.intersects(m_tree->visualRect(groupRow)))
                return;
        }
        // The group's row first, so that it shows too when both fit; then the frame, whole.
        if (group >= 0 && group < m_model->rowCount())
            m_tree->scrollTo(m_model->groupIndex(group), QAbstractItemView::EnsureVisible);
        const QModelIndex frame = m_model->frameIndex(frameId);
        if (!frame.isValid())
            return;
        m_tree->scrollTo(frame, QAbstractItemView::EnsureVisible);
        // The tree's own scrolling leaves the last pixel row of a frame at the bottom edge out.
        const QRect row = m_tree->visualRect(frame);
        QScrollBar *bar = m_tree->verticalScrollBar();
        if (row.bottom() > visible.bottom())
            bar->setValue(bar->value() +
                          std::min(row.bottom() - visible.bottom(), row.top() - visible.top()));
    });
}

void CapturedFramesListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_viewCheck->start();
}

void CapturedFramesListView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_viewCheck->start();
}

void CapturedFramesListView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_viewCheck->start();
}

void CapturedFramesListView::reportFramesInView()
{
    QList<QUuid> visible;
    QSet<QUuid> nearby;
    const QRect viewport = m_tree->viewport()->rect();
    QModelIndex first = m_tree->indexAt(viewport.topLeft());
    QModelIndex last = first;
    int rows = 0;
    if (isVisible() && m_body->currentWidget() == m_tree) {
        for (QModelIndex index = first;
             index.isValid() && m_tree->visualRect(index).top() <= viewport.bottom();
             index = m_tree->indexBelow(index)) {
            last = index;
            ++rows;
            if (const QUuid id = m_model->frameId(index); !id.isNull()) {
                visible << id;
                nearby.insert(id);
            }
        }
    }
    // Two screens either side, within what the store holds beside them.
    const int around = std::min(2 * std::max(rows, 1), FrameImageStore::ThumbnailsHeld / 4);
    QModelIndex above = first, below = last;
    for (int step = 0; rows > 0 && step < around; ++step) {
        above = above.isValid() ? m_tree->indexAbove(above) : above;
        below = below.isValid() ? m_tree->indexBelow(below) : below;
        for (const QModelIndex &index : {above, below}) {
            if (const QUuid id = m_model->frameId(index); !id.isNull())
                nearby.insert(id);
        }
    }
    m_images->setFramesInView(visible, nearby);
}

void CapturedFramesListView::takeSelection()
{
    if (m_syncing || m_changing)
        return;
    QSet<QUuid> selection;
    const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows) {
        const QUuid id = m_model->frameId(index);
        if (!id.isNull())
            selection.insert(id);
    }
    m_syncing = true;
    m_document->setSelection(selection);
    m_syncing = false;
}

QMenu *CapturedFramesListView::createFrameMenu(const QUuid &frameId, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    QList<CaptureGroup> others;
    for (const CaptureGroup &group : m_document->groups()) {
        if (group.indexOfFrame(frameId) < 0)
            others << group;
    }
    if (!others.isEmpty()) {
        QMenu *moveMenu = menu->addMenu(tr("Déplacer vers"));
        for (const CaptureGroup &group : std::as_const(others)) {
            // A "&" in a name is shown, not taken as the mark of a keyboard accelerator.
            QString label = group.name.isEmpty() ? tr("Sans nom") : group.name;
            label.replace(QLatin1Char('&'), QLatin1String("&&"));
            const QUuid groupId = group.id;
            moveMenu->addAction(label, this,
                                [this, frameId, groupId] { m_document->moveFrame(frameId, groupId); });
        }
    }
    // Deletes this frame only, whatever else is selected.
    QAction *remove =
        menu->addAction(tr("Supprimer"), this, [this, frameId] { m_document->deleteFrame(frameId); });
    remove->setIcon(SymbolIcons::icon(QStringLiteral("trash")));
    return menu;
}

void CapturedFramesListView::showContextMenu(const QPoint &position)
{
    const QUuid frameId = m_model->frameId(m_tree->indexAt(position));
    if (frameId.isNull())
        return;
    QMenu *menu = createFrameMenu(frameId, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_tree->viewport()->mapToGlobal(position));
}
