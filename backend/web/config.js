// Where the leaderboard's backend lives: its base URL and its publishable key (the one the desktop app is built
// with; it only lets the page read the board).
window.KORVEL_BOARD = {
    url: "https://your-project.supabase.co",
    publishableKey: "sb_publishable_your-key",
};
