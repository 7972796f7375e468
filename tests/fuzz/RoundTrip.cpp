#include "RoundTrip.h"

#include "persistence/ProjectFile.h"
#include "persistence/RecoveryFile.h"

#include <cstdio>
#include <cstdlib>

void RoundTrip::fail(const char *rule, const QString &detail)
{
    std::fprintf(stderr, "Broken rule: %s\n%s\n", rule, qUtf8Printable(detail));
    std::abort();
}

void RoundTrip::checkProjectBytes(const QByteArray &bytes)
{
    QString error;
    const std::optional<ProjectFile> file = ProjectFile::fromJson(bytes, &error);
    if (!file) {
        if (error.isEmpty())
            fail("a refused project file says why");
        return;
    }
    checkProject(*file);
}

void RoundTrip::checkProject(const ProjectFile &file)
{
    // Saving refuses a number JSON cannot hold, so such a project never reaches the disk.
    if (!file.firstNonFiniteNumber().isEmpty())
        return;
    const QByteArray saved = file.toJson();
    QString error;
    const std::optional<ProjectFile> reopened = ProjectFile::fromJson(saved, &error);
    if (!reopened)
        fail("a saved project reopens", error + QStringLiteral("\n") + QString::fromUtf8(saved.left(4096)));
    // A frame read without drawings is written with an empty list of them; all else stays as read.
    ProjectFile expected = file;
    for (GroupDTO &group : expected.groups) {
        for (FrameDTO &frame : group.frames) {
            if (!frame.annotations)
                frame.annotations.emplace();
        }
    }
    if (!(*reopened == expected))
        fail("a reopened project equals the one saved", QString::fromUtf8(saved.left(4096)));
    if (reopened->toJson() != saved)
        fail("saving a reopened project writes the same bytes", QString::fromUtf8(saved.left(4096)));
}

void RoundTrip::checkRecoveryBytes(const QByteArray &bytes)
{
    QString error;
    const std::optional<RecoveryFile> file = RecoveryFile::fromJson(bytes, &error);
    if (!file) {
        if (error.isEmpty())
            fail("a refused recovery file says why");
        return;
    }
    const std::optional<ProjectFile> project = ProjectFile::fromJson(bytes, &error);
    if (!project || !(*project == file->project))
        fail("a recovery file opens as the project it holds", error);
    if (!file->project.firstNonFiniteNumber().isEmpty())
        return;
    checkProject(file->project);
    // A frame read without drawings is written with an empty list of them.
    RecoveryFile expected = *file;
    for (GroupDTO &group : expected.project.groups) {
        for (FrameDTO &frame : group.frames) {
            if (!frame.annotations)
                frame.annotations.emplace();
        }
    }
    const QByteArray saved = file->toJson();
    const std::optional<RecoveryFile> reopened = RecoveryFile::fromJson(saved, &error);
    if (!reopened)
        fail("a saved recovery file reopens",
             error + QStringLiteral("\n") + QString::fromUtf8(saved.left(4096)));
    if (!(*reopened == expected))
        fail("a reopened recovery file equals the one saved", QString::fromUtf8(saved.left(4096)));
    if (reopened->toJson() != saved)
        fail("saving a reopened recovery file writes the same bytes", QString::fromUtf8(saved.left(4096)));
}
