-- Reading Korvel's leaderboard: three lists (by score, by lines added this week, by lines added today), the top ten
-- of each with shared ranks for equal figures, and one user's own rank "#1,204 of 53,117". Everyone reads it with
-- the publishable key, through one call: POST /rest/v1/rpc/board with {"me": USER_ID or null}.
--
-- Apply it after scores.sql and profiles.sql (`psql "$DATABASE_URL" -f backend/leaderboard.sql`).
--
-- "This week" and "today" are those of the row's last sync, in UTC (weeks start on Monday): a row that has not been
-- synced this week, or today, is not on that list, so a user who stopped syncing does not lead "today" forever.
--
-- An exact rank is one plus the number of rows with a greater figure. Counting those rows at a million users takes
-- far longer than a request should, so a trigger keeps how many rows fall in each bucket of figures (board_counts),
-- and a rank adds the counts of the buckets above to the few rows above in its own bucket. Scores (0 to 99) have a
-- bucket each; lines fall into the bucket floor(sqrt(lines)), which holds the lines b*b to (b+1)*(b+1)-1.

-- A reader's view of the board: the figures with the names.
create or replace view public.leaderboard with (security_invoker = true) as
    select s.user_id, coalesce(p.display_name, 'Korvel user') as display_name, p.avatar_url,
           s.korvel_score, s.lines_week, s.lines_today, s.last_synced
    from public.scores s
    left join public.profiles p using (user_id);

revoke all on table public.leaderboard from anon, authenticated;
grant select on table public.leaderboard to anon, authenticated;

-- The periods a row counts in: the UTC day and the Monday of the UTC week of its last sync.
create or replace function public.board_day(synced timestamptz) returns date
    language sql immutable parallel safe
    return (synced at time zone 'UTC')::date;

create or replace function public.board_week(synced timestamptz) returns date
    language sql immutable parallel safe
    return date_trunc('week', synced at time zone 'UTC')::date;

-- Boards: 0 by score (one period for all time, 1970-01-01), 1 by lines this week, 2 by lines today.
create or replace function public.board_bucket(board smallint, figure bigint) returns bigint
    language sql immutable parallel safe
    return case when board = 0 then figure else floor(sqrt(greatest(figure, 0)::numeric))::bigint end;

-- The least figure of a bucket.
create or replace function public.board_bucket_floor(board smallint, bucket bigint) returns bigint
    language sql immutable parallel safe
    return case when board = 0 then bucket else bucket * bucket end;

create table if not exists public.board_counts (
    board  smallint not null,
    period date not null,
    bucket bigint not null,
    n      bigint not null,
    primary key (board, period, bucket)
);

alter table public.board_counts enable row level security;
drop policy if exists "board counts are public" on public.board_counts;
create policy "board counts are public" on public.board_counts
    for select to anon, authenticated using (true);
revoke all on table public.board_counts from anon, authenticated;
grant select on table public.board_counts to anon, authenticated;

-- Moves a row's counts from the buckets of its old figures to those of its new ones. It runs as the owner, since
-- nobody else may write the counts. The changes are summed per bucket and applied in key order, so that two
-- upserts touching the same buckets take their locks in the same order and never deadlock.
create or replace function public.board_counts_follow() returns trigger
    language plpgsql security definer set search_path = public, pg_temp as $$
begin
    insert into public.board_counts as c (board, period, bucket, n)
    select d.board, d.period, d.bucket, sum(d.delta)
    from (
        select 0::smallint as board, date '1970-01-01' as period, board_bucket(0::smallint, old.korvel_score) as bucket,
               -1 as delta
        where tg_op <> 'INSERT'
        union all
        select 1::smallint, board_week(old.last_synced), board_bucket(1::smallint, old.lines_week), -1
        where tg_op <> 'INSERT'
        union all
        select 2::smallint, board_day(old.last_synced), board_bucket(2::smallint, old.lines_today), -1
        where tg_op <> 'INSERT'
        union all
        select 0::smallint, date '1970-01-01', board_bucket(0::smallint, new.korvel_score), 1
        where tg_op <> 'DELETE'
        union all
        select 1::smallint, board_week(new.last_synced), board_bucket(1::smallint, new.lines_week), 1
        where tg_op <> 'DELETE'
        union all
        select 2::smallint, board_day(new.last_synced), board_bucket(2::smallint, new.lines_today), 1
        where tg_op <> 'DELETE'
    ) d
    group by d.board, d.period, d.bucket
    having sum(d.delta) <> 0
    order by d.board, d.period, d.bucket
    on conflict (board, period, bucket) do update set n = c.n + excluded.n;
    return null;
end
$$;

-- Supabase lets the API roles run every function in public; nobody calls this one but the trigger.
revoke all on function public.board_counts_follow() from public, anon, authenticated;

drop trigger if exists scores_board_counts on public.scores;
create trigger scores_board_counts
    after insert or update or delete on public.scores
    for each row execute function public.board_counts_follow();

