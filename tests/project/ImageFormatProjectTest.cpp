#include "TestCaptures.h"
#include "TestProjects.h"
#include "TestRegistry.h"

#include "persistence/ProjectFile.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A saved window's JSON with `change` applied to its root object.
QByteArray edited(const QByteArray &json, const std::function<void(QJsonObject &)> &change)
{
    QJsonObject root = QJsonDocument::fromJson(json).object();
    change(root);
    return QJsonDocument(root).toJson();
}

} // namespace

// The images' file format is saved with the project only when it is WebP: a project that keeps
// PNG is written as it always was, and files written before the choice existed open as PNG.
class ImageFormatProjectTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;
    QTemporaryDir m_folder;

    QString path(const QString &name) const { return m_folder.filePath(name); }

private slots:
    void pngIsWrittenAsBeforeAndWebPIsKept()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        TestCaptures::addFramesWithoutPictures(state, {{3, 9}});
        const QString png = path(QStringLiteral("png.quintarel"));
        state.saveProject(QUrl::fromLocalFile(png));
        QVERIFY(!state.errorMessage());
        const QByteArray pngBytes = contents(png);
        QVERIFY(!pngBytes.contains("imageFormat"));

        CaptureDocument *document = state.document();
        document->setImageFormat(ImageFormat::WebP);
        const QString webp = path(QStringLiteral("webp.quintarel"));
        state.saveProject(QUrl::fromLocalFile(webp));
        const QByteArray webpBytes = contents(webp);
        QCOMPARE(QJsonDocument::fromJson(webpBytes).object().value(QStringLiteral("imageFormat")).toString(),
                 QStringLiteral("webp"));

        // Choosing PNG again, or undoing the choice, gives back the very bytes of before.
        document->undoStack()->undo();
        QCOMPARE(document->imageFormat(), ImageFormat::Png);
        state.saveProject(QUrl::fromLocalFile(png));
        QCOMPARE(contents(png), pngBytes);

        // A reopened WebP project is WebP, and saved again unchanged.
        AppState reopened(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reopened, QUrl::fromLocalFile(webp)));
        QVERIFY(!reopened.errorMessage().value_or(QString()).startsWith(QStringLiteral("Échec")));
        QCOMPARE(reopened.document()->imageFormat(), ImageFormat::WebP);
        const QString again = path(QStringLiteral("again.quintarel"));
        reopened.saveProject(QUrl::fromLocalFile(again));
        QCOMPARE(ProjectFile::fromJson(contents(again)), ProjectFile::fromJson(webpBytes));
    }

    void olderAndUnknownFormatsOpenAsPng_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("member absent") << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("null") << QJsonValue(QJsonValue::Null);
        QTest::newRow("png") << QJsonValue(QStringLiteral("png"));
        QTest::newRow("unknown format") << QJsonValue(QStringLiteral("tiff"));
        QTest::newRow("other letter case") << QJsonValue(QStringLiteral("WEBP"));
    }

    void olderAndUnknownFormatsOpenAsPng()
    {
        QFETCH(QJsonValue, value);
        AppState source(&m_runs, PlayerOutput::Headless);
        source.document()->setImageFormat(ImageFormat::WebP);
        const QString file = path(QStringLiteral("older.quintarel"));
        source.saveProject(QUrl::fromLocalFile(file));
        QVERIFY(write(file, edited(contents(file), [&](QJsonObject &root) {
                          if (value.isUndefined())
                              root.remove(QStringLiteral("imageFormat"));
                          else
                              root.insert(QStringLiteral("imageFormat"), value);
                      })));

        AppState state(&m_runs, PlayerOutput::Headless);
        state.document()->setImageFormat(ImageFormat::WebP);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(file)));
        QVERIFY(!state.errorMessage().value_or(QString()).startsWith(QStringLiteral("Échec")));
        QCOMPARE(state.document()->imageFormat(), ImageFormat::Png);
    }

    void aMistypedFormatFailsTheOpen()
    {
        AppState source(&m_runs, PlayerOutput::Headless);
        const QString file = path(QStringLiteral("mistyped.quintarel"));
        source.saveProject(QUrl::fromLocalFile(file));
        QVERIFY(write(file, edited(contents(file), [](QJsonObject &root) {
                          root.insert(QStringLiteral("imageFormat"), 2);
                      })));
        AppState state(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(state, QUrl::fromLocalFile(file)));
        QVERIFY(state.errorMessage());
        QVERIFY2(state.errorMessage()->contains(QStringLiteral("imageFormat")),
                 qPrintable(*state.errorMessage()));
    }
};

QUINTAREL_TEST(ImageFormatProjectTest)
#include "ImageFormatProjectTest.moc"
