#include "TestRegistry.h"

#include "services/ImageExportService.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage readBack(const QString &path)
{
    QImageReader reader(path);
    return reader.read();
}

} // namespace

class ImageExportTest : public QObject
{
    Q_OBJECT

private slots:
    void pngKeepsTransparencyAndColourProfile_data()
    {
        QTest::addColumn<QColorSpace>("tagged");
        QTest::addColumn<QColorSpace>("expected");
        QTest::newRow("untagged is written as sRGB") << QColorSpace() << QColorSpace(QColorSpace::SRgb);
        QTest::newRow("sRGB") << QColorSpace(QColorSpace::SRgb) << QColorSpace(QColorSpace::SRgb);
        QTest::newRow("Display P3 stays P3")
            << QColorSpace(QColorSpace::DisplayP3) << QColorSpace(QColorSpace::DisplayP3);
    }

    void pngKeepsTransparencyAndColourProfile()
    {
        QFETCH(QColorSpace, tagged);
        QFETCH(QColorSpace, expected);
        QImage image(3, 2, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::transparent);
        image.setPixelColor(0, 0, QColor(10, 200, 30));
        image.setPixelColor(1, 0, QColor(0, 0, 255, 128));
        if (tagged.isValid())
            image.setColorSpace(tagged);

        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("frame.png"));
        QCOMPARE(ImageExportService().writePNG(image, path), std::nullopt);

        const QImage read = readBack(path);
        QCOMPARE(read.size(), image.size());
        QCOMPARE(read.colorSpace(), expected);
        QVERIFY(read.hasAlphaChannel());
        // The stored values are the image's own: no conversion took place.
        QCOMPARE(read.pixelColor(0, 0), QColor(10, 200, 30));
        QCOMPARE(read.pixelColor(1, 0).alpha(), 128);
        QCOMPARE(read.pixelColor(1, 0).blue(), 255);
        QCOMPARE(read.pixelColor(2, 0).alpha(), 0);
        QCOMPARE(read.pixelColor(2, 1).alpha(), 0);
    }

    void pngReplacesAnExistingFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("frame.png"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("not a picture");
        old.close();
        QImage image(5, 5, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::red);
        QCOMPARE(ImageExportService().writePNG(image, path), std::nullopt);
        QCOMPARE(readBack(path).size(), QSize(5, 5));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("frame.png")});
    }

    void pngIntoAMissingFolderFails()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("missing/frame.png"));
        QImage image(5, 5, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::red);
        const std::optional<AppError> error = ImageExportService().writePNG(image, path);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind(), AppError::Kind::ExportFailed);
        const QString prefix = QStringLiteral("Échec de l'export : ");
        const QString message = error->errorDescription();
        QVERIFY2(message.startsWith(prefix) && message.size() > prefix.size(), qPrintable(message));
        QCOMPARE(message, prefix + error->detail());
        QVERIFY2(error->detail().contains(QStringLiteral("No such file or directory")), qPrintable(message));
        QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("missing"))));
    }

    void textIsWrittenAsUtf8AndReplaced()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Captures.md"));
        const ImageExportService service;
        QCOMPARE(service.writeText(QStringLiteral("ancien contenu, plus long que le nouveau"), path),
                 std::nullopt);
        const QString text = QStringLiteral("# Scène 1\n\nÉtape « clé » — 00:01.250\n");
        QCOMPARE(service.writeText(text, path), std::nullopt);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text.toUtf8());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("Captures.md")});
    }

    void textIntoAMissingFolderReportsWhy()
    {
        QTemporaryDir folder;
        const std::optional<QString> error = ImageExportService().writeText(
            QStringLiteral("x"), folder.filePath(QStringLiteral("missing/a.md")));
        QVERIFY(error.has_value());
        QVERIFY(!error->isEmpty());
    }
};

QUINTAREL_TEST(ImageExportTest)
#include "ImageExportTest.moc"
