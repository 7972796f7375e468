#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "views/ExportFormatChoice.h"
#include "views/ExportPanelView.h"

#include <QComboBox>
#include <QTest>
#include <QUndoStack>

// The export panel's choice of PNG or WebP is the document's setting, each choice an undo step, and
// the summary names WebP images as such.
class ExportFormatChoiceTest : public QObject
{
    Q_OBJECT

private slots:
    void choiceFollowsAndSetsTheDocument()
    {
        CaptureDocument document;
        ExportPanelView panel(&document);
        panel.show();
        auto *choice = panel.findChild<ExportFormatChoice *>();
        QVERIFY(choice);
        // WebP can be written here, so the choice is offered.
        QVERIFY(choice->isVisible());
        QComboBox *box = choice->box();
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->currentText(), QStringLiteral("PNG"));

        box->setCurrentIndex(1);
        emit box->activated(1);
        QCOMPARE(document.imageFormat(), ImageFormat::WebP);
        QVERIFY(document.undoStack()->canUndo());
        document.undoStack()->undo();
        QCOMPARE(document.imageFormat(), ImageFormat::Png);
        QCOMPARE(box->currentText(), QStringLiteral("PNG"));
        // Choosing what is chosen already records nothing.
        const int steps = document.undoStack()->count();
        emit box->activated(0);
        QCOMPARE(document.undoStack()->count(), steps);
    }

    void summaryNamesTheFormat()
    {
        QCOMPARE(ExportPanelView::summary(4, 0, 0), QStringLiteral("4 image(s) exportée(s)."));
        QCOMPARE(ExportPanelView::summary(4, 0, 0, ImageFormat::WebP),
                 QStringLiteral("4 image(s) WebP exportée(s)."));
        QCOMPARE(ExportPanelView::summary(5, 2, 2, ImageFormat::WebP),
                 QStringLiteral("3 image(s) WebP exportée(s), 2 échec(s)."));
    }
};

QUINTAREL_TEST(ExportFormatChoiceTest)
#include "ExportFormatChoiceTest.moc"
