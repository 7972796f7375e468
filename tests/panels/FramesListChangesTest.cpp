#include "TestCaptures.h"
#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"
#include "views/GroupHeaderView.h"

#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QUndoStack>

#include <cstdlib>

namespace {

QSet<QUuid> selectedInTree(const CapturedFramesListView &list)
{
    QSet<QUuid> result;
    for (const QModelIndex &index : list.tree()->selectionModel()->selectedRows())
        result << list.model()->frameId(index);
    return result;
}

// The rows of the model are the document's frames, group by group, in order.
bool rowsMatch(const CaptureDocument &document, const CapturedFramesModel &model)
{
    if (model.rowCount() != document.groups().size())
        return false;
    for (int g = 0; g < model.rowCount(); ++g) {
        const QModelIndex group = model.groupIndex(g);
        const QList<CapturedFrame> &frames = document.groups().at(g).frames;
        if (model.rowCount(group) != frames.size() ||
            group.data(CapturedFramesModel::GroupIdRole).toUuid() != document.groups().at(g).id)
            return false;
        for (int row = 0; row < frames.size(); ++row) {
            const QModelIndex frame = model.index(row, 0, group);
            if (model.frameId(frame) != frames.at(row).id || model.parent(frame) != group ||
                model.frameIndex(frames.at(row).id) != frame)
                return false;
        }
    }
    return true;
}

// What the model told its views, counted from its creation.
struct ModelSignals
{
    explicit ModelSignals(const CapturedFramesModel *model)
        : inserted(model, &QAbstractItemModel::rowsInserted)
        , removed(model, &QAbstractItemModel::rowsRemoved)
        , moved(model, &QAbstractItemModel::rowsMoved)
        , reset(model, &QAbstractItemModel::modelReset)
        , layout(model, &QAbstractItemModel::layoutChanged)
    {}
    QSignalSpy inserted, removed, moved, reset, layout;
};

// The regions of a widget asked to be painted, from its creation.
class PaintedRegions : public QObject
{
public:
    explicit PaintedRegions(QWidget *widget) { widget->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

// A thumbnail of one plain colour.
QImage plain(const QColor &color)
{
    QImage image(160, 90, QImage::Format_RGBA8888_Premultiplied);
    image.fill(color);
    return image;
}

// How many pixels of `rect` in the viewport, as the tree paints it now, are near `color`.
int pixelsOf(QTreeView *tree, const QRect &rect, const QColor &color)
{
    const QImage shown = tree->viewport()->grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QColor pixel = shown.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green()) +
                    std::abs(pixel.blue() - color.blue()) <
                30)
                ++count;
        }
    }
    return count;
}

} // namespace

