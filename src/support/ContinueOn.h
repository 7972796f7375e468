#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <utility>

// Calls `handler` with the future's result on `context`'s thread once the work has finished, unless
// `context` has been destroyed by then: a window or view closed while its background work runs is
// simply not called back. (QFuture::then(context, …) in Qt 6.4 requires the context to outlive the
// work.) Work that was cancelled or threw calls nothing either.
template<typename T, typename Handler>
void continueOn(QObject *context, const QFuture<T> &future, Handler &&handler)
{
    // The watcher is the context's child: it and its connection go with the context.
    auto *watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, handler = std::forward<Handler>(handler)]() mutable {
                         watcher->deleteLater();
                         if (watcher->future().resultCount() > 0)
                             handler(watcher->result());
                     });
    watcher->setFuture(future);
}
