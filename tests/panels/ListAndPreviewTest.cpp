#include "TestCaptures.h"
#include "TestRegistry.h"

#include "models/Annotation.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "state/PreviewRenderer.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"
#include "views/ExtractionPreviewView.h"
#include "views/GroupHeaderView.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <QUndoStack>

namespace {

// The frames list beside the preview, as the window places them, the list low enough to scroll.
struct Window
{
    CaptureDocument document;
    FrameImageStore images;
    PreviewRenderer renderer;
    QWidget widget;
    CapturedFramesListView *list = new CapturedFramesListView(&document, &images, &widget);
    ExtractionPreviewView *preview =
        new ExtractionPreviewView(&document, &images, &renderer, nullptr, &widget);

    explicit Window(const QList<int> &framesPerGroup)
    {
        TestCaptures::fill(document, framesPerGroup);
        auto *layout = new QHBoxLayout(&widget);
        layout->addWidget(list);
        layout->addWidget(preview, 1);
        widget.resize(900, 300);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        settle();
    }

    static void settle() { QTest::qWait(0); }

    QUuid frame(int group, int position) const { return document.groups().at(group).frames.at(position).id; }

    QSet<QUuid> highlighted() const
    {
        QSet<QUuid> result;
        for (const QModelIndex &index : list->tree()->selectionModel()->selectedRows())
            result << list->model()->frameId(index);
        return result;
    }

    QUuid previewed() const
    {
        const QString key = preview->previewKey();
        return key == QLatin1String("none") ? QUuid() : QUuid::fromString(key.left(36));
    }

    // The frame's row lies whole inside the list's visible part.
    bool wholeInSight(const QUuid &frameId) const
    {
        const QRect row = list->tree()->visualRect(list->model()->frameIndex(frameId));
        return row.isValid() && list->tree()->viewport()->rect().contains(row);
    }

    bool headerInSight(const QUuid &groupId) const
    {
        const int g = document.indexOfGroup(groupId);
        const QRect row = list->tree()->visualRect(list->model()->groupIndex(g));
        return row.isValid() && list->tree()->viewport()->rect().intersects(row);
    }

    void scrollToTop() const { list->tree()->verticalScrollBar()->setValue(0); }

    void press(Qt::Key key) const
    {
        list->tree()->setFocus();
        QTest::keyClick(list->tree(), key);
        settle();
    }
};

Annotation line()
{
    Annotation annotation;
    annotation.kind = QStringLiteral("line");
    annotation.start = {0.1, 0.1};
    annotation.end = {0.8, 0.7};
    return annotation;
}

} // namespace

class ListAndPreviewTest : public QObject
{
    Q_OBJECT

private slots:
    // A line drawn on a frame far down the list, another frame chosen at the top: undoing the line
    // selects, previews and scrolls to the frame it changed, and so does redoing it.
    void undoAndRedoShowTheFrameTheyChange()
    {
        Window window({2, 8});
        const QUuid drawn = window.frame(1, 7);
        window.document.setSelection({drawn});
        window.document.addAnnotation(drawn, line());
        const QUuid top = window.frame(0, 0);
        window.document.setSelection({top});
        window.scrollToTop();
        QVERIFY(!window.wholeInSight(drawn));

        window.document.undoStack()->undo();
        window.settle();
        QVERIFY(window.document.frame(drawn)->annotations.isEmpty());
        QCOMPARE(window.document.selection(), QSet<QUuid>{drawn});
        QCOMPARE(window.previewed(), drawn);
        QCOMPARE(window.highlighted(), QSet<QUuid>{drawn});
        QVERIFY(window.wholeInSight(drawn));

        window.document.setSelection({top});
        window.scrollToTop();
        window.document.undoStack()->redo();
        window.settle();
        QCOMPARE(window.document.frame(drawn)->annotations.size(), 1);
        QCOMPARE(window.previewed(), drawn);
        QVERIFY(window.wholeInSight(drawn));

        // A selection that holds the changed frame already is kept as it is.
        const QSet<QUuid> both{top, drawn};
        window.document.setSelection(both);
        window.document.undoStack()->undo();
        QCOMPARE(window.document.selection(), both);
    }

