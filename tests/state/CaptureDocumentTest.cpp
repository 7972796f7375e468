#include "TestCaptures.h"
#include "TestRegistry.h"

#include "state/CaptureDocument.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

class CaptureDocumentTest : public QObject
{
    Q_OBJECT

private slots:
    void startsWithOneActiveCapturesGroup()
    {
        CaptureDocument document;
        QCOMPARE(document.groups().size(), 1);
        QCOMPARE(document.groups().first().name, QStringLiteral("Captures"));
        QCOMPARE(document.activeGroupID(), document.groups().first().id);
        QVERIFY(!document.previewFrame());
        QCOMPARE(document.videoName(), QStringLiteral("video"));
        QCOMPARE(document.edgeOptions().signature(), QStringLiteral("0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        QVERIFY(document.outputFolder().isEmpty());
        QVERIFY(!document.needsVideo());
        QVERIFY(!document.isModified());
    }

    void videoNameDropsOnlyTheLastExtension()
    {
        CaptureDocument document;
        DocumentContent content = document.content();
        content.videoURL = QUrl::fromLocalFile(QStringLiteral("/films/clip.final.mov"));
        document.reset(content);
        QCOMPARE(document.videoName(), QStringLiteral("clip.final"));
        content.videoURL = QUrl::fromLocalFile(QStringLiteral("/films/rushes"));
        document.reset(content);
        QCOMPARE(document.videoName(), QStringLiteral("rushes"));

        // Captures whose video is missing keep its name, for exports and the project's name.
        content.videoURL = QUrl();
        content.missingVideoURL = QUrl::fromLocalFile(QStringLiteral("/disparu/match.aller.mp4"));
        content.groups[0].frames << CapturedFrame(MediaTime(1, 30));
        document.reset(content);
        QCOMPARE(document.videoName(), QStringLiteral("match.aller"));
        QVERIFY(document.needsVideo());
        QSignalSpy video(&document, &CaptureDocument::videoChanged);
        document.bindVideo(QUrl::fromLocalFile(QStringLiteral("/retrouve/match.aller.mp4")));
        QCOMPARE(video.count(), 1);
        QVERIFY(!document.needsVideo());
        QVERIFY(document.missingVideoURL().isEmpty());
    }

    void previewFrameFallsBackToTheLastFrame()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {2, 1});
        const QList<CaptureGroup> groups = document.groups();
        QCOMPARE(document.previewFrame()->id, groups[1].frames.last().id);

        document.deleteFrame(groups[1].frames.last().id);
        QCOMPARE(document.previewFrame()->id, groups[0].frames.last().id);

        document.setSelection({groups[0].frames.first().id});
        QCOMPARE(document.previewFrame()->id, groups[0].frames.first().id);

        // A selection naming only a deleted frame falls back to the last frame.
        document.setSelection({QUuid::createUuid()});
        QCOMPARE(document.previewFrame()->id, groups[0].frames.last().id);
    }

    void notifiesOnlyRealChanges()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {1});
        const QUuid frame = document.groups()[0].frames[0].id;
        QSignalSpy groups(&document, &CaptureDocument::groupsChanged);
        QSignalSpy frames(&document, &CaptureDocument::frameChanged);
        QSignalSpy settings(&document, &CaptureDocument::settingChanged);
        const auto changesOf = [&settings](DocumentSetting setting) {
            return std::count_if(settings.cbegin(), settings.cend(),
                                 [setting](const QList<QVariant> &arguments) {
                                     return arguments.at(0).value<DocumentSetting>() == setting;
                                 });
        };
        QSignalSpy selection(&document, &CaptureDocument::selectionChanged);

        document.setGroupName(document.groups()[0].id, QStringLiteral("Plans larges"));
        document.setGroupName(document.groups()[0].id, QStringLiteral("Plans larges"));
        QCOMPARE(groups.count(), 1);

        // A frame's notes and drawings say which frame changed, and leave the group list alone.
        document.setNote(QStringLiteral("regard caméra"), frame);
        document.addAnnotation(frame, Annotation());
        QCOMPARE(frames.count(), 2);
        QCOMPARE(frames.last().first().toUuid(), frame);
        QCOMPARE(groups.count(), 1);
        document.setNote(QStringLiteral("ignored"), QUuid::createUuid());
        QCOMPARE(frames.count(), 2);

        const QUrl output = QUrl::fromLocalFile(QStringLiteral("/tmp/export"));
        document.setOutputFolder(output);
        document.setOutputFolder(output);
        QCOMPARE(changesOf(DocumentSetting::OutputFolder), 1);

        // Edge settings are compared field by field: setting the same ones again is no change.
        EdgeOptions options = document.edgeOptions();
        document.setEdgeOptions(options);
        QCOMPARE(changesOf(DocumentSetting::EdgeOptions), 0);
        options.outlineColor = QColor(0, 0, 0, 254);
        document.setEdgeOptions(options);
        QCOMPARE(changesOf(DocumentSetting::EdgeOptions), 1);

        document.setSelection({frame});
        document.setSelection({frame});
        QCOMPARE(selection.count(), 1);
    }
};

QUINTAREL_TEST(CaptureDocumentTest)
#include "CaptureDocumentTest.moc"
