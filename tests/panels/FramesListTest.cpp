#include "TestCaptures.h"
#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"
#include "views/GroupHeaderView.h"

#include <QAction>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUndoStack>

namespace {

QList<QUuid> ids(const CaptureGroup &group)
{
    QList<QUuid> result;
    for (const CapturedFrame &frame : group.frames)
        result << frame.id;
    return result;
}

QSet<QUuid> selectedInTree(const CapturedFramesListView &list)
{
    QSet<QUuid> result;
    for (const QModelIndex &index : list.tree()->selectionModel()->selectedRows())
        result << list.model()->frameId(index);
    return result;
}

QStringList titles(const QMenu *menu)
{
    QStringList result;
    for (const QAction *action : menu->actions())
        result << action->text();
    return result;
}

QAction *action(const QMenu *menu, const QString &text)
{
    for (QAction *candidate : menu->actions()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

} // namespace

class FramesListTest : public QObject
{
    Q_OBJECT

private slots:
    void emptyStateOnlyForOneEmptyGroup()
    {
        CaptureDocument document;
        FrameImageStore images;
        CapturedFramesListView list(&document, &images);
        QVERIFY(list.showsEmptyState());
        QCOMPARE(list.countLabel()->text(), QStringLiteral("0"));
        document.addGroup();
        QVERIFY(!list.showsEmptyState());
        QVERIFY(list.header(document.groups().at(0).id));
        QVERIFY(list.header(document.groups().at(0).id)->deleteButton()->isVisibleTo(&list));
        document.deleteGroup(document.groups().at(1).id);
        QVERIFY(list.showsEmptyState());
        TestCaptures::fill(document, {2});
        QVERIFY(!list.showsEmptyState());
        QCOMPARE(list.countLabel()->text(), QStringLiteral("2"));
        QVERIFY(!list.header(document.groups().at(0).id)->deleteButton()->isVisibleTo(&list));
    }

    void selectionFollowsBothWays()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {2, 2});
        CapturedFramesListView list(&document, &images);
        const QUuid second = document.groups()[1].frames[0].id;
        document.setSelection({second});
        QCOMPARE(selectedInTree(list), QSet<QUuid>{second});

        const QModelIndex first = list.model()->frameIndex(document.groups()[0].frames[0].id);
        list.tree()->selectionModel()->select(first, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(document.selection(), (QSet<QUuid>{second, document.groups()[0].frames[0].id}));
    }

    void draggingFirstRowBelowLastMovesItAndKeepsSelection()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {3, 1});
        CapturedFramesListView list(&document, &images);
        const QList<QUuid> before = ids(document.groups()[0]);
        const QSet<QUuid> selection{before[0], before[2]};
        document.setSelection(selection);

        CapturedFramesModel *model = list.model();
        const QModelIndex group = model->groupIndex(0);
        std::unique_ptr<QMimeData> data(model->mimeData({model->frameIndex(before[0])}));
        QVERIFY(model->canDropMimeData(data.get(), Qt::MoveAction, 3, 0, group));
        QVERIFY(model->dropMimeData(data.get(), Qt::MoveAction, 3, 0, group));

