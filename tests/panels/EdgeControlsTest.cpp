#include "TestRegistry.h"

#include "state/AppState.h"
#include "views/ColorWellButton.h"
#include "views/ContinuousSlider.h"
#include "views/EdgeControlsView.h"
#include "views/ValueSlider.h"

#include <QCheckBox>
#include <QTest>

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
        AppState state;
        EdgeControlsView view(&state);
        const std::function<double()> stored[] = {[&] { return state.edgeOptions().shrink; },
                                                  [&] { return state.edgeOptions().feather; },
                                                  [&] { return state.edgeOptions().outlineWidth; }};
        ValueSlider *sliders[] = {view.shrinkSlider(), view.featherSlider(), view.outlineWidthSlider()};
        ContinuousSlider *knob = sliders[slider]->slider();
        knob->setValue(knob->maximum());
        QCOMPARE(stored[slider](), high);
        knob->setValue(knob->minimum());
        QCOMPARE(stored[slider](), low);
    }

    void storedValueKeepsItsPrecision()
    {
        AppState state;
        EdgeControlsView view(&state);
        EdgeOptions options;
        options.shrink = 1.5;
        options.feather = 3.14159;
        state.setEdgeOptions(options);
        QCOMPARE(view.shrinkSlider()->valueText(), QLocale().toString(2.0, 'f', 0));
        QCOMPARE(view.shrinkSlider()->value(), 1.5);
        // Another control's change writes the others back unchanged.
        view.outlineToggle()->click();
        QCOMPARE(state.edgeOptions().shrink, 1.5);
        QCOMPARE(state.edgeOptions().feather, 3.14159);
        QVERIFY(state.edgeOptions().outline);
    }

    void outlineToggleShowsAndHidesItsSettings()
    {
        AppState state;
        EdgeControlsView view(&state);
        QVERIFY(!view.isExpanded());
        view.setExpanded(true);
        QVERIFY(!view.outlineWidthSlider()->isVisibleTo(&view));
        view.outlineToggle()->click();
        QVERIFY(view.outlineWidthSlider()->isVisibleTo(&view));
        QVERIFY(view.outlineColorWell()->isVisibleTo(&view));
        EdgeOptions options = state.edgeOptions();
        options.outlineWidth = 12.25;
        options.outlineColor = QColor(10, 20, 30, 128);
        state.setEdgeOptions(options);
        view.outlineToggle()->click();
        QVERIFY(!view.outlineWidthSlider()->isVisibleTo(&view));
        view.outlineToggle()->click();
        QCOMPARE(view.outlineWidthSlider()->value(), 12.25);
        QCOMPARE(view.outlineColorWell()->color(), QColor(10, 20, 30, 128));
        QCOMPARE(state.edgeOptions().outlineWidth, 12.25);
    }
};

QUINTAREL_TEST(EdgeControlsTest)
#include "EdgeControlsTest.moc"
