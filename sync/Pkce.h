#pragma once

#include <QString>

/// Proof key for code exchange: the secret that binds a sign-in's authorization code to the process that started
/// it, so that a code caught on its way back is worth nothing to anyone else.
namespace Pkce {

/// A fresh code verifier: 43 characters of base64url from 32 bytes of the operating system's secure random source.
QString newVerifier();

/// The S256 challenge of a verifier: base64url (no padding) of its SHA-256.
QString challenge(const QString& verifier);

} // namespace Pkce
