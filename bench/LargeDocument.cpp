#include "LargeDocument.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"

QList<CaptureGroup> LargeDocument::groups()
{
    QList<CaptureGroup> groups;
    for (int g = 0; g < groupCount; ++g) {
        CaptureGroup group(QStringLiteral("Plan %1").arg(g + 1));
        group.notes = QStringLiteral("Notes du plan %1\nsur deux lignes").arg(g + 1);
        for (int f = 0; f < framesPerGroup; ++f) {
            CapturedFrame frame(MediaTime(std::int64_t(g * framesPerGroup + f) * 1001, 30000));
            frame.notes = QStringLiteral("Image %1 : regard caméra").arg(f);
            for (int a = 0; a < annotationsPerFrame; ++a) {
                Annotation annotation;
                annotation.kind = AnnotationShapes::all().at(a % 3)->kind();
                annotation.start = {0.1 + 0.01 * a, 0.2 + 0.001 * f};
                annotation.end = {0.7 - 0.01 * a, 0.9 - 0.0007 * f};
                annotation.r = 0.9;
                annotation.g = 0.1 * a;
                annotation.b = 1.0 / 3.0;
                frame.annotations.append(annotation);
            }
            group.frames.append(frame);
        }
        groups.append(group);
    }
    return groups;
}
