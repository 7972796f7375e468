#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameGrabber.h"
#include "services/BatchExportService.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageExportService.h"
#include "services/ImageFilterService.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <stdexcept>

namespace {

// Writes as usual, except that the n-th picture (from 1) does what `failure` says: throws, or
// returns an error.
class FailingExporter : public ImageExportService
{
public:
    using Failure = std::function<std::optional<AppError>()>;
    explicit FailingExporter(QHash<int, Failure> failures) : m_failures(std::move(failures)) {}

    std::optional<AppError> writePNG(const QImage &image, const QString &path) const override
    {
        const int call = ++m_calls;
        if (m_failures.contains(call))
            return m_failures.value(call)();
        return ImageExportService::writePNG(image, path);
    }

private:
    QHash<int, Failure> m_failures;
    mutable std::atomic<int> m_calls = 0;
};

struct Report
{
    QList<int> counts;
    QList<ExportFailure> failures;
    bool finished = false;
};

// Runs an export made by hand from the services, for failures that a window cannot bring about.
Report runToTheEnd(const QString &video, std::shared_ptr<const ImageExportService> exporter,
                   const QList<ExportGroup> &groups, BatchExportService::Settings settings)
{
    auto extractor = std::make_shared<VideoFrameExtractorService>();
    extractor->setGenerator(std::make_shared<FrameGrabber>(video));
    BatchExportService run({extractor, std::make_shared<SubjectExtractionService>(), std::move(exporter),
                            std::make_shared<ImageFilterService>(),
                            std::make_shared<EdgeProcessingService>()});
    Report report;
    QObject::connect(&run, &BatchExportService::progressed,
                     [&](int completed) { report.counts << completed; });
    QObject::connect(&run, &BatchExportService::failed,
                     [&](const ExportFailure &failure) { report.failures << failure; });
    QObject::connect(&run, &BatchExportService::finished, [&] { report.finished = true; });
    if (settings.videoName.isEmpty())
        settings.videoName = QStringLiteral("clip");
    run.run(groups, settings);
    // Lifting takes seconds per frame, many more on a loaded machine.
    if (!QTest::qWaitFor([&] { return report.finished; }, 600000))
        qWarning("the export did not finish");
    return report;
}

QList<CapturedFrame> framesAt(const QList<int> &thirtieths)
{
    QList<CapturedFrame> frames;
    for (int value : thirtieths)
        frames << CapturedFrame(MediaTime(value, 30));
    return frames;
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QString shapesVideo()
{
    return TestMedia::shapesVideo(QStringLiteral("shapes"), QSize(960, 540), 30);
}

} // namespace

class ExportFailuresTest : public QObject
{
    Q_OBJECT

private slots:
    void anExceptionFailsItsFrameAndTheRunGoesOn()
    {
        QTemporaryDir output;
        auto exporter = std::make_shared<FailingExporter>(QHash<int, FailingExporter::Failure>{
            {1, []() -> std::optional<AppError> { throw std::bad_alloc(); }},
            {2, []() -> std::optional<AppError> { throw std::runtime_error("OpenCV(4.6.0) error"); }},
        });
        BatchExportService::Settings settings;
        settings.outputFolder = output.path();
        const Report report =
            runToTheEnd(shapesVideo(), exporter,
                        {ExportGroup{QStringLiteral("Captures"), {}, framesAt({3, 6, 9}), false}}, settings);
        QVERIFY(report.finished);
        QCOMPARE(report.counts, (QList<int>{1, 2, 3}));
        QCOMPARE(report.failures.size(), 2);
        QCOMPARE(report.failures[0].timestamp, QStringLiteral("00:00.100"));
        QCOMPARE(report.failures[0].message,
                 QStringLiteral("Échec de l'export : mémoire insuffisante pour cette image"));
        QCOMPARE(report.failures[1].message,
                 QStringLiteral("Échec de l'export : erreur inattendue pendant le traitement de l'image"));
        QCOMPARE(files(output.path()), QStringList{"clip_00-00-00-300.png"});
    }

    void aStillThatCannotBeGrabbedFailsItsFrame()
    {
        QTemporaryDir output;
        BatchExportService::Settings settings;
        settings.outputFolder = output.path();
        const Report report = runToTheEnd(
            TestMedia::notAVideo(), std::make_shared<ImageExportService>(),
            {ExportGroup{QStringLiteral("Captures"), QStringLiteral("Notes"), framesAt({3, 6}), false}},
            settings);
        QVERIFY(report.finished);
        QCOMPARE(report.counts, (QList<int>{1, 2}));
        QCOMPARE(report.failures.size(), 2);
        for (const ExportFailure &failure : report.failures)
            QVERIFY2(failure.message.startsWith(QStringLiteral("Échec de l'extraction de l'image : ")) &&
                         failure.message.size() > 40,
                     qPrintable(failure.message));
        // The group's notes call for its Markdown file, which lists no image.
        QCOMPARE(files(output.path()), QStringList{"Captures.md"});
    }

    // When the second subject of a frame cannot be written, the first stays, with its entry, and
    // the frame is reported.
    void aSubjectThatFailsKeepsTheOnesWrittenBefore()
    {
        QTemporaryDir output;
        auto exporter = std::make_shared<FailingExporter>(QHash<int, FailingExporter::Failure>{
            {2,
             []() -> std::optional<AppError> {
                 return AppError::exportFailed(QStringLiteral("disque plein"));
             }},
        });
        BatchExportService::Settings settings;
        settings.outputFolder = output.path();
        settings.mode = ExportMode::PerSubject;
        const Report report = runToTheEnd(shapesVideo(), exporter,
                                          {ExportGroup{QStringLiteral("Plans"), {}, framesAt({10}), true},
                                           ExportGroup{QStringLiteral("Vide"), {}, {}, true}},
                                          settings);
        QVERIFY(report.finished);
        QCOMPARE(report.counts, QList<int>{1});
        QCOMPARE(report.failures.size(), 1);
        QCOMPARE(report.failures[0].timestamp, QStringLiteral("00:00.333"));
        QCOMPARE(report.failures[0].message, QStringLiteral("Échec de l'export : disque plein"));
        const QString folder = output.filePath(QStringLiteral("Plans"));
        QCOMPARE(files(folder), (QStringList{"Plans.md", "clip_00-00-00-333_s1.png"}));
        QFile markdown(QDir(folder).filePath(QStringLiteral("Plans.md")));
        QVERIFY(markdown.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(markdown.readAll()),
                 QStringLiteral("# Plans\n\n## Images\n"
                                "- [clip_00-00-00-333_s1.png](clip_00-00-00-333_s1.png) — 00:00.333\n"));
    }
};

QUINTAREL_TEST(ExportFailuresTest)
#include "ExportFailuresTest.moc"
