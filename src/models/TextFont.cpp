#include "TextFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QStringList>

#include <algorithm>

namespace {

// Where the bootstrap's package puts the typeface.
constexpr const char *fontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

QString loadedFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(fontFile));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("DejaVu Sans") : families.first();
    }();
    return family;
}

TextFont::Layout laidOut(const QString &text)
{
    const QFont typeface = TextFont::font();
    const QFontMetricsF metrics(typeface);
    TextFont::Layout laid;
    const QStringList lines = text.split(QLatin1Char('\n'));
    double widest = 0.0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const double baseline = metrics.ascent() + double(i) * metrics.lineSpacing();
        laid.outlines.addText(QPointF(0.0, baseline), typeface, line);
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const double height = metrics.height() + double(lines.size() - 1) * metrics.lineSpacing();
    laid.extent = QSizeF(widest, height);
    return laid;
}

} // namespace

void TextFont::load()
{
    loadedFamily();
}

QFont TextFont::font()
{
    QFont font(loadedFamily());
    font.setPixelSize(int(referenceSize));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::ForceOutline));
    font.setKerning(true);
    return font;
}

TextFont::Layout TextFont::layout(const QString &text)
{
    // The same words are laid out again each time a picture is drawn: the last few hundred are kept,
    // from any thread.
    constexpr qsizetype kept = 512;
    static QMutex mutex;
    static QHash<QString, Layout> layouts;
    {
        const QMutexLocker lock(&mutex);
        if (const auto found = layouts.constFind(text); found != layouts.cend())
            return *found;
    }
    Layout laid = laidOut(text);
    const QMutexLocker lock(&mutex);
    if (layouts.size() >= kept)
        layouts.clear();
    layouts.insert(text, laid);
    return laid;
}
