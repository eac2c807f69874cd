-- The part of a Supabase project that backend/scores.sql relies on, as Supabase defines it: the API roles, the
-- auth schema with its users table, and auth.uid() reading the request's JWT claims the way PostgREST sets them.
create role anon nologin noinherit;
create role authenticated nologin noinherit;
grant anon, authenticated to current_user;

create schema auth;
grant usage on schema auth to anon, authenticated;
create table auth.users (id uuid primary key, email text);

create function auth.uid() returns uuid language sql stable as $$
    select coalesce(
        nullif(current_setting('request.jwt.claim.sub', true), ''),
        (nullif(current_setting('request.jwt.claims', true), '')::jsonb ->> 'sub')
    )::uuid
$$;

grant usage on schema public to anon, authenticated;
-- Supabase's default privileges, which backend/ narrows again.
alter default privileges in schema public grant all on tables to anon, authenticated;
alter default privileges in schema public grant all on functions to anon, authenticated;
