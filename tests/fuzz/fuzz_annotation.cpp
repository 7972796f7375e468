// Any bytes as the drawings of a frame: a JSON object is one drawing, an array a list of them.
// Each drawing read must write back to the same drawing, alone and inside a saved project.
#include "RoundTrip.h"

#include "models/Annotation.h"
#include "persistence/ProjectFile.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

namespace {

void checkDrawing(const QJsonValue &json, QList<Annotation> &accepted)
{
    QString error;
    const std::optional<Annotation> annotation = Annotation::fromJson(json, &error);
    if (!annotation) {
        if (error.isEmpty())
            RoundTrip::fail("a refused drawing says why");
        return;
    }
    const std::optional<Annotation> again = Annotation::fromJson(annotation->toJson(), &error);
    if (!again)
        RoundTrip::fail("a drawing written back reads again", error);
    if (!(*again == *annotation))
        RoundTrip::fail("a drawing written back reads the same",
                        QString::fromUtf8(QJsonDocument(annotation->toJson()).toJson()));
    accepted.append(*annotation);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    QList<Annotation> accepted;
    if (document.isObject()) {
        checkDrawing(document.object(), accepted);
    } else if (document.isArray()) {
        for (const QJsonValue &element : document.array())
            checkDrawing(element, accepted);
    }
    if (accepted.isEmpty())
        return 0;

    FrameDTO frame;
    frame.timeValue = 1001;
    frame.timeScale = 30000;
    frame.annotations = accepted;
    GroupDTO group;
    group.name = QStringLiteral("Groupe 1");
    group.frames.append(frame);
    ProjectFile project;
    project.groups.append(group);
    RoundTrip::checkProject(project);
    return 0;
}