    // Steps that change a group show that group; a step whose frame is gone shows its group.
    void groupStepsShowTheirGroup()
    {
        // The first group is long enough to keep the second one below the list at its height.
        Window window({12, 3});
        const QUuid second = window.document.groups().at(1).id;
        window.document.setGroupName(second, QStringLiteral("Rue"));
        window.document.setSelection({window.frame(0, 0)});
        window.scrollToTop();
        QVERIFY(!window.headerInSight(second));
        window.document.undoStack()->undo();
        window.settle();
        QCOMPARE(window.document.groups().at(1).name, QStringLiteral("Groupe 2"));
        QVERIFY(window.headerInSight(second));
        // The selection is not a group's to change.
        QCOMPARE(window.document.selection(), QSet<QUuid>{window.frame(0, 0)});

        // Undoing a capture: the frame is gone, its group is shown.
        window.document.setActiveGroup(second);
        window.document.captureFrame(MediaTime(99, 30));
        window.scrollToTop();
        window.document.setSelection({window.frame(0, 0)});
        window.document.undoStack()->undo();
        window.settle();
        QCOMPARE(window.document.groups().at(1).frames.size(), 3);
        QVERIFY(window.headerInSight(second));

        // Undoing the deletion of a group far down brings it back into sight.
        window.document.deleteGroup(second);
        window.scrollToTop();
        window.document.undoStack()->undo();
        window.settle();
        QVERIFY(window.headerInSight(second));
    }

    // With nothing selected the preview shows the last frame: the list highlights that very frame,
    // after the document is replaced (a project opened) and after the selected frame is deleted.
    void theListHighlightsThePreviewedFrame()
    {
        Window window({2, 3});
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(1, 2)});
        QCOMPARE(window.previewed(), window.frame(1, 2));

        DocumentContent opened = window.document.content();
        opened.groups[0].frames << CapturedFrame(MediaTime(40, 30));
        opened.groups.swapItemsAt(0, 1);
        window.document.reset(opened);
        window.settle();
        const QUuid last = window.document.groups().at(1).frames.last().id;
        QCOMPARE(window.previewed(), last);
        QCOMPARE(window.highlighted(), QSet<QUuid>{last});
        QVERIFY(window.wholeInSight(last));

        const QUuid first = window.frame(0, 0);
        window.document.setSelection({first});
        window.document.deleteFrame(first);
        window.settle();
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.previewed()});
        QVERIFY(!window.previewed().isNull());
        window.document.undoStack()->undo();
        window.settle();
        QCOMPARE(window.previewed(), first);
        QCOMPARE(window.highlighted(), QSet<QUuid>{first});

        // A frame that leaves for another group only for a moment keeps its selection.
        window.document.moveFrame(first, window.document.groups().at(1).id);
        window.settle();
        QCOMPARE(window.document.selection(), QSet<QUuid>{first});
    }

    // The arrow keys go from frame to frame across the group rows, never resting on a group.
    void arrowKeysStepOverGroupRows()
    {
        Window window({2, 0, 2});
        window.document.setSelection({window.frame(0, 1)});
        window.press(Qt::Key_Down);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(2, 0)});
        QCOMPARE(window.previewed(), window.frame(2, 0));
        window.press(Qt::Key_Up);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(0, 1)});
        QCOMPARE(window.previewed(), window.frame(0, 1));
        window.press(Qt::Key_Up);
        window.press(Qt::Key_Up);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(0, 0)});
        window.press(Qt::Key_End);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(2, 1)});
        window.press(Qt::Key_Down);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(2, 1)});
        window.press(Qt::Key_Home);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.frame(0, 0)});
    }

    // Delete and Backspace delete the selected frames, all of them in one step.
    void deleteKeysDeleteTheSelectedFrames()
    {
        Window window({3, 2});
        const QList<CaptureGroup> before = window.document.groups();
        window.document.setSelection({window.frame(0, 1), window.frame(1, 0)});
        window.press(Qt::Key_Delete);
        QCOMPARE(window.document.frameCount(), 3);
        QCOMPARE(window.document.undoStack()->count(), 1);
        QCOMPARE(window.highlighted(), QSet<QUuid>{window.previewed()});
        window.document.undoStack()->undo();
        QCOMPARE(window.document.groups(), before);

        window.document.setSelection({window.frame(1, 1)});
        window.press(Qt::Key_Backspace);
        QCOMPARE(window.document.frameCount(), 4);
        QCOMPARE(window.document.undoStack()->count(), 1);
    }

    // A new capture at the end of a long list scrolls into sight whole.
    void theNewestCaptureIsWholeInSight()
    {
        Window window({1});
        for (int i = 0; i < 12; ++i) {
            const QUuid captured = window.document.captureFrame(MediaTime(100 + i, 30));
            window.settle();
            QVERIFY2(window.wholeInSight(captured), qPrintable(QString::number(i)));
        }
    }
};

QUINTAREL_TEST(ListAndPreviewTest)
#include "ListAndPreviewTest.moc"
