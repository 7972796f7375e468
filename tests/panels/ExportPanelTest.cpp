#include "TestRegistry.h"

#include "state/AppState.h"
#include "views/ElidedLabel.h"
#include "views/ExportPanelView.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

void addFrame(AppState &state)
{
    QList<CaptureGroup> groups = state.groups();
    groups[0].frames << CapturedFrame(MediaTime(1, 30));
    state.setGroups(groups);
}

bool showsText(const QWidget &panel, const QString &text)
{
    for (const QLabel *label : panel.findChildren<QLabel *>()) {
        if (label->text() == text && label->isVisibleTo(&panel))
            return true;
    }
    return false;
}

// Ends a run as the export does: progress, failures, then the finished folder.
// Ends a run of `total` frames with `failureCount` failures, the last `markdownFailures` of them
// Markdown files that could not be written.
void finishRun(AppState &state, int total, int failureCount, const QUrl &folder, int markdownFailures = 0)
{
    QList<ExportFailure> failures;
    for (int i = 0; i < failureCount; ++i)
        failures << ExportFailure{QUuid::createUuid(), QStringLiteral("00:0%1.000").arg(i),
                                  QStringLiteral("Échec"), i < failureCount - markdownFailures};
    state.setFailures(failures);
    state.setProgress(ExportProgress{total, total, false});
    state.setExportFinishedFolder(folder);
}

} // namespace

class ExportPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void exportMenuNeedsFramesAFolderAndNoRun()
    {
        AppState state;
        ExportPanelView panel(&state);
        const QString warning = QStringLiteral("Choisissez un dossier de sortie pour exporter.");
        QVERIFY(!panel.exportButton()->isEnabled());
        QVERIFY(showsText(panel, warning));

        addFrame(state);
        QVERIFY(!panel.exportButton()->isEnabled()); // frames but no folder
        QVERIFY(showsText(panel, warning));

        AppState folderOnly;
        ExportPanelView folderPanel(&folderOnly);
        folderOnly.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/sorties")));
        QVERIFY(!folderPanel.exportButton()->isEnabled()); // folder but no frames
        QVERIFY(!showsText(folderPanel, warning));

        state.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/sorties")));
        QVERIFY(panel.exportButton()->isEnabled());
        QVERIFY(!showsText(panel, warning));
        state.setProgress(ExportProgress{1, 5, true});
        QVERIFY(!panel.exportButton()->isEnabled());
        QVERIFY(showsText(panel, QStringLiteral("1 / 5")));
        state.setProgress(ExportProgress{5, 5, false});
        QVERIFY(panel.exportButton()->isEnabled());
        QVERIFY(showsText(panel, QStringLiteral("5 / 5"))); // the last run stays visible
    }

    void endOfRunAlertSummarises_data()
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
        // A Markdown file that was not written is listed, but takes no image from the count.
        QTest::newRow("a Markdown file among them")
            << 4 << 3 << 1 << QStringLiteral("2 image(s) exportée(s), 3 échec(s).");
    }

    void endOfRunAlertSummarises()
    {
        QFETCH(int, total);
        QFETCH(int, failures);
        QFETCH(int, markdownFailures);
        QFETCH(QString, summary);
        AppState state;
        ExportPanelView panel(&state);
        const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/tmp/sorties"));
        state.setOutputFolder(folder);
        finishRun(state, total, failures, folder, markdownFailures);

        QMessageBox *alert = panel.finishedAlert();
        QVERIFY(alert);
        QCOMPARE(alert->windowTitle(), QStringLiteral("Export terminé"));
        QCOMPARE(alert->text(), summary);
        QCOMPARE(showsText(panel, QString::number(failures) + QStringLiteral(" échec(s)")), failures > 0);
        if (failures > 0)
            QVERIFY(showsText(panel, QStringLiteral("00:00.000 — Échec")));

        QPushButton *ok = nullptr;
        for (QAbstractButton *button : alert->buttons()) {
            if (button->text() == QStringLiteral("OK"))
                ok = qobject_cast<QPushButton *>(button);
        }
        QVERIFY(ok);
        ok->click();
        QVERIFY(state.exportFinishedFolder().isEmpty());
        QVERIFY(!panel.finishedAlert());
    }

    void folderNameOrPlaceholder()
    {
        AppState state;
        ExportPanelView panel(&state);
        auto *name = panel.findChild<ElidedLabel *>();
        QCOMPARE(name->text(), QStringLiteral("Aucun dossier"));
        state.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/projet/Sorties PNG")));
        QCOMPARE(name->text(), QStringLiteral("Sorties PNG"));
        state.setOutputFolder(QUrl::fromLocalFile(QStringLiteral("/tmp/projet/Sorties PNG/")));
        QCOMPARE(name->text(), QStringLiteral("Sorties PNG"));
        state.setSelectedFilter(FilterStyle::Comic);
        QVERIFY(showsText(panel, QStringLiteral("BD")));
    }
};

QUINTAREL_TEST(ExportPanelTest)
#include "ExportPanelTest.moc"
