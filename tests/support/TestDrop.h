#pragma once

#include <QList>
#include <QUrl>

class QWidget;

namespace TestDrop {

// Sends a drop of `urls` on `target` the way a drag from the file manager ends; returns whether
// the target accepted it.
bool urls(QWidget *target, const QList<QUrl> &urls);

} // namespace TestDrop