        QCOMPARE(ids(document.groups()[0]), (QList<QUuid>{before[1], before[2], before[0]}));
        QCOMPARE(document.selection(), selection);
        QCOMPARE(selectedInTree(list), selection);
        QCOMPARE(model->frameId(model->index(2, 0, group)), before[0]);
    }

    void rowsCannotBeDroppedIntoAnotherGroup()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {2, 2});
        CapturedFramesListView list(&document, &images);
        CapturedFramesModel *model = list.model();
        std::unique_ptr<QMimeData> data(
            model->mimeData({model->frameIndex(document.groups()[0].frames[0].id)}));
        QVERIFY(!model->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, model->groupIndex(1)));
        QVERIFY(!model->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, QModelIndex()));
        const QList<CaptureGroup> before = document.groups();
        QVERIFY(!model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, model->groupIndex(1)));
        QCOMPARE(document.groups(), before);
    }

    void deleteInTheMenuDeletesOnlyThatFrame()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {3});
        CapturedFramesListView list(&document, &images);
        const QList<QUuid> frames = ids(document.groups()[0]);
        document.setSelection({frames[0], frames[1], frames[2]});
        std::unique_ptr<QMenu> menu(list.createFrameMenu(frames[1], nullptr));
        QCOMPARE(titles(menu.get()),
                 QStringList{QStringLiteral("Supprimer")}); // one group: no "Déplacer vers"
        action(menu.get(), QStringLiteral("Supprimer"))->trigger();
        QCOMPARE(ids(document.groups()[0]), (QList<QUuid>{frames[0], frames[2]}));
        QCOMPARE(document.selection(), (QSet<QUuid>{frames[0], frames[2]}));
        QCOMPARE(selectedInTree(list), (QSet<QUuid>{frames[0], frames[2]}));
    }

    void moveMenuListsTheOtherGroups()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {1, 0, 0});
        document.setGroupName(document.groups()[1].id, QString());
        CapturedFramesListView list(&document, &images);
        const QUuid frame = document.groups()[0].frames[0].id;
        std::unique_ptr<QMenu> menu(list.createFrameMenu(frame, nullptr));
        QCOMPARE(titles(menu.get()),
                 (QStringList{QStringLiteral("Déplacer vers"), QStringLiteral("Supprimer")}));
        QMenu *moveMenu = menu->actions().first()->menu();
        QCOMPARE(titles(moveMenu), (QStringList{QStringLiteral("Sans nom"), QStringLiteral("Groupe 3")}));
        action(moveMenu, QStringLiteral("Groupe 3"))->trigger();
        QCOMPARE(ids(document.groups()[2]), QList<QUuid>{frame});
        QVERIFY(document.groups()[0].frames.isEmpty());
    }

    void headerWritesNameAtEveryEditAndKeepsFocus()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {1, 1});
        CapturedFramesListView list(&document, &images);
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        const QUuid groupId = document.groups()[0].id;
        GroupHeaderView *header = list.header(groupId);
        QLineEdit *field = header->nameField();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("Plan"));
        QCOMPARE(document.groups()[0].name, QStringLiteral("Plan"));
        QTest::keyClick(field, Qt::Key_Left);
        QTest::keyClicks(field, QStringLiteral("x"));
        QCOMPARE(document.groups()[0].name, QStringLiteral("Plaxn"));
        QCOMPARE(list.header(groupId), header); // the header was not rebuilt
        QVERIFY(field->hasFocus());
        QCOMPARE(field->cursorPosition(), 4);
    }

    void headerActivatesAndEditsNotes()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {1, 1});
        CapturedFramesListView list(&document, &images);
        const QUuid first = document.groups()[0].id;
        GroupHeaderView *header = list.header(first);
        QVERIFY(!header->isActive());
        QCOMPARE(header->activeButton()->toolTip(), QStringLiteral("Définir comme groupe actif"));
        header->activeButton()->click();
        QCOMPARE(document.activeGroupID(), first);
        QCOMPARE(header->activeButton()->toolTip(), QStringLiteral("Groupe actif (cible des captures)"));

        header->setNotesShown(true);
        QVERIFY(header->notesPopup());
        auto *title = header->notesPopup()->findChild<QLabel *>();
        QCOMPARE(title->text(), QStringLiteral("Description — Captures"));

        // What is typed in the popup becomes the group's notes, and notes set elsewhere show there.
        auto *editor = header->notesPopup()->findChild<QPlainTextEdit *>();
        QVERIFY(editor);
        editor->setFocus();
        const int steps = document.undoStack()->count();
        QTest::keyClicks(editor, QStringLiteral("Matin"));
        QCOMPARE(document.groups()[0].notes, QStringLiteral("Matin"));
        QCOMPARE(document.groups()[1].notes, QString());
        // Typed in one go, the notes are one step.
        QCOMPARE(document.undoStack()->count(), steps + 1);
        document.setGroupNotes(first, QStringLiteral("Prises de vue du matin"));
        QCOMPARE(editor->toPlainText(), QStringLiteral("Prises de vue du matin"));
        header->setNotesShown(false);
    }

    // The description popup opens above its button when there is room, below it otherwise, and
    // always inside the screen, title included.
    void notesPopupStaysOnScreen()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {1, 1});
        CapturedFramesListView list(&document, &images);
        list.resize(300, 400);
        const QRect screen = list.screen()->availableGeometry();
        for (const QPoint corner : {screen.topLeft(), QPoint(screen.right() - 300, screen.top() + 120),
                                    QPoint(screen.left(), screen.bottom() - 420)}) {
            list.move(corner);
            list.show();
            QVERIFY(QTest::qWaitForWindowExposed(&list));
            QTRY_COMPARE(list.geometry().topLeft(), corner);
            GroupHeaderView *header = list.header(document.groups()[0].id);
            header->setNotesShown(true);
            QFrame *popup = header->notesPopup();
            QTRY_VERIFY(popup->isVisible());
            const QRect button(header->notesButton()->mapToGlobal(QPoint(0, 0)),
                               header->notesButton()->size());
            QVERIFY2(screen.contains(popup->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3×%4")
                                                                             .arg(popup->x())
                                                                             .arg(popup->y())
                                                                             .arg(popup->width())
                                                                             .arg(popup->height())));
            QVERIFY(!popup->frameGeometry().intersects(button));
            header->setNotesShown(false);
        }
    }

    // A name longer than its field shows its beginning and ends in an ellipsis, never a letter cut
    // at either edge: the field starts exactly as it does for the name's first letters alone.
    void longGroupNameShowsItsBeginning()
    {
        CaptureDocument document;
        FrameImageStore images;
        TestCaptures::fill(document, {1, 1});
        CapturedFramesListView list(&document, &images);
        list.resize(280, 300);
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        const QUuid groupId = document.groups()[0].id;
        QLineEdit *field = list.header(groupId)->nameField();
        const QString name =
            QStringLiteral("Wagons du marché couvert, vus depuis la passerelle nord au petit matin");
        QVERIFY(field->fontMetrics().horizontalAdvance(name) > 2 * field->width());

        document.setGroupName(groupId, name.left(6));
        QCoreApplication::processEvents();
        const QImage start = field->grab().toImage();
        document.setGroupName(groupId, name);
        QCoreApplication::processEvents();
        const QImage whole = field->grab().toImage();
        QCOMPARE(field->text(), name);
        const int beginning = field->fontMetrics().horizontalAdvance(name.left(5));
        QVERIFY(beginning > 20);
        QCOMPARE(whole.copy(0, 0, beginning, whole.height()), start.copy(0, 0, beginning, start.height()));

        // Typing into it shows the text as a field does.
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        field->setCursorPosition(0);
        QTest::keyClicks(field, QStringLiteral("Les "));
        QCOMPARE(document.groups()[0].name, QStringLiteral("Les ") + name);
    }
};

QUINTAREL_TEST(FramesListTest)
#include "FramesListTest.moc"
