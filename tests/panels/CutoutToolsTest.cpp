#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "platform/SubjectSegmenter.h"
#include "services/CutoutCorrector.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/CorrectedCutouts.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "views/AnnotationCanvas.h"
#include "views/CanvasToolSegments.h"
#include "views/CanvasToolbox.h"
#include "views/ContinuousSlider.h"
#include "views/CutoutBrushTool.h"
#include "views/CutoutDropTool.h"
#include "views/ExtractionPreviewView.h"
#include "views/PreviewStage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

namespace {

void send(QWidget *widget, QEvent::Type type, QPointF position, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void click(QWidget *widget, QPointF at)
{
    send(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    send(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void drag(QWidget *widget, QPointF from, QPointF to)
{
    send(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 8; ++step)
        send(widget, QEvent::MouseMove, from + (to - from) * step / 8.0, Qt::NoButton, Qt::LeftButton);
    send(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace

// The correction tools of the preview, on a frame the real model has lifted: each gesture becomes
// one correction of the previewed frame, in the frame's own coordinates, and the preview shows the
// cut-out it gives.
class CutoutToolsTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ExtractionPreviewView> m_view;
    QUuid m_frame;

    AnnotationCanvas *canvas() const { return m_view->canvas(); }
    QList<CutoutCorrection> corrections() const { return m_state->document()->frame(m_frame)->corrections; }
    // Where a point of the frame (pixels) shows on the canvas.
    QPointF onCanvas(QPointF pixel) const
    {
        return canvas()->toWidget(QPointF(pixel.x() / 960, pixel.y() / 540));
    }
    bool previewShowsCorrections() const
    {
        return QTest::qWaitFor(
            [&] {
                return m_state->images()->images(m_frame).corrections == corrections() &&
                       m_view->stage()->content() == PreviewStage::Content::Image;
            },
            120000);
    }
    SubjectMask liftedMask() const
    {
        const FrameImages images = m_state->images()->images(m_frame);
        return SubjectMask::decoded(images.mask, images.still).value();
    }

private slots:
    void initTestCase()
    {
        m_state = std::make_unique<AppState>(&m_runs, PlayerOutput::Headless);
        m_state->imageMaker()->setCache(nullptr);
        QVERIFY(
            TestVideo::open(*m_state, TestMedia::shapesVideo(QStringLiteral("tools"), QSize(960, 540), 30)));
        TestCaptures::addFrames(*m_state, {{6}});
        QVERIFY(TestCaptures::waitUntilMade(*m_state, 600000));
        m_frame = m_state->document()->allFrames().first().id;
        m_state->document()->setSelection({m_frame});
        m_view = std::make_unique<ExtractionPreviewView>(m_state->document(), m_state->images(),
                                                         m_state->renderer(), m_state->correctedCutouts());
        m_view->resize(900, 700);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        QVERIFY(previewShowsCorrections());
        QCOMPARE(liftedMask().instanceCount(), 2);
    }

    void theToolsArePickedInTheirOwnSection()
    {
        CanvasToolbox *toolbox = m_view->toolbox();
        QCOMPARE(toolbox->sections().size(), 2);
        QStringList names;
        for (CanvasTool *tool : toolbox->sections().at(1))
            names << tool->displayName();
        QCOMPARE(names, (QStringList{"Retirer un sujet", "Ajouter un sujet", "Effacer", "Restaurer"}));
        // They are picked beside the picture, the annotation tools above it; a segment is
        // checked in one place only.
        CanvasTool *drop = toolbox->sections().at(1).first();
        CanvasTool *select = toolbox->sections().at(0).first();
        QVERIFY(!m_view->toolSegments()->segment(drop));
        QToolButton *dropSegment = m_view->correctionToolSegments()->segment(drop);
        QVERIFY(dropSegment);
        QVERIFY(m_view->stage()->isAncestorOf(dropSegment));
        QVERIFY(dropSegment->isVisibleTo(m_view.get()));
        QVERIFY(!m_view->correctionToolSegments()->segment(select));
        dropSegment->click();
        QCOMPARE(toolbox->activeTool(), drop);
        QVERIFY(dropSegment->isChecked());
        QVERIFY(!m_view->toolSegments()->segment(select)->isChecked());
        m_view->toolSegments()->segment(select)->click();
        QCOMPARE(toolbox->activeTool(), select);
        QVERIFY(!dropSegment->isChecked());
        QVERIFY(m_view->brushSizeSlider()->isHidden());
        toolbox->setActiveTool(QStringLiteral("cutout.erase"));
        QVERIFY(!m_view->brushSizeSlider()->isHidden());
        toolbox->setActiveTool(QStringLiteral("annotation.select"));
        QVERIFY(m_view->brushSizeSlider()->isHidden());
    }

    void hoveringOutlinesASubjectAndAClickDropsIt()
    {
        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.drop"));
        auto *tool = qobject_cast<CutoutDropTool *>(m_view->toolbox()->activeTool());
        QVERIFY(tool);
        const QRect square = liftedMask().instanceBounds(1);
        // The outline comes once the shown mask has been made.
        QVERIFY(QTest::qWaitFor(
            [&] {
                send(canvas(), QEvent::MouseMove, onCanvas(square.center()), Qt::NoButton, Qt::NoButton);
                return tool->hoveredSubject() == 1;
            },
            60000));
        // Off every subject, nothing is outlined and a click drops nothing.
        click(canvas(), onCanvas(QPointF(480, 20)));
        QCOMPARE(tool->hoveredSubject(), -1);
        QVERIFY(corrections().isEmpty());

        click(canvas(), onCanvas(square.center()));
        QCOMPARE(corrections().size(), 1);
        const CutoutCorrection dropped = corrections().first();
        QCOMPARE(dropped.kind, CutoutCorrection::Kind::DropSubject);
        QVERIFY(square.contains(CutoutCorrector::pixelOf(dropped.points.first(), QSize(960, 540))));
        QVERIFY(previewShowsCorrections());
        // The cut-out shown has lost the square and kept the ellipse.
        const QImage cutOut = m_state->images()->images(m_frame).subject;
        QCOMPARE(qAlpha(cutOut.pixel(square.center())), 0);
        QVERIFY(qAlpha(cutOut.pixel(liftedMask().instanceBounds(0).center())) > 0);

        m_state->document()->undoStack()->undo();
        QVERIFY(previewShowsCorrections());
        QVERIFY(qAlpha(m_state->images()->images(m_frame).subject.pixel(square.center())) > 0);
    }

    void aBrushStrokeIsOneCorrectionOfItsSize()
    {
        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.erase"));
        m_view->brushSizeSlider()->setRealValue(0.05);
        emit m_view->brushSizeSlider()->realValueEdited(0.05, false);
        const QRect ellipse = liftedMask().instanceBounds(0);
        const QPointF from(ellipse.left() + ellipse.width() * 0.3, ellipse.center().y());
        const QPointF to(ellipse.left() + ellipse.width() * 0.7, ellipse.center().y());
        drag(canvas(), onCanvas(from), onCanvas(to));
        QCOMPARE(corrections().size(), 1);
        const CutoutCorrection stroke = corrections().first();
        QCOMPARE(stroke.kind, CutoutCorrection::Kind::Erase);
        QCOMPARE(stroke.size, 0.05);
        QVERIFY(stroke.points.size() >= 2);
        QVERIFY(qAbs(stroke.points.first().x() * 960 - from.x()) < 3);
        QVERIFY(qAbs(stroke.points.last().x() * 960 - to.x()) < 3);
        QVERIFY(previewShowsCorrections());
        const QImage cutOut = m_state->images()->images(m_frame).subject;
        QCOMPARE(qAlpha(cutOut.pixel(ellipse.center())), 0);

        // Restored with a stroke along the same path, the ellipse is whole again there.
        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.restore"));
        QCOMPARE(qobject_cast<CutoutBrushTool *>(m_view->toolbox()->activeTool())->size(), 0.05);
        drag(canvas(), onCanvas(from), onCanvas(to));
        QCOMPARE(corrections().size(), 2);
        QCOMPARE(corrections().last().kind, CutoutCorrection::Kind::Restore);
        QVERIFY(previewShowsCorrections());
        QVERIFY(qAlpha(m_state->images()->images(m_frame).subject.pixel(ellipse.center())) > 200);
        m_state->document()->undoStack()->undo();
        m_state->document()->undoStack()->undo();
        QVERIFY(previewShowsCorrections());
    }

    void addingWhereThereIsNothingSaysSo()
    {
        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.add"));
        QVERIFY(m_view->correctionMessage()->isHidden());
        click(canvas(), onCanvas(QPointF(480, 30)));
        QVERIFY(QTest::qWaitFor([&] { return !m_view->correctionMessage()->isHidden(); }, 120000));
        QCOMPARE(m_view->correctionMessage()->text(), QStringLiteral("Aucun sujet trouvé à cet endroit"));
        QVERIFY(corrections().isEmpty());
        QVERIFY(!m_state->correctedCutouts()->isBusy(m_frame));
    }

    // A frame whose cut-out is left empty shows its picture, faded, to the tools that add a subject
    // (and only to them), and a box drawn over it adds the square back.
    void aFrameWithoutSubjectCanTakeOneByABox()
    {
        const SubjectMask lifted = liftedMask();
        const QRect ellipse = lifted.instanceBounds(0);
        const QRect square = lifted.instanceBounds(1);
        const QSize frame(960, 540);
        m_view->toolbox()->setActiveTool(QStringLiteral("annotation.select"));
        for (const QRect &subject : {ellipse, square})
            m_state->document()->addCorrection(
                m_frame,
                CutoutCorrection::dropSubject(CutoutCorrector::normalisedOf(subject.center(), frame)));
        QVERIFY(QTest::qWaitFor(
            [&] { return m_view->stage()->content() == PreviewStage::Content::NoSubject; }, 60000));
        QCOMPARE(m_state->images()->images(m_frame).extraction, FrameImages::Extraction::NoSubject);
        QVERIFY(!canvas()->isVisibleTo(m_view.get()));

        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.add"));
        QCOMPARE(m_view->stage()->content(), PreviewStage::Content::NoSubject);
        QVERIFY(canvas()->isVisibleTo(m_view.get()));
        QCOMPARE(canvas()->pictureSize(), frame);
        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.drop"));
        QVERIFY(!canvas()->isVisibleTo(m_view.get()));
        m_view->toolbox()->setActiveTool(QStringLiteral("cutout.add"));

        const QRect box = square.adjusted(-25, -25, 25, 25);
        drag(canvas(), onCanvas(box.topLeft()), onCanvas(box.bottomRight()));
        QVERIFY(QTest::qWaitFor([&] { return corrections().size() == 3; }, 120000));
        QCOMPARE(corrections().last().kind, CutoutCorrection::Kind::AddSubjectInBox);
        QVERIFY(previewShowsCorrections());
        const QImage cutOut = m_state->images()->images(m_frame).subject;
        QVERIFY(qAlpha(cutOut.pixel(square.center())) > 200);
        QCOMPARE(qAlpha(cutOut.pixel(ellipse.center())), 0);

        // The three corrections are undone one by one: the box, then each drop.
        QUndoStack *undo = m_state->document()->undoStack();
        undo->undo();
        QVERIFY(QTest::qWaitFor(
            [&] { return m_view->stage()->content() == PreviewStage::Content::NoSubject; }, 60000));
        undo->undo();
        undo->undo();
        QVERIFY(corrections().isEmpty());
        QVERIFY(previewShowsCorrections());
        m_view->toolbox()->setActiveTool(QStringLiteral("annotation.select"));
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_state.reset();
    }
};

QUINTAREL_TEST(CutoutToolsTest)
#include "CutoutToolsTest.moc"
