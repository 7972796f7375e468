#include "CommandLineExport.h"

#include "services/LiftedFrameCache.h"
#include "state/ExportRun.h"
#include "state/ProjectExport.h"
#include "views/ExportPanelView.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLineExport", text);
}

void tell(const QString &line)
{
    // Nothing is left to tell when the terminal refuses the text.
    static_cast<void>(std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr));
    static_cast<void>(std::fflush(stderr));
}

QString failureLine(const ExportFailure &failure)
{
    return failure.timestamp + QStringLiteral(" — ") + failure.message;
}

} // namespace

int CommandLineExport::run(const CommandLine::Export &request)
{
    ProjectExport projectExport(LiftedFrameCache::standard());
    ProjectExport::Options options;
    options.mode = request.mode;
    options.outputFolder = request.outputFolder;
    options.format = request.format;
    if (const std::optional<QString> problem = projectExport.start(request.projectPath, options)) {
        tell(*problem);
        return CommandLine::exportCannotStart;
    }
    const ExportRun *run = projectExport.run();
    tell(tr("Export de %1 image(s) vers « %2 » (%3 déjà détourée(s)).")
             .arg(projectExport.frameCount())
             .arg(QDir::toNativeSeparators(run->outputFolder().toLocalFile()))
             .arg(projectExport.framesFromCache()));

    QObject::connect(run, &ExportRun::progressChanged, run, [run] {
        if (run->progress().completed > 0 && run->isRunning())
            tell(QStringLiteral("%1 / %2").arg(run->progress().completed).arg(run->progress().total));
    });
    QObject::connect(run, &ExportRun::failuresChanged, run,
                     [run] { tell(failureLine(run->failures().constLast())); });
    QObject::connect(&projectExport, &ProjectExport::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QCoreApplication::exec();

    const QList<ExportFailure> &failures = run->failures();
    const int failedFrames = int(std::count_if(failures.cbegin(), failures.cend(),
                                               [](const ExportFailure &failure) { return failure.isFrame; }));
    tell(ExportPanelView::summary(run->progress().total, int(failures.size()), failedFrames, run->format()));
    if (failures.isEmpty())
        return 0;
    tell(QString::number(failures.size()) + tr(" échec(s)"));
    for (const ExportFailure &failure : failures)
        tell(QStringLiteral("  ") + failureLine(failure));
    return 1;
}
