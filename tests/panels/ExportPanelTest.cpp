#include "TestCaptures.h"
#include "TestExports.h"
#include "TestRegistry.h"

#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "views/ElidedLabel.h"
#include "views/ExportPanelView.h"
#include "views/ExportProgressView.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool showsText(const QWidget &panel, const QString &text)
{
    for (const QLabel *label : panel.findChildren<QLabel *>()) {
        if (label->text() == text && label->isVisibleTo(&panel))
            return true;
    }
    return false;
}

} // namespace

class ExportPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void exportMenuNeedsFramesAFolderAndNoRun()
    {
        QTemporaryDir folder;
        ExportRuns runs;
        CaptureDocument document;
        ExportPanelView panel(&document);
        const QString warning = QStringLiteral("Choisissez un dossier de sortie pour exporter.");
        QVERIFY(!panel.exportButton()->isEnabled());
        QVERIFY(showsText(panel, warning));

        TestCaptures::fill(document, {1});
        QVERIFY(!panel.exportButton()->isEnabled()); // frames but no folder
        QVERIFY(showsText(panel, warning));

        CaptureDocument folderOnly;
        ExportPanelView folderPanel(&folderOnly);
        folderOnly.setOutputFolder(QUrl::fromLocalFile(folder.path()));
        QVERIFY(!folderPanel.exportButton()->isEnabled()); // folder but no frames
        QVERIFY(!showsText(folderPanel, warning));

        document.setOutputFolder(QUrl::fromLocalFile(folder.path()));
        QVERIFY(panel.exportButton()->isEnabled());
        QVERIFY(!showsText(panel, warning));

        // Disabled for as long as the window's run goes on.
        ExportRun *run = TestExports::runWithoutVideo(runs, 2, folder.path());
        panel.setRun(run);
        QVERIFY(run->isRunning());
        QVERIFY(!panel.exportButton()->isEnabled());
        QTRY_VERIFY(!run->isRunning());
        QVERIFY(panel.exportButton()->isEnabled());

        // The menu asks the window to export; the panel starts nothing itself.
        QSignalSpy requested(&panel, &ExportPanelView::exportRequested);
        panel.exportButton()->menu()->actions().at(1)->trigger();
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.first().first().value<ExportMode>(), ExportMode::PerSubject);
    }

    void summaryCountsExportedImagesAndFailures_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("markdownFailures");
        QTest::addColumn<QString>("summary");
        QTest::newRow("with failures")
            << 5 << 2 << 0 << QStringLiteral("3 image(s) exportée(s), 2 échec(s).");
        QTest::newRow("without failures") << 4 << 0 << 0 << QStringLiteral("4 image(s) exportée(s).");
        QTest::newRow("more failures than images")
            << 1 << 3 << 0 << QStringLiteral("0 image(s) exportée(s), 3 échec(s).");
        // A Markdown file that was not written takes no image from the count and is told apart.
        QTest::newRow("a Markdown file among them")
            << 4 << 3 << 1
            << QStringLiteral("2 image(s) exportée(s), 2 échec(s), 1 fichier Markdown non écrit.");
        QTest::newRow("a read-only folder")
            << 8 << 10 << 2
            << QStringLiteral("0 image(s) exportée(s), 8 échec(s), 2 fichiers Markdown non écrits.");
        QTest::newRow("every image, one Markdown file missing")
            << 8 << 1 << 1 << QStringLiteral("8 image(s) exportée(s), 1 fichier Markdown non écrit.");
    }

    void summaryCountsExportedImagesAndFailures()
    {
        QFETCH(int, total);
        QFETCH(int, failures);
        QFETCH(int, markdownFailures);
        QFETCH(QString, summary);
        QCOMPARE(ExportPanelView::summary(total, failures, failures - markdownFailures), summary);
    }

    void endOfRunAlertSummarisesAndIsSeenOnce()
    {
        QTemporaryDir folder;
        ExportRuns runs;
        CaptureDocument document;
        ExportPanelView panel(&document);
        ExportRun *run = TestExports::runWithoutVideo(runs, 3, folder.path());
        panel.setRun(run);
        QTRY_VERIFY(panel.finishedAlert());

        QMessageBox *alert = panel.finishedAlert();
        QCOMPARE(alert->windowTitle(), QStringLiteral("Export terminé"));
        QCOMPARE(alert->text(), QStringLiteral("0 image(s) exportée(s), 3 échec(s)."));
        // A run with failures ends with a warning, not with the sign of a run that went well.
        QCOMPARE(alert->icon(), QMessageBox::Warning);
        QVERIFY(showsText(panel, QStringLiteral("3 échec(s)")));
        QVERIFY(showsText(panel, QStringLiteral("00:00.033 — Aucune vidéo chargée.")));

        QPushButton *ok = nullptr;
        for (QAbstractButton *button : alert->buttons()) {
            if (button->text() == QStringLiteral("OK"))
                ok = qobject_cast<QPushButton *>(button);
        }
        QVERIFY(ok);
        ok->click();
        QVERIFY(run->finishedFolder().isEmpty());
        QVERIFY(!panel.finishedAlert());
        // The failures stay in view until the window shows another run.
        QVERIFY(showsText(panel, QStringLiteral("3 échec(s)")));
        panel.setRun(nullptr);
        QVERIFY(!showsText(panel, QStringLiteral("3 échec(s)")));
    }

    void progressStaysInSightAndStops()
    {
        QTemporaryDir folder;
        ExportRuns runs;
        ExportProgressView progress;
        QVERIFY(progress.isHidden());

        ExportRun *run = TestExports::runWithoutVideo(runs, 4, folder.path());
        progress.setRun(run);
        QVERIFY(!progress.isHidden());
        QVERIFY(run->isRunning());
        QVERIFY(progress.countText().endsWith(QStringLiteral(" / 4")));
        QVERIFY(!progress.cancelButton()->isHidden());
        // Stopped from its button, the run ends after the frame in progress.
        progress.cancelButton()->click();
        QTRY_VERIFY(!run->isRunning());
        QVERIFY(run->wasCancelled());
        QCOMPARE(progress.countText(), QStringLiteral("1 / 4"));
        QCOMPARE(progress.statusText(), QStringLiteral("Export arrêté"));
        QVERIFY(progress.cancelButton()->isHidden());
        QCOMPARE(progress.bar()->value(), 250);

        ExportRun *complete = TestExports::runWithoutVideo(runs, 2, folder.path());
        progress.setRun(complete);
        QTRY_VERIFY(!complete->isRunning());
        QCOMPARE(progress.countText(), QStringLiteral("2 / 2"));
        QVERIFY(progress.statusText().isEmpty());
        QCOMPARE(progress.bar()->value(), 1000);
        progress.setRun(nullptr);
        QVERIFY(progress.isHidden());
    }

    void folderNameOrPlaceholder()
    {
        CaptureDocument document;
        ExportPanelView panel(&document);
        auto *name = panel.findChild<ElidedLabel *>();
        QCOMPARE(name->text(), QStringLiteral("Aucun dossier"));
        document.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/projet/Sorties PNG")));
        QCOMPARE(name->text(), QStringLiteral("Sorties PNG"));
        document.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/projet/Sorties PNG/")));
        QCOMPARE(name->text(), QStringLiteral("Sorties PNG"));
        document.setSelectedFilter(FilterStyle::Comic);
        QVERIFY(showsText(panel, QStringLiteral("BD")));
    }
};

QUINTAREL_TEST(ExportPanelTest)
#include "ExportPanelTest.moc"