// The frames list follows each change of the document row by row: a reorder, a move to another
// group, a deletion and their undoing keep the tree's selection and where it is scrolled, and
// remove, insert or move only the rows that changed.
class FramesListChangesTest : public QObject
{
    Q_OBJECT

private slots:
    void editsAndUndoKeepSelectionAndScrolling()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {40, 3});
        CapturedFramesListView list(&document, &images);
        list.resize(300, 420);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTreeView *tree = list.tree();
        CapturedFramesModel *model = list.model();
        QScrollBar *bar = tree->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);

        // Scrolled to the middle of the first group; two rows on screen selected as a user does.
        const QList<CapturedFrame> frames = document.groups()[0].frames;
        // The list has selected and shown the frame the preview shows (the last one) meanwhile.
        QTRY_VERIFY(!document.selection().isEmpty());
        QTest::qWait(20);
        tree->scrollTo(model->frameIndex(frames[20].id), QAbstractItemView::PositionAtTop);
        QCoreApplication::processEvents();
        const int scrolled = bar->value();
        QVERIFY2(scrolled > 0 && scrolled < bar->maximum(),
                 qPrintable(QStringLiteral("%1 of %2").arg(scrolled).arg(bar->maximum())));
        const QModelIndex top = tree->indexAt(QPoint(2, 2));
        const int firstShown = top.row();
        QVERIFY(firstShown >= 19 && firstShown <= 21);
        const QUuid a = model->frameId(model->index(firstShown + 1, 0, model->groupIndex(0)));
        const QUuid b = model->frameId(model->index(firstShown + 3, 0, model->groupIndex(0)));
        tree->selectionModel()->select(model->frameIndex(a),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        tree->selectionModel()->select(model->frameIndex(b),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QSet<QUuid> selection{a, b};
        QCOMPARE(document.selection(), selection);
        ModelSignals counted(model);

        const auto kept = [&] {
            QCoreApplication::processEvents();
            return selectedInTree(list) == selection && document.selection() == selection &&
                   bar->value() == scrolled && rowsMatch(document, *model);
        };
        const auto nothingRebuilt = [&] { return counted.reset.isEmpty() && counted.layout.isEmpty(); };

        // Both selected rows before the top row shown: the two rows that change places move, the
        // others stay.
        document.moveFrames(document.groups()[0].id, {firstShown + 1, firstShown + 3}, firstShown);
        QCOMPARE(document.groups()[0].frames[firstShown].id, a);
        QCOMPARE(document.groups()[0].frames[firstShown + 1].id, b);
        QCOMPARE(document.groups()[0].frames[firstShown + 2].id, frames[firstShown].id);
        QCOMPARE(document.groups()[0].frames[firstShown + 3].id, frames[firstShown + 2].id);
        QVERIFY(kept());
        QCOMPARE(counted.moved.size(), 2);
        document.undoStack()->undo();
        QVERIFY(kept());
        QCOMPARE(document.groups()[0].frames, frames);
        QCOMPARE(counted.moved.size(), 4);

        // A selected frame to the other group, and back with the undo.
        document.moveFrame(b, document.groups()[1].id);
        QCOMPARE(document.groups()[1].frames.last().id, b);
        QVERIFY(kept());
        QCOMPARE(counted.moved.size(), 5);
        document.undoStack()->undo();
        QVERIFY(kept());
        QCOMPARE(document.groups()[0].frames, frames);
        QCOMPARE(counted.moved.size(), 6);

        // Deleted: only that row goes; undone, only that row comes back, selected again.
        document.deleteFrame(a);
        QCoreApplication::processEvents();
        QCOMPARE(selectedInTree(list), QSet<QUuid>{b});
        QCOMPARE(bar->value(), scrolled);
        QVERIFY(rowsMatch(document, *model));
        QCOMPARE(counted.removed.size(), 1);
        QCOMPARE(counted.removed.last().at(1).toInt(), firstShown + 1);
        document.undoStack()->undo();
        QVERIFY(kept());
        QCOMPARE(counted.inserted.size(), 1);
        QCOMPARE(counted.inserted.last().at(1).toInt(), firstShown + 1);

        // Redone, the same row goes again.
        document.undoStack()->redo();
        QCoreApplication::processEvents();
        QVERIFY(rowsMatch(document, *model));
        QCOMPARE(bar->value(), scrolled);
        QCOMPARE(selectedInTree(list), QSet<QUuid>{b});
        QCOMPARE(counted.removed.size(), 2);
        QCOMPARE(counted.inserted.size(), 1);
        QCOMPARE(counted.moved.size(), 6);
        QVERIFY(nothingRebuilt());
    }

    // Frames of a later group keep their selected rows while a group before them goes and comes
    // back; the group brought back has its header again.
    void groupsBeforeTheSelectionComeAndGo()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {2, 3, 2});
        CapturedFramesListView list(&document, &images);
        CapturedFramesModel *model = list.model();
        ModelSignals counted(model);
        const QUuid selected = document.groups()[2].frames[1].id;
        document.setSelection({selected});
        const QUuid doomed = document.groups()[1].id;

        document.deleteGroup(doomed);
        QCOMPARE(selectedInTree(list), QSet<QUuid>{selected});
        QVERIFY(rowsMatch(document, *model));
        QCOMPARE(list.tree()->selectionModel()->selectedRows().value(0).parent(), model->groupIndex(1));
        QVERIFY(!list.header(doomed));

        document.undoStack()->undo();
        QCOMPARE(selectedInTree(list), QSet<QUuid>{selected});
        QVERIFY(rowsMatch(document, *model));
        QVERIFY(list.header(doomed));
        QVERIFY(list.tree()->isExpanded(model->groupIndex(1)));
        QCOMPARE(counted.removed.size(), 1);
        QCOMPARE(counted.inserted.size(), 1);
        QVERIFY(counted.reset.isEmpty());

        // A group added then given the frame: its rows show under it.
        document.addGroup();
        document.moveFrame(selected, document.groups()[3].id);
        QVERIFY(rowsMatch(document, *model));
        QVERIFY(list.tree()->isExpanded(model->groupIndex(3)));
        QCOMPARE(selectedInTree(list), QSet<QUuid>{selected});
    }

    // Pictures come in for rows in sight and far out of it at once: the rows in sight are painted
    // again at once, and a row out of sight shows its picture when scrolled to.
    void picturesShowInRowsInSightAndOnceScrolledTo()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {300, 5});
        // Every frame has its pictures, grey: no placeholder turns, so nothing repaints the list
        // but the changes.
        const auto give = [&](const QUuid &id, const QColor &color) {
            const FrameImageStore::Ticket ticket = images.track(id);
            images.setStill(id, ticket, plain(color), plain(color));
            images.setNoSubject(id, ticket);
        };
        for (const CaptureGroup &group : document.groups()) {
            for (const CapturedFrame &frame : group.frames)
                give(frame.id, Qt::gray);
        }
        CapturedFramesListView list(&document, &images);
        list.resize(300, 420);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTreeView *tree = list.tree();
        CapturedFramesModel *model = list.model();
        const QList<CapturedFrame> frames = document.groups()[0].frames;
        // The list has selected and shown the last frame meanwhile.
        QTRY_VERIFY(!document.selection().isEmpty());
        QTest::qWait(150);
        tree->scrollToTop();
        QTest::qWait(150);
        const QModelIndex inSight = model->frameIndex(frames[1].id);
        const QModelIndex farBelow = model->frameIndex(frames[250].id);
        const QModelIndex lastGroup = model->frameIndex(document.groups()[1].frames[2].id);
        QVERIFY(tree->viewport()->rect().contains(tree->visualRect(inSight)));
        QVERIFY(!tree->viewport()->rect().intersects(tree->visualRect(farBelow)));

        PaintedRegions regions(tree->viewport());
        const QColor red(230, 20, 20);
        for (const QModelIndex &index : {inSight, farBelow, lastGroup})
            give(model->frameId(index), red);
        QTRY_VERIFY(regions.painted.contains(tree->visualRect(inSight)));
        QVERIFY(pixelsOf(tree, tree->visualRect(inSight), red) > 100);

        for (const QModelIndex &index : {farBelow, lastGroup}) {
            tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
            QCoreApplication::processEvents();
            QVERIFY(tree->viewport()->rect().contains(tree->visualRect(index)));
            QVERIFY(pixelsOf(tree, tree->visualRect(index), red) > 100);
            // Its neighbour has none of it.
            QCOMPARE(pixelsOf(tree, tree->visualRect(tree->indexAbove(index)), red), 0);
        }

        // Back at the top, a picture coming in for a frame in sight shows there at once.
        tree->scrollToTop();
        QTest::qWait(150);
        regions.painted = QRegion();
        const QColor blue(20, 40, 230);
        give(frames[2].id, blue);
        const QRect row = tree->visualRect(model->frameIndex(frames[2].id));
        QTRY_VERIFY(regions.painted.contains(row));
        QVERIFY(pixelsOf(tree, row, blue) > 100);
    }
};

QUINTAREL_TEST(FramesListChangesTest)
#include "FramesListChangesTest.moc"
