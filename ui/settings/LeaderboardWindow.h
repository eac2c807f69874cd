#pragma once

#include "sync/Leaderboard.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>

class QLabel;

/// What the leaderboard window shows.
struct LeaderboardContent
{
    enum class State {
        Loading,
        Shown,
        Failed,
        PrivateMode,
    };

    State state = State::Loading;
    /// The last board read; kept on screen while it is read again and after a failure.
    std::optional<Leaderboard> board;
    /// Why the last read failed, in plain words.
    QString failure;
    /// Signed out, there is no own rank to look for.
    bool signedIn = false;
};

/// The leaderboard's window: three lists side by side (by score, lines this week, lines today), the top ten of each
/// and the user's own place under them. It paints only from the content it is handed.
class LeaderboardWindow : public QWidget
{
    Q_OBJECT

public:
    LeaderboardWindow();

    void setContent(const LeaderboardContent& content);
    const LeaderboardContent& content() const { return m_content; }

    /// The text of the status line ("Loading…", a failure, private mode), for tests.
    QString statusText() const;
    /// Every line of a list as shown, rank, name and figure joined by single spaces, then its own-rank line.
    QStringList listText(int list) const;

signals:
    /// The window was shown or hidden.
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Column
    {
        std::array<std::array<QLabel*, 3>, Leaderboard::kTopCount> rows;
        QLabel* own;
        /// Names longer than this many pixels are cut.
        int nameWidth = 0;
    };

    QWidget* makeColumn(int list);
    void showList(Column& column, const BoardList* list) const;

    LeaderboardContent m_content;
    QLabel* m_status;
    std::array<Column, 3> m_columns;
};
