-- Names on Korvel's leaderboard: one row per user, written by the desktop app next to its score row
-- (POST /rest/v1/profiles, Prefer: resolution=merge-duplicates) and removed with it when the user leaves the board
-- (DELETE /rest/v1/profiles?user_id=eq.ID). The app fills it from the sign-in's user metadata: the user name, else
-- the full name, else the part of the e-mail address before the "@".
--
-- Apply it after scores.sql (`psql "$DATABASE_URL" -f backend/profiles.sql`).

create table if not exists public.profiles (
    user_id      uuid primary key references auth.users (id) on delete cascade,
    display_name text not null,
    avatar_url   text,

    constraint profiles_name_length check (char_length(display_name) between 1 and 39),
    -- Readers show names as plain text; control characters would still break a terminal or a layout.
    constraint profiles_name_printable check (display_name !~ '[[:cntrl:]]'),
    -- Readers may load the picture: never over plain http, never another scheme.
    constraint profiles_avatar_https check (
        avatar_url is null or (avatar_url ~ '^https://[^[:space:][:cntrl:]]+$' and char_length(avatar_url) <= 2048))
);

alter table public.profiles enable row level security;

-- The same rules as the score row: everyone reads, a signed-in user writes and deletes only their own.
drop policy if exists "profiles are public" on public.profiles;
create policy "profiles are public" on public.profiles
    for select to anon, authenticated using (true);

drop policy if exists "users insert their own profile" on public.profiles;
create policy "users insert their own profile" on public.profiles
    for insert to authenticated with check (auth.uid() = user_id);

drop policy if exists "users update their own profile" on public.profiles;
create policy "users update their own profile" on public.profiles
    for update to authenticated using (auth.uid() = user_id) with check (auth.uid() = user_id);

drop policy if exists "users delete their own profile" on public.profiles;
create policy "users delete their own profile" on public.profiles
    for delete to authenticated using (auth.uid() = user_id);

revoke all on table public.profiles from anon, authenticated;
grant select on table public.profiles to anon, authenticated;
grant insert, update, delete on table public.profiles to authenticated;
