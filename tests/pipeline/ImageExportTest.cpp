#include "DiskLimits.h"
#include "TestRegistry.h"

#include "services/ImageExportService.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage readBack(const QString &path)
{
    QImageReader reader(path);
    return reader.read();
}

// Pixels that PNG cannot compress: the file is about as large as the pixels themselves.
QImage noise(QSize size)
{
    QImage image(size, QImage::Format_RGBA8888_Premultiplied);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return image;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        QVERIFY2(error->detail().endsWith(QStringLiteral(" : dossier introuvable")), qPrintable(message));
        QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("missing"))));
    }

    // A disk that fills up while a picture or a text is written: the old file stays whole, no
    // cut-off file appears, and the reason is given in French.
    void aFullDiskKeepsTheOldFiles()
    {
        DiskLimits::SmallDisk disk(128 * 1024);
        if (!disk.isMounted())
            QSKIP("mounting a small file system is not permitted here");
        const ImageExportService service;
        const QString picture = disk.filePath(QStringLiteral("frame.png"));
        const QString text = disk.filePath(QStringLiteral("Captures.md"));
        QCOMPARE(service.writePNG(noise({16, 16}), picture), std::nullopt);
        QCOMPARE(service.writeText(QStringLiteral("# Captures\n"), text), std::nullopt);
        const QByteArray oldPicture = contents(picture);
        QVERIFY(disk.fillLeaving(4096));

        const std::optional<AppError> error = service.writePNG(noise({64, 64}), picture);
        QVERIFY(error);
        QVERIFY2(error->errorDescription().startsWith(QStringLiteral("Échec de l'export : ")) &&
                     error->detail().endsWith(QStringLiteral(" : disque plein")),
                 qPrintable(error->errorDescription()));
        QCOMPARE(contents(picture), oldPicture);

        const std::optional<QString> textError = service.writeText(QString(8000, QLatin1Char('x')), text);
        QVERIFY(textError);
        QVERIFY2(textError->endsWith(QStringLiteral(" : disque plein")), qPrintable(*textError));
        QCOMPARE(contents(text), QByteArray("# Captures\n"));

        QVERIFY(service.writePNG(noise({64, 64}), disk.filePath(QStringLiteral("new.png"))));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("Captures.md"), QStringLiteral("frame.png")}));
    }

    // The same through a file-size limit, which every machine allows: the write stops at 32 KiB.
    void aWriteCutShortLeavesNoFile()
    {
        QTemporaryDir folder;
        const ImageExportService service;
        const QString picture = folder.filePath(QStringLiteral("frame.png"));
        const QString text = folder.filePath(QStringLiteral("Captures.md"));
        const DiskLimits::FileSizeLimit limit(32 * 1024);

        const std::optional<AppError> error = service.writePNG(noise({128, 128}), picture);
        QVERIFY(error);
        QVERIFY2(error->detail().endsWith(QStringLiteral(" : fichier trop volumineux")),
                 qPrintable(error->errorDescription()));
        const std::optional<QString> textError = service.writeText(QString(40000, QLatin1Char('x')), text);
        QVERIFY(textError);
        QVERIFY(QDir(folder.path()).entryList(QDir::Files).isEmpty());
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
        QVERIFY2(error->endsWith(QStringLiteral("missing/a.md » : dossier introuvable")), qPrintable(*error));
    }
};

QUINTAREL_TEST(ImageExportTest)
#include "ImageExportTest.moc"
