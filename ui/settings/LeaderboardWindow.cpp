#include "ui/settings/LeaderboardWindow.h"

#include "sync/LeaderboardFetch.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/settings/DarkLook.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 370;
constexpr int kMargin = 24;
constexpr int kColumnGap = 24;
constexpr int kCellGap = 8;
constexpr double kRowFontSize = 12;

QString grouped(int64_t n)
{
    return QLocale(QLocale::English).toString(static_cast<qlonglong>(n));
}

QString ownLine(const BoardList& list, bool signedIn)
{
    if (!signedIn)
        return QStringLiteral("Sign in to see your rank");
    if (!list.me)
        return QStringLiteral("You're not on this list yet");
    return QStringLiteral("You: #%1 of %2 \u00b7 %3")
        .arg(grouped(list.me->rank), grouped(list.me->of), grouped(list.me->value));
}

} // namespace

LeaderboardWindow::LeaderboardWindow()
{
    setWindowTitle(QStringLiteral("Korvel Leaderboard"));
    setPalette(DarkLook::palette());
    setAutoFillBackground(true);
    setFixedSize(kWidth, kHeight);

    auto* title = DarkLook::label();
    title->setText(QStringLiteral("Leaderboard"));
    DarkLook::style(title, 18, Theme::fg());
    m_status = DarkLook::label();
    DarkLook::style(m_status, 12, Theme::muted());

    auto* lists = new QHBoxLayout;
    lists->setSpacing(kColumnGap);
    for (int i = 0; i < 3; ++i)
        lists->addWidget(makeColumn(i), 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, 20, kMargin, 20);
    layout->addWidget(title);
    layout->addWidget(m_status);
    layout->addSpacing(8);
    layout->addLayout(lists);
    layout->addStretch();
    setContent({});
}

QWidget* LeaderboardWindow::makeColumn(int list)
{
    auto* column = new QWidget;
    auto* grid = new QGridLayout(column);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(kCellGap);
    auto* heading = DarkLook::label();
    heading->setText(QString::fromLatin1(Leaderboard::kLists[list].title));
    DarkLook::style(heading, 13, Theme::blue());
    grid->addWidget(heading, 0, 0, 1, 3);
    // Ranks of a top ten and figures up to tens of millions always fit; a long name is cut with an ellipsis.
    const QFontMetrics metrics(Font::pixel(kRowFontSize));
    const int rankWidth = metrics.horizontalAdvance(QStringLiteral("#10"));
    const int valueWidth = metrics.horizontalAdvance(QStringLiteral("99,999,999"));
    const int columnWidth = (kWidth - 2 * kMargin - 2 * kColumnGap) / 3;
    Column& c = m_columns[list];
    c.nameWidth = columnWidth - rankWidth - valueWidth - 2 * kCellGap;
    for (int row = 0; row < Leaderboard::kTopCount; ++row) {
        for (int part = 0; part < 3; ++part) {
            QLabel* label = DarkLook::label();
            DarkLook::style(label, kRowFontSize, part == 0 ? Theme::muted() : Theme::fg());
            if (part == 1)
                label->setFixedWidth(c.nameWidth);
            else
                label->setFixedWidth(part == 0 ? rankWidth : valueWidth);
            if (part != 1)
                label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(label, row + 1, part);
            c.rows[row][part] = label;
        }
    }
    c.own = DarkLook::label();
    DarkLook::style(c.own, 11, Theme::amber());
    c.own->setWordWrap(true);
    grid->addWidget(c.own, Leaderboard::kTopCount + 1, 0, 1, 3);
    return column;
}

void LeaderboardWindow::setContent(const LeaderboardContent& content)
{
    m_content = content;
    using State = LeaderboardContent::State;
    switch (content.state) {
    case State::Loading:
        m_status->setText(QStringLiteral("Loading\u2026"));
        break;
    case State::Shown:
        m_status->setText(QString());
        break;
    case State::Failed:
        m_status->setText(QStringLiteral("Couldn't load the leaderboard: ") + content.failure);
        break;
    case State::PrivateMode:
        m_status->setText(LeaderboardFetch::kPrivateModeText);
        break;
    }
    // Private mode shows no board at all, not even one read before it was turned on.
    const bool showBoard = content.board && content.state != State::PrivateMode;
    for (int i = 0; i < 3; ++i)
        showList(m_columns[i], showBoard ? &(*content.board.*Leaderboard::kLists[i].list) : nullptr);
}

void LeaderboardWindow::showList(Column& column, const BoardList* list) const
{
    for (int row = 0; row < Leaderboard::kTopCount; ++row) {
        const bool filled = list && row < list->top.size();
        const BoardEntry entry = filled ? list->top[row] : BoardEntry{};
        column.rows[row][0]->setText(filled ? QStringLiteral("#") + grouped(entry.rank) : QString());
        const QFontMetrics metrics(column.rows[row][1]->font());
        column.rows[row][1]->setText(filled ? metrics.elidedText(entry.name, Qt::ElideRight, column.nameWidth)
                                            : QString());
        column.rows[row][2]->setText(filled ? grouped(entry.value) : QString());
    }
    column.own->setText(list ? ownLine(*list, m_content.signedIn) : QString());
}

QString LeaderboardWindow::statusText() const
{
    return m_status->text();
}

QStringList LeaderboardWindow::listText(int list) const
{
    QStringList lines;
    for (const auto& row : m_columns[list].rows)
        if (!row[0]->text().isEmpty())
            lines << row[0]->text() + u' ' + row[1]->text() + u' ' + row[2]->text();
    lines << m_columns[list].own->text();
    return lines;
}

void LeaderboardWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit visibilityChanged(true);
}

void LeaderboardWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}
