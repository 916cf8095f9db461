#pragma once
// The asynchronous open of a query: the worker thread, its cancel, and the completion on
// the query's own thread.

#include <QObject>
#include <functional>

// Receives the completion of an asynchronous open on the query's own thread. The worker
// posts a queued call of Finished(); a call still queued when the query is freed dies with it.
class TQueryNotifier : public QObject {
    Q_OBJECT
public:
    std::function<void()> OnFinished;
public slots:
    void Finished()
    {
        if (OnFinished)
            OnFinished();
    }
};
