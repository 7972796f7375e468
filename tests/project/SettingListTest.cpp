#include "TestRegistry.h"

#include "persistence/DocumentSettings.h"
#include "persistence/ProjectContent.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

// Settings of the same type, one stored only when it differs from its default and kept within
// limits.
struct FirstFlag : PlainSetting<bool>
{
    static Type defaultValue() { return false; }
};

struct SecondFlag : PlainSetting<bool>
{
    static Type defaultValue() { return true; }
};

struct Zoom : PlainSetting<int>
{
    using Stored = std::optional<int>;
    static Type defaultValue() { return 100; }
    static Stored stored(int zoom) { return zoom == 100 ? std::nullopt : std::optional<int>(zoom); }
    static Type fromStored(const Stored &zoom, int) { return zoom.value_or(100); }
    static Type limited(int zoom) { return std::clamp(zoom, 10, 400); }
};

using Settings = SettingList<FirstFlag, SecondFlag, Zoom>;

} // namespace

class SettingListTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsOfOneTypeStayApart()
    {
        Settings::Values values;
        QVERIFY(!values.get<FirstFlag>());
        QVERIFY(values.get<SecondFlag>());
        values.set<FirstFlag>(true);
        values.set<SecondFlag>(false);
        QVERIFY(values.get<FirstFlag>());
        QVERIFY(!values.get<SecondFlag>());
        QVERIFY(!(values == Settings::Values()));
    }

    // Defaults store as a file without the settings does; what a file holds comes back within limits.
    void storedValuesComeBackWithinLimits()
    {
        QVERIFY(Settings::stored(Settings::Values()) == Settings::Stored());
        QCOMPARE(Settings::Stored().get<Zoom>(), std::nullopt);

        Settings::Values values;
        values.set<Zoom>(250);
        Settings::Stored stored = Settings::stored(values);
        QVERIFY(stored.get<Zoom>() == 250);
        QVERIFY(Settings::fromStored(stored, {}) == values);

        stored.get<Zoom>() = 5000;
        QCOMPARE(Settings::fromStored(stored, {}).get<Zoom>(), 400);
        stored.get<Zoom>() = -3;
        QCOMPARE(Settings::fromStored(stored, {}).get<Zoom>(), 10);
    }

    // The document's own settings: a folder that is gone leaves the current one, an edge beyond the
    // controls is brought back within them.
    void projectSettingsReadFromAFile()
    {
        QTemporaryDir folder;
        const QUrl current = QUrl::fromLocalFile(folder.path());
        ProjectFile file;
        file.settings.get<OutputFolderSetting>() = QByteArray("/nonexistent/exports");
        file.settings.get<SelectedFilterSetting>() = QStringLiteral("aquarelle");
        file.settings.get<ImageFormatSetting>() = QStringLiteral("webp");
        file.settings.get<EdgeOptionsSetting>().shrink = 99;
        const DocumentSettings read = ProjectContent::fromFile(file, {}, current).settings;
        QCOMPARE(read.get<OutputFolderSetting>(), current);
        QCOMPARE(read.get<SelectedFilterSetting>(), FilterStyle::None);
        QCOMPARE(read.get<ImageFormatSetting>(), ImageFormat::WebP);
        QCOMPARE(read.get<EdgeOptionsSetting>().shrink, EdgeOptions::maxShrink);

        file.settings.get<OutputFolderSetting>() = folder.path().toUtf8();
        const DocumentSettings found =
            ProjectContent::fromFile(file, {}, QUrl::fromLocalFile(QStringLiteral("/tmp"))).settings;
        QCOMPARE(found.get<OutputFolderSetting>(), current);
        DocumentContent content;
        content.settings = found;
        QVERIFY(ProjectContent::toFile(content, {}, 0).settings.get<OutputFolderSetting>() ==
                file.settings.get<OutputFolderSetting>());
    }
};

QUINTAREL_TEST(SettingListTest)
#include "SettingListTest.moc"
