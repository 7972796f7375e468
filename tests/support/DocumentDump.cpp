#include "DocumentDump.h"

#include "state/CaptureDocument.h"

#include <QJsonDocument>

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

QString point(const QPointF &value)
{
    return QStringLiteral("(%1, %2)").arg(number(value.x()), number(value.y()));
}

QString describe(const Annotation &a)
{
    QStringList points;
    for (const QPointF &p : a.points)
        points << point(p);
    return QStringLiteral("annotation %1 %2 %3→%4 rgba %5 %6 %7 %8 width %9 filled %10 points [%11]%12")
               .arg(a.id.toString(), a.kind, point(a.start), point(a.end), number(a.r), number(a.g),
                    number(a.b), number(a.a), number(a.lineWidth))
               .arg(a.filled)
               .arg(points.join(QStringLiteral(", ")),
                    a.isUnread()
                        ? QStringLiteral(" unread ") +
                              QString::fromUtf8(QJsonDocument(a.unread).toJson(QJsonDocument::Compact))
                        : QString()) +
           (a.text.isEmpty() ? QString() : QStringLiteral(" text «%1»").arg(a.text));
}

} // namespace

QStringList DocumentDump::lines(const CaptureDocument &document)
{
    QStringList lines;
    for (const CaptureGroup &group : document.groups()) {
        lines << QStringLiteral("group %1 name «%2» notes «%3»")
                     .arg(group.id.toString(), group.name, group.notes);
        for (const CapturedFrame &frame : group.frames) {
            lines << QStringLiteral("  frame %1 at %2/%3 notes «%4»")
                         .arg(frame.id.toString())
                         .arg(frame.time.value())
                         .arg(frame.time.timescale())
                         .arg(frame.notes);
            for (const Annotation &annotation : frame.annotations)
                lines << QStringLiteral("    ") + describe(annotation);
            for (const CutoutCorrection &correction : frame.corrections)
                lines << QStringLiteral("    correction ") +
                             QString::fromUtf8(
                                 QJsonDocument(correction.toJson()).toJson(QJsonDocument::Compact));
        }
    }
    lines << QStringLiteral("active group %1").arg(document.activeGroupID().toString());
    const EdgeOptions &edge = document.edgeOptions();
    lines << QStringLiteral("output folder %1, crop %2, style %3")
                 .arg(document.outputFolder().toString(), document.cropToSubject() ? "on" : "off",
                      FilterStyles::rawValue(document.selectedFilter()));
    const RgbaColor &colour = edge.outlineColor;
    lines << QStringLiteral("edge shrink %1 feather %2 outline %3 width %4 colour %5 %6 %7 %8")
                 .arg(number(edge.shrink), number(edge.feather), edge.outline ? "on" : "off",
                      number(edge.outlineWidth), number(colour.r), number(colour.g), number(colour.b),
                      number(colour.a));
    lines << QStringLiteral("video %1 missing %2 project %3")
                 .arg(document.videoURL().toString(), document.missingVideoURL().toString(),
                      document.projectURL().toString());
    return lines;
}
