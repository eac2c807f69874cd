// The application tests run the real delegate, whose every refresh asks the shared account whether to sync: give
// it an empty in-memory keyring and a backend that cannot be reached, so that no test ever signs in with the
// developer's own keyring or sends their figures anywhere.

#include "sync/AuthManager.h"
#include "tests/support/MemorySessionStore.h"

namespace {

const bool isolated = [] {
    AuthEnvironment env;
    env.backend = BackendConfig::make(QStringLiteral("https://korvel.invalid"), QStringLiteral("sb_publishable_test"));
    env.store = std::make_shared<MemorySessionStore>();
    return AuthManager::setSharedEnvironment(std::move(env));
}();

} // namespace
