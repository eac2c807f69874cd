#include "ui/settings/GuiPoster.h"

#include <QMetaObject>

GuiPoster::GuiPoster(QObject* target) : m_shared(std::make_shared<Shared>())
{
    m_shared->target = target;
}

void GuiPoster::post(std::function<void()> work) const
{
    // Held while posting, so the target cannot be torn down between the check and the post; an event already posted
    // is dropped by the target's destructor.
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (m_shared->target)
        QMetaObject::invokeMethod(m_shared->target, std::move(work), Qt::QueuedConnection);
}

void GuiPoster::detach() const
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->target = nullptr;
}
