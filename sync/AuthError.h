#pragma once

#include <QString>
#include <optional>

/// The error of every account and sync operation, with the text the user sees.
class AuthError
{
public:
    enum class Kind {
        Network,
        Server,
        Decode,
        NotSignedIn,
    };

    /// No answer came: the message says why (connection refused, timed out...).
    static AuthError network(const QString& message);
    /// The backend answered with a failure status (0 when there was no HTTP answer, as for a refused sign-in).
    static AuthError server(int status, const QString& message);
    /// The answer could not be understood.
    static AuthError decode();
    static AuthError notSignedIn();

    Kind kind() const { return m_kind; }
    /// The HTTP status of a server error; 0 otherwise.
    int status() const { return m_status; }
    /// The message of a network or server error, already made safe to show; empty otherwise.
    const QString& message() const { return m_message; }

    /// The user-facing text.
    QString description() const;

    /// Text from outside (a server, the network layer, a callback URL) made fit to show: control and format
    /// characters become spaces, runs of white space one space, and the result is cut to 200 characters.
    static QString safeText(const QString& text);

    static constexpr int kMaxMessageLength = 200;

    bool operator==(const AuthError&) const = default;

private:
    AuthError(Kind kind, int status, QString message);

    Kind m_kind;
    int m_status = 0;
    QString m_message;
};

/// The outcome of an operation that yields nothing on success: no error means it succeeded.
using AuthResult = std::optional<AuthError>;
