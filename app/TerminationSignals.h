#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

/// Turns SIGTERM, SIGINT and SIGHUP (the end of the session, Ctrl+C) into a Qt signal on the GUI thread, so that
/// the application shuts down in order instead of dying in the middle of a build.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    TerminationSignals();
    ~TerminationSignals() override;

signals:
    void received();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
