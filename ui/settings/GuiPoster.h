#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

/// Runs work on a QObject's thread, posted from any thread. Copies of the poster may outlive the object: once it is
/// detached (its owner's destructor does that), posting does nothing.
class GuiPoster
{
public:
    explicit GuiPoster(QObject* target);

    /// Queues work to run on the target's thread, unless the target is gone by then.
    void post(std::function<void()> work) const;
    /// Called by the target's owner before the target goes.
    void detach() const;

private:
    struct Shared
    {
        std::mutex mutex;
        QObject* target;
    };
    std::shared_ptr<Shared> m_shared;
};
