#include "TestRegistry.h"

#include "app/QuintarelApp.h"
#include "views/SymbolIcons.h"

#include <QIcon>
#include <QImage>
#include <QTest>

class SymbolIconsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }
    void cleanup()
    {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }

    // "No subject" is a person crossed out, whether the theme has a person to cross out or not.
    void noSubjectIsACrossedOutPerson_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("the theme's person") << QStringLiteral("Adwaita");
        QTest::newRow("a person of our own") << QStringLiteral("sans-icones");
    }

    void noSubjectIsACrossedOutPerson()
    {
        QFETCH(QString, theme);
        QIcon::setThemeName(theme);
        QIcon::setFallbackThemeName(theme);
        const QImage person =
            QIcon::fromTheme(QStringLiteral("avatar-default-symbolic")).pixmap(32, 32).toImage();
        QCOMPARE(person.isNull(), theme != QLatin1String("Adwaita"));
        const QImage crossed = SymbolIcons::icon(QStringLiteral("person.slash")).pixmap(32, 32).toImage();
        QCOMPARE(crossed.size(), QSize(32, 32));

        // The slash reaches the top-left corner, where a person has nothing…
        QVERIFY(crossed.pixelColor(5, 5).alpha() > 128);
        if (!person.isNull())
            QCOMPARE(person.pixelColor(5, 5).alpha(), 0);
        // …and the person is still there: the head, right of the slash.
        QVERIFY(crossed.pixelColor(18, 8).alpha() > 128);
        // A gap runs beside the slash, so that it reads across the figure.
        QCOMPARE(crossed.pixelColor(13, 17).alpha(), 0);
    }

    // The arrow between a frame's still and its cut-out has a shaft: a bare chevron looks like the
    // control that unfolds a row.
    void theRowArrowHasAShaft()
    {
        const QImage arrow = SymbolIcons::icon(QStringLiteral("arrow.right")).pixmap(32, 32).toImage();
        QCOMPARE(arrow.size(), QSize(32, 32));
        for (const int x : {7, 12, 16, 22})
            QVERIFY2(arrow.pixelColor(x, 16).alpha() > 128, qPrintable(QString::number(x)));
        QCOMPARE(arrow.pixelColor(8, 8).alpha(), 0);
        QCOMPARE(arrow.pixelColor(8, 24).alpha(), 0);
        QVERIFY(arrow.pixelColor(20, 9).alpha() > 128);
    }
};

QUINTAREL_TEST(SymbolIconsTest)
#include "SymbolIconsTest.moc"
