#include "bench/CodexSession.h"

#include "bench/Ids.h"
#include "bench/IsoTime.h"
#include "bench/JsonOut.h"

namespace {

constexpr std::string_view kShellCommands[] = {
    "rg -n \"fn parse\" src", "sed -n '1,200p' src/lib.rs", "cargo test --quiet", "ls -la",
    "git diff --stat",        "cat package.json",           "npm run lint",       "pytest -x -q"};

struct Tokens
{
    int64_t input = 0;
    int64_t cached = 0;
    int64_t output = 0;
    int64_t reasoning = 0;

    void add(const Tokens& other)
    {
        input += other.input;
        cached += other.cached;
        output += other.output;
        reasoning += other.reasoning;
    }
};

void writeTokens(JsonOut& out, std::string_view name, const Tokens& t)
{
    out.open(name).num("input_tokens", t.input).num("cached_input_tokens", t.cached);
    out.num("output_tokens", t.output).num("reasoning_output_tokens", t.reasoning);
    out.num("total_tokens", t.input + t.output).close();
}

void writeRateLimits(JsonOut& out, Random& random)
{
    out.open("rate_limits").open("primary").decimal("used_percent", static_cast<double>(random.between(0, 990)) / 10);
    out.num("window_minutes", 299).num("resets_in_seconds", random.between(0, 18'000)).close();
    out.open("secondary").decimal("used_percent", static_cast<double>(random.between(0, 990)) / 10);
    out.num("window_minutes", 10'079).num("resets_in_seconds", random.between(0, 600'000)).close().close();
}

class CodexWriter
{
public:
    CodexWriter(const CodexSessionPlan& plan, const TextPool& pool, Random& random, FileSink& sink)
        : m_plan(plan), m_pool(pool), m_random(random), m_sink(sink), m_model(plan.model), m_ms(plan.startMs)
    {
    }

    void run()
    {
        sessionMeta();
        environmentContext();
        while (!full())
            turn();
    }

private:
    bool full() const { return m_sink.bytes() >= m_plan.targetBytes; }

    // Opens a line and its payload; end() closes both.
    JsonOut begin(std::string_view type, std::string_view payloadType)
    {
        m_ms += m_random.between(20, 15'000);
        JsonOut out(m_sink.buffer());
        out.open().str("timestamp", m_iso.format(m_ms)).str("type", type).open("payload");
        if (!payloadType.empty())
            out.str("type", payloadType);
        return out;
    }

    void end(JsonOut& out)
    {
        out.close().close().endLine();
        m_sink.lineDone();
    }

    void sessionMeta()
    {
        auto out = begin("session_meta", "");
        out.str("id", m_plan.id).str("timestamp", m_iso.format(m_ms)).str("cwd", m_plan.cwd);
        out.str("originator", "codex_cli_rs").str("cli_version", m_plan.cliVersion).null("instructions");
        out.open("git").str("commit_hash", Ids::hex(m_random, 40)).str("branch", "main");
        out.str("repository_url", m_plan.repository).close();
        end(out);
    }

    void environmentContext()
    {
        const std::string text = "<environment_context>\n  <cwd>" + m_plan.cwd +
                                 "</cwd>\n  <approval_policy>on-request</approval_policy>\n  <sandbox_mode>"
                                 "workspace-write</sandbox_mode>\n  <network_access>restricted</network_access>\n"
                                 "  <shell>bash</shell>\n</environment_context>";
        message("user", "input_text", text);
    }

    void turn()
    {
        m_ms += m_random.between(10'000, 1'800'000);
        if (m_random.chance(0.05))
            m_model = m_random.chance(0.5) ? "gpt-5" : m_plan.model;
        turnContext();
        m_text.clear();
        m_pool.prose(m_random, static_cast<size_t>(m_random.logBetween(20, 2'500)), m_text);
        message("user", "input_text", m_text);
        event("user_message", "message", m_text);
        if (m_firstTurn)
            tokenCount(false);
        m_firstTurn = false;
        const auto steps = m_random.between(1, 10);
        for (int64_t i = 0; i < steps && !full(); ++i)
            step();
        m_text.clear();
        m_pool.prose(m_random, static_cast<size_t>(m_random.logBetween(40, 4'000)), m_text);
        message("assistant", "output_text", m_text);
        event("agent_message", "message", m_text);
        tokenCount(true);
    }

    void turnContext()
    {
        auto out = begin("turn_context", "turn_context");
        out.str("cwd", m_plan.cwd).str("approval_policy", "on-request").open("sandbox_policy");
        out.str("mode", "workspace-write").flag("network_access", false).flag("exclude_tmpdir_env_var", false);
        out.flag("exclude_slash_tmp", false).close().str("model", m_model).str("effort", "medium");
        out.str("summary", "auto");
        end(out);
    }

    void message(std::string_view role, std::string_view blockType, std::string_view text)
    {
        auto out = begin("response_item", "message");
        out.str("role", role).openArray("content").open().str("type", blockType).str("text", text).close();
        out.closeArray();
        end(out);
    }

    void event(std::string_view type, std::string_view field, std::string_view text)
    {
        auto out = begin("event_msg", type);
        out.str(field, text);
        if (type == "user_message")
            out.openArray("images").closeArray();
        end(out);
    }

    void step()
    {
        reasoning();
        if (m_random.chance(0.4))
            applyPatch();
        else
            shellCall();
        tokenCount(true);
    }

    void reasoning()
    {
        m_text = "**" + std::string(m_pool.nameWord(m_random)) + " planning**\n\n";
        m_pool.prose(m_random, static_cast<size_t>(m_random.logBetween(40, 1'500)), m_text);
        auto out = begin("response_item", "reasoning");
        out.openArray("summary").open().str("type", "summary_text").str("text", m_text).close().closeArray();
        out.null("content").str("encrypted_content",
                                Ids::base64(m_random, "gAAAAAB", static_cast<size_t>(m_random.between(800, 6'000))));
        end(out);
        event("agent_reasoning", "text", m_text);
    }

    void shellCall()
    {
        const std::string callId = Ids::base62(m_random, "call_", 24);
        m_inner.clear();
        JsonOut args(m_inner);
        args.open().openArray("command").str("bash").str("-lc").str(m_random.pick(kShellCommands)).closeArray();
        args.str("workdir", m_plan.cwd).num("timeout_ms", 120'000).close();
        auto out = begin("response_item", "function_call");
        out.str("name", "shell").str("arguments", m_inner).str("call_id", callId);
        end(out);
        m_text.clear();
        m_pool.code(m_random, static_cast<size_t>(m_random.logBetween(50, 30'000)), m_text);
        toolOutput("function_call_output", callId, m_text);
    }

    void applyPatch()
    {
        const std::string callId = Ids::base62(m_random, "call_", 24);
        const std::string path = "src/" + std::string(m_pool.nameWord(m_random)) + ".rs";
        m_text = "*** Begin Patch\n*** Update File: " + path + "\n";
        const auto hunks = m_random.between(1, 4);
        for (int64_t h = 0; h < hunks; ++h)
            patchHunk(m_text);
        m_text += "*** End Patch";
        auto out = begin("response_item", "custom_tool_call");
        out.str("status", "completed").str("call_id", callId).str("name", "apply_patch").str("input", m_text);
        end(out);
        toolOutput("custom_tool_call_output", callId, "Success. Updated the following files:\nM " + path + "\n");
    }

    void patchHunk(std::string& patch)
    {
        const size_t from = m_random.index(m_pool.codeLineCount());
        const size_t to = m_random.index(m_pool.codeLineCount());
        patch += "@@\n ";
        patch += m_pool.codeLine(from);
        patch += '\n';
        const auto removed = m_random.between(0, 8);
        const auto added = m_random.between(1, 12);
        for (int64_t i = 1; i <= removed; ++i)
            patch.append("-").append(m_pool.codeLine(from + static_cast<size_t>(i))).append("\n");
        for (int64_t i = 0; i < added; ++i)
            patch.append("+").append(m_pool.codeLine(to + static_cast<size_t>(i))).append("\n");
    }

    // Tool output is itself JSON, carried as a string.
    void toolOutput(std::string_view type, const std::string& callId, std::string_view text)
    {
        m_inner.clear();
        JsonOut inner(m_inner);
        inner.open().str("output", text).open("metadata").num("exit_code", m_random.chance(0.9) ? 0 : 1);
        inner.decimal("duration_seconds", static_cast<double>(m_random.between(0, 300)) / 10).close().close();
        auto out = begin("response_item", type);
        out.str("call_id", callId).str("output", m_inner);
        end(out);
    }

    void tokenCount(bool withInfo)
    {
        auto out = begin("event_msg", "token_count");
        if (withInfo) {
            Tokens last;
            last.input = m_random.between(8'000, 200'000);
            last.cached = last.input * m_random.between(70, 98) / 100;
            last.output = m_random.logBetween(20, 4'000);
            last.reasoning = last.output * m_random.between(0, 80) / 100;
            m_total.add(last);
            out.open("info");
            writeTokens(out, "total_token_usage", m_total);
            writeTokens(out, "last_token_usage", last);
            out.num("model_context_window", 272'000).close();
        } else {
            out.null("info");
        }
        writeRateLimits(out, m_random);
        end(out);
    }

    const CodexSessionPlan& m_plan;
    const TextPool& m_pool;
    Random& m_random;
    FileSink& m_sink;
    std::string m_model;
    IsoTime m_iso;
    int64_t m_ms;
    Tokens m_total;
    bool m_firstTurn = true;
    std::string m_text;
    std::string m_inner;
};

} // namespace

void writeCodexSession(const CodexSessionPlan& plan, const TextPool& pool, Random& random, FileSink& sink)
{
    CodexWriter(plan, pool, random, sink).run();
}
