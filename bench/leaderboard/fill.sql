-- :users plausible rows: scores skewed low, a third synced today, most within the month, figures ordered as the
-- table's checks require.
insert into auth.users (id)
select ('00000000-0000-4000-8000-' || lpad(to_hex(i), 12, '0'))::uuid from generate_series(1, :users) i;

insert into public.profiles (user_id, display_name)
select ('00000000-0000-4000-8000-' || lpad(to_hex(i), 12, '0'))::uuid, 'user' || i from generate_series(1, :users) i;

-- Loaded without the counting trigger (one transaction updating the same counts a million times would crawl), then
-- counted in one pass.
set session_replication_role = replica;
insert into public.scores (user_id, korvel_score, streak, top_model, lines_today, lines_week, lines_all,
                           cost_today, cost_week, cost_all, tokens_today, tokens_week, tokens_all, last_synced)
select id, least(99, floor(100 * power(random(), 1.6)))::int, floor(random() * 40)::int, 'claude-sonnet-4-5',
       today, today + week, today + week + floor(-ln(1 - random()) * 60000)::bigint,
       today * 0.002, (today + week) * 0.002, (today + week) * 0.002 + random() * 500,
       today * 900.0, (today + week) * 900.0, (today + week) * 900.0 + random() * 1e8,
       synced
from (
    select ('00000000-0000-4000-8000-' || lpad(to_hex(i), 12, '0'))::uuid as id,
           floor(-ln(1 - random()) * 400)::bigint as today,
           floor(-ln(1 - random()) * 2500)::bigint as week,
           now() - (case when random() < 0.35 then random() * extract(epoch from now() - date_trunc('day', now()))
                         else random() * 30 * 86400 end) * interval '1 second' as synced
    from generate_series(1, :users) i
) r;
set session_replication_role = origin;
select public.board_counts_rebuild();
vacuum analyze;
