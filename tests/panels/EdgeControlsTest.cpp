#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "views/ColorWellButton.h"
#include "views/ContinuousSlider.h"
#include "views/EdgeControlsView.h"
#include "views/ValueSlider.h"

#include <QCheckBox>
#include <QTest>
#include <QUndoStack>

class EdgeControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void slidersReachTheirExactEnds_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("shrink") << 0 << 0.0 << 10.0;
        QTest::newRow("feather") << 1 << 0.0 << 10.0;
        QTest::newRow("outline width") << 2 << 1.0 << 20.0;
    }

    void slidersReachTheirExactEnds()
    {
        QFETCH(int, slider);
        QFETCH(double, low);
        QFETCH(double, high);
        CaptureDocument document;
        EdgeControlsView view(&document);
        const std::function<double()> stored[] = {[&] { return document.edgeOptions().shrink; },
                                                  [&] { return document.edgeOptions().feather; },
                                                  [&] { return document.edgeOptions().outlineWidth; }};
        ValueSlider *sliders[] = {view.shrinkSlider(), view.featherSlider(), view.outlineWidthSlider()};
        ContinuousSlider *knob = sliders[slider]->slider();
        knob->setValue(knob->maximum());
        QCOMPARE(stored[slider](), high);
        knob->setValue(knob->minimum());
        QCOMPARE(stored[slider](), low);
    }

    void storedValueKeepsItsPrecision()
    {
        CaptureDocument document;
        EdgeControlsView view(&document);
        EdgeOptions options;
        options.shrink = 1.5;
        options.feather = 3.14159;
        document.setEdgeOptions(options);
        QCOMPARE(view.shrinkSlider()->valueText(), QLocale().toString(2.0, 'f', 0));
        QCOMPARE(view.shrinkSlider()->value(), 1.5);
        // Another control's change writes the others back unchanged.
        view.outlineToggle()->click();
        QCOMPARE(document.edgeOptions().shrink, 1.5);
        QCOMPARE(document.edgeOptions().feather, 3.14159);
        QVERIFY(document.edgeOptions().outline);
    }

    void outlineToggleShowsAndHidesItsSettings()
    {
        CaptureDocument document;
        EdgeControlsView view(&document);
        QVERIFY(!view.isExpanded());
        view.setExpanded(true);
        QVERIFY(!view.outlineWidthSlider()->isVisibleTo(&view));
        view.outlineToggle()->click();
        QVERIFY(view.outlineWidthSlider()->isVisibleTo(&view));
        QVERIFY(view.outlineColorWell()->isVisibleTo(&view));
        EdgeOptions options = document.edgeOptions();
        options.outlineWidth = 12.25;
        options.outlineColor = QColor(10, 20, 30, 128);
        document.setEdgeOptions(options);
        view.outlineToggle()->click();
        QVERIFY(!view.outlineWidthSlider()->isVisibleTo(&view));
        view.outlineToggle()->click();
        QCOMPARE(view.outlineWidthSlider()->value(), 12.25);
        QCOMPARE(view.outlineColorWell()->color(), QColor(10, 20, 30, 128));
        QCOMPARE(document.edgeOptions().outlineWidth, 12.25);
    }

    // Undoing and redoing a colour chosen in the well shows the colour in force each time.
    void theColourWellFollowsUndo()
    {
        CaptureDocument document;
        EdgeControlsView view(&document);
        view.setExpanded(true);
        view.outlineToggle()->click();
        const QColor before = view.outlineColorWell()->color();
        const QColor chosen(20, 60, 200, 180);
        emit view.outlineColorWell()->colorEdited(chosen);
        QCOMPARE(document.edgeOptions().outlineColor.toColor(), chosen.toRgb());
        QCOMPARE(view.outlineColorWell()->color(), document.edgeOptions().outlineColor.toColor());
        document.undoStack()->undo();
        QCOMPARE(view.outlineColorWell()->color(), before);
        document.undoStack()->redo();
        QCOMPARE(view.outlineColorWell()->color(), document.edgeOptions().outlineColor.toColor());
    }

    // A slider dragged from one end to the other is one step; a click of the outline switch another.
    void aSliderDragIsOneStep()
    {
        CaptureDocument document;
        EdgeControlsView view(&document);
        ContinuousSlider *knob = view.featherSlider()->slider();
        knob->setSliderDown(true);
        for (int position = 100; position <= knob->maximum(); position += 100)
            knob->setValue(position);
        knob->setSliderDown(false);
        QCOMPARE(document.edgeOptions().feather, 10.0);
        QCOMPARE(document.undoStack()->count(), 1);
        QCOMPARE(document.undoStack()->undoText(), QStringLiteral("le réglage des contours"));

        // Keys move the knob outside a drag: each press is a step of its own.
        knob->triggerAction(QAbstractSlider::SliderSingleStepSub);
        knob->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(document.undoStack()->count(), 3);
        view.outlineToggle()->click();
        QCOMPARE(document.undoStack()->count(), 4);

        document.undoStack()->setIndex(0);
        QCOMPARE(document.edgeOptions().feather, 0.0);
        QVERIFY(!document.edgeOptions().outline);
        QCOMPARE(view.featherSlider()->value(), 0.0);
        QVERIFY(!view.outlineToggle()->isChecked());
    }

    // Edge colours are kept as they are unless switched on; the switch is one step, and follows undo.
    void cleanColoursSwitchIsOffByDefault()
    {
        CaptureDocument document;
        EdgeControlsView view(&document);
        view.setExpanded(true);
        QVERIFY(view.cleanColorsToggle()->isVisibleTo(&view));
        QCOMPARE(view.cleanColorsToggle()->text(), QStringLiteral("Nettoyer les couleurs du bord"));
        QVERIFY(!view.cleanColorsToggle()->isChecked());
        QVERIFY(!document.edgeOptions().cleanColors);
        QCOMPARE(document.edgeOptions().signature(), QStringLiteral("0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        view.cleanColorsToggle()->click();
        QVERIFY(document.edgeOptions().cleanColors);
        QVERIFY(document.edgeOptions().cleanColors);
        QCOMPARE(document.undoStack()->count(), 1);
        QCOMPARE(document.edgeOptions().signature(),
                 QStringLiteral("0.0-0.0-0-6.0-1.00,1.00,1.00,1.00-clean"));
        document.undoStack()->undo();
        QVERIFY(!document.edgeOptions().cleanColors);
        QVERIFY(!view.cleanColorsToggle()->isChecked());
        document.undoStack()->redo();
        QVERIFY(view.cleanColorsToggle()->isChecked());
    }
};

QUINTAREL_TEST(EdgeControlsTest)
#include "EdgeControlsTest.moc"
