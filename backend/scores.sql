-- Korvel's leaderboard: one row per user, written by the desktop app with a PostgREST upsert
-- (POST /rest/v1/scores, Prefer: resolution=merge-duplicates), removed by it when the user leaves the board
-- (DELETE /rest/v1/scores?user_id=eq.ID), and readable by everyone.
--
-- Apply it once to a Supabase project (SQL editor, or `psql "$DATABASE_URL" -f backend/scores.sql`). It relies on
-- what every Supabase project has: the auth.users table, auth.uid(), and the roles anon and authenticated.

create table if not exists public.scores (
    user_id      uuid primary key references auth.users (id) on delete cascade,
    korvel_score integer not null,
    streak       integer not null,
    top_model    text,
    lines_today  bigint not null,
    lines_week   bigint not null,
    lines_all    bigint not null,
    cost_today   double precision not null,
    cost_week    double precision not null,
    cost_all     double precision not null,
    tokens_today double precision not null,
    tokens_week  double precision not null,
    tokens_all   double precision not null,
    last_synced  timestamptz not null,

    constraint scores_score_range check (korvel_score between 0 and 99),
    constraint scores_streak_range check (streak between 0 and 10000),
    constraint scores_top_model_length check (char_length(top_model) <= 200),
    constraint scores_lines_ordered check (0 <= lines_today and lines_today <= lines_week and lines_week <= lines_all),
    -- Costs are sums of fractions added up in different orders for the day, the week and all time; a millionth of a
    -- dollar of slack keeps that rounding from refusing an honest row.
    constraint scores_cost_ordered check (
        0 <= cost_today and cost_today <= cost_week + 0.000001 and cost_week <= cost_all + 0.000001),
    constraint scores_tokens_ordered check (
        0 <= tokens_today and tokens_today <= tokens_week and tokens_week <= tokens_all),
    -- NaN compares greater than every number in PostgreSQL, which the orderings above would let through at the top.
    constraint scores_numbers_finite check (
        cost_all < 'Infinity'::float8 and tokens_all < 'Infinity'::float8),
    constraint scores_not_from_the_future check (last_synced <= now() + interval '10 minutes')
);

alter table public.scores enable row level security;

-- Everyone may read the board; a signed-in user may write and delete only the row keyed by their own id.
drop policy if exists "scores are public" on public.scores;
create policy "scores are public" on public.scores
    for select to anon, authenticated using (true);

drop policy if exists "users insert their own score" on public.scores;
create policy "users insert their own score" on public.scores
    for insert to authenticated with check (auth.uid() = user_id);

drop policy if exists "users update their own score" on public.scores;
create policy "users update their own score" on public.scores
    for update to authenticated using (auth.uid() = user_id) with check (auth.uid() = user_id);

drop policy if exists "users delete their own score" on public.scores;
create policy "users delete their own score" on public.scores
    for delete to authenticated using (auth.uid() = user_id);

-- Supabase grants every table in public to anon and authenticated; keep only what the board needs (TRUNCATE, for
-- one, is not bound by row-level security).
revoke all on table public.scores from anon, authenticated;
grant select on table public.scores to anon, authenticated;
grant insert, update, delete on table public.scores to authenticated;
