#include "TestRegistry.h"

#include "state/CaptureDocument.h"

#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

namespace {

// The settings' values in a line each, for comparing whole states.
QStringList values(const CaptureDocument &document)
{
    return {document.outputFolder().toString(), document.cropToSubject() ? "crop" : "whole",
            FilterStyles::rawValue(document.selectedFilter()), ImageFormats::rawValue(document.imageFormat()),
            document.edgeOptions().signature()};
}

QList<DocumentSetting> keys(const QSignalSpy &spy)
{
    QList<DocumentSetting> keys;
    for (const QList<QVariant> &arguments : spy)
        keys << arguments.at(0).value<DocumentSetting>();
    return keys;
}

} // namespace

class SettingStepsTest : public QObject
{
    Q_OBJECT

private slots:
    // Each step changes its own setting and says which; undoing it leaves the others as they are.
    void eachStepChangesOneSettingAndNamesIt()
    {
        CaptureDocument document;
        QUndoStack *stack = document.undoStack();
        QSignalSpy changes(&document, &CaptureDocument::settingChanged);
        QList<QStringList> states{values(document)};
        document.setCropToSubject(true);
        states << values(document);
        document.setSelectedFilter(FilterStyle::Poster);
        states << values(document);
        document.setImageFormat(ImageFormat::WebP);
        states << values(document);
        document.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/sorties")));
        states << values(document);
        EdgeOptions options;
        options.outline = true;
        document.setEdgeOptions(options);
        states << values(document);
        const QList<DocumentSetting> order{DocumentSetting::CropToSubject, DocumentSetting::SelectedFilter,
                                           DocumentSetting::ImageFormat, DocumentSetting::OutputFolder,
                                           DocumentSetting::EdgeOptions};
        QCOMPARE(keys(changes), order);
        QCOMPARE(stack->count(), 5);
        QCOMPARE(stack->text(0), QStringLiteral("recadrage sur le sujet"));
        QCOMPARE(stack->undoText(), QStringLiteral("le réglage des contours"));

        changes.clear();
        for (int index = 4; index >= 0; --index) {
            stack->undo();
            QCOMPARE(values(document), states.at(index));
            QCOMPARE(keys(changes).last(), order.at(index));
        }
        QVERIFY(!document.isModified());
        stack->setIndex(5);
        QCOMPARE(values(document), states.last());
    }

    // Only the edge settings merge the changes of one drag, and only with a step of their own.
    void onlyContinuousSettingsMerge()
    {
        CaptureDocument document;
        QUndoStack *stack = document.undoStack();
        document.setSetting<CropToSubjectSetting>(true, true);
        document.setSetting<CropToSubjectSetting>(false, true);
        QCOMPARE(stack->count(), 2);

        EdgeOptions options;
        options.feather = 1;
        // Going on from a step of another setting starts a step of its own.
        document.setEdgeOptions(options, true);
        QCOMPARE(stack->count(), 3);
        options.feather = 2;
        document.setEdgeOptions(options, true);
        QCOMPARE(stack->count(), 3);
        document.setSetting<SelectedFilterSetting>(FilterStyle::Sketch, true);
        options.feather = 3;
        document.setEdgeOptions(options, true);
        QCOMPARE(stack->count(), 5);

        stack->undo();
        QCOMPARE(document.edgeOptions().feather, 2.0);
        stack->undo();
        stack->undo();
        QCOMPARE(document.edgeOptions().feather, 0.0);
        QVERIFY(!document.cropToSubject());
    }
};

QUINTAREL_TEST(SettingStepsTest)
#include "SettingStepsTest.moc"
