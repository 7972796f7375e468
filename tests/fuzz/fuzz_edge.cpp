// Any bytes as the edge settings of an otherwise sound project file, put in place of the value of
// its "edge" member as they are: open, and when it opens, save and reopen it identical.
#include "RoundTrip.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QByteArray before =
        QByteArrayLiteral("{\"activeGroupIndex\": 0, \"cropToSubject\": false, \"edge\": ");
    static const QByteArray after = QByteArrayLiteral(
        ", \"filter\": \"none\", \"groups\": [{\"frames\": [], \"name\": \"Groupe 1\", \"notes\": \"\"}], "
        "\"version\": 1, \"videoName\": \"video\"}\n");
    QByteArray project;
    project.reserve(before.size() + qsizetype(size) + after.size());
    project.append(before);
    project.append(reinterpret_cast<const char *>(data), qsizetype(size));
    project.append(after);
    RoundTrip::checkProjectBytes(project);
    return 0;
}
