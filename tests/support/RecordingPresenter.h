// A message presenter that records what the user would have been shown.
#pragma once

#include "core/platform/MessagePresenter.h"

#include <QList>
#include <QPair>

class RecordingPresenter : public MessagePresenter
{
public:
    QList<QPair<QString, QString>> shown; // (title, message)
    void show(const QString &message, const QString &title) override { shown.append({ title, message }); }
};
