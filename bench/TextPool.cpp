#include "bench/TextPool.h"

#include <algorithm>

namespace {

constexpr size_t kCodeBytes = 3u << 20;
constexpr size_t kProseBytes = 2u << 20;

constexpr std::string_view kNames[] = {
    "cache",  "config", "handler", "parser", "token",  "session", "user",    "request", "buffer", "index",
    "result", "stats",  "render",  "store",  "worker", "queue",   "client",  "server",  "route",  "schema",
    "model",  "event",  "stream",  "reader", "writer", "entry",   "payload", "layout",  "theme",  "badge"};

constexpr std::string_view kTypes[] = {
    "String", "Vec<u8>",  "Option<usize>", "Result<(), Error>", "HashMap<String, u64>",
    "number", "string[]", "Promise<void>"};

constexpr std::string_view kWords[] = {"the",
                                       "a",
                                       "we",
                                       "should",
                                       "update",
                                       "function",
                                       "returns",
                                       "value",
                                       "when",
                                       "cache",
                                       "is",
                                       "empty",
                                       "test",
                                       "fails",
                                       "because",
                                       "of",
                                       "config",
                                       "file",
                                       "I'll",
                                       "now",
                                       "check",
                                       "handler",
                                       "and",
                                       "then",
                                       "run",
                                       "build",
                                       "again",
                                       "it's",
                                       "can't",
                                       "error",
                                       "in",
                                       "parser",
                                       "with",
                                       "this",
                                       "change",
                                       "looks",
                                       "good",
                                       "let's",
                                       "refactor",
                                       "component",
                                       "state",
                                       "to",
                                       "avoid",
                                       "extra",
                                       "renders",
                                       "résumé",
                                       "naïve",
                                       "café",
                                       "déjà vu",
                                       "über",
                                       "façade",
                                       "Zürich",
                                       "São",
                                       "Paulo",
                                       "日本語",
                                       "测试",
                                       "🚀",
                                       "✅",
                                       "⚠️",
                                       "→",
                                       "—",
                                       "…",
                                       "“quoted”",
                                       "\"done\"",
                                       "`npm",
                                       "test`",
                                       "`src/index.ts`",
                                       "`cargo build`",
                                       "'\\n'",
                                       "C:\\Users\\dev",
                                       "\t-",
                                       "×2"};

constexpr std::string_view kStarts[] = {"", "", "", "", "- ", "* ", "## ", "1. ", "> "};

std::string_view indentOf(Random& random)
{
    static constexpr std::string_view kIndents[] = {"", "    ", "        ", "            ", "\t", "\t\t", "  "};
    return random.pick(kIndents);
}

void appendCodeLine(Random& random, std::string& out)
{
    const auto a = random.pick(kNames);
    const auto b = random.pick(kNames);
    const auto type = random.pick(kTypes);
    out += indentOf(random);
    switch (random.index(14)) {
    case 0:
        out += "const " + std::string(a) + "Value = compute" + std::string(b) + "(\"" + std::string(b) + "\", " +
               std::to_string(random.between(0, 9999)) + ");";
        break;
    case 1:
        out += "if (" + std::string(a) + " === null || " + std::string(b) + ".length === 0) {";
        break;
    case 2:
        out += "return " + std::string(a) + "." + std::string(b) + "();";
        break;
    case 3:
        out += "}";
        break;
    case 4:
        out += "// " + std::string(a) + ": keep the " + std::string(b) + " in sync — voilà, naïve but fast";
        break;
    case 5:
        out += "let " + std::string(a) + ": " + std::string(type) + " = \"" + std::string(b) + "\";";
        break;
    case 6:
        out += "fn " + std::string(a) + "_" + std::string(b) + "(&self, input: &str) -> " + std::string(type) + " {";
        break;
    case 7:
        out += "println!(\"{} {:?}\\n\", " + std::string(a) + ", self." + std::string(b) + ");";
        break;
    case 8:
        out += "const pattern = /\\d+\\.\\w+\\s*\"/g; // " + std::string(a);
        break;
    case 9:
        out += "path = \"C:\\\\temp\\\\" + std::string(a) + ".log\"";
        break;
    case 10:
        break;
    case 11:
        out += "export function " + std::string(a) + "To" + std::string(b) + "(x: " + std::string(type) + ") {";
        break;
    case 12:
        out += "\tself." + std::string(a) + ".insert(\"" + std::string(b) + "\".into(), 0x" +
               std::to_string(random.between(16, 4095)) + ");";
        break;
    default:
        out += "await " + std::string(a) + "Service.fetch(`/api/" + std::string(b) + "?q=${encodeURIComponent(q)}`);";
    }
    out.push_back('\n');
}

void appendSentence(Random& random, std::string& out)
{
    out += random.pick(kStarts);
    const auto words = random.between(5, 24);
    for (int64_t i = 0; i < words; ++i) {
        if (i > 0)
            out.push_back(' ');
        out += random.pick(kWords);
    }
    out += random.chance(0.1) ? ":" : ".";
    const auto gap = random.index(10);
    out += gap < 6 ? " " : gap < 9 ? "\n" : "\n\n";
}

template <typename AppendOne>
void fill(Random& random, size_t bytes, std::string& text, std::vector<size_t>& starts, AppendOne appendOne)
{
    text.reserve(bytes + 4096);
    while (text.size() < bytes) {
        starts.push_back(text.size());
        appendOne(random, text);
    }
}

} // namespace

TextPool::TextPool(Random& random)
{
    fill(random, kCodeBytes, m_code.text, m_code.starts, appendCodeLine);
    fill(random, kProseBytes, m_prose.text, m_prose.starts, appendSentence);
}

void TextPool::slice(const Lines& lines, Random& random, size_t bytes, std::string& out)
{
    size_t first = random.index(lines.starts.size());
    size_t need = std::max<size_t>(bytes, 1);
    while (need > 0) {
        const size_t from = lines.starts[first];
        const auto next =
            std::lower_bound(lines.starts.begin() + static_cast<ptrdiff_t>(first) + 1, lines.starts.end(), from + need);
        const size_t to = next == lines.starts.end() ? lines.text.size() : *next;
        out.append(lines.text, from, to - from);
        need -= std::min(need, to - from);
        first = 0;
    }
}

void TextPool::code(Random& random, size_t bytes, std::string& out) const
{
    slice(m_code, random, bytes, out);
}

void TextPool::prose(Random& random, size_t bytes, std::string& out) const
{
    slice(m_prose, random, bytes, out);
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n'))
        out.pop_back();
}

std::string_view TextPool::codeLine(size_t index) const
{
    const size_t i = index % m_code.starts.size();
    const size_t from = m_code.starts[i];
    const size_t to = i + 1 < m_code.starts.size() ? m_code.starts[i + 1] : m_code.text.size();
    return std::string_view(m_code.text).substr(from, to - from - 1);
}

std::string_view TextPool::nameWord(Random& random) const
{
    return random.pick(kNames);
}