-- Counts every row again: for rows written before the trigger existed, or loaded with triggers off.
create or replace function public.board_counts_rebuild() returns void
    language sql security definer set search_path = public, pg_temp as $$
    delete from public.board_counts;
    insert into public.board_counts (board, period, bucket, n)
    select board, period, bucket, count(*)
    from (
        select 0::smallint as board, date '1970-01-01' as period, board_bucket(0::smallint, korvel_score) as bucket
        from public.scores
        union all
        select 1::smallint, board_week(last_synced), board_bucket(1::smallint, lines_week) from public.scores
        union all
        select 2::smallint, board_day(last_synced), board_bucket(2::smallint, lines_today) from public.scores
    ) r
    group by board, period, bucket;
$$;

revoke all on function public.board_counts_rebuild() from public, anon, authenticated;
select public.board_counts_rebuild();

-- The top ten of each list in index order (ties broken by user id, so that the order is stable), and the rows
-- above a figure inside its bucket, counted from the index alone (which needs last_synced in it as a column).
create index if not exists scores_by_score on public.scores (korvel_score desc, user_id);
create index if not exists scores_by_week on public.scores (public.board_week(last_synced), lines_week desc, user_id)
    include (last_synced);
create index if not exists scores_by_today on public.scores (public.board_day(last_synced), lines_today desc, user_id)
    include (last_synced);

-- One plus the number of rows of the period with a greater figure.
create or replace function public.board_rank(board smallint, period date, figure bigint) returns bigint
    language sql stable parallel safe as $$
    select 1
        + coalesce((select sum(c.n) from public.board_counts c
                    where c.board = $1 and c.period = $2 and c.bucket > public.board_bucket($1, $3)), 0)
        + case $1
              when 0 then 0
              when 1 then (select count(*) from public.scores s
                           where public.board_week(s.last_synced) = $2 and s.lines_week > $3
                             and s.lines_week < public.board_bucket_floor($1, public.board_bucket($1, $3) + 1))
              else (select count(*) from public.scores s
                    where public.board_day(s.last_synced) = $2 and s.lines_today > $3
                      and s.lines_today < public.board_bucket_floor($1, public.board_bucket($1, $3) + 1))
          end
$$;

-- How many rows a list of a period holds.
create or replace function public.board_size(board smallint, period date) returns bigint
    language sql stable parallel safe as $$
    select coalesce(sum(c.n), 0)::bigint from public.board_counts c where c.board = $1 and c.period = $2
$$;

-- A list as {"top": [{"rank", "name", "value"}...], "of": N, "me": {"rank", "of", "value"} or null}.
create or replace function public.board_list(board smallint, period date, top json, me_figure bigint) returns json
    language sql stable parallel safe as $$
    select json_build_object(
        'top', top,
        'of', public.board_size($1, $2),
        'me', case when me_figure is null then null
                   else json_build_object('rank', public.board_rank($1, $2, me_figure),
                                          'of', public.board_size($1, $2), 'value', me_figure) end)
$$;

-- The whole board as one JSON object {"score": list, "week": list, "today": list}; me, when given, is the user whose
-- own ranks come with it (absent from a list whose period the user's row is not in).
create or replace function public.board(me uuid default null) returns json
    language plpgsql stable as $$
declare
    today date := public.board_day(now());
    this_week date := public.board_week(now());
    mine public.scores;
begin
    select * into mine from public.scores s where s.user_id = me;
    return json_build_object(
        'score', public.board_list(0::smallint, date '1970-01-01',
            (select coalesce(json_agg(json_build_object('rank', r, 'name', display_name, 'value', figure)
                                      order by r, user_id), '[]')
             from (select l.display_name, l.user_id, l.korvel_score as figure,
                          rank() over (order by l.korvel_score desc) as r
                   from (select * from public.leaderboard order by korvel_score desc, user_id limit 10) l) t),
            mine.korvel_score),
        'week', public.board_list(1::smallint, this_week,
            (select coalesce(json_agg(json_build_object('rank', r, 'name', display_name, 'value', figure)
                                      order by r, user_id), '[]')
             from (select l.display_name, l.user_id, l.lines_week as figure,
                          rank() over (order by l.lines_week desc) as r
                   from (select * from public.leaderboard where public.board_week(last_synced) = this_week
                         order by public.board_week(last_synced), lines_week desc, user_id limit 10) l) t),
            case when public.board_week(mine.last_synced) = this_week then mine.lines_week end),
        'today', public.board_list(2::smallint, today,
            (select coalesce(json_agg(json_build_object('rank', r, 'name', display_name, 'value', figure)
                                      order by r, user_id), '[]')
             from (select l.display_name, l.user_id, l.lines_today as figure,
                          rank() over (order by l.lines_today desc) as r
                   from (select * from public.leaderboard where public.board_day(last_synced) = today
                         order by public.board_day(last_synced), lines_today desc, user_id limit 10) l) t),
            case when public.board_day(mine.last_synced) = today then mine.lines_today end));
end
$$;

revoke all on function public.board(uuid) from public;
grant execute on function public.board(uuid) to anon, authenticated;
